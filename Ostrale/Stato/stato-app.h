// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Condiviso/evento-flusso.h"
#include "Condiviso/informazioni-estensione.h"
#include "Condiviso/modifica-regole.h"
#include "Condiviso/orologio.h"
#include "Condiviso/pacchetto-storico.h"
#include "Condiviso/registro.h"
#include "Condiviso/stato-regole.h"
#include "Ostrale/Stato/colore-semaforo.h"
#include "Ostrale/Stato/contatore-ip.h"
#include "Ostrale/Stato/contatori-app.h"
#include "Ostrale/Stato/gestore-filtro.h"
#include "Ostrale/Stato/posizione-ip.h"
#include "Ostrale/Stato/risposta-decisione.h"
#include "Ostrale/Stato/temporizzatore.h"

namespace ostrale {

class CanaleApp;
class CodaSeriale;
class ImpostazioniApp;
class Notificatore;
class PresentatoreDomande;

using ElencoRegole = std::vector<Regola>;
using ElencoRegoleDominio = std::vector<RegolaDominio>;
using ElencoFlussi = std::deque<EventoFlusso>;  // newest first
using ElencoTesti = std::vector<std::string>;
using Pagella = std::map<std::string, ContatoriApp>;
using MappaPosizioni = std::map<std::string, PosizioneIP>;
using MappaContatoriIP = std::map<std::string, ContatoreIP>;
using PosizioneFacoltativa = std::optional<PosizioneIP>;
using MappaConteggi = std::map<std::string, std::int64_t>;
using MappaDecisioni = std::map<std::string, std::string>;

// The app's controller: the state every view shows, the link to the extension, the user's rules
// and settings. Everything here lives on the main thread; nothing here waits: the extension, the
// system's filter switch and the questions to the user all answer later, through callbacks.
//
// One object, so that every view binds to one set of properties and signals; its concerns are
// kept apart in this header and in one source file each, block by block:
//   the start and the link to the extension, the filter switch   stato-app.cpp
//   rules and settings                                            stato-app-regole.cpp
//   the flow feed, the history and the positions                  stato-app-flussi.cpp
//   the attack archive                                            stato-app-attacchi.cpp
//   notifications and the two questions                           stato-app-domande.cpp
//   the status light and the link's health                        stato-app-semaforo.cpp
class StatoApp : public QObject {
    Q_OBJECT
    // The link and the filter.
    Q_PROPERTY(QString statoEstensione READ statoEstensione NOTIFY statoEstensioneCambiato)
    Q_PROPERTY(bool estensionePronta READ estensionePronta NOTIFY estensioneProntaCambiata)
    Q_PROPERTY(bool filtroAttivo READ filtroAttivo NOTIFY filtroAttivoCambiato)
    // Rules and settings.
    Q_PROPERTY(ostrale::ElencoRegole regole READ regole NOTIFY regoleCambiate)
    Q_PROPERTY(
        ostrale::ElencoRegoleDominio regoleDominio READ regoleDominio NOTIFY regoleDominioCambiate)
    Q_PROPERTY(
        ostrale::ImpostazioniFiltro impostazioni READ impostazioni NOTIFY impostazioniCambiate)
    // Flows, history, positions.
    Q_PROPERTY(ostrale::ElencoFlussi flussi READ flussi NOTIFY flussiCambiati)
    Q_PROPERTY(qint64 totaleConsentiti READ totaleConsentiti NOTIFY totaleConsentitiCambiato)
    Q_PROPERTY(qint64 totaleBloccati READ totaleBloccati NOTIFY totaleBloccatiCambiato)
    Q_PROPERTY(ostrale::Pagella pagella READ pagella NOTIFY pagellaCambiata)
    Q_PROPERTY(
        ostrale::ElencoTesti appInQuarantena READ appInQuarantena NOTIFY appInQuarantenaCambiata)
    Q_PROPERTY(ostrale::MappaPosizioni geoPosizioni READ geoPosizioni NOTIFY geoPosizioniCambiate)
    Q_PROPERTY(ostrale::MappaContatoriIP geoConteggi READ geoConteggi NOTIFY geoConteggiCambiati)
    Q_PROPERTY(
        ostrale::PosizioneFacoltativa posizioneMia READ posizioneMia NOTIFY posizioneMiaCambiata)
    Q_PROPERTY(ostrale::StoricoOre storicoOre READ storicoOre NOTIFY storicoOreCambiato)
    // The attack archive.
    Q_PROPERTY(ostrale::ElencoFlussi attacchi READ attacchi NOTIFY attacchiCambiati)
    Q_PROPERTY(ostrale::MappaConteggi conteggioAttacchi READ conteggioAttacchi NOTIFY
                   conteggioAttacchiCambiato)
    Q_PROPERTY(ostrale::MappaDecisioni decisioniAttacco READ decisioniAttacco NOTIFY
                   decisioniAttaccoCambiate)
    // The light.
    Q_PROPERTY(ostrale::ColoreSemaforo coloreBarra READ coloreBarra NOTIFY coloreBarraCambiato)
    Q_PROPERTY(bool lampeggioAcceso READ lampeggioAcceso NOTIFY lampeggioAccesoCambiato)
    Q_PROPERTY(double faseAnello READ faseAnello NOTIFY faseAnelloCambiata)

