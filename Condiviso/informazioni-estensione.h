// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ostrale {

// What the extension tells any client about itself (the answer to `informazioni:`).
struct InformazioniEstensione {
    std::string versione;                  // the daemon's version, compared with the app's own
    bool appConnessa = false;              // an app connection has registered
    std::int64_t domandeInAttesa = 0;      // applications whose flows wait for an answer
    std::vector<std::string> appInAttesa;  // those applications (absent from older daemons)

    bool operator==(const InformazioniEstensione&) const = default;
};

}  // namespace ostrale
