// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Condiviso/data.h"
#include "Condiviso/enumerazioni.h"
#include "Condiviso/insieme-testi.h"
#include "Estensione/Sentinella/finestre.h"

namespace ostrale {

// The attack detector: short-lived statistics per remote address, application and destination,
// sixteen patterns, a ten-minute block of addresses and containment of applications.
// Nothing is persisted. Not thread-safe: the provider calls it under its own lock.
class Sentinella {
  public:
    struct Rilevazione {
        TipoAttacco tipo;
        std::string chiave;  // the address for inbound detectors, the application otherwise
        bool bloccata;       // the source was blocked or contained, or the pipeline refuses it

        bool operator==(const Rilevazione&) const = default;
    };

    // One flow as the pipeline sees it.
    struct Flusso {
        Data adesso;
        DirezioneFlusso direzione = DirezioneFlusso::uscita;
        std::string_view firma;
        std::optional<std::string_view> ip;
        std::string_view host;
        std::string_view dominio;
        std::string_view portaLocale;
        std::string_view portaRemota;
        std::string_view protocollo;
        bool appNuova = false;
        bool haRegolaConsenti = false;
        // The command-and-control addresses, copied by the caller under the list's own lock
        // (never taken here, where the provider's lock is held); null means none.
        const InsiemeTesti* indirizziC2 = nullptr;
    };

    static constexpr double durataBlocco = 600;
    static constexpr double pausaSegnalazioni = 600;
    // Distinct hosts in a minute that make a browser's burst (forty for other applications).
    static constexpr std::size_t sogliaRafficaBrowser = 150;

    // Whether a finding is out of the application's habits, and so worth telling the user at
    // once rather than only keeping it in the archive. A finding that stopped its source always
    // is (its event says so by itself). A rhythm, a channel kept open, a steady trickle, UDP on
    // port 443, and a burst not contained are what everyday software does towards its own
    // servers: they are out of habit only when the application is not verified, or new (first
    // seen less than a day ago, `appAffermata` false), or when the destination is not one it
    // used before today (`destinazioneAbituale` false; a browser's burst spans many
    // destinations and is judged by the application alone). The other patterns are out of
    // habit by themselves.
    static bool fuoriAbitudine(const Rilevazione& rilevazione, std::string_view firma,
                               bool appAffermata, bool destinazioneAbituale);

    // Every detector on one flow: the findings, in the order they are reported.
    std::vector<Rilevazione> osserva(const Flusso& flusso);
    // The same in two halves, for a caller that gives the flow its verdict in between: the
    // detectors whose finding blocks the address or contains the application at once (and so
    // may refuse this very flow), then the ones that only report. The second half merges its
    // findings into `esito` in reporting order. Run back to back they do exactly what osserva
    // does; the tables they use are disjoint, so other flows observed in between change
    // nothing but the moment a full table is emptied.
    void osservaSanzioni(const Flusso& flusso, std::vector<Rilevazione>& esito);
    void osservaResto(const Flusso& flusso, std::vector<Rilevazione>& esito);
    // A name lookup an application made, seen in its answer (wherever the question went: a
    // local stub, the router, a public resolver). Only lookups that carry data the way tunnels
    // do count toward the DNS tunnel; an application found tunnelling is contained.
    struct DomandaDns {
        Data adesso;
        std::string_view firma;
        std::string_view nome;  // the question's name, lower case
        std::uint16_t tipo = 1;
        bool haRegolaConsenti = false;
    };
    std::optional<Rilevazione> osservaDomandaDns(const DomandaDns& domanda);
    static bool portaDati(std::string_view nome, std::uint16_t tipo);

    std::vector<Rilevazione> osservaLan(Data adesso, std::string_view firma, std::string_view ip,
                                        std::string_view portaRemota);

    bool èBloccato(std::string_view ip, Data adesso);
    bool èContenuta(std::string_view firma, Data adesso);

    static bool èInfrastruttura(std::string_view firma);
    static bool nomeSospetto(std::string_view nome);
    static bool èRitmoRegolare(const std::vector<Data>& tempi);

    static bool èBrowser(std::string_view firma);
    // Remote ports an application should never contact.
    static bool èPortaMalfamata(std::string_view porta);
    static bool èResolverDiSistema(std::string_view firma);

