#include "Ostrale/Stato/stato-app.h"

#include <QMetaObject>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/blocklist-c2.h"
#include "Condiviso/codifica-json.h"
#include "Condiviso/modifica-regole.h"
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
        if (accettata) dopoRegistrazione();
    });
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
    for (auto* id : {&orologioSemaforo_, &orologioLampeggio_, &orologioAnello_}) {
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
        rileggiRegole({});
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
            // The switch did not move: show what the system has, not what was asked for.
            guardia->log_.errore(std::string("Filtro non ") +
                                 (attivo ? "attivato" : "disattivato") + ": " +
                                 errore->toStdString());
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
    canale_->connetti();
}

void StatoApp::suInvalidazione() {
    ++collegamentiFalliti_;
    rianimaSeServe();
    dopo(attesaRiconnessione, [this] { connetti(); });
}

void StatoApp::suInterruzione() {
    dopo(attesaRiconnessione, [this] { connetti(); });
}

void StatoApp::dopoRegistrazione() {
    collegamentiFalliti_ = 0;
    setEstensionePronta(true);
    setStatoEstensione(tr("Estensione attiva", "stato"));
    rileggiRegole([this] { inviaRegoleAlProvider(); });
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

void StatoApp::inviaRegoleAlProvider(const std::optional<StatoRegole>& stato) {
    if (!canale_->connesso()) return;
    const StatoRegole inviato =
        stato ? *stato : StatoRegole{regole_, regoleDominio_, impostazioni_};
    canale_->aggiornaRegole(json::codifica(inviato));
}

void StatoApp::consegnaBlocklistC2(std::string dati) {
    if (!canale_->connesso()) return;
    canale_->aggiornaBlocklistC2(std::move(dati), [this](std::int64_t n) {
        logXpc_.debug("Blocklist C2 consegnata all'estensione: " + std::to_string(n) +
                      " indirizzi");
    });
}

// ---- rules ----

void StatoApp::caricaRegole() {
    StatoRegole stato;
    if (const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole)) {
        auto letto = json::decodifica<StatoRegole>(*testo);
        if (letto) {
            stato = std::move(letto).valore();
        } else {
            log_.avviso("regole.json non leggibile: " + letto.motivo());
        }
    }
    adotta(std::move(stato));
}

void StatoApp::adotta(StatoRegole stato, bool daFile) {
    if (daFile) regoleNote_ = stato;
    if (regole_ != stato.regole) {
        regole_ = std::move(stato.regole);
        emit regoleCambiate();
    }
    if (regoleDominio_ != stato.regoleDominio) {
        regoleDominio_ = std::move(stato.regoleDominio);
        emit regoleDominioCambiate();
    }
    if (impostazioni_ != stato.impostazioni) {
        impostazioni_ = stato.impostazioni;
        emit impostazioniCambiate();
    }
}

void StatoApp::rileggiRegole(std::function<void()> poi) {
    const std::uint64_t generazione = generazioneRegole_;
    lavori_->accoda([this, generazione, poi = std::move(poi)] {
        std::shared_ptr<StatoRegole> letto;
        if (const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole)) {
            if (auto stato = json::decodifica<StatoRegole>(*testo)) {
                letto = std::make_shared<StatoRegole>(std::move(stato).valore());
            }
        }
        QMetaObject::invokeMethod(
            this,
            [this, generazione, letto, poi] {
                // A file that changed since the app last read or wrote it was written by another
                // client (ostralectl): its rules are the newest. An edit of the app's own made
                // after this read began wins over what it found.
                if (letto && generazione == generazioneRegole_ && *letto != regoleNote_) {
                    log_.info("Regole cambiate da un altro programma: le adotto");
                    adotta(*letto);
                    aggiornaQuarantena();
                }
                if (poi) poi();
            },
            Qt::QueuedConnection);
    });
}

void StatoApp::salva() {
    const StatoRegole stato{regole_, regoleDominio_, impostazioni_};
    modifica([stato](StatoRegole& s) {
        if (s == stato) return false;
        s = stato;
        return true;
    });
}

void StatoApp::modifica(std::function<bool(StatoRegole&)> cambio) {
    // Shown at once; stored as a change of what the file holds when the worker gets to it, so
    // that an edit made meanwhile by another client (ostralectl) is kept, not overwritten.
    StatoRegole prima{regole_, regoleDominio_, impostazioni_};
    StatoRegole qui = prima;
    if (cambio(qui)) adotta(qui, false);
    const std::uint64_t generazione = ++generazioneRegole_;
    lavori_->accoda([this, generazione, cambio = std::move(cambio), prima = std::move(prima)] {
        auto base = std::make_shared<StatoRegole>(std::move(prima));
        if (const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole)) {
            if (auto letto = json::decodifica<StatoRegole>(*testo)) {
                *base = std::move(letto).valore();
            } else {
                log_.avviso("regole.json non leggibile, lo riscrivo: " + letto.motivo());
            }
        }
        cambio(*base);
        // Written whole and atomically, in order, off the main thread.
        ArchivioCondiviso::salva(*base);
        QMetaObject::invokeMethod(
            this,
            [this, generazione, base] {
                // Every stored state reaches the extension, in order; the properties take
                // only the newest, so that a later edit shown already is not undone meanwhile.
                inviaRegoleAlProvider(*base);
                if (generazione == generazioneRegole_) {
                    adotta(*base);
                    aggiornaQuarantena();
                }
            },
            Qt::QueuedConnection);
    });
}

void StatoApp::aggiungiRegola(const std::string& firma, AzioneRegola azione) {
    modifica([firma, azione](StatoRegole& s) {
        return ModificaRegole::aggiungiRegola(s, firma, azione);
    });
}

void StatoApp::aggiungiRegolaDominio(const std::string& dominio, AzioneRegola azione) {
    modifica([dominio, azione](StatoRegole& s) {
        return ModificaRegole::aggiungiRegolaDominio(s, dominio, azione);
    });
}

void StatoApp::impostaRegole(ElencoRegole regole) {
    modifica([regole = std::move(regole)](StatoRegole& s) {
        if (s.regole == regole) return false;
        s.regole = regole;
        return true;
    });
}

void StatoApp::impostaRegoleDominio(ElencoRegoleDominio regole) {
    modifica([regole = std::move(regole)](StatoRegole& s) {
        if (s.regoleDominio == regole) return false;
        s.regoleDominio = regole;
        return true;
    });
}

void StatoApp::impostaImpostazioni(const ImpostazioniFiltro& impostazioni) {
    modifica([impostazioni](StatoRegole& s) {
        if (s.impostazioni == impostazioni) return false;
        s.impostazioni = impostazioni;
        return true;
    });
}

}  // namespace ostrale

namespace ostrale {

template void StatoApp::decodificaAParte<PacchettoStorico>(std::string,
                                                           std::function<void(PacchettoStorico)>);
template void StatoApp::decodificaAParte<std::vector<EventoFlusso>>(
    std::string, std::function<void(std::vector<EventoFlusso>)>);

}  // namespace ostrale
