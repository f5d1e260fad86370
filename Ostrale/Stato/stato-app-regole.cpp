// SPDX-License-Identifier: GPL-3.0-or-later
// The user's rules and settings: edits one at a time, through the extension while it answers,
// into "regole.json" while none does.
#include <QMetaObject>
#include <QPointer>

#include "Condiviso/archivio-regole.h"
#include "Condiviso/codifica-json.h"
#include "Ostrale/Stato/canale-app.h"
#include "Ostrale/Stato/coda-seriale.h"
#include "Ostrale/Stato/stato-app.h"

namespace ostrale {

void StatoApp::caricaRegole() {
    adotta(ArchivioRegole::leggi().value_or(StatoRegole{}));
}

void StatoApp::adotta(StatoRegole stato) {
    bool cambiate = false;
    if (regole_ != stato.regole) {
        regole_ = std::move(stato.regole);
        emit regoleCambiate();
        cambiate = true;
    }
    if (regoleDominio_ != stato.regoleDominio) {
        regoleDominio_ = std::move(stato.regoleDominio);
        emit regoleDominioCambiate();
    }
    if (impostazioni_ != stato.impostazioni) {
        impostazioni_ = stato.impostazioni;
        emit impostazioniCambiate();
        cambiate = true;
    }
    if (cambiate) aggiornaQuarantena();
}

void StatoApp::adottaDallEstensione(std::string byte) {
    // Decoded on the worker, where the file's readings also run: what reaches the main thread
    // comes in the order it was received or read.
    decodificaAParte<StatoRegole>(std::move(byte), [guardia = QPointer(this)](StatoRegole s) {
        if (guardia) guardia->adotta(std::move(s));
    });
}

void StatoApp::rileggiFile() {
    lavori_->accoda([this] {
        auto letto = ArchivioRegole::leggi();
        if (!letto) return;
        auto stato = std::make_shared<StatoRegole>(std::move(*letto));
        QMetaObject::invokeMethod(
            this,
            [this, stato] {
                // Once connected, the extension's word is the newer one.
                if (!canale_->pronto()) adotta(std::move(*stato));
            },
            Qt::QueuedConnection);
    });
}

void StatoApp::salvaNelFile(std::uint64_t numero) {
    const StatoRegole base{regole_, regoleDominio_, impostazioni_};
    lavori_->accoda([this, numero, m = modificheInViaggio_.at(numero).modifica, base] {
        auto dopo = std::make_shared<StatoRegole>();
        const RispostaModifica risposta = ArchivioRegole::modifica(m, base, *dopo);
        QMetaObject::invokeMethod(
            this,
            [this, numero, risposta, dopo] {
                if (risposta.esito != EsitoModifica::nonSalvata) {
                    if (canale_->pronto()) {
                        // An extension came meanwhile: it reads the file again, and says so.
                        canale_->leggiRegole(
                            [this](std::string byte) { adottaDallEstensione(std::move(byte)); });
                    } else {
                        adotta(std::move(*dopo));
                    }
                }
                conclusa(numero, risposta.esito);
            },
            Qt::QueuedConnection);
    });
}

void StatoApp::inviaModifica(std::uint64_t numero) {
    InViaggio& v = modificheInViaggio_.at(numero);
    v.perCanale = true;
    canale_->modificaRegole(json::codifica(v.modifica), [this, numero](std::string byte) {
        const auto risposta = json::decodifica<RispostaModifica>(byte);
        conclusa(numero, risposta ? risposta->esito : EsitoModifica::nonInviata);
    });
}

void StatoApp::conclusa(std::uint64_t numero, EsitoModifica esito) {
    const auto it = modificheInViaggio_.find(numero);
    if (it == modificheInViaggio_.end()) return;
    InViaggio v = std::move(it->second);
    modificheInViaggio_.erase(it);
    // Taken up again after its connection ended: the extension may have done it already.
    if (v.ripresa && v.modifica.operazione == OperazioneRegole::rimuovi &&
        esito == EsitoModifica::regolaInesistente) {
        esito = EsitoModifica::cambiata;
    }
    if (èRifiuto(esito)) {
        log_.errore("Modifica delle regole non riuscita (" +
                    std::string(valoreGrezzo(v.modifica.operazione)) +
                    "): " + std::string(descrizione(esito)));
        emit modificaFallita(esito);
    }
    if (v.fatto) v.fatto(esito);
}

EsitoModifica StatoApp::modifica(const ModificaRegole& m,
                                 std::function<void(EsitoModifica)> fatto) {
    // Tried on the rules as shown, with the edits still on their way: what changes nothing or is
    // refused goes nowhere (an edit that undoes one on its way does change something).
    StatoRegole prova{regole_, regoleDominio_, impostazioni_};
    for (const auto& [numero, v] : modificheInViaggio_) applica(prova, v.modifica);
    const EsitoModifica esito = applica(prova, m).esito;
    if (esito != EsitoModifica::cambiata) {
        if (èRifiuto(esito)) {
            log_.avviso("Modifica delle regole rifiutata: " + std::string(descrizione(esito)));
        }
        if (fatto) fatto(esito);
        return esito;
    }
    const std::uint64_t numero = ++ultimaModifica_;
    modificheInViaggio_.emplace(numero, InViaggio{m, std::move(fatto)});
    if (canale_->pronto()) {
        inviaModifica(numero);
    } else {
        salvaNelFile(numero);
    }
    return esito;
}

void StatoApp::modificheSenzaRisposta() {
    // The connection ended before they were answered: stored in the file, where the extension
    // finds them when it is back.
    for (auto& [numero, v] : modificheInViaggio_) {
        if (!v.perCanale) continue;
        v.perCanale = false;
        v.ripresa = true;
        salvaNelFile(numero);
    }
}

EsitoModifica StatoApp::modifica(const ModificaRegole& m) {
    return modifica(m, {});
}

EsitoModifica StatoApp::aggiungiRegola(const std::string& firma, AzioneRegola azione) {
    return modifica(ModificaRegole::nuovaRegola(firma, azione));
}

EsitoModifica StatoApp::aggiungiRegola(const std::string& firma, AzioneRegola azione,
                                       const Durata& durata) {
    ModificaRegole m = ModificaRegole::nuovaRegola(firma, azione);
    m.durata = durata;
    return modifica(m);
}

EsitoModifica StatoApp::aggiungiRegolaDominio(const std::string& dominio, AzioneRegola azione) {
    return modifica(ModificaRegole::nuovaRegolaDominio(dominio, azione));
}

EsitoModifica StatoApp::aggiungiRegolaDominio(const std::string& dominio, AzioneRegola azione,
                                              const std::string& firma,
                                              std::optional<std::int64_t> porta,
                                              const Durata& durata) {
    ModificaRegole m = ModificaRegole::nuovaRegolaDominio(dominio, azione);
    m.firma = firma;
    m.porta = porta;
    m.durata = durata;
    return modifica(m);
}

EsitoModifica StatoApp::rendiPermanente(const Uuid& id) {
    return modifica(ModificaRegole::cambioDurata(id, {}));
}

EsitoModifica StatoApp::rimuoviRegola(const Uuid& id) {
    return modifica(ModificaRegole::rimozione(id));
}

EsitoModifica StatoApp::attivaRegola(const Uuid& id, bool attiva) {
    return modifica(ModificaRegole::attivazione(id, attiva));
}

EsitoModifica StatoApp::cambiaAzione(const Uuid& id, AzioneRegola azione) {
    return modifica(ModificaRegole::cambioAzione(id, azione));
}

EsitoModifica StatoApp::impostaFascia(const Uuid& id, std::optional<FasciaOraria> fascia) {
    return modifica(ModificaRegole::cambioFascia(id, fascia));
}

EsitoModifica StatoApp::modificaImpostazioni(const ImpostazioniParziali& campi) {
    return modifica(ModificaRegole::cambioImpostazioni(campi));
}

}  // namespace ostrale
