// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/data.h"

#include <cmath>

namespace ostrale {

Data Data::daSistema(std::chrono::system_clock::time_point istante) {
    const auto durata = std::chrono::duration<double>(istante.time_since_epoch());
    return daUnix(durata.count());
}

std::time_t Data::secondiUnixInteri() const {
    // About ±292 billion years would fit; a few billion is all the calendar functions handle.
    constexpr double limite = 1e15;
    const double unix = secondiUnix();
    if (std::isnan(unix)) return static_cast<std::time_t>(daUnixARiferimento);
    if (unix > limite) return static_cast<std::time_t>(limite);
    if (unix < -limite) return static_cast<std::time_t>(-limite);
    return static_cast<std::time_t>(std::floor(unix));
}

}  // namespace ostrale
