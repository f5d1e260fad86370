// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers the controller's attack archive and its notifications share.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include <QString>

#include "Condiviso/data.h"
#include "Condiviso/evento-flusso.h"
#include "Ostrale/Stato/stato-app.h"

namespace ostrale::interno {

// The key of one pattern's findings from one source: pattern "|" source.
inline QString chiaveSilenzio(const EventoFlusso& evento) {
    return QString::fromLatin1(evento.attacco ? valoreGrezzo(*evento.attacco) : "") +
           QLatin1Char('|') + QString::fromStdString(StatoApp::sorgenteAttacco(evento));
}

template <typename E>
QString grezzo(E caso) {
    const std::string_view v = valoreGrezzo(caso);
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

// Past this many throttle entries, those older than the throttle go (they no longer hold back).
constexpr std::size_t voltePrimaDiPotare = 4096;

inline void pota(std::map<std::string, Data>& ultime, Data adesso, double intervallo) {
    if (ultime.size() <= voltePrimaDiPotare) return;
    std::erase_if(ultime,
                  [&](const auto& voce) { return adesso.secondiDa(voce.second) >= intervallo; });
}

}  // namespace ostrale::interno
