// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/sorgente-netfilter.h"

#include <arpa/inet.h>
#include <linux/netfilter.h>
#include <linux/netfilter/nfnetlink_queue.h>
#include <linux/netlink.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <unordered_map>
#include <unordered_set>

extern "C" {
#include <libmnl/libmnl.h>
#include <libnetfilter_queue/libnetfilter_queue.h>
}

#include "Condiviso/registro.h"
#include "Estensione/Linux/nome-server.h"
#include "Estensione/filter-data-provider.h"

#ifndef IPV6_HDRINCL
#define IPV6_HDRINCL 36  // linux/in6.h, which clashes with netinet/in.h
#endif

namespace ostrale {

namespace {

const std::size_t dimensioneBuffer = 0xffff + (MNL_SOCKET_BUFFER_SIZE / 2);

// The packet mark of a verdict: our two bits say judged and, when refused, refused; whatever the
// packet carried in those two bits gives way (the rules clear them again once the connection
// mark has them).
constexpr std::uint32_t segniNostri =
    RegoleSistema::segnoGiudicato | RegoleSistema::segnoRifiutato | RegoleSistema::segnoAttesa;

std::uint32_t segnoVerdetto(std::uint32_t originale, bool consenti) {
    return (originale & ~segniNostri) | RegoleSistema::segnoGiudicato |
           (consenti ? 0u : RegoleSistema::segnoRifiutato);
}

// An opening let through unjudged, to wait for the first data of its connection.
std::uint32_t segnoAttesa(std::uint32_t originale) {
    return (originale & ~segniNostri) | RegoleSistema::segnoAttesa;
}

// Where a connection's first data names its server: TLS (its ClientHello) and plain HTTP (its
// Host header). Elsewhere a flow is judged at its opening, by address when it has no name.
bool portaTls(std::uint16_t porta) {
    return porta == 443 || porta == 8443;
}
bool portaHttp(std::uint16_t porta) {
    return porta == 80 || porta == 8080;
}

// Where a flow's host name came from, for the debug log.
enum class FonteNome { nessuna, dns, dnsApp, tls, quic, http };
const char* testoFonte(FonteNome f) {
    switch (f) {
        case FonteNome::dns:
            return "dns";
        case FonteNome::dnsApp:
            return "dns-app";
        case FonteNome::tls:
            return "tls";
        case FonteNome::quic:
            return "quic";
        case FonteNome::http:
            return "http";
        case FonteNome::nessuna:
            break;
    }
    return "address";
}

// What a queued packet's message says: the attributes read, each with its length checked.
struct AttributiPacchetto {
    std::uint32_t id = 0;
    std::uint8_t aggancio = 0;  // the netfilter hook
    std::uint32_t segno = 0;    // the packet mark
    std::string_view dati;      // the packet, from its network header
};

std::optional<AttributiPacchetto> leggiAttributi(const nlmsghdr* h) {
    const std::size_t inizio = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(nfgenmsg));
    if (h->nlmsg_len < inizio) return std::nullopt;
    const char* p = reinterpret_cast<const char*>(h) + inizio;
    const char* const fine = reinterpret_cast<const char*>(h) + h->nlmsg_len;
    AttributiPacchetto a;
    bool conIntestazione = false;
    while (fine - p >= static_cast<std::ptrdiff_t>(sizeof(nlattr))) {
        nlattr attributo;
        std::memcpy(&attributo, p, sizeof attributo);
        if (attributo.nla_len < NLA_HDRLEN || attributo.nla_len > fine - p) return std::nullopt;
        const char* carico = p + NLA_HDRLEN;
        const std::size_t lunghezza = attributo.nla_len - NLA_HDRLEN;
        switch (attributo.nla_type & NLA_TYPE_MASK) {
            case NFQA_PACKET_HDR: {
                if (lunghezza < sizeof(nfqnl_msg_packet_hdr)) return std::nullopt;
                nfqnl_msg_packet_hdr intestazione;
                std::memcpy(&intestazione, carico, sizeof intestazione);
                a.id = ntohl(intestazione.packet_id);
                a.aggancio = intestazione.hook;
                conIntestazione = true;
                break;
            }
            case NFQA_MARK: {
                if (lunghezza < sizeof(std::uint32_t)) return std::nullopt;
                std::uint32_t segno;
                std::memcpy(&segno, carico, sizeof segno);
                a.segno = ntohl(segno);
                break;
            }
            case NFQA_PAYLOAD:
                a.dati = std::string_view(carico, lunghezza);
                break;
            default:
                break;
        }
        p += std::min<std::ptrdiff_t>(NLA_ALIGN(attributo.nla_len), fine - p);
    }
    if (!conIntestazione) return std::nullopt;
    return a;
}

}  // namespace

