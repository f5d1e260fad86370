// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Estensione/Linux/pacchetto-ip.h"

struct bpf_object;
struct bpf_link;
struct ring_buffer;
struct ostrale_configurazione;

namespace ostrale {

// The process behind a socket, as the kernel noted it when the socket was created, connected or
// sent on.
struct ProprietarioFlusso {
    int pid = 0;  // in this daemon's pid namespace
    std::uint32_t uid = 0;
    std::uint64_t inizio = 0;     // clock ticks since boot, as field 22 of /proc/PID/stat
    std::uint64_t inode = 0;      // the executable running then
    std::uint32_t montaggio = 0;  // the id of the mount it is on; 0 when not known
};

struct EventoProcesso {
    enum class Tipo { esecuzione, uscita } tipo;
    int pid = 0;
    std::uint64_t inizio = 0;     // clock ticks since boot
    std::uint64_t inode = 0;      // the new program's executable, for esecuzione
    std::uint32_t montaggio = 0;  // the id of the mount it is on; 0 when not known
};

// Socket owners found by the kernel at connect/send time: programs on the cgroup v2 root note
// the owner of each socket by cookie; a socket filter pinned in bpffs, used as an xt_bpf match in
// the rule that queues a flow's first packet, notes tuple -> cookie. A flow's owner is then two
// map lookups away, also when its socket is already closed. The exec and exit tracepoints tell
// who changed program or ended. Everything is detached when the object goes.
class AttribuzioneBpf {
  public:
    // Loads and attaches the programs; absent, with the reason in `motivo`, where this kernel or
    // these privileges don't allow it. `cartella` is where the filter is pinned (in a bpffs,
    // mounted there when none is).
    static std::unique_ptr<AttribuzioneBpf> carica(std::string& motivo,
                                                   const std::string& cartella = "/sys/fs/bpf");
    ~AttribuzioneBpf();
    AttribuzioneBpf(const AttribuzioneBpf&) = delete;
    AttribuzioneBpf& operator=(const AttribuzioneBpf&) = delete;

    // The pinned socket filter, for `-m bpf --object-pinned`.
    const std::string& filtro() const { return filtro_; }

    // The owner of the flow whose first packet has tuple `t`: the filter's note is read from the
    // ring (no system call) and used once; a note older than a few seconds belongs to an
    // earlier flow of a reused port and is not trusted. Safe from any thread.
    std::optional<ProprietarioFlusso> cerca(const TuplaPacchetto& t);

    // Delivers exec and exit events, on a thread of its own, until destruction.
    void osservaProcessi(std::function<void(const EventoProcesso&)> osservatore);

  private:
    AttribuzioneBpf() = default;
    // The steps of `carica` once the cgroup root is open and the filter's pin named: the
    // programs opened, loaded and configured for the pid namespace `spazio`, then attached
    // and the filter pinned.
    bool apriProgrammi(const ostrale_configurazione& spazio, std::string& motivo);
    bool collegaProgrammi(std::string& motivo);
    static int suEvento(void* contesto, void* dati, std::size_t dimensione);
    static int suFlusso(void* contesto, void* dati, std::size_t dimensione);

    struct Nota {
        ProprietarioFlusso proprietario;
        std::uint64_t tempo;  // CLOCK_MONOTONIC ns
    };

    bpf_object* oggetto_ = nullptr;
    bpf_link* collegamenti_[7] = {};
    int cgroup_ = -1;
    std::string filtro_;
    ring_buffer* flussi_ = nullptr;
    std::mutex mutex_;
    // Notes read from the ring until their packet asks for them, in a table of fixed size:
    // sets of four places chosen by a hash of the tuple's bytes. A note that finds its set full
    // replaces the set's oldest (whose flow then falls back to a socket lookup). Nothing is
    // allocated per flow and nothing piles up.
    using ChiaveNota = std::array<unsigned char, 40>;
    struct Posto {
        ChiaveNota chiave{};
        Nota nota{};
        bool occupato = false;
    };
    static constexpr std::size_t insiemi = 4096, vie = 4;
    Posto* insieme(const ChiaveNota& chiave);
    std::vector<Posto> note_ = std::vector<Posto>(insiemi * vie);
    ring_buffer* anello_ = nullptr;
    std::function<void(const EventoProcesso&)> osservatore_;
    std::atomic<bool> fine_ = false;
    std::thread filo_;
};

}  // namespace ostrale
