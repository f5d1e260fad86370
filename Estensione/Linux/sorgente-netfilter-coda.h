// SPDX-License-Identifier: GPL-3.0-or-later
// One queue of SorgenteNetfilter, shared by the files of the packet path (not a public header).
#pragma once

#include <linux/netlink.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Condiviso/registro.h"
#include "Estensione/Linux/pacchetto-ip.h"
#include "Estensione/Linux/sorgente-netfilter.h"

struct mnl_socket;

namespace ostrale {

// The packet mark of a verdict: our two bits say judged and, when refused, refused; whatever the
// packet carried in those two bits gives way (the rules clear them again once the connection
// mark has them).
inline constexpr std::uint32_t segniNostri =
    RegoleSistema::segnoGiudicato | RegoleSistema::segnoRifiutato | RegoleSistema::segnoAttesa;

inline std::uint32_t segnoVerdetto(std::uint32_t originale, bool consenti) {
    return (originale & ~segniNostri) | RegoleSistema::segnoGiudicato |
           (consenti ? 0u : RegoleSistema::segnoRifiutato);
}

// An opening let through unjudged, to wait for the first data of its connection.
inline std::uint32_t segnoAttesa(std::uint32_t originale) {
    return (originale & ~segniNostri) | RegoleSistema::segnoAttesa;
}

// Where a flow's host name came from, for the debug log.
enum class FonteNome { nessuna, dns, dnsApp, tls, quic, http };

class FlussoNetfilter;

// One queue: its netlink socket, its thread, and the flows it holds without a verdict.
class SorgenteNetfilter::Coda : public std::enable_shared_from_this<SorgenteNetfilter::Coda> {
  public:
    Coda(SorgenteNetfilter& sorgente, unsigned numero, bool perDns)
        : sorgente_(sorgente), numero_(numero), perDns_(perDns) {}

    ~Coda() { chiudi(); }

    // Stops reading and closes the socket; flows still held can no longer send verdicts (the
    // kernel drops their packets with the socket).
    void chiudi();

    std::optional<std::string> apri();

    void avvia(FilterDataProvider& provider) {
        provider_ = &provider;
        filo_ = std::thread([this] { leggi(); });
    }

    // Sends a verdict on this queue's socket (from any thread).
    void verdetto(std::uint32_t id, int verdetto, std::optional<std::uint32_t> segno);

    // A flow's verdict, once given: further first packets of the same tuple that were already
    // queued (a burst of datagrams before the verdict, a retry) get it too, without a new
    // judgement, for a second. Not for TCP: its only queued duplicates are retransmitted SYNs
    // of a held flow, and a new connection that reuses a recent tuple (a busy client's ports
    // come round within seconds) is a new flow to judge and record.
    void ricorda(const ChiaveTupla& chiave, bool consenti, int protocollo);

    // Marks a flow held from before it is judged, under trattenuti_: an answer may come (on
    // another thread) before the judgement returns. Every verdict given ends it (ricorda).
    void trattieni(const ChiaveTupla& chiave) { inAttesa_.try_emplace(chiave); }

    // How many packets may wait behind a held flow's first, and behind all of this queue's
    // held flows; later ones are dropped (the application retries) and the queue stays free
    // for the others.
    static constexpr std::size_t massimoDietro = 32, massimoDietroTotali = 1024;
    // Keeps a packet behind its held flow's first; false when the flow is not held.
    bool trattieniDietro(const ChiaveTupla& chiave, std::uint32_t id, std::uint32_t segno);

  private:
    struct PacchettoTrattenuto {
        std::uint32_t id;
        std::uint32_t segno;
    };
    // Under trattenuti_.
    void ricordaVerdetto(const ChiaveTupla& chiave, bool consenti, int protocollo);

  public:
    // Takes a judged flow's bookkeeping to run once no packet waits (only from the queue's own
    // thread, inside handleNewFlow). When too much waits already, the oldest runs now: the
    // bookkeeping keeps the order of the verdicts.
    bool rimanda(std::function<void()>& lavoro) {
        if (rimandati_.size() >= massimoRimandati) eseguiPrimo();
        rimandati_.push_back(std::move(lavoro));
        return true;
    }
    void eseguiRimandati() {
        while (!rimandati_.empty()) eseguiPrimo();
    }

    void inviaReset(const TuplaPacchetto& tupla) const { sorgente_.inviaReset(tupla); }