  public:
    struct Dipendenze {
        const Orologio& orologio;
        Temporizzatore& temporizzatore;
        GestoreFiltro& gestore;
        ImpostazioniApp& preferenze;
        PresentatoreDomande* domande = nullptr;  // without it no question is asked
        QString socket;                          // empty: OSTRALE_SOCKET or the system's
        QString versioneApp;                     // empty: this build's version
        Notificatore* notifiche = nullptr;       // without it nothing is posted
    };

    explicit StatoApp(Dipendenze dipendenze, QObject* parent = nullptr);
    ~StatoApp() override;

    // ---- The start and the link to the extension, the filter switch (stato-app.cpp) ----

    static constexpr double intervalloAggiornamento = 5;
    static constexpr double attesaRiconnessione = 3;
    static constexpr double attesaNonPermessa = 30;  // between attempts the extension refuses

    // The start: reads the rules, the filter's state and the extension's, connects, and starts
    // the refresh; the constructor only builds.
    void avvia();

    const QString& statoEstensione() const { return statoEstensione_; }
    bool estensionePronta() const { return estensionePronta_; }
    bool filtroAttivo() const { return filtroAttivo_; }
    int collegamentiFalliti() const { return collegamentiFalliti_; }
    int richiesteInAttesa() const { return richiesteInAttesa_; }
    bool connesso() const;
    // Connections to the extension tried so far.
    std::uint64_t tentativiCollegamento() const;
    // The version the extension answered, empty until it has.
    const std::string& versioneEstensione() const { return versioneEstensione_; }
    const QString& versioneApp() const { return versioneApp_; }
    // The clock the views animate by, and the app's preferences as the views read and store them.
    const Orologio& orologio() const { return orologio_; }
    QVariant preferenza(const char* chiave) const;
    void impostaPreferenza(const char* chiave, const QVariant& valore);

    void installaEstensione();
    void verificaEstensione();
    void impostaFiltro(bool attivo);
    void aggiornaStatoFiltro();
    void connetti();
    // The app came to the foreground.
    void appInPrimoPiano();
    // Hands the stored C2 list to the extension.
    void consegnaBlocklistC2(std::string dati);

    // Waits until the background work given so far (file writes, decoding) is done and its
    // results are queued for the main thread (tests, benchmarks).
    void attendiLavori();

    // ---- Rules and settings (stato-app-regole.cpp) ----

    const ElencoRegole& regole() const { return regole_; }
    const ElencoRegoleDominio& regoleDominio() const { return regoleDominio_; }
    const ImpostazioniFiltro& impostazioni() const { return impostazioni_; }

