#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace ostrale::Risorse {

// The directory of the read-only data shipped with the program: OSTRALE_RISORSE when set; the
// source tree's Risorse/ when the program runs from its build tree; else the installed data
// directory.
std::filesystem::path cartella();

// `nome` in that directory, when such a file exists.
std::optional<std::filesystem::path> trova(std::string_view nome);

}  // namespace ostrale::Risorse