// One queue: its netlink socket, its thread, and the flows it holds without a verdict.
class SorgenteNetfilter::Coda : public std::enable_shared_from_this<SorgenteNetfilter::Coda> {
  public:
    Coda(SorgenteNetfilter& sorgente, unsigned numero, bool perDns)
        : sorgente_(sorgente), numero_(numero), perDns_(perDns) {}

    ~Coda() { chiudi(); }

    // Stops reading and closes the socket; flows still held can no longer send verdicts (the
    // kernel drops their packets with the socket).
    void chiudi() {
        fine_ = true;
        if (filo_.joinable() && filo_.get_id() != std::this_thread::get_id()) filo_.join();
        std::lock_guard blocco(invio_);
        if (socket_) mnl_socket_close(socket_);
        socket_ = nullptr;
    }

    std::optional<std::string> apri() {
        socket_ = mnl_socket_open(NETLINK_NETFILTER);
        if (!socket_) return std::string("netlink: ") + std::strerror(errno);
        if (mnl_socket_bind(socket_, 0, MNL_SOCKET_AUTOPID) < 0)
            return std::string("bind: ") + std::strerror(errno);
        portid_ = mnl_socket_get_portid(socket_);
        const int fd = mnl_socket_get_fd(socket_);
        int uno = 1;
        ::setsockopt(fd, SOL_NETLINK, NETLINK_NO_ENOBUFS, &uno, sizeof uno);
        int grande = 8 << 20;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &grande, sizeof grande);
        // A netlink read is not woken by shutdown(): wake up now and then to see if we must stop.
        timeval sveglia{0, 250000};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &sveglia, sizeof sveglia);
        std::vector<char> buffer(MNL_SOCKET_BUFFER_SIZE);
        nlmsghdr* h = nfq_nlmsg_put(buffer.data(), NFQNL_MSG_CONFIG, numero_);
        nfq_nlmsg_cfg_put_cmd(h, AF_INET, NFQNL_CFG_CMD_BIND);
        if (mnl_socket_sendto(socket_, h, h->nlmsg_len) < 0)
            return std::string("queue bind: ") + std::strerror(errno);
        h = nfq_nlmsg_put(buffer.data(), NFQNL_MSG_CONFIG, numero_);
        // Flows: enough of the first data for a TLS ClientHello or a QUIC Initial.
        nfq_nlmsg_cfg_put_params(h, NFQNL_COPY_PACKET, perDns_ ? 0xffff : 4096);
        nfq_nlmsg_cfg_put_qmaxlen(h, 8192);
        if (mnl_socket_sendto(socket_, h, h->nlmsg_len) < 0)
            return std::string("queue params: ") + std::strerror(errno);
        return std::nullopt;
    }

    void avvia(FilterDataProvider& provider) {
        provider_ = &provider;
        filo_ = std::thread([this] { leggi(); });
    }

    // Sends a verdict on this queue's socket (from any thread).
    void verdetto(std::uint32_t id, int verdetto, std::optional<std::uint32_t> segno) {
        alignas(nlmsghdr) char buffer[512];
        nlmsghdr* h = nfq_nlmsg_put(buffer, NFQNL_MSG_VERDICT, numero_);
        nfq_nlmsg_verdict_put(h, static_cast<int>(id), verdetto);
        if (segno) nfq_nlmsg_verdict_put_mark(h, *segno);
        std::lock_guard blocco(invio_);
        if (socket_) mnl_socket_sendto(socket_, h, h->nlmsg_len);
    }

    // A flow's verdict, once given: further first packets of the same tuple that were already
    // queued (a burst of datagrams before the verdict, a retry) get it too, without a new
    // judgement, for a second. Not for TCP: its only queued duplicates are retransmitted SYNs
    // of a held flow, and a new connection that reuses a recent tuple (a busy client's ports
    // come round within seconds) is a new flow to judge and record.
    void ricorda(const ChiaveTupla& chiave, bool consenti, int protocollo) {
        std::lock_guard blocco(trattenuti_);
        if (const auto it = inAttesa_.find(chiave); it != inAttesa_.end()) {
            // The packets that came behind a held first one (a resolver's second question from
            // the same socket, a retry) go with its verdict, in the order they came, before
            // any newer packet of the tuple can.
            for (const auto& p : it->second) {
                verdetto(p.id, NF_REPEAT, segnoVerdetto(p.segno, consenti));
            }
            dietroTotali_ -= it->second.size();
            inAttesa_.erase(it);
        }
        ricordaVerdetto(chiave, consenti, protocollo);
    }

    // Marks a flow held from before it is judged, under trattenuti_: an answer may come (on
    // another thread) before the judgement returns. Every verdict given ends it (ricorda).
    void trattieni(const ChiaveTupla& chiave) { inAttesa_.try_emplace(chiave); }

    // How many packets may wait behind a held flow's first, and behind all of this queue's
    // held flows; later ones are dropped (the application retries) and the queue stays free
    // for the others.
    static constexpr std::size_t massimoDietro = 32, massimoDietroTotali = 1024;
    // Keeps a packet behind its held flow's first; false when the flow is not held.
    bool trattieniDietro(const ChiaveTupla& chiave, std::uint32_t id, std::uint32_t segno) {
        const auto it = inAttesa_.find(chiave);
        if (it == inAttesa_.end()) return false;
        if (it->second.size() < massimoDietro && dietroTotali_ < massimoDietroTotali) {
            it->second.push_back({id, segno});
            ++dietroTotali_;
        } else {
            verdetto(id, NF_DROP, std::nullopt);
        }
        return true;
    }

  private:
    struct PacchettoTrattenuto {
        std::uint32_t id;
        std::uint32_t segno;
    };
    // Under trattenuti_.
    void ricordaVerdetto(const ChiaveTupla& chiave, bool consenti, int protocollo) {
        if (protocollo == IPPROTO_TCP) {
            // A connection that waited for its name: its data already queued behind the judged
            // packet (retransmissions) gets the same verdict.
            if (const auto it = attese_.find(chiave); it != attese_.end() && !it->second.deciso) {
                it->second.deciso = true;
                it->second.consenti = consenti;
                it->second.quando = std::chrono::steady_clock::now();
            }
            return;
        }
        const auto adesso = std::chrono::steady_clock::now();
        if (recenti_.size() >= 4096) {
            std::erase_if(recenti_,
                          [&](const auto& v) { return adesso - v.second.second > memoria; });
            if (recenti_.size() >= 4096) recenti_.clear();
        }
        recenti_[chiave] = {consenti, adesso};
    }

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
    std::string applicazione(const std::optional<TokenApp>& token) {
        if (!token) return {};
        std::string firma = provider_->firmaApp(token);
        if (firma == "sconosciuta") firma.clear();
        return firma;
    }

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
                 const std::optional<TokenApp>& token) {
        const auto adesso = std::chrono::steady_clock::now();
        std::lock_guard blocco(trattenuti_);
        if (attese_.size() >= massimoAttese) {
            std::erase_if(attese_, [&](const auto& v) {
                return adesso - v.second.quando > (v.second.deciso ? memoriaDecisa : durataAttesa);
            });
            if (attese_.size() >= massimoAttese) attese_.clear();
        }
        attese_[chiave] = Attesa{tupla, token, adesso};
    }
    void giudicaSilenziose();
    std::chrono::steady_clock::time_point ultimoControllo_{};

    void eseguiPrimo() {
        auto primo = std::move(rimandati_.front());
        rimandati_.pop_front();
        primo();
    }
    void leggi();
    int pacchetto(const nlmsghdr* h);
    void risposta(std::uint32_t id, std::string_view dati);
    ssize_t ricevi(std::vector<char>& buffer, bool attendi);

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

