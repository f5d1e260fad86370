// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/sessione-attiva.h"

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

namespace ostrale {

std::optional<std::uint32_t> uidSessioneAttiva() {
    const char* altra = std::getenv("OSTRALE_SEDE");
    std::ifstream file(altra && *altra ? altra : "/run/systemd/seats/seat0");
    std::string riga;
    // A few lines of KEY=value; ACTIVE_UID is there while a session is active.
    for (int n = 0; n < 64 && std::getline(file, riga); ++n) {
        constexpr std::string_view chiave = "ACTIVE_UID=";
        if (!std::string_view(riga).starts_with(chiave)) continue;
        const std::string_view valore = std::string_view(riga).substr(chiave.size());
        std::uint32_t uid = 0;
        const auto [fine, errore] =
            std::from_chars(valore.data(), valore.data() + valore.size(), uid);
        if (errore != std::errc() || fine != valore.data() + valore.size()) return std::nullopt;
        return uid;
    }
    return std::nullopt;
}

}  // namespace ostrale
