#pragma once

#include <string_view>

namespace ostrale {

// Whether an application identity belongs to the operating system: a "com.apple." signing
// identifier, or an executable under one of the system's own directories.
bool èDiSistema(std::string_view firma);

}  // namespace ostrale