    // One edit at a time, rules named by their id. An edit changes only what it names, so that
    // edits another client (ostralectl, a second app) made meanwhile stay. It goes to the
    // extension, which stores and applies it and tells every client how the rules then stand;
    // with no extension connected the app stores it in "regole.json" itself. The answer comes
    // at once: `invariata` or a refusal (then nothing is saved or sent), else `cambiata`, the
    // edit on its way; a failure after that comes as `modificaFallita`.
    EsitoModifica modifica(const ModificaRegole& modifica);
    // The same; `fatto` learns the outcome once it is known (at once when it is not `cambiata`).
    EsitoModifica modifica(const ModificaRegole& modifica,
                           std::function<void(EsitoModifica)> fatto);
    EsitoModifica aggiungiRegola(const std::string& firma, AzioneRegola azione);
    // The same, lasting as `durata` says.
    EsitoModifica aggiungiRegola(const std::string& firma, AzioneRegola azione,
                                 const Durata& durata);
    EsitoModifica aggiungiRegolaDominio(const std::string& dominio, AzioneRegola azione);
    // Narrowed to the application `firma` (none when empty) and to the port `porta`, lasting as
    // `durata` says.
    EsitoModifica aggiungiRegolaDominio(const std::string& dominio, AzioneRegola azione,
                                        const std::string& firma, std::optional<std::int64_t> porta,
                                        const Durata& durata);
    // A temporary rule of either kind lasts for ever from now on.
    EsitoModifica rendiPermanente(const Uuid& id);
    EsitoModifica rimuoviRegola(const Uuid& id);
    EsitoModifica attivaRegola(const Uuid& id, bool attiva);
    EsitoModifica cambiaAzione(const Uuid& id, AzioneRegola azione);
    EsitoModifica impostaFascia(const Uuid& id, std::optional<FasciaOraria> fascia);
    EsitoModifica modificaImpostazioni(const ImpostazioniParziali& campi);

    // ---- The flow feed, the history and the positions (stato-app-flussi.cpp) ----

    static constexpr std::size_t massimoFlussi = 3000;

    const ElencoFlussi& flussi() const { return flussi_; }
    // How the list changed, for a view that follows it without copying it: live events are put
    // in front one by one (`flussiInseriti` counts them all) and the oldest fall off the back;
    // anything else (the log replacing a short list) changes `generazioneFlussi`.
    std::uint64_t flussiInseriti() const { return flussiInseriti_; }
    std::uint64_t generazioneFlussi() const { return generazioneFlussi_; }
    qint64 totaleConsentiti() const { return totaleConsentiti_; }
    qint64 totaleBloccati() const { return totaleBloccati_; }
    const Pagella& pagella() const { return pagella_; }
    const ElencoTesti& appInQuarantena() const { return appInQuarantena_; }
    const MappaPosizioni& geoPosizioni() const { return geoPosizioni_; }
    const MappaContatoriIP& geoConteggi() const { return geoConteggi_; }
    const PosizioneFacoltativa& posizioneMia() const { return posizioneMia_; }
    const StoricoOre& storicoOre() const { return storicoOre_; }
    const PrimeViste& primeVisteStorico() const { return primeVisteStorico_; }
    // How many domains the local tracker list holds (read off the main thread at start; 0 until).
    std::size_t dominiTracker() const { return dominiTracker_; }

    // What the extension pushes, and the pulls.
    void nuovoFlusso(const std::string& dati);
    void caricaRegistroFlussi();
    void aggiornaDaStorico();
    // A history package as the extension hands it over (the pull above decodes one and applies
    // it here): the hourly counters, the report card, the addresses' counters, first sightings.
    void applicaStorico(PacchettoStorico pacchetto);
    void aggiornaQuarantena();
    // Positions found for remote addresses (a new one replaces the old), this computer's own,
    // and the reload after a new city database: positions forgotten, the history read again so
    // that every address is looked up anew.
    void aggiungiPosizioni(const MappaPosizioni& posizioni);
    void impostaPosizioneMia(const PosizioneFacoltativa& posizione);
    void ricaricaPosizioni();

    // ---- The attack archive (stato-app-attacchi.cpp) ----

    static constexpr std::size_t massimoAttacchi = 500;
    // The archive's files in the container.
    static constexpr const char* fileAttacchi = "attacchi.json";
    static constexpr const char* fileConteggi = "conteggio-attacchi.json";
    static constexpr const char* fileDecisioni = "decisioni-attacchi.json";

    const ElencoFlussi& attacchi() const { return attacchi_; }
    const MappaConteggi& conteggioAttacchi() const { return conteggioAttacchi_; }
    const MappaDecisioni& decisioniAttacco() const { return decisioniAttacco_; }

