// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Estensione/flusso-di-rete.h"

namespace ostrale {

// The platform's lookup of an application identity from a flow's token: the expensive call that
// the provider caches.
class RisolutoreIdentità {
  public:
    virtual ~RisolutoreIdentità() = default;
    // The identity of the process behind `token`, or absent when it cannot be found.
    virtual std::optional<std::string> firma(const TokenApp& token) = 0;
    // The user the process behind `token` runs as, when the token says.
    virtual std::optional<std::uint32_t> utente(const TokenApp& token) const {
        (void)token;
        return std::nullopt;
    }
};

}  // namespace ostrale
