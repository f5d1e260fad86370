// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <cstdint>
#include <optional>
#include <vector>

#include "Condiviso/data.h"
#include "Condiviso/pacchetto-storico.h"

namespace ostrale {

// One bar of a history chart: an hour or a day, from its first instant.
struct PuntoOra {
    Data data;
    std::int64_t consentiti = 0;
    std::int64_t bloccati = 0;
    std::int64_t tracker = 0;

    bool operator==(const PuntoOra&) const = default;
};

struct TotaliStorico {
    std::int64_t consentiti = 0;
    std::int64_t bloccati = 0;
    std::int64_t tracker = 0;

    bool operator==(const TotaliStorico&) const = default;
};

// What the history section draws, from the hourly counters. Days and hours are those of the
// process's local time zone, as in the hour keys. Sums saturate instead of overflowing (the
// counters come from a file).
namespace CalcoliStorico {

// How far back the daily chart reaches: 30 days of 86,400 seconds.
inline constexpr double secondiGiorni = 2'592'000.0;

// The 24 hours up to `adesso`, oldest first, the current one last: 24 distinct hour keys walking
// back an hour at a time, so the hour repeated when clocks go back is one bar, not two. Hours
// without counters are zero.
std::vector<PuntoOra> ultime24(const StoricoOre& ore, Data adesso);

// One point per local day with counters whose hour began at or after `adesso` minus 30 days,
// oldest first; keys that are not hour keys are left out.
std::vector<PuntoOra> ultimi30Giorni(const StoricoOre& ore, Data adesso);

// The sums over every entry, whatever its key.
TotaliStorico totali(const StoricoOre& ore);

// The local calendar day and hour of a moment.
QDate giorno(Data momento);
int ora(Data momento);
// Seconds from `adesso` to the start of the next local hour.
double secondiAlCambioOra(Data adesso);

}  // namespace CalcoliStorico
}  // namespace ostrale