    // The identity the per-application names are kept under; empty when it is not known.
    std::string applicazione(const std::optional<TokenApp>& token);

  private:
    // A connection let through at its opening, waiting for the data that names its server.
    struct Attesa {
        TuplaPacchetto tupla;  // of the opening
        std::optional<TokenApp> token;
        std::chrono::steady_clock::time_point quando;
        bool giudicata = false;  // handed to the provider (its verdict may still be pending)
        bool deciso = false;
        bool consenti = false;
    };
    static constexpr std::size_t massimoAttese = 8192;
    // How long a connection may stay silent before it is judged by its address (one that never
    // gets through, or whose server speaks first, is judged all the same), how long an entry
    // lives, and how long a verdict is kept for data queued behind the judged packet.
    static constexpr std::chrono::seconds silenzioMassimo{2}, durataAttesa{120}, memoriaDecisa{5};
    void attendi(const TuplaPacchetto& tupla, const ChiaveTupla& chiave,
                 const std::optional<TokenApp>& token);
    void giudicaSilenziose();
    std::chrono::steady_clock::time_point ultimoControllo_{};

    void eseguiPrimo() {
        auto primo = std::move(rimandati_.front());
        rimandati_.pop_front();
        primo();
    }
    void leggi();
    void risposta(std::uint32_t id, std::string_view dati);
    ssize_t ricevi(std::vector<char>& buffer, bool attendi);

    // A flow's first packet on its way to a verdict, with what its steps learn of it.
    struct Arrivo {
        Arrivo(std::uint32_t numero, std::uint32_t segnoPacchetto, std::string_view byte,
               bool inUscita, TuplaPacchetto letta);
        // The remote end's address.
        const std::string& remoto() const { return uscita ? tupla.destinazione : tupla.origine; }

        const std::uint32_t id;
        const std::uint32_t segno;
        const std::string_view dati;  // the packet, from its network header
        const TuplaPacchetto tupla;
        const ChiaveTupla chiave;
        const bool uscita;
        const bool tcp;
        const std::uint16_t portaRemota;
        // Set when this packet belongs to a connection that waited for its server's name.
        std::optional<Attesa> attesa;
        std::optional<std::string_view> carico;  // the transport's payload, once read
        std::optional<TokenApp> token;
        // The host name and where it came from; `incerto` when DNS gave none, or one shared
        // with other names.
        std::optional<std::string> nome;
        FonteNome fonte = FonteNome::nessuna;
        bool dalDns = false;
        bool incerto = true;
    };
    // The steps of a flow's first packet, in their order.
    int pacchetto(const nlmsghdr* h);
    bool giàDeciso(Arrivo& p);
    bool passaSenzaDati(Arrivo& p);
    std::optional<TokenApp> tokenDelFlusso(const Arrivo& p);
    void nomeNoto(Arrivo& p);
    bool attendeIlNome(const Arrivo& p);
    void nomeDaiPrimiDati(Arrivo& p);
    void giudicaPrimo(Arrivo& p);
    void giudica(const std::shared_ptr<FlussoNetfilter>& flusso, const ChiaveTupla& chiave);

    SorgenteNetfilter& sorgente_;
    const unsigned numero_;
    const bool perDns_;
    const Registro registro_{"it.brelt.ostrale.estensione", "filtro"};
    mnl_socket* socket_ = nullptr;
    unsigned portid_ = 0;
    FilterDataProvider* provider_ = nullptr;
    std::atomic<bool> fine_ = false;
    std::mutex invio_;
    std::mutex trattenuti_;
    // Flows held without a verdict, with the packets that came behind the first.
    std::unordered_map<ChiaveTupla, std::vector<PacchettoTrattenuto>, ChiaveTupla::Hash> inAttesa_;
    std::size_t dietroTotali_ = 0;
    std::unordered_map<ChiaveTupla, Attesa, ChiaveTupla::Hash> attese_;
    static constexpr std::chrono::seconds memoria{1};
    std::unordered_map<ChiaveTupla, std::pair<bool, std::chrono::steady_clock::time_point>,
                       ChiaveTupla::Hash>
        recenti_;
    std::thread filo_;
    // Bookkeeping of judged flows, run by the queue's thread when no packet waits for a verdict.
    static constexpr std::size_t massimoRimandati = 64;
    std::deque<std::function<void()>> rimandati_;
};

}  // namespace ostrale