    // Who an attack came from: the remote address (or host) of an inbound event, the
    // application of an outbound one.
    static std::string sorgenteAttacco(const EventoFlusso& evento);
    // Clearing the archive whole (the counters stay), clearing one type (its counter too), and
    // the user's decision about an attack's source, which becomes a rule: one of the address
    // (or host) of an inbound attack, of the application of an outbound one. The decision is
    // recorded only with its rule; no rule can name an unidentified application or a source
    // without address or host (`puòDecidere`).
    void pulisciAttacchi();
    void pulisciArchivioTipo(TipoAttacco tipo);
    static bool puòDecidere(const EventoFlusso& evento);
    EsitoModifica decidiSorgente(const EventoFlusso& evento, bool consenti);
    // Adds the attacks of the extension's flow log (oldest first) the archive does not hold yet
    // and that no clearing has removed: those the extension saw while the app was away.
    void unisciAttacchi(const std::vector<EventoFlusso>& eventi);

    // ---- Notifications and the two questions (stato-app-domande.cpp) ----

    static constexpr double attesaDecisione = 60;  // the extension's own limit for paused flows
    static constexpr double intervalloNotifiche = 3600;  // per kind and source

    // A question waits for the user (the tray shows the request icon).
    bool domandaInAttesa() const { return !domandeAperte_.empty() || avvisoBloccoInCorso_; }
    // A paused flow the extension asks about.
    void chiediDecisione(const std::string& dati);
    // Findings that only report (the source was not stopped) of one pattern from one source
    // that the user no longer wants to be told about: they stay in the archive, without a
    // notification. Kept in the preferences; a finding that stopped its source is always told.
    static bool silenziabile(const EventoFlusso& evento);
    bool avvisiSilenziati(const EventoFlusso& evento) const;
    void silenziaAvvisi(const EventoFlusso& evento, bool silenzia);

    // ---- The status light and the link's health (stato-app-semaforo.cpp) ----

    static constexpr double intervalloAnello = 0.12;
    static constexpr double intervalloLampeggio = 0.45;
    static constexpr double intervalloRianimazione = 600;
    static constexpr int fallimentiPerRianimazione = 5;

    ColoreSemaforo coloreBarra() const { return coloreBarra_; }
    bool lampeggioAcceso() const { return lampeggioAcceso_; }
    double faseAnello() const { return faseAnello_; }
    // An alert blinks (`lampeggioAcceso` alternates meanwhile).
    bool lampeggioInCorso() const { return orologioLampeggio_.has_value(); }
    // The ring runs (the filter is on): the tray draws it at `faseAnello`.
    bool anelloAttivo() const { return orologioAnello_.has_value(); }

    void aggiornaSemaforo();
    void aggiornaAnello();
    void avviaLampeggio();
    void fermaLampeggio();
    void rianimaSeServe();
    void completaRianimazioneInterrotta();

  signals:
    // The link and the filter.
    void statoEstensioneCambiato();
    void estensioneProntaCambiata();
    void filtroAttivoCambiato();
    // The post-registration sequence has been sent.
    void registrata();
    // The extension refused to register this app: another copy of this user's has it.
    void registrazioneRifiutata();

    // Rules and settings.
    void regoleCambiate();
    void regoleDominioCambiate();
    void impostazioniCambiate();
    // An edit the extension (or the rules file) refused after it had left.
    void modificaFallita(ostrale::EsitoModifica esito);

    // Flows, history, positions.
    void flussiCambiati();
    void totaleConsentitiCambiato();
    void totaleBloccatiCambiato();
    void pagellaCambiata();
    void appInQuarantenaCambiata();
    void geoPosizioniCambiate();
    void geoConteggiCambiati();
    void posizioneMiaCambiata();
    void storicoOreCambiato();
    void dominiTrackerCambiati();
    // An address to locate (the geolocation service skips local and malformed ones).
    void localizza(const std::string& indirizzo);

    // The attack archive.
    void attacchiCambiati();
    void conteggioAttacchiCambiato();
    void decisioniAttaccoCambiate();
    // A recorded attack event, and an application that woke towards a new destination, for
    // the notifications.
    void attaccoRegistrato(const ostrale::EventoFlusso& evento);

    // Notifications and questions.
    void avvisiSilenziatiCambiati();
    void domandaInAttesaCambiata();
    // The user asked for a section of the window (a click on an attack notification opens
    // "attacchi").
    void sezioneRichiesta(const QString& sezione);

