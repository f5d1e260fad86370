#pragma once

#include <string>
#include <string_view>

#include "Condiviso/enumerazioni.h"
#include "Condiviso/uuid.h"

namespace ostrale {

// A per-domain rule; it also covers every subdomain of `dominio`.
struct RegolaDominio {
    Uuid id = Uuid::genera();
    std::string dominio;
    AzioneRegola azione = AzioneRegola::blocca;
    bool attiva = true;

    // What the user typed, reduced to a bare lower-case host: no scheme, path or "www.".
    static std::string normalizza(std::string_view testo);

    bool operator==(const RegolaDominio&) const = default;
};

}  // namespace ostrale
