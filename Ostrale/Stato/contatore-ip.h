// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace ostrale {

// One remote address's lifetime counters, with the host and application of its latest flow:
// what the map shows of it.
struct ContatoreIP {
    std::int64_t totale = 0;
    std::int64_t bloccati = 0;
    std::int64_t entrata = 0;
    std::string host;
    std::string app;

    bool operator==(const ContatoreIP&) const = default;
};

}  // namespace ostrale
