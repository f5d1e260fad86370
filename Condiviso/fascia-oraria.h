// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "Condiviso/data.h"

namespace ostrale {

// A daily time window in minutes since local midnight, half open: [inizio, fine). When fine is
// smaller than inizio the window crosses midnight; when they are equal it is empty. No range check
// is made on either value.
struct FasciaOraria {
    std::int64_t inizio = 0;
    std::int64_t fine = 0;

    bool contiene(std::int64_t minutoDelGiorno) const;
    // "HH:MM-HH:MM", as the command line reads and writes it.
    std::string testo() const;

    bool operator==(const FasciaOraria&) const = default;
};

// Hour × 60 + minute of `momento` in the process's local time zone; seconds are ignored.
int minutoDelGiorno(Data momento);

}  // namespace ostrale