    // Keys held by each statistics table, in declaration order (for tests and diagnostics).
    struct Dimensioni {
        std::size_t porteDaIP, colpiServizio, hostDaApp, dnsDaApp, tempiDestinazione,
            hostStraniDaApp, scansioniUscita, burstUDP, ipDirettiDaApp, presenze, cumulati,
            visiteLan, giàSegnalato, bloccoIP, contenimentoApp;
    };
    Dimensioni dimensioni() const;

    // The times stored for one destination key (application "|" domain) of the beacon detector.
    std::vector<Data> tempiDestinazione(std::string_view chiave) const;

  private:
    template <typename V>
    using Tabella = std::unordered_map<std::string, V, HashTesto, std::equal_to<>>;

    // The reporting throttle: true (and the report time stored) unless a report with the same
    // key was made less than `pausa` seconds ago.
    bool segnalabile(TipoAttacco tipo, std::string_view chiave, Data adesso,
                     double pausa = pausaSegnalazioni);
    void contieni(Data adesso);
    // `a` "|" `b` in a buffer of ours, valid until the next call: a key for lookups that
    // allocates nothing once the buffer has grown (a table copies it only to insert it).
    std::string_view componi(std::string_view a, std::string_view b);
    void blocca(std::string_view ip, Data adesso);
    void contieniApp(std::string_view firma, Data adesso);

    void scansione(const Flusso& f, std::vector<Rilevazione>& esito);
    void forzaBruta(const Flusso& f, std::vector<Rilevazione>& esito);
    void raffica(const Flusso& f, bool contenibile, std::vector<Rilevazione>& esito);
    void beaconing(const Flusso& f, const std::string& destinazione,
                   std::vector<Rilevazione>& esito);
    void dominiSospetti(const Flusso& f, std::vector<Rilevazione>& esito);
    void scansioneUscita(const Flusso& f, bool contenibile, std::vector<Rilevazione>& esito);
    void portaMalfamata(const Flusso& f, std::vector<Rilevazione>& esito);
    void floodUDP(const Flusso& f, bool contenibile, std::vector<Rilevazione>& esito);
    void dominioContraffatto(const Flusso& f, std::vector<Rilevazione>& esito);
    void ipDiretto(const Flusso& f, bool diSistema, std::vector<Rilevazione>& esito);
    void c2Noto(const Flusso& f, std::vector<Rilevazione>& esito);
    void canalePersistente(const Flusso& f, const std::string& destinazione,
                           std::vector<Rilevazione>& esito);
    void esfiltrazioneLenta(const Flusso& f, const std::string& destinazione,
                            std::vector<Rilevazione>& esito);
    void protocolloAnomalo(const Flusso& f, bool diSistema, std::vector<Rilevazione>& esito);

    Tabella<sentinella::FinestraDistinti> porteDaIP_;
    Tabella<sentinella::FinestraTempi> colpiServizio_;
    Tabella<sentinella::FinestraDistinti> hostDaApp_;
    Tabella<sentinella::FinestraTempi> dnsDaApp_;
    Tabella<std::vector<Data>> tempiDestinazione_;
    Tabella<sentinella::FinestraPrimeViste> hostStraniDaApp_;
    Tabella<sentinella::FinestraDistinti> scansioniUscita_;
    Tabella<sentinella::FinestraTempi> burstUDP_;
    Tabella<sentinella::FinestraPrimeViste> ipDirettiDaApp_;
    Tabella<std::set<std::int64_t>> presenze_;
    Tabella<std::map<std::int64_t, std::int64_t>> cumulati_;
    Tabella<sentinella::FinestraPrimeViste> visiteLan_;
    Tabella<Data> giàSegnalato_;
    Tabella<Data> bloccoIP_;
    Tabella<Data> contenimentoApp_;
    std::string chiave_;
    static constexpr std::size_t minimoPrimaDiSpazzare = 1024;
    std::size_t sogliaBloccoIP_ = minimoPrimaDiSpazzare;
    std::size_t sogliaContenimento_ = minimoPrimaDiSpazzare;
};

}  // namespace ostrale
