// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace ostrale {

// The filter settings. The initial values are also what a missing key decodes to.
struct ImpostazioniFiltro {
    bool bloccaSconosciute = false;
    bool filtraEntrata = false;
    bool registraConsentiti = true;
    bool quarantenaAttiva = false;
    std::int64_t giorniQuarantena = 3;
    bool avvisaAnomalie = false;
    bool bloccaTracker = false;
    bool chiediPrima = false;
    bool fidatiApple = true;
    bool escludiLan = true;
    bool rilevaAttacchi = true;

    bool operator==(const ImpostazioniFiltro&) const = default;
};

}  // namespace ostrale
