// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Dati/servizi-dati.h"

#include <QPointer>

#include "Ostrale/Stato/stato-app.h"

namespace ostrale {

ServiziDati::ServiziDati(StatoApp& stato, ImpostazioniApp& preferenze, const Orologio& orologio,
                         Temporizzatore& temporizzatore, QObject* parent)
    : QObject(parent),
      stato_(stato),
      temporizzatore_(temporizzatore),
      blocklist_(orologio),
      c2_(preferenze, blocklist_, orologio, rete_),
      geoDB_(preferenze, orologio, rete_) {}

ServiziDati::~ServiziDati() {
    for (auto* id : {&orologioC2_, &orologioGeoDB_}) {
        if (*id) temporizzatore_.annulla(**id);
    }
}

void ServiziDati::ricarica() {
    localizzatore_.azzera();
    stato_.ricaricaPosizioni();
}

AggiornatoreC2::Consegna ServiziDati::consegnaC2() {
    return [guardia = QPointer(&stato_)](std::string testo) {
        if (guardia) guardia->consegnaBlocklistC2(std::move(testo));
    };
}

void ServiziDati::aggiornaC2() {
    c2_.aggiorna(false, consegnaC2());
}

void ServiziDati::aggiornaGeoDB() {
    geoDB_.aggiorna([this] { ricarica(); });
}

void ServiziDati::avvia() {
    connect(&stato_, &StatoApp::localizza, &localizzatore_,
            [this](const std::string& ip) { localizzatore_.cerca(ip); });
    connect(&localizzatore_, &GeoLocalizzatore::risultati, &stato_, &StatoApp::aggiungiPosizioni);
    localizzatore_.avvia();
    // The C2 list in use, for whoever shows it; the city database in use is read by its check.
    c2_.leggiLista();
    auto consegna = consegnaC2();
    c2_.controllaAutomaticamente(consegna);
    orologioC2_ = temporizzatore_.ogni(
        intervalloC2, [this, consegna] { c2_.controllaAutomaticamente(consegna); });
    geoDB_.controllaAutomaticamente([this] { ricarica(); });
    orologioGeoDB_ = temporizzatore_.ogni(
        intervalloGeoDB, [this] { geoDB_.controllaAutomaticamente([this] { ricarica(); }); });
}

}  // namespace ostrale
