// SPDX-License-Identifier: GPL-3.0-or-later
// The status light, its ring and blinking, and the revival of a link that keeps failing.
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"

namespace ostrale {

void StatoApp::setColoreBarra(ColoreSemaforo v) {
    if (coloreBarra_ == v) return;
    coloreBarra_ = v;
    emit coloreBarraCambiato();
}

void StatoApp::setLampeggioAcceso(bool v) {
    if (lampeggioAcceso_ == v) return;
    lampeggioAcceso_ = v;
    emit lampeggioAccesoCambiato();
}

void StatoApp::setFaseAnello(double v) {
    if (faseAnello_ == v) return;
    faseAnello_ = v;
    emit faseAnelloCambiata();
}

void StatoApp::aggiornaSemaforo() {
    aggiornaAnello();
    if (!filtroAttivo_) {
        setColoreBarra(ColoreSemaforo::spento);
        return;
    }
    // The leading run of events younger than 10 seconds.
    const Data adesso = orologio_.adesso();
    int bloccati = 0;
    for (const EventoFlusso& e : flussi_) {
        if (!(adesso.secondiDa(e.data) < 10)) break;
        if (!e.consentito) ++bloccati;
    }
    setColoreBarra(bloccati == 0  ? ColoreSemaforo::verde
                   : bloccati < 5 ? ColoreSemaforo::arancio
                                  : ColoreSemaforo::rosso);
}

void StatoApp::aggiornaAnello() {
    if (filtroAttivo_ && !orologioAnello_) {
        // 56 points are one period of the ring's dashes.
        orologioAnello_ = ogni(intervalloAnello, [this] {
            double fase = faseAnello_ - 3;
            if (fase <= -56) fase += 56;
            setFaseAnello(fase);
        });
    } else if (!filtroAttivo_ && orologioAnello_) {
        temporizzatore_.annulla(*orologioAnello_);
        orologioAnello_.reset();
    }
}

void StatoApp::avviaLampeggio() {
    ++richiesteInAttesa_;
    if (orologioLampeggio_) return;
    setLampeggioAcceso(true);
    orologioLampeggio_ =
        ogni(intervalloLampeggio, [this] { setLampeggioAcceso(!lampeggioAcceso_); });
}

void StatoApp::fermaLampeggio() {
    richiesteInAttesa_ = std::max(0, richiesteInAttesa_ - 1);
    if (richiesteInAttesa_ > 0) return;
    if (orologioLampeggio_) {
        temporizzatore_.annulla(*orologioLampeggio_);
        orologioLampeggio_.reset();
    }
    setLampeggioAcceso(false);
}

void StatoApp::rianimaSeServe() {
    const Data adesso = orologio_.adesso();
    if (!filtroAttivo_ || collegamentiFalliti_ < fallimentiPerRianimazione ||
        !(adesso.secondiDa(ultimaRianimazione_) > intervalloRianimazione))
        return;
    log_.avviso("Il collegamento con l'estensione continua a fallire: la riavvio");
    ultimaRianimazione_ = adesso;
    collegamentiFalliti_ = 0;
    preferenze_.imposta(ImpostazioniApp::rianimazioneInCorso, true);
    impostaFiltro(false);
    dopo(2, [this] {
        impostaFiltro(true);
        preferenze_.rimuovi(ImpostazioniApp::rianimazioneInCorso);
    });
}

void StatoApp::completaRianimazioneInterrotta() {
    if (!preferenze_.comeBool(ImpostazioniApp::rianimazioneInCorso)) return;
    preferenze_.rimuovi(ImpostazioniApp::rianimazioneInCorso);
    log_.info("Completo il riavvio dell'estensione interrotto all'ultima uscita");
    dopo(1, [this] { impostaFiltro(true); });
}

void StatoApp::lampeggioPer(double secondi) {
    avviaLampeggio();
    dopo(secondi, [this] { fermaLampeggio(); });
}

}  // namespace ostrale
