// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <bitset>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "Condiviso/blocklist-c2.h"
#include "Condiviso/fascia-oraria.h"
#include "Condiviso/orologio.h"
#include "Condiviso/protetto.h"
#include "Condiviso/registro.h"
#include "Condiviso/stato-regole.h"
#include "Condiviso/tracker.h"
#include "Estensione/Sentinella/sentinella.h"
#include "Estensione/canale-estensione.h"
#include "Estensione/flusso-di-rete.h"
#include "Estensione/memoria.h"
#include "Estensione/pianificatore.h"
#include "Estensione/risolutore-identita.h"
#include "Estensione/sorgente-flussi.h"

namespace ostrale {

// The filter: judges every new flow, remembers what it saw, pauses flows the user wants to be
// asked about, and serves the app. All mutable state sits behind one lock (`coda`), entered
// only for short visits and never around file I/O or the command-and-control list's own lock.
class FilterDataProvider : public std::enable_shared_from_this<FilterDataProvider> {
  public:
    struct Dipendenze {
        const Orologio& orologio;
        Pianificatore& pianificatore;
        RisolutoreIdentità& identità;
        CanaleEstensione& canale;
        BlocklistC2& c2;
        const Tracker& tracker;
        // Called with every judged or paused flow and every attack event, outside the lock
        // (may be empty). For an attack event the verdict says whether it blocked.
        std::function<void(const EventoFlusso&, Verdetto)> osservatore = {};
    };

    static constexpr std::size_t limiteCacheFirme = 513;
    static constexpr double attesaDecisione = 60;
    static constexpr double validitàRisposta = 30;  // seconds an answer decides for its app
    static constexpr double intervalloSalvataggio = 60;
    static constexpr double intervalloScadenze = 15;  // how often ended rules are looked for

    static std::shared_ptr<FilterDataProvider> crea(Dipendenze dipendenze);

    FilterDataProvider(const FilterDataProvider&) = delete;
    FilterDataProvider& operator=(const FilterDataProvider&) = delete;

    // The verdict for a new flow. A paused flow is kept and later resumed through its own
    // `riprendi`, exactly once.
    Verdetto handleNewFlow(const std::shared_ptr<FlussoDiRete>& flusso);

    // Loads rules and memory, serves the channel, arms the save timer and claims all traffic
    // through `sorgente`; `fatto` is called once the claim is in force (with its error, if any).
    void startFilter(SorgenteFlussi& sorgente,
                     std::function<void(std::optional<std::string>)> fatto);
    // Saves the memory if it changed.
    void stopFilter();

    // The user's rules. Every change goes through here, one at a time: "regole.json" is read
    // (another program may have written it while no extension ran), changed as the edit says,
    // stored, applied to the verdicts and announced to every client.
    void caricaRegole();
    RispostaModifica modificaRegole(const ModificaRegole& modifica);
    // Replaces them whole; false when they could not be stored (nothing changes then).
    bool sostituisciRegole(const StatoRegole& stato);
    // As the file holds them now (applied and announced first when another program changed it).
    StatoRegole regoleUtente();
    // Applies rules to the verdicts only (nothing stored or announced).
    void applicaRegole(const StatoRegole& stato);
    void caricaMemoria();
    void salvaMemoriaSeServe();

    // The identity behind a token, cached per token; "sconosciuta" when there is none.
    std::string firmaApp(const std::optional<TokenApp>& token);
    // Whether an outbound flow of `token` to `ip` gets its verdict whatever its host name: the
    // address is local or known for command and control or blocked, or the application is
    // contained or refused by its rule at every hour. A source that could learn the name later
    // (from the connection's first data) judges such a flow at once instead.
    bool decisoSenzaNome(const std::optional<TokenApp>& token, std::string_view ip);
    // A name lookup whose answer reached the application of `token` (question name and type):
    // watched for DNS tunnels. Answers whether that application is contained now, so that the
    // source can keep the answer from it.
    bool osservaDomandaDns(const std::optional<TokenApp>& token, std::string_view nome,
                           std::uint16_t tipo);
    // Releases every paused flow of `firma` with one verdict: those the app of the user `app`
    // was asked about, or, from another client (`app` absent), all of them.
    void risolviSospesi(const std::string& firma, bool consenti,
                        std::optional<std::uint32_t> app = std::nullopt);
    // Releases those paused flows of `risposta.firma` it covers (all without a host) with its
    // verdict; the others stay paused and are asked about again.
    void risolviSospesi(const RispostaSospesi& risposta,
                        std::optional<std::uint32_t> app = std::nullopt);
    // Removes the rules whose time is over (or whose boot is past) from the stored rules.
    void rimuoviScadute();
    void segnalaAttacchi(const std::vector<Sentinella::Rilevazione>& rilevazioni, Data adesso,
                         const std::string& firma, const std::string& host,
                         const std::string& porta, DirezioneFlusso direzione,
                         const std::optional<std::string>& ip, bool appAffermata = false,
                         bool destinazioneAbituale = false);