namespace {

// A flow as netfilter handed it over; its verdict goes back on the queue that holds it.
class FlussoNetfilter final : public FlussoDiRete {
  public:
    // `ripristina`: the flow's connection is open already (it waited for its name), and a refusal
    // resets the remote end too.
    FlussoNetfilter(std::shared_ptr<SorgenteNetfilter::Coda> coda, std::uint32_t id,
                    std::uint32_t segno, TuplaPacchetto tupla, ChiaveTupla chiave, bool uscita,
                    std::optional<TokenApp> token, std::optional<std::string> nome, bool ripristina,
                    bool conPacchetto = true)
        : coda_(coda),
          id_(id),
          segno_(segno),
          tupla_(std::move(tupla)),
          chiave_(chiave),
          uscita_(uscita),
          token_(token),
          nome_(std::move(nome)),
          ripristina_(ripristina),
          conPacchetto_(conPacchetto) {}

    std::optional<TokenApp> token() const override { return token_; }
    bool èInEntrata() const override { return !uscita_; }
    std::optional<std::string> nomeHost() const override { return nome_; }
    // A flow without ports (ICMP, other protocols) keeps its addresses, with "?" for the port.
    std::optional<Estremo> remoto() const override {
        return uscita_ ? Estremo{tupla_.destinazione, porta(tupla_.portaDestinazione)}
                       : Estremo{tupla_.origine, porta(tupla_.portaOrigine)};
    }
    std::optional<Estremo> locale() const override {
        return uscita_ ? Estremo{tupla_.origine, porta(tupla_.portaOrigine)}
                       : Estremo{tupla_.destinazione, porta(tupla_.portaDestinazione)};
    }
    int protocollo() const override { return tupla_.protocollo; }

