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

void ServiziDati::avvia() {
    connect(&stato_, &StatoApp::localizza, &localizzatore_,
            [this](const std::string& ip) { localizzatore_.cerca(ip); });
    connect(&localizzatore_, &GeoLocalizzatore::risultati, &stato_, &StatoApp::aggiungiPosizioni);
    localizzatore_.avvia();
    auto consegna = [guardia = QPointer(&stato_)](std::string testo) {
        if (guardia) guardia->consegnaBlocklistC2(std::move(testo));
    };
    c2_.controllaAutomaticamente(consegna);
    orologioC2_ = temporizzatore_.ogni(
        intervalloC2, [this, consegna] { c2_.controllaAutomaticamente(consegna); });
    geoDB_.controllaAutomaticamente([this] { ricarica(); });
    orologioGeoDB_ = temporizzatore_.ogni(
        intervalloGeoDB, [this] { geoDB_.controllaAutomaticamente([this] { ricarica(); }); });
}

}  // namespace ostrale
