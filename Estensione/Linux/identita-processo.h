#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "Estensione/Linux/pacchetto-ip.h"
#include "Estensione/flusso-di-rete.h"
#include "Estensione/risolutore-identita.h"

namespace ostrale {

// The socket that owns a flow, found with an exact NETLINK_SOCK_DIAG lookup of its tuple
// (never a dump: that walks every socket of the machine).
struct ProprietarioSocket {
    std::uint32_t uid = 0;
    std::uint64_t inode = 0;
};

// `uscita`: the tuple's origin is this machine's end. For an inbound first packet the owner is
// the listening socket.
std::optional<ProprietarioSocket> cercaSocket(const TuplaPacchetto& tupla, bool uscita);

// The process holding socket `inode`: /proc is searched newest process first and what is
// found is remembered; a miss is remembered too, for a short while. Safe from any thread.
class IndiceSocket {
  public:
    std::optional<int> pid(std::uint64_t inode);

  private:
    std::mutex mutex_;
    std::unordered_map<std::uint64_t, int> noti_;
    // Sockets no process holds (kernel sockets, descriptors in flight): not searched again for
    // a few seconds.
    std::unordered_map<std::uint64_t, std::chrono::steady_clock::time_point> assenti_;
};

// The token of a process: pid, start time and uid packed into 32 bytes, so that a reused pid
// never inherits an identity.
std::optional<TokenApp> tokenDi(int pid, std::uint32_t uid);

// Application identities from tokens: the Flatpak application id, else the Snap name, else the
// executable's absolute path. Computed once per process and cached. Safe from any thread.
class RisolutoreLinux final : public RisolutoreIdentità {
  public:
    explicit RisolutoreLinux(std::string radiceProc = "/proc") : proc_(std::move(radiceProc)) {}
    std::optional<std::string> firma(const TokenApp& token) override;
    // The identity of a live process (for tests and diagnostics).
    std::optional<std::string> firmaDelProcesso(int pid) const;

  private:
    const std::string proc_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::string> cache_;  // token bytes → identity
};

// The pieces of the identity, from the contents of /proc files (pure, for tests).
std::optional<std::string> applicazioneFlatpak(std::string_view flatpakInfo);
std::optional<std::string> nomeSnap(std::string_view cgroup);
std::optional<std::uint64_t> inizioProcesso(std::string_view stat);

}  // namespace ostrale
