// SPDX-License-Identifier: GPL-3.0-or-later
// The attack archive, the notifications and the two questions.
#include <algorithm>
#include <charconv>
#include <set>

#include <QPointer>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/codifica-json.h"
#include "Condiviso/uuid.h"
#include "Ostrale/Stato/canale-app.h"
#include "Ostrale/Stato/coda-seriale.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/notificatore.h"
#include "Ostrale/Stato/presentatore-domande.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"

namespace ostrale {

namespace {

QString chiaveSilenzio(const EventoFlusso& evento) {
    return QString::fromLatin1(evento.attacco ? valoreGrezzo(*evento.attacco) : "") +
           QLatin1Char('|') + QString::fromStdString(StatoApp::sorgenteAttacco(evento));
}

}  // namespace

namespace {

template <typename E>
QString grezzo(E caso) {
    const std::string_view v = valoreGrezzo(caso);
    return QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
}

QString nuovoIdentificatore() {
    return QString::fromStdString(Uuid::genera().testo());
}

// One of the archive's files, read whole; the empty value when it is missing or does not decode.
template <typename T>
T leggiArchivio(const char* nome, const Registro& log) {
    const auto testo = ArchivioCondiviso::leggi(nome);
    if (!testo) return {};
    auto valore = json::decodifica<T>(*testo);
    if (!valore) {
        log.avviso(std::string(nome) + " non leggibile: " + valore.motivo());
        return {};
    }
    return std::move(valore).valore();
}

constexpr std::size_t notificheAttaccoRicordate = 64;
constexpr std::size_t domandeAperteMassime = 256;
// Past this many throttle entries, those older than the throttle go (they no longer hold back).
constexpr std::size_t voltePrimaDiPotare = 4096;

void pota(std::map<std::string, Data>& ultime, Data adesso, double intervallo) {
    if (ultime.size() <= voltePrimaDiPotare) return;
    std::erase_if(ultime,
                  [&](const auto& voce) { return adesso.secondiDa(voce.second) >= intervallo; });
}

}  // namespace

std::string StatoApp::sorgenteAttacco(const EventoFlusso& evento) {
    if (evento.direzione == DirezioneFlusso::entrata) {
        return evento.indirizzoIP && !evento.indirizzoIP->empty() ? *evento.indirizzoIP
                                                                  : evento.host;
    }
    return evento.firmaApp;
}

// ---- the archive ----

void StatoApp::caricaAttacchi() {
    auto archivio = leggiArchivio<std::vector<EventoFlusso>>(fileAttacchi, log_);
    if (archivio.size() > massimoAttacchi) archivio.resize(massimoAttacchi);
    attacchi_.assign(std::make_move_iterator(archivio.begin()),
                     std::make_move_iterator(archivio.end()));
    conteggioAttacchi_ = leggiArchivio<json::Conteggi>(fileConteggi, log_);
    decisioniAttacco_ = leggiArchivio<json::Testi>(fileDecisioni, log_);
    // Counters lost (or never written) while the archive survived are counted again from it.
    if (conteggioAttacchi_.empty() && !attacchi_.empty()) {
        for (const EventoFlusso& e : attacchi_) {
            if (e.attacco) ++conteggioAttacchi_[std::string(valoreGrezzo(*e.attacco))];
        }
        salvaAttacchi(false, true, false);
    }
    emit attacchiCambiati();
    emit conteggioAttacchiCambiato();
    emit decisioniAttaccoCambiate();
}

void StatoApp::salvaAttacchi(bool archivio, bool conteggi, bool decisioni) {
    salvataggio_.archivio |= archivio;
    salvataggio_.conteggi |= conteggi;
    salvataggio_.decisioni |= decisioni;
    if (salvataggio_.previsto) return;
    salvataggio_.previsto = true;
    // A burst (a log merge, a flood of attack events) is written once, at the end of the turn.
    QMetaObject::invokeMethod(
        this, [this] { lavori_->accoda(lavoroSalvataggio()); }, Qt::QueuedConnection);
}

std::function<void()> StatoApp::lavoroSalvataggio() {
    const Salvataggio s = std::exchange(salvataggio_, {});
    std::optional<std::vector<EventoFlusso>> archivio;
    std::optional<MappaConteggi> conteggi;
    std::optional<MappaDecisioni> decisioni;
    if (s.archivio) archivio.emplace(attacchi_.begin(), attacchi_.end());
    if (s.conteggi) conteggi = conteggioAttacchi_;
    if (s.decisioni) decisioni = decisioniAttacco_;
    return [archivio = std::move(archivio), conteggi = std::move(conteggi),
            decisioni = std::move(decisioni)] {
        if (archivio) ArchivioCondiviso::salvaJSON(*archivio, fileAttacchi);
        if (conteggi) ArchivioCondiviso::salvaJSON(*conteggi, fileConteggi);
        if (decisioni) ArchivioCondiviso::salvaJSON(*decisioni, fileDecisioni);
    };
}

void StatoApp::registraAttacco(const EventoFlusso& evento) {
    attacchi_.push_front(evento);
    while (attacchi_.size() > massimoAttacchi) attacchi_.pop_back();
    emit attacchiCambiati();
    if (evento.attacco) {
        ++conteggioAttacchi_[std::string(valoreGrezzo(*evento.attacco))];
        emit conteggioAttacchiCambiato();
    }
    salvaAttacchi(true, evento.attacco.has_value(), false);
    emit attaccoRegistrato(evento);
    // A finding that only reports what the application does every day towards its own servers
    // (the daemon says so: not stopped, and not out of its habits) stays in the archive and the
    // attacks view, without an alert: one every hour about the mail client teaches the user to
    // ignore them all. So does one the user asked not to be told about again.
    if (evento.attacco && evento.consentito &&
        (!evento.anomala.value_or(false) || avvisiSilenziati(evento)))
        return;
    lampeggioPer(8);
    if (!evento.attacco) return;

    const std::string sorgente = sorgenteAttacco(evento);
    const std::string chiave = std::string(valoreGrezzo(*evento.attacco)) + "|" + sorgente;
    const Data adesso = orologio_.adesso();
    const auto it = ultimaNotificaAttacco_.find(chiave);
    if (it != ultimaNotificaAttacco_.end() && adesso.secondiDa(it->second) < intervalloNotifiche)
        return;
    ultimaNotificaAttacco_[chiave] = adesso;
    pota(ultimaNotificaAttacco_, adesso, intervalloNotifiche);
    const QString corpo =
        evento.consentito
            ? tr("%1 — segnalato, non bloccato. Dettagli nella vista Attacchi.")
                  .arg(QString::fromStdString(sorgente))
            : tr("%1 — sorgente bloccata per 10 minuti. Dettagli nella vista Attacchi.")
                  .arg(QString::fromStdString(sorgente));
    notifica(tr("Possibile attacco: %1").arg(testi::etichettaAttacco(*evento.attacco)), corpo, true,
             silenziabile(evento) ? chiaveSilenzio(evento) : QString());
}

void StatoApp::unisciAttacchi(const std::vector<EventoFlusso>& eventi) {
    // An event's key: its time in seconds since 1970 as a decimal, '|', its type.
    auto chiave = [](const EventoFlusso& e) {
        char numero[32];
        const auto fine = std::to_chars(numero, numero + sizeof numero, e.data.secondiUnix()).ptr;
        return std::string(numero, fine) + "|" +
               std::string(e.attacco ? valoreGrezzo(*e.attacco) : "");
    };
    std::set<std::string> visti;
    for (const EventoFlusso& e : attacchi_) visti.insert(chiave(e));
    const double pulitiFino = preferenze_.comeDouble(ImpostazioniApp::attacchiPulitiFino);
    const QVariantMap pulitiTipo = preferenze_.comeMappa(ImpostazioniApp::attacchiPulitiTipo);
    std::vector<const EventoFlusso*> tenuti;
    for (const EventoFlusso& e : eventi) {
        if (!e.attacco || !(e.data.secondiUnix() > pulitiFino)) continue;
        const auto tipo = pulitiTipo.find(grezzo(*e.attacco));
        if (tipo != pulitiTipo.end() && !(e.data.secondiUnix() > tipo->toDouble())) continue;
        if (!visti.insert(chiave(e)).second) continue;
        tenuti.push_back(&e);
    }
    if (tenuti.empty()) return;
    for (const EventoFlusso* e : tenuti) attacchi_.push_front(*e);
    while (attacchi_.size() > massimoAttacchi) attacchi_.pop_back();
    emit attacchiCambiati();
    for (const EventoFlusso* e : tenuti)
        ++conteggioAttacchi_[std::string(valoreGrezzo(*e->attacco))];
    emit conteggioAttacchiCambiato();
    salvaAttacchi(true, true, false);
}

void StatoApp::pulisciAttacchi() {
    attacchi_.clear();
    emit attacchiCambiati();
    salvaAttacchi(true, false, false);
    preferenze_.imposta(ImpostazioniApp::attacchiPulitiFino, orologio_.adesso().secondiUnix());
}

void StatoApp::pulisciArchivioTipo(TipoAttacco tipo) {
    const auto prima = attacchi_.size();
    std::erase_if(attacchi_, [tipo](const EventoFlusso& e) { return e.attacco == tipo; });
    if (attacchi_.size() != prima) emit attacchiCambiati();
    if (conteggioAttacchi_.erase(std::string(valoreGrezzo(tipo))) > 0) {
        emit conteggioAttacchiCambiato();
    }
    salvaAttacchi(true, true, false);
    QVariantMap pulitiTipo = preferenze_.comeMappa(ImpostazioniApp::attacchiPulitiTipo);
    pulitiTipo.insert(grezzo(tipo), orologio_.adesso().secondiUnix());
    preferenze_.imposta(ImpostazioniApp::attacchiPulitiTipo, pulitiTipo);
}

namespace {

// The rule a decision about an attack's source makes.
ModificaRegole regolaPerSorgente(const EventoFlusso& evento, AzioneRegola azione) {
    const std::string sorgente = StatoApp::sorgenteAttacco(evento);
    return evento.direzione == DirezioneFlusso::entrata
               ? ModificaRegole::nuovaRegolaDominio(sorgente, azione)
               : ModificaRegole::nuovaRegola(sorgente, azione);
}

}  // namespace

bool StatoApp::puòDecidere(const EventoFlusso& evento) {
    if (StatoApp::sorgenteAttacco(evento) == "?") return false;
    StatoRegole prova;
    return !èRifiuto(applica(prova, regolaPerSorgente(evento, AzioneRegola::blocca)).esito);
}

EsitoModifica StatoApp::decidiSorgente(const EventoFlusso& evento, bool consenti) {
    const AzioneRegola azione = consenti ? AzioneRegola::consenti : AzioneRegola::blocca;
    // Recorded once its rule stands.
    return modifica(regolaPerSorgente(evento, azione),
                    [guardia = QPointer(this), sorgente = sorgenteAttacco(evento),
                     consenti](EsitoModifica esito) {
                        if (!guardia || èRifiuto(esito)) return;
                        guardia->decisioniAttacco_[sorgente] = consenti ? "consenti" : "blocca";
                        emit guardia->decisioniAttaccoCambiate();
                        guardia->salvaAttacchi(false, false, true);
                    });
}

// ---- notifications ----

void StatoApp::lampeggioPer(double secondi) {
    avviaLampeggio();
    dopo(secondi, [this] { fermaLampeggio(); });
}

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
