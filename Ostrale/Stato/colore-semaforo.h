// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace ostrale {

// The status light: grey while the filter is off, green while nothing was blocked in the last
// seconds, orange for a few blocks, red for many.
enum class ColoreSemaforo { spento, verde, arancio, rosso };

}  // namespace ostrale
