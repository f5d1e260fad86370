// SPDX-License-Identifier: GPL-3.0-or-later
// `storico`: the daemon's hourly, per-application and per-address history.
#include <algorithm>
#include <iostream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "Condiviso/codifica-json.h"
#include "Condiviso/pacchetto-storico.h"
#include "ostralectl/comandi.h"

namespace ostrale::ctl {

int storico(const Opzioni& o) {
    if (o.argomenti.size() != 1) {
        return argomentiSbagliati("storico",
                                  t("storico takes no arguments", "storico non vuole argomenti"));
    }
    Sessione s(o);
    if (const auto esito = s.connetti()) return *esito;
    const auto byte = s.cliente().leggiStorico();
    if (!byte) return s.senzaRisposta();
    const auto pacchetto = json::decodifica<PacchettoStorico>(*byte);
    if (!pacchetto) {
        dici(t("the history could not be read: ", "lo storico è illeggibile: ") +
             pacchetto.motivo());
        return esitoFallito;
    }
    if (o.json) {
        std::cout << *byte << std::endl;
        return esitoOk;
    }
    auto numero = [](std::int64_t n) { return std::to_string(n); };
    // The last 24 hours that have flows, newest first.
    const std::map<std::string, ContatoreOra> ore(pacchetto->ore.begin(), pacchetto->ore.end());
    Tabella perOra({t("HOUR", "ORA"), t("ALLOWED", "CONSENTITI"), t("BLOCKED", "BLOCCATI"),
                    t("TRACKERS", "TRACKER")},
                   {false, true, true, true});
    std::size_t mostrate = 0;
    for (auto it = ore.rbegin(); it != ore.rend() && mostrate < 24; ++it, ++mostrate) {
        perOra.aggiungi({it->first, numero(it->second.consentiti), numero(it->second.bloccati),
                         numero(it->second.tracker)});
    }
    // The 20 applications with most flows.
    std::vector<std::pair<std::string, VoceAppStorico>> app(pacchetto->app.begin(),
                                                            pacchetto->app.end());
    std::sort(app.begin(), app.end(), [](const auto& a, const auto& b) {
        return a.second.totale != b.second.totale ? a.second.totale > b.second.totale
                                                  : a.first < b.first;
    });
    Tabella perApp({t("FLOWS", "FLUSSI"), t("TRACKERS", "TRACKER"), t("BLOCKED", "BLOCCATI"),
                    t("UNUSUAL", "ANOMALIE"), t("APPLICATION", "APPLICAZIONE")},
                   {true, true, true, true, false});
    for (std::size_t i = 0; i < app.size() && i < 20; ++i) {
        const VoceAppStorico& v = app[i].second;
        perApp.aggiungi({numero(v.totale), numero(v.tracker), numero(v.bloccati),
                         numero(v.anomalie), app[i].first});
    }
    const std::string indirizzi = std::to_string(pacchetto->ip.size());
    const std::string viste = std::to_string(pacchetto->primeViste.size());
    std::cout << perOra.testo() << "\n"
              << perApp.testo() << "\n"
              << t(indirizzi + " addresses, " + viste + " applications seen",
                   indirizzi + " indirizzi, " + viste + " applicazioni viste")
              << "\n";
    return esitoOk;
}

}  // namespace ostrale::ctl
