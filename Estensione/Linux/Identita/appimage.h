// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>

#include "Estensione/Linux/Identita/letture.h"

namespace ostrale::identita {

// The AppImage a process runs from (the process's folder `base` of `proc`): the image its
// environment names (APPIMAGE), when the mount its executable lies in (/tmp/.mount_*) is that
// image's: a squashfs on a loop device backed by that file, or a FUSE mount while the image
// itself runs (as its runtime does, serving the mount). The image's path and its file.
std::optional<std::pair<std::string, Attributi>> appImage(
    const std::string& proc, const std::string& base, std::string_view eseguibile,
    const Attributi& file, const std::unordered_set<std::uint64_t>& locali);

}  // namespace ostrale::identita