    PacchettoStorico storico();
    std::vector<EventoFlusso> flussi();

    // Observations for tests and diagnostics.
    ImpostazioniFiltro impostazioni();
    std::size_t vociCacheFirme();
    std::size_t flussiSospesi(const std::string& firma);
    Memoria::Contenuto copiaMemoria();

  private:
    struct Sospeso {
        std::shared_ptr<FlussoDiRete> flusso;
        std::shared_ptr<const EventoFlusso> evento;
    };
    struct Lotto {
        std::uint64_t numero = 0;
        std::vector<Sospeso> flussi;
    };
    // The user's latest answer about an application, and when; with a host (and port) it
    // covers only the flows there.
    struct Risposta {
        bool consenti = false;
        Data quando;
        std::optional<std::string> dominio;
        std::optional<std::int64_t> porta;
    };
    struct HashToken {
        std::size_t operator()(const TokenApp& t) const;
    };
    struct Stato {
        std::unordered_map<std::string, Regola> regole;
        // The plain domain rules, by host or address (canonical text).
        std::unordered_map<std::string, RegolaDominio, HashTesto, std::equal_to<>> regoleDominio;
        // The rules narrowed to an application or a port, by application ("" for every one).
        std::unordered_map<std::string, std::vector<RegolaDominio>> regoleRistrette;
        bool consentiPerDominio = false;  // some active domain rule allows
        // The lengths of the domain rules' keys (a longer one counts as 255): an ending of a
        // host whose length no key has is not looked up.
        std::bitset<256> lunghezzeDomini;
        ImpostazioniFiltro impostazioni;
        // By application and the user whose app was asked.
        std::map<std::pair<std::string, std::uint32_t>, Lotto> sospesi;
        std::uint64_t ultimoLotto = 0;
        // The user's latest answers per application, and when: they decide that application's
        // next flows for a while, instead of a question asked again before its rule arrives.
        std::map<std::pair<std::string, std::uint32_t>, Risposta> risposte;
        Sentinella sentinella;
        Memoria memoria;
        std::unordered_map<TokenApp, std::string, HashToken> cacheFirme;

        // The active plain rule of the address (canonical text), if any.
        std::optional<RegolaDominio> regolaPerIndirizzo(const std::optional<std::string>& ip,
                                                        Data adesso) const;
        // The active plain rule of the host or of one of its parent domains.
        std::optional<RegolaDominio> regolaPerDominio(std::string_view host, Data adesso) const;
        // The most specific active narrowed rule for the application's flow: application, host
        // and port before application and host before host and port; an address before a
        // name; a longer name before a shorter one.
        std::optional<RegolaDominio> regolaRistretta(const std::string& firma,
                                                     std::string_view host,
                                                     const std::optional<std::string>& ip,
                                                     std::string_view porta, Data adesso) const;
    };

    explicit FilterDataProvider(Dipendenze dipendenze);

