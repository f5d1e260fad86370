// SPDX-License-Identifier: GPL-3.0-or-later
// The attack archive: what is recorded, stored and cleared, and the decisions about sources.
#include <algorithm>
#include <charconv>
#include <set>

#include <QPointer>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/codifica-json.h"
#include "Ostrale/Stato/coda-seriale.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app-interno.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"

namespace ostrale {

using interno::chiaveSilenzio;
using interno::grezzo;
using interno::pota;

namespace {

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

}  // namespace ostrale
