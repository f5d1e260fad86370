// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <memory>

#include "Condiviso/blocklist-c2.h"
#include "Ostrale/Dati/aggiornatore-c2.h"
#include "Ostrale/Dati/aggiornatore-geodb.h"
#include "Ostrale/Dati/geo-localizzatore.h"
#include "Ostrale/Stato/temporizzatore.h"

namespace ostrale {

class StatoApp;
class ImpostazioniApp;

// The threat and location data of one app, wired to its controller: the C2 list checked at start
// and every 6 hours and delivered to the extension, positions of remote addresses looked up as
// flows and history come, the city database checked at start and every day (a new one makes the
// controller look every address up again), and this computer's position (given by the caller).
class ServiziDati : public QObject {
    Q_OBJECT
  public:
    static constexpr double intervalloC2 = 21'600;
    static constexpr double intervalloGeoDB = 86'400;

    ServiziDati(StatoApp& stato, ImpostazioniApp& preferenze, const Orologio& orologio,
                Temporizzatore& temporizzatore, QObject* parent = nullptr);
    ~ServiziDati() override;

    // Connects everything and runs the first checks.
    void avvia();

    AggiornatoreC2& c2() { return c2_; }
    AggiornatoreGeoDB& geoDB() { return geoDB_; }
    GeoLocalizzatore& localizzatore() { return localizzatore_; }
    // The updates the user asks for: a new C2 list goes to the extension, a new city database
    // is used for every address.
    void aggiornaC2();
    void aggiornaGeoDB();
    // After a new city database: every address is placed again.
    void ricarica();

  private:
    AggiornatoreC2::Consegna consegnaC2();

    StatoApp& stato_;
    Temporizzatore& temporizzatore_;
    QNetworkAccessManager rete_;
    BlocklistC2 blocklist_;
    AggiornatoreC2 c2_;
    AggiornatoreGeoDB geoDB_;
    GeoLocalizzatore localizzatore_;
    std::optional<Temporizzatore::Id> orologioC2_, orologioGeoDB_;
};

}  // namespace ostrale