    void dai(bool consenti) const {
        if (conPacchetto_) coda_->verdetto(id_, NF_REPEAT, segnoVerdetto(segno_, consenti));
        // The refused packet is answered with a reset on this machine; the server, which has
        // seen the opening, gets one of its own (also when no packet of it waited here).
        if (!consenti && ripristina_) coda_->inviaReset(tupla_);
    }
    void riprendi(bool consenti) override {
        dai(consenti);
        coda_->ricorda(chiave_, consenti, tupla_.protocollo);
    }
    void decisa(bool consenti) override {
        riprendi(consenti);
        dato_ = true;
    }
    bool rimanda(std::function<void()>& lavoro) override { return coda_->rimanda(lavoro); }
    void completaRimandati() override { coda_->eseguiRimandati(); }
    // The verdict went out already, from decisa.
    bool dato() const { return dato_; }

  private:
    std::string porta(std::uint16_t numero) const {
        return tupla_.conPorte ? std::to_string(numero) : std::string("?");
    }

    const std::shared_ptr<SorgenteNetfilter::Coda> coda_;
    const std::uint32_t id_;
    const std::uint32_t segno_;
    const TuplaPacchetto tupla_;
    const ChiaveTupla chiave_;
    const bool uscita_;
    const std::optional<TokenApp> token_;
    const std::optional<std::string> nome_;
    const bool ripristina_;
    // False for a waiting connection judged while no packet of it is held: its verdict is kept
    // for its next packets.
    const bool conPacchetto_;
    bool dato_ = false;  // only ever touched by the queue thread
};

}  // namespace

// One netlink message batch from the kernel; waits for it only when `attendi`.
ssize_t SorgenteNetfilter::Coda::ricevi(std::vector<char>& buffer, bool attendi) {
    sockaddr_nl mittente{};
    iovec vettore{buffer.data(), buffer.size()};
    msghdr messaggio{};
    messaggio.msg_name = &mittente;
    messaggio.msg_namelen = sizeof mittente;
    messaggio.msg_iov = &vettore;
    messaggio.msg_iovlen = 1;
    const ssize_t n = ::recvmsg(mnl_socket_get_fd(socket_), &messaggio, attendi ? 0 : MSG_DONTWAIT);
    if (n < 0) return n;
    if (messaggio.msg_flags & MSG_TRUNC) {
        errno = ENOSPC;
        return -1;
    }
    if (messaggio.msg_namelen != sizeof(sockaddr_nl) || mittente.nl_pid != 0) {
        errno = EAGAIN;  // not the kernel's: ignored
        return -1;
    }
    return n;
}

void SorgenteNetfilter::Coda::leggi() {
    std::vector<char> buffer(dimensioneBuffer);
    // Once per pause in the packets, before any bookkeeping: whoever a verdict just woke (the
    // application waiting for its connection, often on this very processor) runs first.
    bool ceduto = false;
    while (!fine_) {
        // Verdicts first: the bookkeeping of judged flows waits while packets do.
        const ssize_t n = ricevi(buffer, rimandati_.empty());
        if (!perDns_) giudicaSilenziose();
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                if (rimandati_.empty()) continue;
                if (!ceduto) {
                    sched_yield();
                    ceduto = true;
                } else {
                    eseguiPrimo();
                }
                continue;
            }
            if (errno == EINTR || errno == ENOBUFS || errno == ENOSPC) continue;
            break;
        }
        if (n == 0) break;
        ceduto = false;
        mnl_cb_run(
            buffer.data(), static_cast<std::size_t>(n), 0, portid_,
            [](const nlmsghdr* h, void* dati) { return static_cast<Coda*>(dati)->pacchetto(h); },
            this);
    }
    eseguiRimandati();
}

