// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/montaggi.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "Estensione/Linux/Identita/letture.h"

namespace ostrale {

using identita::pezzi;

namespace {

// A field of /proc/PID/mountinfo with its octal escapes (\040 for a space) undone.
std::string senzaOttali(std::string_view campo) {
    std::string s;
    s.reserve(campo.size());
    for (std::size_t i = 0; i < campo.size(); ++i) {
        if (campo[i] == '\\' && i + 3 < campo.size() && campo[i + 1] >= '0' &&
            campo[i + 1] <= '3' && campo[i + 2] >= '0' && campo[i + 2] <= '7' &&
            campo[i + 3] >= '0' && campo[i + 3] <= '7') {
            s.push_back(static_cast<char>((campo[i + 1] - '0') * 64 + (campo[i + 2] - '0') * 8 +
                                          (campo[i + 3] - '0')));
            i += 3;
        } else {
            s.push_back(campo[i]);
        }
    }
    return s;
}

}  // namespace

std::optional<Montaggio> puntoDiMontaggio(std::string_view mountinfo, std::string_view punto) {
    std::optional<Montaggio> trovato;
    for (std::string_view riga : pezzi(mountinfo, '\n')) {
        // ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - FSTYPE SOURCE SUPEROPTIONS
        const auto campi = pezzi(riga, ' ');
        if (campi.size() < 10 || senzaOttali(campi[4]) != punto) continue;
        const auto trattino = std::find(campi.begin() + 6, campi.end(), "-");
        if (trattino == campi.end() || campi.end() - trattino < 3) continue;
        // Mounts over mounts: the last one listed is the one seen.
        trovato = Montaggio{std::string(*(trattino + 1)), senzaOttali(*(trattino + 2)),
                            std::string(campi[2])};
    }
    return trovato;
}

std::unordered_map<std::uint64_t, std::string> montaggi(std::string_view mountinfo) {
    std::unordered_map<std::uint64_t, std::string> tutti;
    for (std::string_view riga : pezzi(mountinfo, '\n')) {
        const auto campi = pezzi(riga, ' ');
        if (campi.size() < 10) continue;
        const auto trattino = std::find(campi.begin() + 6, campi.end(), "-");
        if (trattino == campi.end() || trattino + 1 == campi.end()) continue;
        const std::string id(campi[0]);
        char* fine = nullptr;
        const auto valore = std::strtoull(id.c_str(), &fine, 10);
        if (fine != id.c_str() && *fine == '\0')
            tutti.insert_or_assign(valore, std::string(*(trattino + 1)));
    }
    return tutti;
}

bool filesystemLocale(std::string_view tipo) {
    for (std::string_view locale :
         {"ext2", "ext3", "ext4", "xfs", "btrfs", "tmpfs", "ramfs", "squashfs", "erofs", "vfat",
          "exfat", "f2fs", "zfs", "bcachefs", "iso9660"}) {
        if (tipo == locale) return true;
    }
    return false;
}

std::unordered_set<std::uint64_t> montaggiSicuri(std::string_view mountinfo) {
    std::unordered_set<std::uint64_t> sicuri;
    for (const auto& [id, tipo] : montaggi(mountinfo)) {
        if (filesystemLocale(tipo)) sicuri.insert(id);
    }
    return sicuri;
}

namespace identita {

TabellaMontaggi::~TabellaMontaggi() {
    if (tabella_ >= 0) ::close(tabella_);
}

std::shared_ptr<const TabellaMontaggi::MontaggiQui> TabellaMontaggi::qui() const {
    std::lock_guard blocco(mutex_);
    bool rileggi = !qui_;
    if (tabella_ < 0) {
        tabella_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        rileggi = true;
    }
    pollfd attesa{tabella_, POLLPRI, 0};
    if (tabella_ >= 0 && ::poll(&attesa, 1, 0) != 0) rileggi = true;  // a change (or an error)
    if (rileggi) {
        auto nuova = std::make_shared<MontaggiQui>();
        if (tabella_ >= 0) {
            ::lseek(tabella_, 0, SEEK_SET);
            for (const auto& [id, tipo] : montaggi(leggiFd(tabella_, 16u << 20))) {
                nuova->tutti.insert(id);
                if (filesystemLocale(tipo)) nuova->locali.insert(id);
            }
        }
        qui_ = std::move(nuova);
    }
    return qui_;
}

}  // namespace identita
}  // namespace ostrale
