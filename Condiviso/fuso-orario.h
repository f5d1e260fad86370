// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace ostrale {

// The machine's time zone, followed while the program runs. The C library reads the zone once;
// a new /etc/localtime (a user who travels, a change in the settings) is only seen when it is
// asked again, which rileggiFusoOrario does (the daemon calls it every half minute).

// At start, before any thread: a TZ that only names the default file (":/etc/localtime", as
// some units set it) is dropped, since with it set the C library never looks at the file again.
void preparaFusoOrario();

// Reads the zone again if its file changed, and tells the callers that keep local times of
// their own (per-thread caches) to compute them again.
void rileggiFusoOrario();

// Changes whenever rileggiFusoOrario runs.
std::uint64_t generazioneFusoOrario();

}  // namespace ostrale
