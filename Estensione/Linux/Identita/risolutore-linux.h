// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Estensione/Linux/Identita/montaggi.h"
#include "Estensione/Linux/attribuzione-bpf.h"
#include "Estensione/risolutore-identita.h"

namespace ostrale {

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
    identita::TabellaMontaggi montaggi_;  // this daemon's
    std::mutex mutex_;
    // Whether `token` is cached, its identity copied into `identità` when that is given.
    bool inCache(const TokenApp& token, std::string* identità);
    std::unordered_map<int, std::vector<std::pair<TokenApp, std::string>>> cache_;  // by pid
    std::size_t quanti_ = 0;
    std::unordered_map<std::string, std::string> immagini_;  // by chiaveImmagine
};

}  // namespace ostrale
