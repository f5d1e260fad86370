// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace ostrale {

// One application's lifetime counters, as the privacy report card grades them.
struct ContatoriApp {
    std::int64_t totale = 0;
    std::int64_t tracker = 0;
    std::int64_t bloccati = 0;
    std::int64_t anomalie = 0;

    bool operator==(const ContatoriApp&) const = default;
};

}  // namespace ostrale
