// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Stato/stato-app.h"

#include <QMetaObject>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/blocklist-c2.h"
#include "Condiviso/codifica-json.h"
#include "Condiviso/tracker.h"
#include "Ostrale/Stato/canale-app.h"
#include "Ostrale/Stato/coda-seriale.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/notificatore.h"

namespace ostrale {
namespace {

QString socketPredefinito() {
    const QString variabile = qEnvironmentVariable("OSTRALE_SOCKET");
    return variabile.isEmpty() ? QStringLiteral("/run/ostrale/ostrale.sock") : variabile;
}

}  // namespace

StatoApp::StatoApp(Dipendenze d, QObject* parent)
    : QObject(parent),
      orologio_(d.orologio),
      temporizzatore_(d.temporizzatore),
      gestore_(d.gestore),
      preferenze_(d.preferenze),
      domande_(d.domande),
      notifiche_(d.notifiche),
      versioneApp_(d.versioneApp.isEmpty() ? QStringLiteral(OSTRALE_VERSIONE) : d.versioneApp),
      lavori_(std::make_unique<CodaSeriale>()),
      canale_(new CanaleApp(d.socket.isEmpty() ? socketPredefinito() : d.socket, d.temporizzatore,
                            this)),
      statoEstensione_(tr("Estensione non installata", "stato")) {
    connect(canale_, &CanaleApp::registrazione, this, [this](bool accettata) {
        if (accettata) {
            dopoRegistrazione();
            return;
        }
        // The connection stays, as an observer's: edits still go, no question comes.
        setStatoEstensione(tr("Un'altra copia di Ostrale è già collegata all'estensione", "stato"));
        log_.avviso("Registrazione rifiutata: un'altra copia dell'app è collegata");
        canale_->leggiRegole([this](std::string byte) { adottaDallEstensione(std::move(byte)); });
        emit registrazioneRifiutata();
    });
    connect(canale_, &CanaleApp::regole, this,
            [this](const std::string& byte) { adottaDallEstensione(byte); });
    connect(canale_, &CanaleApp::invalidata, this, &StatoApp::suInvalidazione);
    connect(canale_, &CanaleApp::interrotta, this, &StatoApp::suInterruzione);
    connect(canale_, &CanaleApp::nuovoFlusso, this, &StatoApp::nuovoFlusso);
    connect(canale_, &CanaleApp::chiediDecisione, this, &StatoApp::chiediDecisione);
    if (notifiche_) {
        connect(notifiche_, &Notificatore::azioneScelta, this, &StatoApp::suAzioneNotifica);
    }
}

StatoApp::~StatoApp() {
    // An archive change of this very turn is stored before the app goes.
    if (salvataggio_.previsto) lavoroSalvataggio()();
    // The worker first: what it still holds (a save) is done, and nothing it posts can reach a
    // controller being taken apart.
    lavori_.reset();
    for (auto* id : {&orologioSemaforo_, &orologioLampeggio_, &orologioAnello_, &riconnessione_}) {
        if (*id) temporizzatore_.annulla(**id);
    }
}

QVariant StatoApp::preferenza(const char* chiave) const {
    return preferenze_.valore(chiave);
}

void StatoApp::impostaPreferenza(const char* chiave, const QVariant& valore) {
    preferenze_.imposta(chiave, valore);
    preferenze_.sincronizza();
}

void StatoApp::avvia() {
    if (avviato_) return;
    avviato_ = true;
    caricaRegole();
    caricaAttacchi();
    // The tracker list (tens of thousands of domains) is read off the main thread.
    lavori_->accoda([this] {
        const std::size_t quanti = Tracker::condiviso().domini().size();
        QMetaObject::invokeMethod(
            this,
            [this, quanti] {
                dominiTracker_ = quanti;
                emit dominiTrackerCambiati();
            },
            Qt::QueuedConnection);
    });
    connect(&gestore_, &GestoreFiltro::configurazioneCambiata, this,
            &StatoApp::aggiornaStatoFiltro);
    gestore_.leggiStato([guardia = QPointer(this)](GestoreFiltro::Errore errore, bool attivo) {
        if (!guardia) return;
        if (errore) {
            guardia->log_.errore("Stato filtro non leggibile: " + errore->toStdString());
            return;
        }
        guardia->applicaStatoFiltro(attivo);
    });
    verificaEstensione();
    connetti();
    orologioSemaforo_ = ogni(intervalloAggiornamento, [this] {
        // Without an extension, another program's edits reach the app through the file.
        if (!canale_->pronto()) rileggiFile();
        aggiornaStatoFiltro();
        aggiornaSemaforo();
        aggiornaQuarantena();
        aggiornaDaStorico();
    });
    aggiornaQuarantena();
    aggiornaDaStorico();
    completaRianimazioneInterrotta();
}

// ---- helpers ----

Temporizzatore::Id StatoApp::dopo(double secondi, std::function<void()> compito) {
    return temporizzatore_.dopo(secondi, [guardia = QPointer(this), compito = std::move(compito)] {
        if (guardia) compito();
    });
}

Temporizzatore::Id StatoApp::ogni(double secondi, std::function<void()> compito) {
    return temporizzatore_.ogni(secondi, [guardia = QPointer(this), compito = std::move(compito)] {
        if (guardia) compito();
    });
}

template <typename T>
void StatoApp::decodificaAParte(std::string byte, std::function<void(T)> applica) {
    lavori_->accoda([this, byte = std::move(byte), applica = std::move(applica)] {
        auto valore = json::decodifica<T>(byte);
        if (!valore) {
            if (!byte.empty()) logXpc_.avviso("Risposta non decodificabile: " + valore.motivo());
            return;
        }
        auto condiviso = std::make_shared<T>(std::move(valore).valore());
        QMetaObject::invokeMethod(
            this, [applica, condiviso] { applica(std::move(*condiviso)); }, Qt::QueuedConnection);
    });
}

void StatoApp::attendiLavori() {
    lavori_->svuota();
}

bool StatoApp::connesso() const {
    return canale_->connesso();
}

std::uint64_t StatoApp::tentativiCollegamento() const {
    return canale_->tentativi();
}

void StatoApp::setStatoEstensione(const QString& v) {
    if (statoEstensione_ == v) return;
    statoEstensione_ = v;
    emit statoEstensioneCambiato();
}

void StatoApp::setEstensionePronta(bool v) {
    if (estensionePronta_ == v) return;
    estensionePronta_ = v;
    emit estensioneProntaCambiata();
}

void StatoApp::setFiltroAttivo(bool v) {
    if (filtroAttivo_ == v) return;
    filtroAttivo_ = v;
    emit filtroAttivoCambiato();
}

// ---- the extension ----

void StatoApp::installaEstensione() {
    setStatoEstensione(tr("Installazione in corso…", "stato"));
    gestore_.attiva([guardia = QPointer(this)](GestoreFiltro::Esito esito, QString errore) {
        if (!guardia) return;
        StatoApp& s = *guardia;
        switch (esito) {
            case GestoreFiltro::Esito::daApprovare:
                s.setStatoEstensione(
                    tr("Da approvare: serve l'autorizzazione dell'amministratore", "stato"));
                break;
            case GestoreFiltro::Esito::completata:
                s.setEstensionePronta(true);
                s.setStatoEstensione(tr("Estensione installata", "stato"));
                if (!s.aggiornamentoEstensioneRichiesto_) {
                    s.impostaFiltro(true);
                } else if (s.filtroAttivo_) {
                    s.dopo(1, [&s] { s.connetti(); });
                }
                break;
            case GestoreFiltro::Esito::dopoRiavvio:
                s.setStatoEstensione(tr("Attiva al prossimo riavvio", "stato"));
                break;
            case GestoreFiltro::Esito::altro:
                s.setStatoEstensione(tr("Stato sconosciuto", "stato"));
                break;
            case GestoreFiltro::Esito::fallita:
                s.setStatoEstensione(tr("Errore: %1", "stato").arg(errore));
                break;
        }
    });
}

void StatoApp::verificaEstensione() {
    gestore_.leggiCopie([guardia = QPointer(this)](std::vector<GestoreFiltro::Copia> copie) {
        if (guardia) guardia->applicaCopie(copie);
    });
}

void StatoApp::applicaCopie(const std::vector<GestoreFiltro::Copia>& copie) {
    const auto abilitata = std::find_if(copie.begin(), copie.end(),
                                        [](const GestoreFiltro::Copia& c) { return c.abilitata; });
    if (abilitata != copie.end()) {
        setEstensionePronta(true);
        setStatoEstensione(tr("Estensione installata", "stato"));
        // The running copy's version is what it answered over the channel; before it has, there
        // is nothing to compare.
        if (!versioneEstensione_.empty() && versioneEstensione_ != versioneApp_.toStdString() &&
            !aggiornamentoEstensioneRichiesto_) {
            log_.info("Estensione " + versioneEstensione_ + " diversa dall'app " +
                      versioneApp_.toStdString() + ": la sostituisco");
            aggiornamentoEstensioneRichiesto_ = true;
            installaEstensione();
        }
    } else if (std::any_of(copie.begin(), copie.end(),
                           [](const GestoreFiltro::Copia& c) { return c.daApprovare; })) {
        setEstensionePronta(false);
        setStatoEstensione(tr("Da approvare: serve l'autorizzazione dell'amministratore", "stato"));
    } else if (copie.empty()) {
        setEstensionePronta(false);
        setStatoEstensione(tr("Estensione non installata", "stato"));
    }
}

void StatoApp::appInPrimoPiano() {
    verificaEstensione();
}

// ---- the filter switch ----

void StatoApp::impostaFiltro(bool attivo) {
    gestore_.imposta(attivo, [guardia = QPointer(this), attivo](GestoreFiltro::Errore errore) {
        if (!guardia) return;
        if (errore) {
            // The switch did not move: every switch shows what the system has, also the one
            // the user just turned (its state as shown is not the controller's).
            guardia->log_.errore(std::string("Filtro non ") +
                                 (attivo ? "attivato" : "disattivato") + ": " +
                                 errore->toStdString());
            emit guardia->filtroAttivoCambiato();
            guardia->aggiornaStatoFiltro();
            return;
        }
        guardia->setFiltroAttivo(attivo);
        guardia->aggiornaSemaforo();
        if (attivo) guardia->dopo(1, [s = guardia.data()] { s->connetti(); });
    });
}

void StatoApp::aggiornaStatoFiltro() {
    gestore_.leggiStato([guardia = QPointer(this)](GestoreFiltro::Errore errore, bool attivo) {
        if (!guardia) return;
        if (errore) {
            guardia->log_.errore("Stato filtro non leggibile: " + errore->toStdString());
            return;
        }
        guardia->applicaStatoFiltro(attivo);
    });
}

void StatoApp::applicaStatoFiltro(bool attivo) {
    setFiltroAttivo(attivo);
    if (attivo) connetti();
    aggiornaSemaforo();
}

// ---- the channel ----

void StatoApp::connetti() {
    if (riconnessione_) return;  // the attempt that waits is the next one
    canale_->connetti();
}

void StatoApp::programmaRiconnessione(double secondi) {
    if (riconnessione_) return;
    riconnessione_ = dopo(secondi, [this] {
        riconnessione_.reset();
        canale_->connetti();
    });
}

void StatoApp::suInvalidazione() {
    modificheSenzaRisposta();
    if (canale_->nonPermessa()) {
        // Not a failing extension: reviving it would not help. Said once, tried seldom.
        const QString testo =
            tr("Non autorizzato: aggiungi il tuo utente al gruppo ostrale", "stato");
        if (statoEstensione_ != testo) log_.errore("Il canale con l'estensione non è permesso");
        setEstensionePronta(false);
        setStatoEstensione(testo);
        programmaRiconnessione(attesaNonPermessa);
        return;
    }
    ++collegamentiFalliti_;
    rianimaSeServe();
    programmaRiconnessione(attesaRiconnessione);
}

void StatoApp::suInterruzione() {
    modificheSenzaRisposta();
    programmaRiconnessione(attesaRiconnessione);
}

void StatoApp::dopoRegistrazione() {
    collegamentiFalliti_ = 0;
    setEstensionePronta(true);
    setStatoEstensione(tr("Estensione attiva", "stato"));
    // The extension reads the file again (an edit stored while none answered) and answers the
    // rules as they stand.
    canale_->leggiRegole([this](std::string byte) { adottaDallEstensione(std::move(byte)); });
    // The stored list is read off the main thread, then delivered.
    lavori_->accoda([this] {
        auto testo = ArchivioCondiviso::leggi(BlocklistC2::nomeFile);
        if (!testo) return;
        auto dati = std::make_shared<std::string>(std::move(*testo));
        QMetaObject::invokeMethod(
            this, [this, dati] { consegnaBlocklistC2(std::move(*dati)); }, Qt::QueuedConnection);
    });
    aggiornaDaStorico();
    caricaRegistroFlussi();
    canale_->informazioni([guardia = QPointer(this)](std::string carico) {
        if (!guardia) return;
        auto info = json::decodifica<InformazioniEstensione>(carico);
        if (!info) return;
        guardia->versioneEstensione_ = info->versione;
        // Another version: the properties request decides on a replacement.
        if (info->versione != guardia->versioneApp_.toStdString() &&
            !guardia->aggiornamentoEstensioneRichiesto_) {
            guardia->verificaEstensione();
        }
    });
    emit registrata();
}

void StatoApp::consegnaBlocklistC2(std::string dati) {
    if (!canale_->connesso()) return;
    canale_->aggiornaBlocklistC2(std::move(dati), [this](std::int64_t n) {
        logXpc_.debug("Blocklist C2 consegnata all'estensione: " + std::to_string(n) +
                      " indirizzi");
    });
}

}  // namespace ostrale

namespace ostrale {

template void StatoApp::decodificaAParte<PacchettoStorico>(std::string,
                                                           std::function<void(PacchettoStorico)>);
template void StatoApp::decodificaAParte<std::vector<EventoFlusso>>(
    std::string, std::function<void(std::vector<EventoFlusso>)>);
template void StatoApp::decodificaAParte<StatoRegole>(std::string,
                                                      std::function<void(StatoRegole)>);

}  // namespace ostrale