    // A flow's facts, from its snapshot on: what its verdict was made of, and what the
    // bookkeeping after the verdict needs.
    struct Seguito {
        Data adesso, primaVista;
        DirezioneFlusso direzione = DirezioneFlusso::uscita;
        std::string firma, host, dominio, portaLocale, portaRemota, protocollo;
        std::optional<std::string> ip;
        std::optional<std::uint32_t> uid;  // of the process, when known
        bool rilevaAttacchi = false, avvisaAnomalie = false, registraConsentiti = false;
        bool appNuova = false, haRegolaConsenti = false;
        // The flow's domain was a habit of the application before the last day (asked before
        // this flow could teach it).
        bool destinazioneAbituale = false;
        std::shared_ptr<const InsiemeTesti> indirizziC2;  // kept alive for the detectors
        std::vector<Sentinella::Rilevazione> rilevazioni;
        bool consentito = false;
        MotivoDecisione motivo = MotivoDecisione::predefinita;
        std::optional<bool> tracker;  // asked before the verdict only when it decided

        Sentinella::Flusso perSentinella() const;
        std::shared_ptr<EventoFlusso> evento(bool anomala) const;
    };
    // What the decision needs of the application's rule (its names stay in the table).
    struct RegolaApp {
        AzioneRegola azione;
        bool attiva;
        std::optional<FasciaOraria> fascia;
    };
    // The rules and settings that apply to a flow, read at once.
    struct Fotografia {
        std::optional<RegolaDominio> regolaDominio;
        bool regolaDiIndirizzo = false;  // the domain rule is the flow's own address's
        std::optional<RegolaApp> regola;
        ImpostazioniFiltro imp;
    };
    struct Segnali {
        bool bloccatoIP = false;  // the remote address is blocked for an attack
        bool minaccia = false;    // contained application, notorious port, or C2 address
    };

    // The verdict's steps, in their order.
    // What the flow is: its application, user, ends and protocol.
    Seguito descrivi(const FlussoDiRete& flusso);
    // A flow of the local network that passes unjudged (its detections reported): true.
    bool passaInReteLocale(const Seguito& q);
    Fotografia fotografa(Seguito& q);
    Segnali segnaliBloccanti(Seguito& q, const ImpostazioniFiltro& imp);
    void decidi(Seguito& q, const Fotografia& f, const Segnali& segnali) const;
    // The user of the app to ask about a refused flow instead of refusing it (the flow then
    // waits), or absent: refused, or decided by an answer just given.
    std::optional<std::uint32_t> daChiedere(Seguito& q, const ImpostazioniFiltro& imp);

    // The detectors that only report, and the habits: whether the flow is anomalous.
    static bool altreSegnalazioni(Stato& s, Seguito& q);
    // Records, pushes and reports a flow that has its verdict.
    void registra(Seguito& q);

    void sospendi(const std::shared_ptr<FlussoDiRete>& flusso, const std::string& firma,
                  std::uint32_t app, const EventoFlusso& evento);
    // The flows of `firma`'s batch (of `numero`, if given) that `risposta` covers are released
    // with its verdict (`risposta` absent: the silence of an expiry drops them all).
    void risolviLotto(const std::string& firma, std::uint32_t app,
                      const std::optional<RispostaSospesi>& risposta,
                      std::optional<std::uint64_t> numero);
    // Asks the app of the user `app` about the batch just formed of `firma`; arms its expiry.
    void chiediLotto(const std::string& firma, std::uint32_t app, std::uint64_t numero,
                     const EventoFlusso& evento);

    Dipendenze d_;
    Registro log_{"it.brelt.ostrale.estensione", "filtro"};
    Protetto<Stato> coda_;
    // Held by one change of the user's rules from reading the file to the announcement, so that
    // the verdicts and the clients get the changes in the order they were stored.
    std::mutex mutexRegole_;
    StatoRegole regoleUtente_;  // in the user's order, as last stored or read
    std::mutex salvataggio_;    // held by one save of the memory from copy to rename
    std::once_flag timerArmato_;
};

// Whether `dominio` (a rule's host, lower case, or an address) covers a flow to `host` (its name,
// or its address when it has none) and `ip`: the host itself or one of its subdomains, or the
// address.
bool copreHost(std::string_view dominio, std::string_view host,
               const std::optional<std::string>& ip);

// The registrable part of a host as the habits and the detector use it: the last two labels,
// lower case; empty for "?" and for hosts without any letter (address literals).
std::string dominioDi(std::string_view host);

}  // namespace ostrale
