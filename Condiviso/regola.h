// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

#include "Condiviso/durata.h"
#include "Condiviso/enumerazioni.h"
#include "Condiviso/fascia-oraria.h"
#include "Condiviso/uuid.h"

namespace ostrale {

// A per-application rule. `firmaApp` matches exactly and case-sensitively; an inactive rule stays
// in the user's list but the filter ignores it; with a `fascia` the rule applies only inside it;
// a temporary one lasts as `durata` says.
struct Regola {
    Uuid id = Uuid::genera();
    std::string firmaApp;
    std::string nomeApp;
    AzioneRegola azione = AzioneRegola::consenti;
    bool attiva = true;
    std::optional<FasciaOraria> fascia;
    Durata durata;

    bool operator==(const Regola&) const = default;
};

}  // namespace ostrale