    // The light.
    void coloreBarraCambiato();
    void lampeggioAccesoCambiato();
    void faseAnelloCambiata();

  private:
    // ---- Shared by every block (stato-app.cpp) ----

    // Runs `compito` `secondi` from now unless this controller is gone by then.
    Temporizzatore::Id dopo(double secondi, std::function<void()> compito);
    Temporizzatore::Id ogni(double secondi, std::function<void()> compito);
    // Decodes `byte` on the worker, then hands the value to `applica` on the main thread.
    template <typename T>
    void decodificaAParte(std::string byte, std::function<void(T)> applica);

    const Orologio& orologio_;
    Temporizzatore& temporizzatore_;
    GestoreFiltro& gestore_;
    ImpostazioniApp& preferenze_;
    PresentatoreDomande* domande_;
    Notificatore* notifiche_;
    QString versioneApp_;
    std::unique_ptr<CodaSeriale> lavori_;
    CanaleApp* canale_;
    Registro log_{"it.brelt.ostrale", "stato"};
    Registro logXpc_{"it.brelt.ostrale", "xpc"};
    bool avviato_ = false;

    // ---- The link to the extension, the filter switch ----

    // Setters that notify only on change.
    void setStatoEstensione(const QString& v);
    void setEstensionePronta(bool v);
    void setFiltroAttivo(bool v);
    void applicaStatoFiltro(bool attivo);
    // At most one attempt to connect waits at any time, whatever asks for one.
    void programmaRiconnessione(double secondi);
    void dopoRegistrazione();
    void suInvalidazione();
    void suInterruzione();
    void applicaCopie(const std::vector<GestoreFiltro::Copia>& copie);

    QString statoEstensione_;
    bool estensionePronta_ = false;
    bool filtroAttivo_ = false;
    int richiesteInAttesa_ = 0;
    int collegamentiFalliti_ = 0;
    bool aggiornamentoEstensioneRichiesto_ = false;
    std::string versioneEstensione_;
    std::optional<Temporizzatore::Id> riconnessione_;

    // ---- Rules and settings ----

    void caricaRegole();
    // Shows the rules as they stand: the extension's, while it is connected, else the file's.
    void adotta(StatoRegole stato);
    // Decodes rules the extension sent, on the worker, then adopts them.
    void adottaDallEstensione(std::string byte);
    // An edit on its way: stored by the app itself in "regole.json", on the worker (no
    // extension answers), or sent to the extension; settled with its outcome.
    void salvaNelFile(std::uint64_t numero);
    void inviaModifica(std::uint64_t numero);
    void conclusa(std::uint64_t numero, EsitoModifica esito);
    // Reads "regole.json" on the worker and shows it while no extension is connected.
    void rileggiFile();
    // Stores in the file the edits a connection that ended left unanswered.
    // (Each edit settles once: `conclusa` tells its caller, and says why when it failed.)
    void modificheSenzaRisposta();

    ElencoRegole regole_;
    ElencoRegoleDominio regoleDominio_;
    ImpostazioniFiltro impostazioni_;
    // Edits accepted and not yet settled, in the order they were made. Those sent to the
    // extension are stored in the file if the connection ends before the answer.
    struct InViaggio {
        ModificaRegole modifica;
        std::function<void(EsitoModifica)> fatto;
        bool perCanale = false;
        bool ripresa = false;  // sent once already, before its connection ended
    };
    std::map<std::uint64_t, InViaggio> modificheInViaggio_;
    std::uint64_t ultimaModifica_ = 0;

    // ---- The flow feed, the history and the positions ----

    void inserisciFlusso(const EventoFlusso& evento);
    void applicaRegistro(std::vector<EventoFlusso> eventi, std::uint64_t ricevutiAllaRisposta,
                         std::size_t presentiAllaRisposta);

    ElencoFlussi flussi_;
    std::uint64_t flussiRicevuti_ = 0;
    std::uint64_t flussiInseriti_ = 0;
    std::uint64_t generazioneFlussi_ = 0;
    qint64 totaleConsentiti_ = 0;
    qint64 totaleBloccati_ = 0;
    Pagella pagella_;
    ElencoTesti appInQuarantena_;
    MappaPosizioni geoPosizioni_;
    MappaContatoriIP geoConteggi_;
    PosizioneFacoltativa posizioneMia_;
    StoricoOre storicoOre_;
    PrimeViste primeVisteStorico_;
    std::size_t dominiTracker_ = 0;

