// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace ostrale::Risorse {

// The directory of the read-only data shipped with the program: OSTRALE_RISORSE when set; the
// source tree's Risorse/ when the program runs from its build tree; else the installed data
// directory, found from the program's own folder (../share/ostrale from bin/ or sbin/) when it
// is there, so that an installation moved to another prefix finds its data.
std::filesystem::path cartella();

// `nome` in that directory, when such a file exists.
std::optional<std::filesystem::path> trova(std::string_view nome);

}  // namespace ostrale::Risorse
