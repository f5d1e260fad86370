// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/flatpak.h"

#include <fcntl.h>
#include <pwd.h>

#include <cerrno>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Condiviso/testo.h"
#include "Estensione/Linux/Identita/montaggi.h"
#include "Estensione/Linux/Identita/percorsi-sicuri.h"

namespace ostrale {

std::optional<std::string> applicazioneFlatpak(std::string_view info) {
    bool inApplicazione = false;
    for (std::string_view riga : testo::righe(info)) {
        riga = testo::rifila(riga);
        if (!riga.empty() && riga.front() == '[') {
            inApplicazione = riga == "[Application]";
            continue;
        }
        if (inApplicazione && testo::iniziaCon(riga, "name=")) {
            const std::string_view nome = testo::rifila(riga.substr(5));
            if (idFlatpakValido(nome)) return std::string(nome);
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool idFlatpakValido(std::string_view id) {
    // Three elements or more, each of letters, digits, '_' and '-', not beginning with a digit.
    if (id.empty() || id.size() > 255) return false;
    int elementi = 0;
    for (std::string_view elemento : identita::pezzi(id, '.')) {
        if (elemento.empty() || (elemento.front() >= '0' && elemento.front() <= '9')) return false;
        for (const char c : elemento) {
            const bool ammesso = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                 (c >= '0' && c <= '9') || c == '_' || c == '-';
            if (!ammesso) return false;
        }
        ++elementi;
    }
    return elementi >= 3;
}

namespace identita {
namespace {

// The home folder of `uid`, from the user database (remembered).
std::optional<std::string> cartellaCasa(std::uint32_t uid) {
    static std::mutex mutex;
    static std::unordered_map<std::uint32_t, std::optional<std::string>> note;
    {
        std::lock_guard blocco(mutex);
        if (const auto it = note.find(uid); it != note.end()) return it->second;
    }
    // Asked outside the lock: a slow user database delays this process's naming only.
    std::optional<std::string> casa;
    bool risposta = false;
    for (std::size_t dimensione = 16384; dimensione <= (1u << 20) && !risposta; dimensione *= 4) {
        passwd voce{};
        passwd* trovata = nullptr;
        std::vector<char> spazio(dimensione);
        const int esito = ::getpwuid_r(uid, &voce, spazio.data(), spazio.size(), &trovata);
        if (esito == ERANGE) continue;
        risposta = esito == 0;  // found, or no such user
        if (risposta && trovata && voce.pw_dir && voce.pw_dir[0] == '/') casa = voce.pw_dir;
    }
    if (!risposta) return std::nullopt;  // a failure is not remembered: asked again next time
    std::lock_guard blocco(mutex);
    if (note.size() > 1024) note.clear();
    note.emplace(uid, casa);
    return casa;
}

}  // namespace

std::optional<std::string> applicazioneFlatpakVerificata(
    const std::string& base, std::string_view eseguibile, const Attributi& file,
    const std::unordered_set<std::uint64_t>& locali) {
    if (!testo::iniziaCon(eseguibile, "/app/")) return std::nullopt;
    // The sandbox's root is the process's to make: walked as its own mounts allow.
    std::optional<std::string> app;
    {
        const Fd radice(::open((base + "/root").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!radice) return std::nullopt;
        const Fd info = apriPasso(radice.get(), ".flatpak-info",
                                  montaggiSicuri(leggiTesto(base + "/mountinfo")));
        if (info) app = applicazioneFlatpak(leggiDa(info, 65536));
    }
    if (!app) return std::nullopt;
    const std::string resto(eseguibile.substr(5));
    // Each installation: a folder found from the system or the user database (not from the
    // user), and the path below it, where nothing may lead out.
    std::vector<std::pair<std::string, std::string>> installazioni{{"/var/lib/flatpak", ""}};
    if (const auto uid = uidDi(base)) {
        if (const auto casa = cartellaCasa(*uid))
            installazioni.emplace_back(*casa, ".local/share/flatpak/");
    }
    for (const auto& [cima, dentro] : installazioni) {
        // Below it, apriSotto never leaves its mount. (Up to it, only links of root's.)
        const Fd fd = apriQui(cima, locali, 8);
        if (!fd) continue;
        const int radice = fd.get();
        // The deployment in use ("active") of each branch first, then the others; the first
        // that holds the file ends the search.
        const std::string cartella = dentro + "app/" + *app;
        for (const std::string& architettura : voci(radice, cartella, 8)) {
            for (const std::string& ramo : voci(radice, cartella + "/" + architettura, 16)) {
                const std::string r = cartella + "/" + architettura + "/" + ramo;
                if (èSotto(radice, r + "/active/files/" + resto, file)) return app;
                for (const std::string& rilascio : voci(radice, r, 16)) {
                    if (èSotto(radice, r + "/" + rilascio + "/files/" + resto, file)) return app;
                }
            }
        }
    }
    return std::nullopt;
}

}  // namespace identita
}  // namespace ostrale