    // ---- The attack archive ----

    void registraAttacco(const EventoFlusso& evento);
    void caricaAttacchi();
    // Stores the archive's files changed since the last store, on the worker, once per turn
    // of the event loop.
    void salvaAttacchi(bool archivio, bool conteggi, bool decisioni);
    // The pending stores as one piece of work, on copies of what is to be stored.
    std::function<void()> lavoroSalvataggio();

    ElencoFlussi attacchi_;
    MappaConteggi conteggioAttacchi_;
    MappaDecisioni decisioniAttacco_;
    struct Salvataggio {
        bool archivio = false, conteggi = false, decisioni = false, previsto = false;
    } salvataggio_;

    // ---- Notifications and the two questions ----

    // `chiave`: pattern "|" source.
    void silenziaAvvisi(const QString& chiave, bool silenzia);
    // `silenzia`: the key of findings the notification offers to stop telling about.
    void notifica(QString titolo, QString corpo, bool apreAttacchi, QString silenzia = {});
    void notificaAnomalia(const EventoFlusso& evento);
    void chiediSuBlocco(const EventoFlusso& evento);
    // The duration and the scope the user chose last, from the preferences.
    RispostaDecisione ultimaRisposta() const;
    void rispondiDecisione(std::uint64_t domanda, const RispostaDecisione& risposta,
                           bool daNotifica);
    void suAzioneNotifica(const QString& identificatore, const QString& chiave);

    std::map<std::string, Data> ultimaNotificaAttacco_;
    std::map<std::string, Data> ultimaNotificaAnomalia_;
    // Paused-flow questions not yet answered, and which notification each was posted as.
    struct DomandaAperta {
        std::string firma;
        std::optional<std::string> dominio;  // what a host scope names (destinazioneDomanda)
        std::optional<std::int64_t> porta;
        QString notifica;              // empty when not posted
        RispostaDecisione notificata;  // the duration and scope the notification's buttons apply
    };
    std::map<std::uint64_t, DomandaAperta> domandeAperte_;
    std::uint64_t ultimaDomanda_ = 0;
    std::deque<QString>
        notificheAttacco_;  // the latest attack notifications (a click opens the view)
    // Of those, the ones that offer to stop telling: notification → key of its findings.
    std::deque<std::pair<QString, QString>> notificheSilenziabili_;
    std::map<std::string, Data> ultimoAvvisoBlocco_;
    bool avvisoBloccoInCorso_ = false;

    // ---- The status light and the link's health ----

    void setColoreBarra(ColoreSemaforo v);
    void setLampeggioAcceso(bool v);
    void setFaseAnello(double v);
    void lampeggioPer(double secondi);

    ColoreSemaforo coloreBarra_ = ColoreSemaforo::spento;
    bool lampeggioAcceso_ = false;
    double faseAnello_ = 0;
    std::optional<Temporizzatore::Id> orologioSemaforo_, orologioLampeggio_, orologioAnello_;
    Data ultimaRianimazione_ = Data::daRiferimento(-1e12);  // the distant past
};

}  // namespace ostrale

Q_DECLARE_METATYPE(ostrale::ElencoRegole)
Q_DECLARE_METATYPE(ostrale::ElencoRegoleDominio)
Q_DECLARE_METATYPE(ostrale::ImpostazioniFiltro)
Q_DECLARE_METATYPE(ostrale::ElencoFlussi)
Q_DECLARE_METATYPE(ostrale::ColoreSemaforo)
Q_DECLARE_METATYPE(ostrale::Pagella)
Q_DECLARE_METATYPE(ostrale::ElencoTesti)
Q_DECLARE_METATYPE(ostrale::MappaPosizioni)
Q_DECLARE_METATYPE(ostrale::MappaContatoriIP)
Q_DECLARE_METATYPE(ostrale::PosizioneFacoltativa)
Q_DECLARE_METATYPE(ostrale::StoricoOre)
Q_DECLARE_METATYPE(ostrale::MappaConteggi)
Q_DECLARE_METATYPE(ostrale::EventoFlusso)
Q_DECLARE_METATYPE(ostrale::EsitoModifica)
