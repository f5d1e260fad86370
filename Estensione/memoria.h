// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Condiviso/codifica-json.h"
#include "Condiviso/data.h"
#include "Condiviso/evento-flusso.h"
#include "Condiviso/pacchetto-storico.h"

namespace ostrale {

// What the extension remembers across flows and restarts: first sightings, habits, hourly,
// per-application and per-address counters, and the log of recent events. Not thread-safe:
// it lives inside the provider's locked state.
class Memoria {
  public:
    static constexpr std::size_t dominiPerApp = 200;
    static constexpr std::size_t indirizziMassimi = 5000;
    static constexpr std::size_t eventiMassimi = 10000;
    static constexpr std::size_t eventiInviati = 3000;
    // Applications remembered (first sightings, habits, per-application history): any user can
    // make new ones (copies of a program), so they are bounded, and those seen longest ago go
    // first. With identities of at most 1,024 bytes and 200 domains each, no file comes near
    // what is read back (64 MiB).
    static constexpr std::size_t applicazioniMassime = 1000;
    static constexpr std::size_t recentiMassime = dominiPerApp * applicazioniMassime;

    // The files, decoded; each one that is missing or undecodable is empty.
    struct Contenuto {
        PrimeViste primeViste;
        json::Abitudini abitudini;
        // When each habit learnt in the last day was learnt, by application "|" domain; a
        // habit not listed was learnt earlier.
        PrimeViste abitudiniRecenti;
        StoricoOre storicoOre;
        StoricoApp storicoApp;
        StoricoIP storicoIP;
        json::RegistroCondiviso registro;
    };

    // Reads and decodes the files of the container and prunes the hours older than 60 days
    // before `adesso`. Does file I/O: never call it with the provider's lock held.
    static Contenuto leggiFile(Data adesso);
    // Stores the files, each atomically; false when any could not be written. Does file I/O.
    static bool scriviFile(const Contenuto& contenuto);

    // Replaces everything with `contenuto`; the "to save" flag is left as it is.
    void assegna(Contenuto contenuto);
    // A copy of everything.
    Contenuto copia() const;
    // A copy of everything, and whether it changed since the last copy taken this way (the flag
    // is cleared).
    std::optional<Contenuto> prendiDaSalvare();
    // A copy taken could not be stored: the next save stores everything again.
    void daRisalvare();
    bool daSalvare() const { return daSalvare_; }

    // The first sighting of `firma`, recording `adesso` when there is none.
    Data annotaPrimaVista(const std::string& firma, Data adesso);
    // Whether contacting `dominio` is anomalous for `firma`, learning the domain as a habit.
    bool verificaAbitudine(const std::string& firma, const std::string& dominio, Data primaVista,
                           Data adesso, bool avvisaAnomalie);
    // Whether `dominio` is a habit of `firma` from before the last day (asked before the flow
    // that may teach it).
    bool abitudineConsolidata(const std::string& firma, const std::string& dominio,
                              Data adesso) const;
    // Counts a judged flow and appends its event to the log (which shares it: no copy).
    void contabilizzaFlusso(std::shared_ptr<const EventoFlusso> evento, Data adesso,
                            bool consentito, bool tracker, bool anomala, const std::string& firma,
                            const std::optional<std::string>& indirizzo, DirezioneFlusso direzione,
                            const std::string& host);
    void contabilizzaFlusso(const EventoFlusso& evento, Data adesso, bool consentito, bool tracker,
                            bool anomala, const std::string& firma,
                            const std::optional<std::string>& indirizzo, DirezioneFlusso direzione,
                            const std::string& host) {
        contabilizzaFlusso(std::make_shared<const EventoFlusso>(evento), adesso, consentito,
                           tracker, anomala, firma, indirizzo, direzione, host);
    }
    void contabilizzaDecisione(const std::string& firma, bool consenti, std::int64_t quanti,
                               Data adesso);
    void aggiungiAlRegistro(EventoFlusso evento) {
        aggiungiAlRegistro(std::make_shared<const EventoFlusso>(std::move(evento)));
    }
    void aggiungiAlRegistro(std::shared_ptr<const EventoFlusso> evento);

    PacchettoStorico storico() const;
    // The newest events (at most 3,000), oldest first.
    std::vector<EventoFlusso> flussi() const;

    const PrimeViste& primeViste() const { return primeViste_; }
    const json::Abitudini& abitudini() const { return abitudini_; }
    const StoricoOre& storicoOre() const { return storicoOre_; }
    const StoricoApp& storicoApp() const { return storicoApp_; }
    const StoricoIP& storicoIP() const { return storicoIP_; }
    const std::deque<std::shared_ptr<const EventoFlusso>>& registro() const { return registro_; }

  private:
    // Forgets the applications seen longest ago until every table is within its bound.
    void contieniApplicazioni();
    void dimentica(const std::string& firma);
    void vista(const std::string& firma, Data adesso);

    // When each application was last seen (not stored: a loaded one counts from its first
    // sighting).
    std::unordered_map<std::string, Data> ultimaVista_;
    PrimeViste primeViste_;
    json::Abitudini abitudini_;
    PrimeViste abitudiniRecenti_;
    Data ultimaPotatura_;  // of abitudiniRecenti_
    StoricoOre storicoOre_;
    StoricoApp storicoApp_;
    StoricoIP storicoIP_;
    std::deque<std::shared_ptr<const EventoFlusso>> registro_;
    bool daSalvare_ = false;
};

}  // namespace ostrale
