// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/appimage.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

#include "Condiviso/testo.h"
#include "Estensione/Linux/Identita/montaggi.h"
#include "Estensione/Linux/Identita/percorsi-sicuri.h"

namespace ostrale::identita {
namespace {

// Whether `immagine` starts as an AppImage does: an ELF file with "AI" and the type (1 or 2)
// at offset 8.
bool haFirmaAppImage(const Fd& immagine) {
    const std::string testa = leggiDa(immagine, 11);
    return testa.size() == 11 &&
           testa.compare(0, 4,
                         "\x7f"
                         "ELF") == 0 &&
           testa[8] == 'A' && testa[9] == 'I' && (testa[10] == 1 || testa[10] == 2);
}

// Whether a process of `uid` running the file `immagine` serves the FUSE connection
// `connessione` (an AppImage's own runtime serves its mount): it holds /dev/fuse open for it.
// Kernels that do not say which connection a descriptor is for are taken at the descriptor.
bool servitoDa(const std::string& proc, const Attributi& immagine, std::uint32_t uid,
               std::string_view connessione) {
    DIR* d = ::opendir(proc.c_str());
    if (!d) return false;
    bool servito = false;
    while (!servito) {
        const dirent* voce = ::readdir(d);
        if (!voce) break;
        if (std::atoi(voce->d_name) <= 0) continue;
        const std::string base = proc + "/" + voce->d_name;
        const auto a = attributi(base + "/exe");
        if (!a || !a->stesso(immagine) || uidDi(base) != uid) continue;
        DIR* descrittori = ::opendir((base + "/fd").c_str());
        if (!descrittori) continue;
        while (const dirent* fd = ::readdir(descrittori)) {
            if (fd->d_name[0] == '.') continue;
            if (leggiCollegamento(base + "/fd/" + fd->d_name) != "/dev/fuse") continue;
            const std::string info = leggiTesto(base + "/fdinfo/" + fd->d_name);
            std::optional<std::string_view> numero;
            for (std::string_view riga : pezzi(info, '\n')) {
                if (testo::iniziaCon(riga, "fuse_connection:"))
                    numero = testo::rifila(riga.substr(16));
            }
            if (!numero || *numero == connessione) servito = true;
        }
        ::closedir(descrittori);
    }
    ::closedir(d);
    return servito;
}

// Whether the executable `file` lies on the filesystem of device `dispositivo` ("MAJ:MIN").
bool eseguibileSulMontaggio(const Attributi& file, std::string_view dispositivo) {
    const auto duePunti = dispositivo.find(':');
    if (duePunti == std::string_view::npos) return false;
    const std::string maggiore(dispositivo.substr(0, duePunti)),
        minore(dispositivo.substr(duePunti + 1));
    char* fine1 = nullptr;
    char* fine2 = nullptr;
    const auto a = std::strtoull(maggiore.c_str(), &fine1, 10);
    const auto b = std::strtoull(minore.c_str(), &fine2, 10);
    if (fine1 == maggiore.c_str() || *fine1 || fine2 == minore.c_str() || *fine2) return false;
    return file.dispositivo == ((a << 32) | b);
}

}  // namespace

std::optional<std::pair<std::string, Attributi>> appImage(
    const std::string& proc, const std::string& base, std::string_view eseguibile,
    const Attributi& file, const std::unordered_set<std::uint64_t>& locali) {
    constexpr std::string_view radice = "/tmp/.mount_";
    if (!testo::iniziaCon(eseguibile, radice)) return std::nullopt;
    const auto barra = eseguibile.find('/', radice.size());
    if (barra == std::string_view::npos || barra == radice.size()) return std::nullopt;
    const std::string punto(eseguibile.substr(0, barra));
    // The executable must be on that very mount (its device), not on a file mounted over one
    // of its files in a namespace of the process's own.
    const auto montaggio = puntoDiMontaggio(leggiTesto(base + "/mountinfo"), punto);
    if (!montaggio || !eseguibileSulMontaggio(file, montaggio->dispositivo)) return std::nullopt;
    std::optional<std::string> immagine;
    {
        const std::string ambiente = leggiTesto(base + "/environ");
        for (std::size_t i = 0; i < ambiente.size();) {
            const std::size_t fine = std::min(ambiente.find('\0', i), ambiente.size());
            const std::string_view voce = std::string_view(ambiente).substr(i, fine - i);
            if (testo::iniziaCon(voce, "APPIMAGE=")) immagine = std::string(voce.substr(9));
            i = fine + 1;
        }
    }
    if (!immagine) return std::nullopt;
    const Fd fd = apriQui(*immagine, locali);
    const auto immagineFile = fd ? attributiDi(fd.get()) : std::nullopt;
    if (!immagineFile || !S_ISREG(immagineFile->modo)) return std::nullopt;
    const std::string& tipo = montaggio->tipo;
    const std::string& sorgente = montaggio->sorgente;
    bool suo = false;
    if (tipo == "squashfs" && testo::iniziaCon(sorgente, "/dev/loop") && sorgente.size() > 9 &&
        sorgente.find_first_not_of("0123456789", 9) == std::string::npos) {
        std::string dietro = leggiTesto("/sys/block/" + sorgente.substr(5) + "/loop/backing_file");
        while (!dietro.empty() && dietro.back() == '\n') dietro.pop_back();
        suo = èQui(dietro, *immagineFile, locali);
    } else if (tipo == "fuse" || testo::iniziaCon(tipo, "fuse.")) {
        // The image is the user's own, and its runtime serves this very mount: any user may
        // mount what they like at /tmp/.mount_*, and run any image they can read.
        const auto uid = uidDi(base);
        const auto duePunti = montaggio->dispositivo.find(':');
        suo = uid && immagineFile->proprietario == *uid && duePunti != std::string::npos &&
              haFirmaAppImage(fd) &&
              servitoDa(proc, *immagineFile, *uid,
                        std::string_view(montaggio->dispositivo).substr(duePunti + 1));
    }
    if (!suo) return std::nullopt;
    return std::pair{*immagine, *immagineFile};
}

}  // namespace ostrale::identita
