// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/enumerazioni.h"
#include "Condiviso/uuid.h"

namespace ostrale {

// A per-domain rule; it also covers every subdomain of `dominio`. A rule whose `dominio` is an
// address (IPv4 or IPv6, in its canonical text) covers flows to and from that address.
struct RegolaDominio {
    Uuid id = Uuid::genera();
    std::string dominio;
    AzioneRegola azione = AzioneRegola::blocca;
    bool attiva = true;

    // What the user typed, reduced to a bare lower-case host: no scheme, path or "www."; an
    // address in its canonical text ("2001:db8::1" for "2001:DB8:0::1" or "[2001:db8::1]").
    static std::string normalizza(std::string_view testo);
    // The canonical text of an IPv4 or IPv6 address; absent for anything else.
    static std::optional<std::string> indirizzoCanonico(std::string_view testo);
    static bool èIndirizzo(std::string_view testo);

    bool operator==(const RegolaDominio&) const = default;
};

}  // namespace ostrale
