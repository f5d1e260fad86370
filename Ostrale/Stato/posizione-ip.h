// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace ostrale {

// Where an address is, as the city database says.
struct PosizioneIP {
    double latitudine = 0;
    double longitudine = 0;
    std::string paese;
    std::string citta;

    bool operator==(const PosizioneIP&) const = default;
};

}  // namespace ostrale
