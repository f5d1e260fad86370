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

void StatoApp::salvaNelFile(ModificaRegole modifica) {
    const StatoRegole base{regole_, regoleDominio_, impostazioni_};
    lavori_->accoda([this, modifica = std::move(modifica), base] {
        auto dopo = std::make_shared<StatoRegole>();
        const RispostaModifica risposta = ArchivioRegole::modifica(modifica, base, *dopo);
        QMetaObject::invokeMethod(
            this,
            [this, risposta, dopo] {
                if (èRifiuto(risposta.esito)) {
                    log_.errore("Modifica delle regole non salvata: " +
                                std::string(descrizione(risposta.esito)));
                    emit modificaFallita(risposta.esito);
                }
                if (risposta.esito == EsitoModifica::nonSalvata) return;
                if (canale_->pronto()) {
                    // An extension came meanwhile: it reads the file again, and says so.
                    canale_->leggiRegole(
                        [this](std::string byte) { adottaDallEstensione(std::move(byte)); });
                } else {
                    adotta(std::move(*dopo));
                }
            },
            Qt::QueuedConnection);
    });
}

EsitoModifica StatoApp::modifica(const ModificaRegole& m) {
    // Tried on the rules as shown: what changes nothing or is refused goes nowhere.
    StatoRegole prova{regole_, regoleDominio_, impostazioni_};
    const EsitoModifica esito = applica(prova, m).esito;
    if (esito != EsitoModifica::cambiata) {
        if (èRifiuto(esito)) {
            log_.avviso("Modifica delle regole rifiutata: " + std::string(descrizione(esito)));
        }
        return esito;
    }
    if (!canale_->pronto()) {
        salvaNelFile(m);
        return esito;
    }
    const std::uint64_t numero = ++ultimaModifica_;
    modificheInViaggio_.emplace(numero, m);
    canale_->modificaRegole(json::codifica(m), [this, numero](std::string byte) {
        modificheInViaggio_.erase(numero);
        const auto risposta = json::decodifica<RispostaModifica>(byte);
        const EsitoModifica e = risposta ? risposta->esito : EsitoModifica::nonInviata;
        if (!èRifiuto(e)) return;
        log_.errore("L'estensione ha rifiutato una modifica delle regole: " +
                    std::string(descrizione(e)));
        emit modificaFallita(e);
    });
    return esito;
}

void StatoApp::modificheSenzaRisposta() {
    // The connection ended before they were answered: stored in the file, where the extension
    // finds them when it is back (every edit names its outcome, so one it did store already
    // comes out the same).
    auto rimaste = std::exchange(modificheInViaggio_, {});
    for (auto& [numero, m] : rimaste) salvaNelFile(std::move(m));
}

EsitoModifica StatoApp::aggiungiRegola(const std::string& firma, AzioneRegola azione) {
    return modifica(ModificaRegole::nuovaRegola(firma, azione));
}

EsitoModifica StatoApp::aggiungiRegolaDominio(const std::string& dominio, AzioneRegola azione) {
    return modifica(ModificaRegole::nuovaRegolaDominio(dominio, azione));
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