int SorgenteNetfilter::Coda::pacchetto(const nlmsghdr* h) {
    const auto attributi = leggiAttributi(h);
    if (!attributi) return MNL_CB_OK;
    const std::uint32_t id = attributi->id;
    const std::uint32_t segno = attributi->segno;
    const std::string_view dati = attributi->dati;
    const std::uint8_t aggancio = attributi->aggancio;
    if (perDns_) {
        risposta(id, dati);
        return MNL_CB_OK;
    }
    auto tupla = leggiPacchetto(dati);
    if (!tupla) {
        // A first packet whose ports lie beyond what we read (long extension headers) or that
        // is malformed: refused, never let through unjudged.
        verdetto(id, NF_REPEAT, segnoVerdetto(segno, false));
        return MNL_CB_OK;
    }
    const bool uscita = aggancio == NF_INET_LOCAL_OUT;
    const bool tcp = tupla->protocollo == IPPROTO_TCP;
    const ChiaveTupla chiave(*tupla);
    // Set when this packet belongs to a connection that waited for its server's name.
    std::optional<Attesa> attesa;
    {
        std::lock_guard blocco(trattenuti_);
        // A retransmission, a retry or a further datagram of a flow that waits for the user
        // waits with it.
        if (trattieniDietro(chiave, id, segno)) return MNL_CB_OK;
        if (const auto it = recenti_.find(chiave);
            it != recenti_.end() &&
            std::chrono::steady_clock::now() - it->second.second < memoria) {
            verdetto(id, NF_REPEAT, segnoVerdetto(segno, it->second.first));
            return MNL_CB_OK;
        }
        if (const auto it = tcp && uscita ? attese_.find(chiave) : attese_.end();
            it != attese_.end()) {
            if (tupla->èApertura()) {
                if (!it->second.deciso) {  // the opening again, retransmitted
                    verdetto(id, NF_REPEAT, segnoAttesa(segno));
                    return MNL_CB_OK;
                }
                attese_.erase(it);  // a new connection on a reused tuple
            } else if (it->second.deciso) {
                verdetto(id, NF_REPEAT, segnoVerdetto(segno, it->second.consenti));
                if (!it->second.consenti) inviaReset(*tupla);
                return MNL_CB_OK;
            } else {
                attesa = it->second;
            }
        }
    }
    std::optional<std::string_view> carico;
    if (attesa) {
        carico = caricoTrasporto(dati);
        // An acknowledgement without data (the handshake's last, or a close): the connection
        // still waits for its first data.
        if (!carico || carico->empty()) {
            verdetto(id, NF_ACCEPT, std::nullopt);
            return MNL_CB_OK;
        }
    }
    std::optional<TokenApp> token;
    if (attesa) {
        token = attesa->token;
    } else if (uscita && sorgente_.bpf_) {
        // The kernel's note of the socket's owner; an exact socket lookup for what it lacks
        // (inbound flows, sockets of processes outside our pid namespace, notes lost to a full
        // map or table).
        if (const auto proprietario = sorgente_.bpf_->cerca(*tupla)) {
            token = tokenDi(*proprietario);
            // A note whose process cannot be named (an executable never seen, on a filesystem
            // whose inodes we misread) is worth less than the socket lookup.
            if (sorgente_.identità_ && !sorgente_.identità_->nominabile(*token)) token.reset();
        }
    }
    if (!token) {
        token = sorgente_.tokenDelSocket(*tupla, uscita);
    }
    const std::uint16_t portaRemota = uscita ? tupla->portaDestinazione : tupla->portaOrigine;
    if (uscita && token && portaRemota == 53 && tupla->conPorte)
        sorgente_.notaDomanda(*tupla, *token);

    // The host name: the latest its own application resolved for the address, else the
    // machine's latest; when that is missing or shared, what the first data names.
    const std::string app = applicazione(token);
    const std::string& remoto = uscita ? tupla->destinazione : tupla->origine;
    auto noto = sorgente_.nomi_.nome(remoto, app, sorgente_.orologio_.adesso());
    FonteNome fonte = !noto           ? FonteNome::nessuna
                      : noto->dellApp ? FonteNome::dnsApp
                                      : FonteNome::dns;
    const bool incerto = !noto || noto->ambiguo;
    std::optional<std::string> nome;
    if (noto) nome = std::move(noto->nome);
    if (uscita && tcp && !attesa && tupla->èApertura() &&
        ((portaTls(portaRemota) && incerto) || (portaHttp(portaRemota) && !noto)) &&
        !provider_->decisoSenzaNome(token, remoto)) {
        // Let the opening go, unjudged: the verdict waits for the connection's first data.
        attendi(*tupla, chiave, token);
        verdetto(id, NF_REPEAT, segnoAttesa(segno));
        return MNL_CB_OK;
    }
    if (uscita && (attesa || (incerto && tupla->protocollo == IPPROTO_UDP && portaRemota == 443))) {
        if (!carico) carico = caricoTrasporto(dati);
        std::optional<std::string> letto;
        if (carico && !tcp) {
            letto = nomeDaQuicInitial(*carico);
            if (letto) fonte = FonteNome::quic;
        } else if (carico && portaHttp(portaRemota)) {
            letto = nomeDaHttp(*carico);
            if (letto) fonte = FonteNome::http;
        } else if (carico) {
            letto = nomeDaClientHello(*carico);
            if (letto) fonte = FonteNome::tls;
        }
        if (letto) nome = std::move(letto);
    }
    if (attesa) {
        std::lock_guard blocco(trattenuti_);
        if (const auto it = attese_.find(chiave); it != attese_.end()) it->second.giudicata = true;
    }
    if (Registro::debugAttivo()) {
        registro_.debug("Flow to " + remoto +
                        (tupla->conPorte ? " port " + std::to_string(portaRemota) : "") + ": " +
                        (nome ? *nome : remoto) + " (" +
                        testoFonte(nome ? fonte : FonteNome::nessuna) + ")");
    }
    auto flusso =
        std::make_shared<FlussoNetfilter>(shared_from_this(), id, segno, *tupla, chiave, uscita,
                                          token, std::move(nome), attesa.has_value());
    {
        std::lock_guard blocco(trattenuti_);
        trattieni(chiave);
    }
    const Verdetto v = provider_->handleNewFlow(flusso);
    if (v != Verdetto::sospendi && !flusso->dato()) flusso->riprendi(v == Verdetto::consenti);
    return MNL_CB_OK;
}

