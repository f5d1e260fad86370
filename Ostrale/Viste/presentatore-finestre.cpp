// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/presentatore-finestre.h"

#include <QApplication>

namespace ostrale {

PresentatoreFinestre::PresentatoreFinestre(const Orologio& orologio, QObject* parent)
    : QObject(parent), orologio_(orologio) {
    orologioTempo_.setInterval(1000);
    connect(&orologioTempo_, &QTimer::timeout, this, &PresentatoreFinestre::aggiornaTempo);
}

PresentatoreFinestre::~PresentatoreFinestre() {
    delete mostrata_;
    delete blocco_;
}

void PresentatoreFinestre::mostra(FinestraDomanda* finestra) {
    finestra->adjustSize();
    finestra->show();
    // Above everything and asking for attention, also when the app is in the background
    // (where the window manager allows it; Wayland lets only the urgency hint through).
    finestra->raise();
    finestra->activateWindow();
    QApplication::alert(finestra);
}

void PresentatoreFinestre::chiediSuBlocco(const EventoFlusso& evento, Risposta risposta) {
    delete blocco_;
    auto* finestra = new FinestraDomanda(FinestraDomanda::Tipo::blocco, evento);
    blocco_ = finestra;
    connect(finestra, &FinestraDomanda::risposta, this,
            [finestra, risposta = std::move(risposta)](bool consenti) {
                finestra->hide();
                finestra->deleteLater();
                risposta(consenti);
            });
    mostra(finestra);
}

void PresentatoreFinestre::chiediDecisione(std::uint64_t domanda, const EventoFlusso& evento,
                                           Data scadenza, const RispostaDecisione& ultima,
                                           RispostaSospesa risposta) {
    coda_.push_back({domanda, evento, scadenza, ultima, std::move(risposta)});
    if (!mostrata_) mostraProssima();
}

void PresentatoreFinestre::ritira(std::uint64_t domanda) {
    if (mostrata_ && idMostrata_ == domanda) {
        // Gone from the screen now; deleted once the event loop is back at its top.
        mostrata_->hide();
        mostrata_->deleteLater();
        mostrata_ = nullptr;
        mostraProssima();
        return;
    }
    std::erase_if(coda_, [domanda](const InAttesa& a) { return a.domanda == domanda; });
}

void PresentatoreFinestre::ritiraTutte() {
    coda_.clear();
    orologioTempo_.stop();
    delete mostrata_;
    delete blocco_;
}

void PresentatoreFinestre::mostraProssima() {
    if (coda_.empty()) {
        orologioTempo_.stop();
        return;
    }
    InAttesa prossima = std::move(coda_.front());
    coda_.pop_front();
    // Asked before the last answer here was given: that answer is the newer choice.
    auto* finestra = new FinestraDomanda(FinestraDomanda::Tipo::sospesa, prossima.evento,
                                         datePrima_.value_or(prossima.ultima));
    mostrata_ = finestra;
    idMostrata_ = prossima.domanda;
    scadenzaMostrata_ = prossima.scadenza;
    connect(finestra, &FinestraDomanda::risposta, this,
            [this, finestra, risposta = std::move(prossima.risposta)](bool consenti) {
                finestra->hide();
                finestra->deleteLater();
                if (mostrata_ == finestra) mostrata_ = nullptr;
                const RispostaDecisione data{consenti, finestra->durata(), finestra->ambito()};
                datePrima_ = data;
                risposta(data);
                if (!mostrata_) mostraProssima();
            });
    aggiornaTempo();
    mostra(finestra);
    orologioTempo_.start();
}

void PresentatoreFinestre::aggiornaTempo() {
    if (mostrata_) mostrata_->mostraTempo(scadenzaMostrata_.secondiDa(orologio_.adesso()));
}

}  // namespace ostrale
