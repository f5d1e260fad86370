// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "Estensione/Linux/Identita/letture.h"

namespace ostrale {

// The application id of a /.flatpak-info, if it is a well-formed one.
std::optional<std::string> applicazioneFlatpak(std::string_view flatpakInfo);
bool idFlatpakValido(std::string_view id);

}  // namespace ostrale

namespace ostrale::identita {

// A Flatpak application's id, when the process's sandbox (its folder `base` of /proc) says so
// and what it runs is one of that application's deployed files: under the system
// installation, or under the installation of the user the process runs as (`/app` in the
// sandbox is the deployment's `files`).
std::optional<std::string> applicazioneFlatpakVerificata(
    const std::string& base, std::string_view eseguibile, const Attributi& file,
    const std::unordered_set<std::uint64_t>& locali);

}  // namespace ostrale::identita
