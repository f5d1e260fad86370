// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace ostrale {

// The first user id of a person; those below are the system's.
inline constexpr std::uint32_t primoUtente = 1000;

// The user of the active session on the seat "seat0", as logind records it in
// /run/systemd/seats/seat0 (OSTRALE_SEDE names another file); absent when no session is active
// or there is no logind.
std::optional<std::uint32_t> uidSessioneAttiva();

}  // namespace ostrale