// Connections that waited for their first data and sent none: judged by address (with the
// name DNS gave, if any); the verdict holds for what they send later.
void SorgenteNetfilter::Coda::giudicaSilenziose() {
    const auto adesso = std::chrono::steady_clock::now();
    if (adesso - ultimoControllo_ < std::chrono::milliseconds(250)) return;
    ultimoControllo_ = adesso;
    std::vector<std::pair<ChiaveTupla, Attesa>> silenziose;
    {
        std::lock_guard blocco(trattenuti_);
        for (auto& [chiave, attesa] : attese_) {
            if (attesa.giudicata || attesa.deciso || adesso - attesa.quando < silenzioMassimo)
                continue;
            attesa.giudicata = true;
            silenziose.emplace_back(chiave, attesa);
        }
    }
    for (auto& [chiave, attesa] : silenziose) {
        auto noto = sorgente_.nomi_.nome(attesa.tupla.destinazione, applicazione(attesa.token),
                                         sorgente_.orologio_.adesso());
        std::optional<std::string> nome;
        if (noto) nome = std::move(noto->nome);
        auto flusso =
            std::make_shared<FlussoNetfilter>(shared_from_this(), 0, 0, attesa.tupla, chiave, true,
                                              attesa.token, std::move(nome), true, false);
        {
            std::lock_guard blocco(trattenuti_);
            trattieni(chiave);
        }
        const Verdetto v = provider_->handleNewFlow(flusso);
        if (v != Verdetto::sospendi && !flusso->dato()) flusso->riprendi(v == Verdetto::consenti);
    }
}

// A DNS answer: learnt (for the application it reaches, and machine-wide), watched for
// tunnels, and let through at once unless its application is contained.
void SorgenteNetfilter::Coda::risposta(std::uint32_t id, std::string_view dati) {
    const auto carico = caricoTrasporto(dati);
    const auto tupla = carico ? leggiPacchetto(dati) : std::nullopt;
    if (tupla) {
        if (auto risposta = leggiRispostaDns(*carico, tupla->protocollo == IPPROTO_TCP)) {
            const auto token = sorgente_.chiHaChiesto(*tupla);
            sorgente_.nomi_.impara(*risposta, sorgente_.orologio_.adesso(), applicazione(token));
            if (token && provider_->osservaDomandaDns(token, risposta->domanda, risposta->tipo)) {
                verdetto(id, NF_DROP, std::nullopt);
                return;
            }
        }
    }
    verdetto(id, NF_ACCEPT, std::nullopt);
}

std::optional<TokenApp> SorgenteNetfilter::tokenDelSocket(const TuplaPacchetto& tupla,
                                                          bool uscita) {
    if (const auto proprietario = cercaSocket(tupla, uscita)) {
        if (const auto pid = indice_.pid(proprietario->inode))
            return tokenDi(*pid, proprietario->uid);
    }
    return std::nullopt;
}

void SorgenteNetfilter::notaDomanda(const TuplaPacchetto& domanda, const TokenApp& token) {
    const auto adesso = std::chrono::steady_clock::now();
    std::lock_guard blocco(domandeMutex_);
    if (domande_.size() >= massimoDomande) {
        std::erase_if(domande_,
                      [&](const auto& v) { return adesso - v.second.second > durataDomanda; });
        if (domande_.size() >= massimoDomande) domande_.clear();
    }
    domande_.insert_or_assign(ChiaveTupla(domanda), std::pair{token, adesso});
}

