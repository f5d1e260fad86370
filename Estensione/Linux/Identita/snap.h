// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ostrale {

// The snap's name in an AppArmor label ("snap.firefox.firefox (enforce)").
std::optional<std::string> nomeSnap(std::string_view etichetta);

}  // namespace ostrale

namespace ostrale::identita {

// A Snap's name, from the AppArmor label of the process whose folder of /proc is `base` (which
// only the snap's confinement gives).
std::optional<std::string> snapVerificato(const std::string& base);

}  // namespace ostrale::identita
