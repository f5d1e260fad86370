// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/data.h"

namespace ostrale {

// How long a rule lasts: until a moment (`scadenza`), until the computer restarts (`avvio`, the
// id of the boot it was made under), or for ever (both absent). A rule whose end has come never
// applies, and the extension removes it from the stored rules.
struct Durata {
    std::optional<Data> scadenza;
    std::optional<std::string> avvio;

    bool perSempre() const { return !scadenza && !avvio; }
    // Whether the rule is over at `adesso` on the boot `avvioCorrente`.
    bool finita(Data adesso, std::string_view avvioCorrente) const {
        return (scadenza && !(adesso < *scadenza)) || (avvio && *avvio != avvioCorrente);
    }

    bool operator==(const Durata&) const = default;
};

// This boot's id, as the kernel names it (read once; empty where there is none).
const std::string& idAvvio();

}  // namespace ostrale
