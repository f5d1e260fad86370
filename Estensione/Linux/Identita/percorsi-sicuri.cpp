// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/percorsi-sicuri.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ostrale::identita {
namespace {

// Whether the folder or file behind `fd` is on one of the mounts `sicuri`.
bool suMontaggio(int fd, const std::unordered_set<std::uint64_t>& sicuri) {
    const auto a = attributiDi(fd);
    return a && a->montaggio && sicuri.contains(*a->montaggio);
}

}  // namespace

Fd apriPasso(int da, std::string_view percorso, const std::unordered_set<std::uint64_t>& sicuri,
             int linkDiRoot) {
    Fd attuale(::fcntl(da, F_DUPFD_CLOEXEC, 0));
    const auto nomi = pezzi(percorso, '/');
    for (std::size_t i = 0; i < nomi.size(); ++i) {
        const std::string_view nome = nomi[i];
        if (!attuale) return Fd();
        if (nome.empty()) continue;
        if (nome == "." || nome == "..") return Fd();
        if (!suMontaggio(attuale.get(), sicuri)) return Fd();
        const std::string n(nome);
        Fd prossimo(::openat(attuale.get(), n.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        const auto cosa = prossimo ? attributiDi(prossimo.get()) : std::nullopt;
        if (cosa && S_ISLNK(cosa->modo) && linkDiRoot > 0) {
            const auto cartella = attributiDi(attuale.get());
            char destinazione[4096];
            const ssize_t lunghezza =
                ::readlinkat(attuale.get(), n.c_str(), destinazione, sizeof destinazione);
            if (!cartella || !soloDiRoot(*cartella) || cosa->proprietario != 0 || lunghezza <= 0 ||
                static_cast<std::size_t>(lunghezza) >= sizeof destinazione) {
                return Fd();
            }
            std::string resto(destinazione, static_cast<std::size_t>(lunghezza));
            for (std::size_t j = i + 1; j < nomi.size(); ++j) resto.append("/").append(nomi[j]);
            // Relative links go on from the link's folder, absolute ones from the root.
            Fd partenza = resto.front() == '/' ? Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC))
                                               : std::move(attuale);
            if (!partenza) return Fd();
            return apriPasso(partenza.get(), resto, sicuri, linkDiRoot - 1);
        }
        attuale = std::move(prossimo);
    }
    if (!attuale || !suMontaggio(attuale.get(), sicuri)) return Fd();
    return attuale;
}

Fd apriQui(std::string_view percorso, const std::unordered_set<std::uint64_t>& locali,
           int linkDiRoot) {
    if (percorso.empty() || percorso.front() != '/') return Fd();
    const Fd radice(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!radice) return Fd();
    return apriPasso(radice.get(), percorso, locali, linkDiRoot);
}

bool èQui(std::string_view percorso, const Attributi& file,
          const std::unordered_set<std::uint64_t>& locali) {
    const Fd fd = apriQui(percorso, locali);
    const auto qui = fd ? attributiDi(fd.get()) : std::nullopt;
    return qui && qui->stesso(file);
}

std::string leggiDa(const Fd& fd, std::size_t massimo) {
    const auto a = attributiDi(fd.get());
    if (!a || !S_ISREG(a->modo)) return {};
    std::string testo = leggiTesto("/proc/self/fd/" + std::to_string(fd.get()));
    if (testo.size() > massimo) testo.resize(massimo);
    return testo;
}

int apriSotto(int radice, const std::string& relativo, std::uint64_t modo) {
    open_how come{};
    // (openat2 refuses flags that O_PATH would ignore.)
    come.flags = modo | O_CLOEXEC | (modo & O_PATH ? 0 : O_NOCTTY | O_NONBLOCK);
    come.resolve = RESOLVE_BENEATH | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, radice, relativo.c_str(), &come, sizeof come));
}

std::vector<std::string> voci(int radice, const std::string& relativo, std::size_t massimo) {
    std::vector<std::string> nomi;
    const int fd = apriSotto(radice, relativo, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return nomi;
    if (DIR* d = ::fdopendir(fd)) {
        while (const dirent* voce = ::readdir(d)) {
            if (voce->d_name[0] == '.') continue;
            nomi.emplace_back(voce->d_name);
            if (nomi.size() >= massimo) break;
        }
        ::closedir(d);
    } else {
        ::close(fd);
    }
    return nomi;
}

bool èSotto(int radice, const std::string& relativo, const Attributi& file) {
    const int fd = apriSotto(radice, relativo, O_PATH);
    if (fd < 0) return false;
    struct statx x {};
    const bool letto = ::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO, &x) == 0;
    ::close(fd);
    return letto &&
           ((std::uint64_t{x.stx_dev_major} << 32) | x.stx_dev_minor) == file.dispositivo &&
           x.stx_ino == file.inode;
}

}  // namespace ostrale::identita
