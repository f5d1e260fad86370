// SPDX-License-Identifier: GPL-3.0-or-later
// The controller's intake of what the extension sees: live events, the log, the history, the
// quarantine list, attack events and the questions about blocked and paused flows.
#include <algorithm>
#include <charconv>
#include <set>

#include "Condiviso/codifica-json.h"
#include "Condiviso/sistema.h"
#include "Ostrale/Stato/canale-app.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/presentatore-domande.h"
#include "Ostrale/Stato/stato-app.h"

namespace ostrale {
// ---- live events ----

void StatoApp::nuovoFlusso(const std::string& dati) {
    auto evento = json::decodifica<EventoFlusso>(dati);
    if (!evento) {
        logXpc_.errore("Evento flusso non decodificabile");
        return;
    }
    const EventoFlusso& e = *evento;
    if (Registro::debugAttivo()) {
        logXpc_.debug("Flusso ip=" + e.indirizzoIP.value_or("nil") + " host=" + e.host);
    }
    if (e.attacco) {
        registraAttacco(e);
        return;
    }
    inserisciFlusso(e);
    ++flussiRicevuti_;
    if (e.consentito) {
        ++totaleConsentiti_;
        emit totaleConsentitiCambiato();
    } else {
        ++totaleBloccati_;
        emit totaleBloccatiCambiato();
    }
    if (e.anomala.value_or(false) && impostazioni_.avvisaAnomalie) notificaAnomalia(e);
    if (!e.consentito && !impostazioni_.chiediPrima &&
        (e.motivo == MotivoDecisione::predefinita || e.motivo == MotivoDecisione::quarantena)) {
        chiediSuBlocco(e);
    }
    if (e.indirizzoIP && !e.indirizzoIP->empty() && *e.indirizzoIP != "?") {
        emit localizza(*e.indirizzoIP);
    }
    aggiornaSemaforo();
}

void StatoApp::inserisciFlusso(const EventoFlusso& evento) {
    flussi_.push_front(evento);
    ++flussiInseriti_;
    while (flussi_.size() > massimoFlussi) flussi_.pop_back();
    emit flussiCambiati();
}

// ---- the log, after each registration ----

void StatoApp::caricaRegistroFlussi() {
    // Asked after every registration, also with live events listed: a short list (fewer than
    // 50) is then replaced by the log, which holds them and what came while the app was away.
    if (!canale_->connesso()) return;
    canale_->leggiFlussi([guardia = QPointer(this)](std::string byte) {
        if (!guardia) return;
        StatoApp& s = *guardia;
        // Decoded on the worker; applied as it would have been when it arrived, whatever live
        // events came meanwhile.
        const std::uint64_t ricevuti = s.flussiRicevuti_;
        const std::size_t presenti = s.flussi_.size();
        s.decodificaAParte<std::vector<EventoFlusso>>(
            std::move(byte), [g = QPointer(&s), ricevuti, presenti](std::vector<EventoFlusso> v) {
                if (g) g->applicaRegistro(std::move(v), ricevuti, presenti);
            });
    });
}

void StatoApp::applicaRegistro(std::vector<EventoFlusso> eventi, std::uint64_t ricevutiAllaRisposta,
                               std::size_t presentiAllaRisposta) {
    if (eventi.empty()) return;
    unisciAttacchi(eventi);
    if (presentiAllaRisposta >= 50) return;
    // Live events that arrived after the answer stay in front of it.
    const std::size_t arrivatiDopo = static_cast<std::size_t>(
        std::min<std::uint64_t>(flussiRicevuti_ - ricevutiAllaRisposta, flussi_.size()));
    ElencoFlussi nuovi(flussi_.begin(), flussi_.begin() + static_cast<long>(arrivatiDopo));
    const std::size_t da = eventi.size() > massimoFlussi ? eventi.size() - massimoFlussi : 0;
    for (std::size_t i = eventi.size(); i > da && nuovi.size() < massimoFlussi; --i) {
        if (!eventi[i - 1].attacco) nuovi.push_back(std::move(eventi[i - 1]));
    }
    if (nuovi == flussi_) return;
    flussi_ = std::move(nuovi);
    ++generazioneFlussi_;
    emit flussiCambiati();
    aggiornaSemaforo();
}

// ---- the history ----

void StatoApp::aggiornaDaStorico() {
    if (!canale_->connesso()) return;
    canale_->leggiStorico([guardia = QPointer(this)](std::string byte) {
        if (!guardia) return;
        guardia->decodificaAParte<PacchettoStorico>(std::move(byte),
                                                    [g = guardia](PacchettoStorico p) {
                                                        if (g) g->applicaStorico(std::move(p));
                                                    });
    });
}

void StatoApp::applicaStorico(PacchettoStorico p) {
    if (storicoOre_ != p.ore) {
        storicoOre_ = std::move(p.ore);
        emit storicoOreCambiato();
    }
    Pagella pagella;
    for (const auto& [firma, v] : p.app) {
        pagella.emplace(firma, ContatoriApp{v.totale, v.tracker, v.bloccati, v.anomalie});
    }
    if (pagella_ != pagella) {
        pagella_ = std::move(pagella);
        emit pagellaCambiata();
    }
    MappaContatoriIP conteggi;
    for (const auto& [ip, v] : p.ip) {
        conteggi.emplace(ip, ContatoreIP{v.totale, v.bloccati, v.entrata, v.host, v.app});
    }
    if (geoConteggi_ != conteggi) {
        geoConteggi_ = std::move(conteggi);
        emit geoConteggiCambiati();
    }
    for (const auto& [ip, v] : geoConteggi_) {
        if (!geoPosizioni_.contains(ip)) emit localizza(ip);
    }
    primeVisteStorico_ = std::move(p.primeViste);
    aggiornaQuarantena();
}

void StatoApp::aggiornaQuarantena() {
    if (!impostazioni_.quarantenaAttiva) {
        if (!appInQuarantena_.empty()) {
            appInQuarantena_.clear();
            emit appInQuarantenaCambiata();
        }
        return;
    }
    std::set<std::string_view> regolate;
    for (const Regola& r : regole_) regolate.insert(r.firmaApp);
    const double finestra = static_cast<double>(impostazioni_.giorniQuarantena) * 86400.0;
    const Data adesso = orologio_.adesso();
    ElencoTesti elenco;
    for (const auto& [firma, primaVista] : primeVisteStorico_) {
        // An unidentified application is never quarantined (nor could a rule name it).
        if (adesso.secondiDa(primaVista) < finestra && !regolate.contains(firma) &&
            !èDiSistema(firma) && firma != "sconosciuta") {
            elenco.push_back(firma);
        }
    }
    std::sort(elenco.begin(), elenco.end());
    if (elenco == appInQuarantena_) return;
    appInQuarantena_ = std::move(elenco);
    emit appInQuarantenaCambiata();
}

// ---- positions ----

void StatoApp::aggiungiPosizioni(const MappaPosizioni& posizioni) {
    bool cambiate = false;
    for (const auto& [ip, p] : posizioni) {
        auto [it, nuova] = geoPosizioni_.try_emplace(ip, p);
        if (!nuova && it->second != p) {
            it->second = p;
            cambiate = true;
        }
        cambiate |= nuova;
    }
    if (cambiate) emit geoPosizioniCambiate();
}

void StatoApp::impostaPosizioneMia(const PosizioneFacoltativa& posizione) {
    if (posizioneMia_ == posizione) return;
    posizioneMia_ = posizione;
    emit posizioneMiaCambiata();
}

void StatoApp::ricaricaPosizioni() {
    if (!geoPosizioni_.empty()) {
        geoPosizioni_.clear();
        emit geoPosizioniCambiate();
    }
    aggiornaDaStorico();
}

}  // namespace ostrale
