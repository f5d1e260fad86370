// SPDX-License-Identifier: GPL-3.0-or-later
// Notifications, findings the user is no longer told about, and the two questions: an access
// blocked, and a paused flow waiting for the user's answer.
#include <algorithm>

#include <QPointer>

#include "Condiviso/codifica-json.h"
#include "Condiviso/uuid.h"
#include "Ostrale/Stato/canale-app.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/notificatore.h"
#include "Ostrale/Stato/presentatore-domande.h"
#include "Ostrale/Stato/stato-app-interno.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"

namespace ostrale {

using interno::chiaveSilenzio;
using interno::grezzo;
using interno::pota;

namespace {

QString nuovoIdentificatore() {
    return QString::fromStdString(Uuid::genera().testo());
}

constexpr std::size_t notificheAttaccoRicordate = 64;
constexpr std::size_t domandeAperteMassime = 256;

}  // namespace

// ---- notifications ----

void StatoApp::notifica(QString titolo, QString corpo, bool apreAttacchi, QString silenzia) {
    if (!notifiche_) return;
    Notificatore::Notifica n{nuovoIdentificatore(), std::move(titolo), std::move(corpo), {}};
    if (apreAttacchi) {
        n.azioni.push_back(
            {QString::fromLatin1(Notificatore::azionePredefinita), tr("Apri la vista Attacchi")});
        notificheAttacco_.push_back(n.identificatore);
        if (notificheAttacco_.size() > notificheAttaccoRicordate) notificheAttacco_.pop_front();
    }
    if (!silenzia.isEmpty()) {
        n.azioni.push_back({QStringLiteral("silenzia"), tr("Non avvisarmi più")});
        notificheSilenziabili_.emplace_back(n.identificatore, std::move(silenzia));
        if (notificheSilenziabili_.size() > notificheAttaccoRicordate)
            notificheSilenziabili_.pop_front();
    }
    notifiche_->invia(n);
}

// ---- findings the user is no longer told about ----

bool StatoApp::silenziabile(const EventoFlusso& evento) {
    return evento.attacco && evento.consentito;
}

bool StatoApp::avvisiSilenziati(const EventoFlusso& evento) const {
    return silenziabile(evento) && preferenze_.comeMappa(ImpostazioniApp::avvisiSilenziati)
                                       .contains(chiaveSilenzio(evento));
}

void StatoApp::silenziaAvvisi(const EventoFlusso& evento, bool silenzia) {
    if (silenziabile(evento)) silenziaAvvisi(chiaveSilenzio(evento), silenzia);
}

void StatoApp::silenziaAvvisi(const QString& chiave, bool silenzia) {
    QVariantMap silenziati = preferenze_.comeMappa(ImpostazioniApp::avvisiSilenziati);
    if (silenziati.contains(chiave) == silenzia) return;
    if (silenzia) {
        silenziati.insert(chiave, orologio_.adesso().secondiUnix());
    } else {
        silenziati.remove(chiave);
    }
    preferenze_.imposta(ImpostazioniApp::avvisiSilenziati, silenziati);
    emit avvisiSilenziatiCambiati();
}

void StatoApp::notificaAnomalia(const EventoFlusso& evento) {
    const Data adesso = orologio_.adesso();
    const auto it = ultimaNotificaAnomalia_.find(evento.firmaApp);
    if (it != ultimaNotificaAnomalia_.end() && adesso.secondiDa(it->second) < intervalloNotifiche)
        return;
    ultimaNotificaAnomalia_[evento.firmaApp] = adesso;
    pota(ultimaNotificaAnomalia_, adesso, intervalloNotifiche);
    notifica(tr("App che si sveglia"),
             tr("%1 ha contattato una destinazione nuova: %2")
                 .arg(QString::fromStdString(evento.firmaApp), QString::fromStdString(evento.host)),
             false);
    lampeggioPer(8);
}

void StatoApp::suAzioneNotifica(const QString& identificatore, const QString& chiave) {
    if (chiave == QLatin1String("silenzia")) {
        for (const auto& [notifica, silenzio] : notificheSilenziabili_) {
            if (notifica == identificatore) silenziaAvvisi(silenzio, true);
        }
        return;
    }
    if (std::find(notificheAttacco_.begin(), notificheAttacco_.end(), identificatore) !=
        notificheAttacco_.end()) {
        emit sezioneRichiesta(QStringLiteral("attacchi"));
        return;
    }
    for (const auto& [domanda, aperta] : domandeAperte_) {
        if (aperta.notifica != identificatore) continue;
        // The buttons apply what the notification said; "Solo questa volta" allows once.
        RispostaDecisione risposta = aperta.notificata;
        if (chiave == QLatin1String("consenti") || chiave == QLatin1String("blocca")) {
            risposta.consenti = chiave == QLatin1String("consenti");
        } else if (chiave == QLatin1String("unaVolta")) {
            risposta.consenti = true;
            risposta.durata = DurataRisposta::unaVolta;
        } else {
            return;
        }
        rispondiDecisione(domanda, risposta, true);
        return;
    }
}

// ---- questions ----

void StatoApp::chiediSuBlocco(const EventoFlusso& evento) {
    if (!domande_ || !preferenze_.comeBool(ImpostazioniApp::chiediSuBlocco) ||
        avvisoBloccoInCorso_ || evento.firmaApp == "sconosciuta")
        return;
    const Data adesso = orologio_.adesso();
    const auto it = ultimoAvvisoBlocco_.find(evento.firmaApp);
    if (it != ultimoAvvisoBlocco_.end() && adesso.secondiDa(it->second) < intervalloNotifiche)
        return;
    ultimoAvvisoBlocco_[evento.firmaApp] = adesso;
    pota(ultimoAvvisoBlocco_, adesso, intervalloNotifiche);
    avvisoBloccoInCorso_ = true;
    emit domandaInAttesaCambiata();
    avviaLampeggio();
    domande_->chiediSuBlocco(evento, [guardia = QPointer(this),
                                      firma = evento.firmaApp](bool consenti) {
        if (!guardia || !guardia->avvisoBloccoInCorso_) return;
        guardia->fermaLampeggio();
        guardia->avvisoBloccoInCorso_ = false;
        emit guardia->domandaInAttesaCambiata();
        guardia->aggiungiRegola(firma, consenti ? AzioneRegola::consenti : AzioneRegola::blocca);
    });
}

void StatoApp::chiediDecisione(const std::string& dati) {
    auto evento = json::decodifica<EventoFlusso>(dati);
    if (!evento) {
        logXpc_.errore("Richiesta di decisione non decodificabile");
        return;
    }
    if (!domande_ && !(notifiche_ && notifiche_->offreAzioni())) return;  // the extension waits
    // Questions nobody answers are not kept for ever: the oldest goes (its flows were released
    // long ago).
    if (domandeAperte_.size() >= domandeAperteMassime) {
        const auto vecchia = domandeAperte_.begin();
        if (domande_) domande_->ritira(vecchia->first);
        if (notifiche_ && !vecchia->second.notifica.isEmpty())
            notifiche_->ritira(vecchia->second.notifica);
        domandeAperte_.erase(vecchia);
        fermaLampeggio();
    }
    const std::uint64_t domanda = ++ultimaDomanda_;
    const RispostaDecisione ultima = ultimaRisposta();
    DomandaAperta& aperta = domandeAperte_[domanda];
    aperta.firma = evento->firmaApp;
    aperta.dominio = destinazioneDomanda(*evento);
    aperta.porta = portaDomanda(*evento);
    aperta.notificata = ultima;
    aperta.notificata.ambito = ambitoPossibile(ultima.ambito, *evento);
    if (domandeAperte_.size() == 1) emit domandaInAttesaCambiata();
    avviaLampeggio();
    if (notifiche_ && notifiche_->offreAzioni()) {
        aperta.notifica = nuovoIdentificatore();
        notifiche_->invia({aperta.notifica,
                           tr("Connessione sospesa: decidi tu"),
                           testi::corpoAvvisoSospeso(*evento) + QStringLiteral("\n\n") +
                               testi::validitàRisposta(aperta.notificata, *evento),
                           {{QStringLiteral("blocca"), tr("Blocca")},
                            {QStringLiteral("consenti"), tr("Consenti")},
                            {QStringLiteral("unaVolta"), tr("Solo questa volta")}},
                           true});
    }
    if (domande_) {
        const Data scadenza = orologio_.adesso().piùSecondi(attesaDecisione);
        domande_->chiediDecisione(
            domanda, *evento, scadenza, ultima,
            [guardia = QPointer(this), domanda](const RispostaDecisione& risposta) {
                if (guardia) guardia->rispondiDecisione(domanda, risposta, false);
            });
    }
}

RispostaDecisione StatoApp::ultimaRisposta() const {
    RispostaDecisione r;
    r.durata = daValoreGrezzo<DurataRisposta>(
                   preferenze_.comeTesto(ImpostazioniApp::durataRisposta).toStdString())
                   .value_or(DurataRisposta::perSempre);
    r.ambito = daValoreGrezzo<AmbitoRisposta>(
                   preferenze_.comeTesto(ImpostazioniApp::ambitoRisposta).toStdString())
                   .value_or(AmbitoRisposta::app);
    return r;
}

void StatoApp::rispondiDecisione(std::uint64_t domanda, const RispostaDecisione& risposta,
                                 bool daNotifica) {
    // The first answer wins; the other way of asking is withdrawn.
    const auto it = domandeAperte_.find(domanda);
    if (it == domandeAperte_.end()) return;
    const DomandaAperta aperta = std::move(it->second);
    domandeAperte_.erase(it);
    if (domandeAperte_.empty()) emit domandaInAttesaCambiata();
    if (daNotifica && domande_) domande_->ritira(domanda);
    // Also when it answered: a notification that stays until answered goes now.
    if (!aperta.notifica.isEmpty() && notifiche_) notifiche_->ritira(aperta.notifica);
    fermaLampeggio();
    // The window's choice is offered first next time; the notification's buttons chose nothing.
    if (!daNotifica) {
        preferenze_.imposta(ImpostazioniApp::durataRisposta, grezzo(risposta.durata));
        preferenze_.imposta(ImpostazioniApp::ambitoRisposta, grezzo(risposta.ambito));
    }
    RispostaSospesi sospesi{aperta.firma, risposta.consenti,
                            risposta.durata == DurataRisposta::unaVolta, std::nullopt,
                            std::nullopt};
    if (risposta.ambito != AmbitoRisposta::app) sospesi.dominio = aperta.dominio;
    if (risposta.ambito == AmbitoRisposta::hostPorta && sospesi.dominio)
        sospesi.porta = aperta.porta;
    if (canale_->connesso()) canale_->rispondiSospesi(sospesi);
    if (sospesi.unaVolta) return;
    const AzioneRegola azione = risposta.consenti ? AzioneRegola::consenti : AzioneRegola::blocca;
    const Durata durata = durataPer(risposta.durata, orologio_.adesso());
    if (sospesi.dominio) {
        aggiungiRegolaDominio(*sospesi.dominio, azione, aperta.firma, sospesi.porta, durata);
    } else {
        aggiungiRegola(aperta.firma, azione, durata);
    }
}

}  // namespace ostrale
