// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "Condiviso/data.h"

namespace ostrale {

// Flows of one hour. `tracker` is counted in addition to allowed or blocked.
struct ContatoreOra {
    std::int64_t consentiti = 0;
    std::int64_t bloccati = 0;
    std::int64_t tracker = 0;

    bool operator==(const ContatoreOra&) const = default;
};

// Lifetime counters of one application.
struct VoceAppStorico {
    std::int64_t totale = 0;
    std::int64_t tracker = 0;
    std::int64_t bloccati = 0;
    std::int64_t anomalie = 0;

    bool operator==(const VoceAppStorico&) const = default;
};

// Lifetime counters of one remote address, with the host and application of its latest flow.
struct VoceIPStorico {
    std::int64_t totale = 0;
    std::int64_t bloccati = 0;
    std::int64_t entrata = 0;
    std::string host;
    std::string app;

    bool operator==(const VoceIPStorico&) const = default;
};

using StoricoOre = std::unordered_map<std::string, ContatoreOra>;    // hour key → counters
using StoricoApp = std::unordered_map<std::string, VoceAppStorico>;  // signing id → counters
using StoricoIP = std::unordered_map<std::string, VoceIPStorico>;    // address → counters
using PrimeViste = std::unordered_map<std::string, Data>;            // signing id → first seen

// The history the extension accumulates and hands to the app.
struct PacchettoStorico {
    StoricoOre ore;
    StoricoApp app;
    StoricoIP ip;
    PrimeViste primeViste;

    bool operator==(const PacchettoStorico&) const = default;
};

}  // namespace ostrale
