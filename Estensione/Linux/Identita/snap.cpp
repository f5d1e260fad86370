// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/snap.h"

#include "Condiviso/testo.h"
#include "Estensione/Linux/Identita/letture.h"

namespace ostrale {

std::optional<std::string> nomeSnap(std::string_view etichetta) {
    // "snap.NAME.APP (enforce)", "snap.NAME.hook.configure (complain)".
    etichetta = testo::rifila(etichetta);
    if (!testo::iniziaCon(etichetta, "snap.")) return std::nullopt;
    const std::string_view resto = etichetta.substr(5);
    const auto punto = resto.find('.');
    if (punto == 0 || punto == std::string_view::npos || punto > 40) return std::nullopt;
    const std::string_view nome = resto.substr(0, punto);
    for (const char c : nome) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return std::nullopt;
    }
    return std::string(nome);
}

namespace identita {

std::optional<std::string> snapVerificato(const std::string& base) {
    std::string etichetta = leggiTesto(base + "/attr/apparmor/current");
    if (etichetta.empty()) etichetta = leggiTesto(base + "/attr/current");
    return nomeSnap(etichetta);
}

}  // namespace identita
}  // namespace ostrale
