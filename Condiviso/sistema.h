// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace ostrale {

// Whether an application identity belongs to the operating system: an executable under one of
// the system's own directories.
bool èDiSistema(std::string_view firma);

}  // namespace ostrale
