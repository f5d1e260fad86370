// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/durata.h"
#include "Condiviso/enumerazioni.h"

namespace ostrale {

// How long the user's answer to a held flow lasts.
enum class DurataRisposta {
    unaVolta,  // the waiting flows only: no rule, the next flow asks again
    quindiciMinuti,
    unOra,
    dodiciOre,
    finoAlRiavvio,  // until the computer restarts
    perSempre,
};

template <>
struct ValoriGrezzi<DurataRisposta> {
    static constexpr std::array<std::string_view, 6> valori{"unaVolta", "15m",     "1h",
                                                            "12h",      "riavvio", "perSempre"};
};

// What the answer covers: the application, the application to the host and its subdomains, or
// the application to the host on the port.
enum class AmbitoRisposta { app, host, hostPorta };

template <>
struct ValoriGrezzi<AmbitoRisposta> {
    static constexpr std::array<std::string_view, 3> valori{"app", "host", "hostPorta"};
};

// The duration of a rule made at `adesso` with that answer (for ever for `unaVolta`, which makes
// none).
Durata durataPer(DurataRisposta durata, Data adesso);

// "15m", "1h", "12h", "riavvio"/"restart", or any "<number>s|m|h|d": the duration of a rule made
// at `adesso`; absent when the text is none of those.
std::optional<Durata> durataDaTesto(std::string_view testo, Data adesso);

// What the app sends the extension for a held application: the verdict of its waiting flows,
// whether it holds for the next ones (not when `unaVolta`) and, with `dominio` (and `porta`),
// that only the flows to that host (and port) are meant: the others stay held and are asked
// about again.
struct RispostaSospesi {
    std::string firma;
    bool consenti = false;
    bool unaVolta = false;
    std::optional<std::string> dominio;
    std::optional<std::int64_t> porta;

    bool operator==(const RispostaSospesi&) const = default;
};

}  // namespace ostrale
