// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Estensione/Linux/attribuzione-bpf.h"
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

// The token of a process: pid, start time, uid and the executable's inode packed into 32 bytes, so
// that a reused pid or a process that has since run another program never inherits an identity.
std::optional<TokenApp> tokenDi(int pid, std::uint32_t uid);
TokenApp tokenDi(const ProprietarioFlusso& proprietario);

// Application identities from tokens, each from facts the process cannot choose:
// - a Flatpak application id, when the sandbox's /.flatpak-info names it and the executable is
//   one of that application's deployed files (system installation, or the one of the user the
//   process runs as);
// - else a Snap name, from the process's AppArmor label;
// - else, for a program run from an AppImage's mount (/tmp/.mount_*), the image file, when that
//   mount is the image's;
// - else the executable's absolute path, when it names the same file in this daemon's own
//   namespace, and, under the system's folders, when only root may change that file. Any other
//   path is given with "?" before it: never a system identity, and never another program's.
// Computed once per process image and cached; the cache forgets a process when it execs or
// ends. When the process has since run another program, or ended, the executable is named from
// the images seen before (by inode). Safe from any thread.
class RisolutoreLinux final : public RisolutoreIdentità {
  public:
    explicit RisolutoreLinux(std::string radiceProc = "/proc");
    ~RisolutoreLinux() override;
    RisolutoreLinux(const RisolutoreLinux&) = delete;
    RisolutoreLinux& operator=(const RisolutoreLinux&) = delete;
    std::optional<std::string> firma(const TokenApp& token) override;
    std::optional<std::uint32_t> utente(const TokenApp& token) const override;
    // Whether `token` can be named: firma without the copy, for a process already named.
    bool nominabile(const TokenApp& token);
    // The identity of a live process (for tests and diagnostics).
    std::optional<std::string> firmaDelProcesso(int pid) const;

    // A process ran a new program (by inode): what its executable is called is learnt now,
    // while it is running; what was cached for the pid is forgotten.
    void eseguito(const EventoProcesso& evento);
    // A process ended.
    void uscito(int pid);
    // Learns the executables of every running process (once, off the flows' path).
    void imparaTutti();

  private:
    // An executable, by inode and the id of the mount it is on (inode numbers repeat across
    // filesystems, and FUSE servers choose them). Devices are left out: the kernel's note gives
    // the superblock's device and stat(2) another one on some filesystems (btrfs subvolumes).
    struct Immagine {
        std::uint64_t inode = 0;
        std::uint32_t montaggio = 0;  // 0: not known
        // Whether this is the executable (inode, mount) of a note or token.
        bool è(std::uint64_t altroInode, std::uint32_t altroMontaggio) const {
            return inode == altroInode &&
                   (montaggio == altroMontaggio || montaggio == 0 || altroMontaggio == 0);
        }
    };
    struct Attuale {
        std::string identità;
        Immagine immagine;
        bool altriMontaggi;  // the process does not share this daemon's mounts
    };
    // The identity of `pid` now, with its executable's inode.
    std::optional<Attuale> identitàAttuale(int pid) const;
    // Learns what the process image `token` (pid, start, executable) is called, for its flows
    // after it has run another program or ended. By image, not by inode alone: inode numbers
    // are reused, and chosen by FUSE servers.
    void impara(const TokenApp& token, const std::string& identità);
    // Remembers `identità` for the process image `token` (its uid aside), once.
    void ricorda(const TokenApp& token, const std::string& identità);
    // What is learnt of a process image when it starts running (or is found running).
    void imparaAllEsecuzione(const TokenApp& token, const Attuale& attuale);

    const std::string proc_;
    // This daemon's mount namespace ("mnt:[N]"), empty when it cannot be told.
    std::string spazioDeiMontaggi_;
    // This daemon's mounts, by id: all of them, and those of local filesystems (the only ones
    // a path a user names is walked into). Read again whenever the kernel says the table
    // changed (poll on /proc/self/mountinfo).
    struct MontaggiQui {
        std::unordered_set<std::uint64_t> tutti;
        std::unordered_set<std::uint64_t> locali;
    };
    std::shared_ptr<const MontaggiQui> montaggiQui() const;
    mutable std::mutex montaggiMutex_;
    mutable int tabellaMontaggi_ = -1;
    mutable std::shared_ptr<const MontaggiQui> montaggiQui_;
    std::mutex mutex_;
    // Whether `token` is cached, its identity copied into `identità` when that is given.
    bool inCache(const TokenApp& token, std::string* identità);
    std::unordered_map<int, std::vector<std::pair<TokenApp, std::string>>> cache_;  // by pid
    std::size_t quanti_ = 0;
    std::unordered_map<std::string, std::string> immagini_;  // by chiaveImmagine
};

// An identity as the system gives it (raw bytes of a path, a name read from a file) made into
// the one text used everywhere: in memory, on the channel, in rules and on disk. Bytes that are
// not valid UTF-8 become `\xHH` (upper-case hex), and a backslash followed by `x` becomes
// `\x5C`, so every `\x` of the result is an escape and the raw bytes can be told back exactly
// (`identitàGrezza`). Past `lunghezzaMassimaIdentità` bytes the text is cut, at a character
// boundary, and ends in "#" and 16 hex digits of a digest of the whole escaped text.
constexpr std::size_t lunghezzaMassimaIdentità = 1024;
std::string identitàValida(std::string_view grezza);
// The raw bytes behind an identity that was not cut.
std::string identitàGrezza(std::string_view valida);

// The pieces of the identity, from the contents of /proc files (pure, for tests).
// The application id of a /.flatpak-info, if it is a well-formed one.
std::optional<std::string> applicazioneFlatpak(std::string_view flatpakInfo);
bool idFlatpakValido(std::string_view id);
// The snap's name in an AppArmor label ("snap.firefox.firefox (enforce)").
std::optional<std::string> nomeSnap(std::string_view etichetta);
// The mount at `punto` in a mountinfo text (the one on top): its filesystem type, its source
// and its device ("MAJ:MIN").
struct Montaggio {
    std::string tipo;
    std::string sorgente;
    std::string dispositivo;
};
std::optional<Montaggio> puntoDiMontaggio(std::string_view mountinfo, std::string_view punto);
// The mounts of a mountinfo text: id -> filesystem type.
std::unordered_map<std::uint64_t, std::string> montaggi(std::string_view mountinfo);
// Whether a filesystem answers lookups from the kernel and a local disk or memory alone: not
// FUSE, whose server may never answer, nor a network filesystem, nor an overlay that may have
// either below it, nor procfs or sysfs, whose "files" are not files.
bool filesystemLocale(std::string_view tipo);
// The ids of the mounts in a mountinfo text that may be looked up in: the local filesystems.
std::unordered_set<std::uint64_t> montaggiSicuri(std::string_view mountinfo);
std::optional<std::uint64_t> inizioProcesso(std::string_view stat);

}  // namespace ostrale