std::optional<TokenApp> SorgenteNetfilter::chiHaChiesto(const TuplaPacchetto& risposta) {
    {
        std::lock_guard blocco(domandeMutex_);
        const auto it = domande_.find(ChiaveTupla(invertita(risposta)));
        if (it != domande_.end() &&
            std::chrono::steady_clock::now() - it->second.second < durataDomanda) {
            return it->second.first;
        }
    }
    // The question was judged before we noted it (a restart), or went out on an old socket:
    // the socket it reaches is still open, its application waiting for the answer.
    return tokenDelSocket(risposta, false);
}

namespace {

std::uint16_t sommaControllo(const unsigned char* pseudo, std::size_t nPseudo,
                             const unsigned char* dati, std::size_t n) {
    std::uint32_t somma = 0;
    auto aggiungi = [&](const unsigned char* p, std::size_t k) {
        for (std::size_t i = 0; i + 1 < k; i += 2) somma += (p[i] << 8) | p[i + 1];
        if (k % 2) somma += p[k - 1] << 8;
    };
    aggiungi(pseudo, nPseudo);
    aggiungi(dati, n);
    while (somma >> 16) somma = (somma & 0xffff) + (somma >> 16);
    return static_cast<std::uint16_t>(~somma);
}

}  // namespace

// A TCP reset from this machine's end of `t` (an outbound packet's tuple) to its remote end,
// with the sequence number the remote end expects next.
void SorgenteNetfilter::inviaReset(const TuplaPacchetto& t) const {
    const bool v4 = t.famiglia == 4;
    const int fd = v4 ? grezzo4_ : grezzo6_;
    if (fd < 0 || t.protocollo != IPPROTO_TCP) return;
    const std::size_t lunghezzaIP = v4 ? 4 : 16;
    unsigned char pacchetto[60] = {};
    unsigned char* tcp = pacchetto + (v4 ? 20 : 40);
    tcp[0] = static_cast<unsigned char>(t.portaOrigine >> 8);
    tcp[1] = static_cast<unsigned char>(t.portaOrigine);
    tcp[2] = static_cast<unsigned char>(t.portaDestinazione >> 8);
    tcp[3] = static_cast<unsigned char>(t.portaDestinazione);
    for (int i = 0; i < 4; ++i)
        tcp[4 + i] = static_cast<unsigned char>(t.sequenzaTcp >> (24 - 8 * i));
    tcp[12] = 5 << 4;
    tcp[13] = TuplaPacchetto::rst;
    unsigned char pseudo[40] = {};
    std::memcpy(pseudo, t.origineGrezza, lunghezzaIP);
    std::memcpy(pseudo + lunghezzaIP, t.destinazioneGrezza, lunghezzaIP);
    // Then the protocol and the TCP length: zero, protocol, length in 16 bits for IPv4; length in
    // 32 bits, three zeros and the next header for IPv6.
    const std::size_t nPseudo = 2 * lunghezzaIP + (v4 ? 4 : 8);
    if (v4) {
        pseudo[9] = IPPROTO_TCP;
        pseudo[11] = 20;
    } else {
        pseudo[35] = 20;
        pseudo[39] = IPPROTO_TCP;
    }
    const std::uint16_t somma = sommaControllo(pseudo, nPseudo, tcp, 20);
    tcp[16] = static_cast<unsigned char>(somma >> 8);
    tcp[17] = static_cast<unsigned char>(somma);
    if (v4) {
        pacchetto[0] = 0x45;
        pacchetto[3] = 40;
        pacchetto[6] = 0x40;  // don't fragment
        pacchetto[8] = 64;
        pacchetto[9] = IPPROTO_TCP;
        std::memcpy(pacchetto + 12, t.origineGrezza, 4);
        std::memcpy(pacchetto + 16, t.destinazioneGrezza, 4);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        std::memcpy(&a.sin_addr, t.destinazioneGrezza, 4);
        ::sendto(fd, pacchetto, 40, 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    } else {
        pacchetto[0] = 0x60;
        pacchetto[5] = 20;
        pacchetto[6] = IPPROTO_TCP;
        pacchetto[7] = 64;
        std::memcpy(pacchetto + 8, t.origineGrezza, 16);
        std::memcpy(pacchetto + 24, t.destinazioneGrezza, 16);
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        std::memcpy(&a.sin6_addr, t.destinazioneGrezza, 16);
        ::sendto(fd, pacchetto, 60, 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    }
}

SorgenteNetfilter::SorgenteNetfilter(const Orologio& orologio, RegoleSistema regole,
                                     RisolutoreLinux* identità, bool conBpf)
    : orologio_(orologio), regole_(std::move(regole)), identità_(identità), conBpf_(conBpf) {}

void SorgenteNetfilter::preparaAttribuzione() {
    Registro registro("it.brelt.ostrale.estensione", "attribuzione");
    std::string motivo = "disabled";
    if (conBpf_ && !bpf_) bpf_ = AttribuzioneBpf::carica(motivo);
    if (!bpf_) {
        regole_.usaFiltroTuple({});
        registro.info("Attribution: socket lookups (sock_diag) only: " + motivo);
        return;
    }
    regole_.usaFiltroTuple(bpf_->filtro());
    if (identità_) {
        identità_->imparaTutti();
        bpf_->osservaProcessi([identità = identità_](const EventoProcesso& e) {
            if (e.tipo == EventoProcesso::Tipo::esecuzione) {
                identità->eseguito(e);
            } else {
                identità->uscito(e.pid);
            }
        });
    }
    registro.info("Attribution: socket owners noted by the kernel (cgroup hooks, xt_bpf at " +
                  bpf_->filtro() + "); socket lookups (sock_diag) for inbound flows and misses");
}

SorgenteNetfilter::~SorgenteNetfilter() {
    ferma();
    if (grezzo4_ >= 0) ::close(grezzo4_);
    if (grezzo6_ >= 0) ::close(grezzo6_);
}

void SorgenteNetfilter::apriSocketGrezzi() {
    if (grezzo4_ < 0) grezzo4_ = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    if (grezzo6_ < 0) {
        grezzo6_ = ::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
        int uno = 1;
        if (grezzo6_ >= 0 &&
            ::setsockopt(grezzo6_, IPPROTO_IPV6, IPV6_HDRINCL, &uno, sizeof uno) != 0) {
            ::close(grezzo6_);
            grezzo6_ = -1;
        }
    }
    if (grezzo4_ < 0 || grezzo6_ < 0)
        Registro("it.brelt.ostrale.estensione", "filtro")
            .avviso(std::string("No raw socket (") + std::strerror(errno) +
                    "): a refused connection that was already open is reset on this machine only");
}

void SorgenteNetfilter::applicaImpostazioni(FilterDataProvider& provider,
                                            std::function<void(std::optional<std::string>)> fatto) {
    auto fallisci = [&](std::string errore) {
        for (auto& coda : code_) coda->chiudi();
        code_.clear();
        if (fatto) fatto(std::move(errore));
    };
    if (attiva_) {
        if (fatto) fatto(std::nullopt);
        return;
    }
    const auto& numeri = regole_.code();
    code_.push_back(std::make_shared<Coda>(*this, numeri.dns, true));
    for (unsigned i = 0; i < numeri.quanteFlussi; ++i) {
        code_.push_back(std::make_shared<Coda>(*this, numeri.primaFlussi + i, false));
    }
    for (auto& coda : code_) {
        if (auto errore = coda->apri()) return fallisci(*errore);
    }
    preparaAttribuzione();  // before the queue threads, which read it
    apriSocketGrezzi();
    for (auto& coda : code_) coda->avvia(provider);
    monitor_.avvia();
    auto errore = regole_.installa();
    if (errore && bpf_) {
        // The tuple filter's match may be what iptables refused: filter without it.
        Registro("it.brelt.ostrale.estensione", "attribuzione")
            .avviso("Rules with the owner filter refused (" + *errore +
                    "); attribution by socket lookups (sock_diag) only");
        regole_.usaFiltroTuple({});
        errore = regole_.installa();
    }
    if (errore) return fallisci(*errore);
    attiva_ = true;
    Registro("it.brelt.ostrale.estensione", "filtro")
        .info("Netfilter rules installed: flows on queue" +
              (numeri.quanteFlussi > 1
                   ? "s " + std::to_string(numeri.primaFlussi) + "-" +
                         std::to_string(numeri.primaFlussi + numeri.quanteFlussi - 1)
                   : " " + std::to_string(numeri.primaFlussi)) +
              ", DNS answers on queue " + std::to_string(numeri.dns));
    if (fatto) fatto(std::nullopt);
}

void SorgenteNetfilter::ferma() {
    if (attiva_.exchange(false)) regole_.rimuovi();
    for (auto& coda : code_) coda->chiudi();
    code_.clear();
}

}  // namespace ostrale
