// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <cstdint>

#include "Condiviso/durata.h"
#include "Condiviso/enumerazioni.h"
#include "Condiviso/uuid.h"

namespace ostrale {

// A per-domain rule; it also covers every subdomain of `dominio`. A rule whose `dominio` is an
// address (IPv4 or IPv6, in its canonical text) covers flows to and from that address. It may be
// narrowed to one application (`firmaApp`) and one remote port (`porta`): absent, it covers every
// application and every port. A temporary one lasts as `durata` says.
struct RegolaDominio {
    RegolaDominio() = default;
    RegolaDominio(Uuid id_, std::string dominio_, AzioneRegola azione_, bool attiva_)
        : id(id_), dominio(std::move(dominio_)), azione(azione_), attiva(attiva_) {}

    Uuid id = Uuid::genera();
    std::string dominio;
    AzioneRegola azione = AzioneRegola::blocca;
    bool attiva = true;
    std::optional<std::string> firmaApp;
    std::optional<std::int64_t> porta;
    Durata durata;

    // Narrowed to an application or a port: such a rule comes before the plain ones.
    bool ristretta() const { return firmaApp || porta; }
    // Whether this rule and `altra` cover the same flows (the same host, application and port).
    bool stessoAmbito(const RegolaDominio& altra) const {
        return dominio == altra.dominio && firmaApp == altra.firmaApp && porta == altra.porta;
    }

    // What the user typed, reduced to a bare lower-case host: no scheme, path or "www."; an
    // address in its canonical text ("2001:db8::1" for "2001:DB8:0::1" or "[2001:db8::1]").
    static std::string normalizza(std::string_view testo);
    // The canonical text of an IPv4 or IPv6 address; absent for anything else.
    static std::optional<std::string> indirizzoCanonico(std::string_view testo);
    static bool èIndirizzo(std::string_view testo);

    bool operator==(const RegolaDominio&) const = default;
};

}  // namespace ostrale
