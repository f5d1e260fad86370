// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "Condiviso/impostazioni-filtro.h"
#include "Condiviso/regola-dominio.h"
#include "Condiviso/regola.h"

namespace ostrale {

// Everything the user decides: what the app sends to the extension and what "regole.json" holds.
// List order is the user's and means nothing to the filter.
struct StatoRegole {
    std::vector<Regola> regole;
    std::vector<RegolaDominio> regoleDominio;
    ImpostazioniFiltro impostazioni;

    bool operator==(const StatoRegole&) const = default;
};

}  // namespace ostrale
