// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/data.h"
#include "Condiviso/pacchetto-storico.h"

namespace ostrale::Storico {

// How long hourly buckets are kept: 60 days of 86,400 seconds.
inline constexpr double secondiConservati = 5'184'000.0;

// The hour key of a moment: "yyyy-MM-dd HH" in the process's local time zone, ASCII digits and the
// Gregorian calendar whatever the locale. Safe from any thread.
std::string chiaveOra(Data momento);

// Whether a text is an hour key: the form, a real date, an hour from 00 to 23. It reads no time
// zone rules (`inizioOra` does; with no TZ set, the C library checks the zone file each time).
bool èChiaveOra(std::string_view chiave);

// The first instant of the local hour a key names; absent for any text that is not an hour key.
std::optional<Data> inizioOra(std::string_view chiave);

// Keeps the buckets whose hour began at or after `adesso` minus 60 days; drops the others and
// every key that is not an hour key.
StoricoOre pota(const StoricoOre& ore, Data adesso);

}  // namespace ostrale::Storico
