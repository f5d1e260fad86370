#include "Estensione/Linux/sorgente-netfilter.h"

#include <arpa/inet.h>
#include <linux/netfilter.h>
#include <linux/netfilter/nfnetlink_queue.h>
#include <linux/netlink.h>
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
#include "Estensione/filter-data-provider.h"

namespace ostrale {

namespace {

const std::size_t dimensioneBuffer = 0xffff + (MNL_SOCKET_BUFFER_SIZE / 2);

// The packet mark of a verdict: our two bits say judged and, when refused, refused; whatever the
// packet carried in those two bits gives way (the rules clear them again once the connection
// mark has them).
std::uint32_t segnoVerdetto(std::uint32_t originale, bool consenti) {
    constexpr std::uint32_t nostri = RegoleSistema::segnoGiudicato | RegoleSistema::segnoRifiutato;
    return (originale & ~nostri) | RegoleSistema::segnoGiudicato |
           (consenti ? 0u : RegoleSistema::segnoRifiutato);
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
        nfq_nlmsg_cfg_put_params(h, NFQNL_COPY_PACKET, perDns_ ? 0xffff : 512);
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
        inAttesa_.erase(chiave);
        if (protocollo == IPPROTO_TCP) return;
        const auto adesso = std::chrono::steady_clock::now();
        if (recenti_.size() >= 4096) {
            std::erase_if(recenti_,
                          [&](const auto& v) { return adesso - v.second.second > memoria; });
            if (recenti_.size() >= 4096) recenti_.clear();
        }
        recenti_[chiave] = {consenti, adesso};
    }

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

  private:
    void eseguiPrimo() {
        auto primo = std::move(rimandati_.front());
        rimandati_.pop_front();
        primo();
    }
    void leggi();
    int pacchetto(const nlmsghdr* h);
    ssize_t ricevi(std::vector<char>& buffer, bool attendi);

    SorgenteNetfilter& sorgente_;
    const unsigned numero_;
    const bool perDns_;
    mnl_socket* socket_ = nullptr;
    unsigned portid_ = 0;
    FilterDataProvider* provider_ = nullptr;
    std::atomic<bool> fine_ = false;
    std::mutex invio_;
    std::mutex trattenuti_;
    std::unordered_set<ChiaveTupla, ChiaveTupla::Hash> inAttesa_;  // flows held without a verdict
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
    FlussoNetfilter(std::shared_ptr<SorgenteNetfilter::Coda> coda, std::uint32_t id,
                    std::uint32_t segno, TuplaPacchetto tupla, ChiaveTupla chiave, bool uscita,
                    std::optional<TokenApp> token, std::optional<std::string> nome)
        : coda_(coda),
          id_(id),
          segno_(segno),
          tupla_(std::move(tupla)),
          chiave_(chiave),
          uscita_(uscita),
          token_(token),
          nome_(std::move(nome)) {}

    std::optional<TokenApp> token() const override { return token_; }
    bool èInEntrata() const override { return !uscita_; }
    std::optional<std::string> nomeHost() const override { return nome_; }
    std::optional<Estremo> remoto() const override {
        if (!tupla_.conPorte) return std::nullopt;
        return uscita_ ? Estremo{tupla_.destinazione, std::to_string(tupla_.portaDestinazione)}
                       : Estremo{tupla_.origine, std::to_string(tupla_.portaOrigine)};
    }
    std::optional<Estremo> locale() const override {
        if (!tupla_.conPorte) return std::nullopt;
        return uscita_ ? Estremo{tupla_.origine, std::to_string(tupla_.portaOrigine)}
                       : Estremo{tupla_.destinazione, std::to_string(tupla_.portaDestinazione)};
    }
    int protocollo() const override { return tupla_.protocollo; }

    void dai(bool consenti) const {
        coda_->verdetto(id_, NF_REPEAT, segnoVerdetto(segno_, consenti));
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
    const std::shared_ptr<SorgenteNetfilter::Coda> coda_;
    const std::uint32_t id_;
    const std::uint32_t segno_;
    const TuplaPacchetto tupla_;
    const ChiaveTupla chiave_;
    const bool uscita_;
    const std::optional<TokenApp> token_;
    const std::optional<std::string> nome_;
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
        // Learn, and let the answer through at once.
        if (const auto carico = caricoTrasporto(dati)) {
            const auto tupla = leggiPacchetto(dati);
            if (auto risposta = leggiRispostaDns(*carico, tupla && tupla->protocollo == 6)) {
                sorgente_.nomi_.impara(*risposta, sorgente_.orologio_.adesso());
            }
        }
        verdetto(id, NF_ACCEPT, std::nullopt);
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
    const ChiaveTupla chiave(*tupla);
    {
        std::lock_guard blocco(trattenuti_);
        // A retransmission or a retry of a flow that waits for the user joins it.
        if (inAttesa_.contains(chiave)) {
            verdetto(id, NF_DROP, std::nullopt);
            return MNL_CB_OK;
        }
        if (const auto it = recenti_.find(chiave);
            it != recenti_.end() &&
            std::chrono::steady_clock::now() - it->second.second < memoria) {
            verdetto(id, NF_REPEAT, segnoVerdetto(segno, it->second.first));
            return MNL_CB_OK;
        }
    }
    std::optional<TokenApp> token;
    // The kernel's note of the socket's owner; an exact socket lookup for what it lacks
    // (inbound flows, sockets of processes outside our pid namespace, notes lost to a full
    // map or table).
    if (uscita && sorgente_.bpf_) {
        if (const auto proprietario = sorgente_.bpf_->cerca(*tupla)) {
            token = tokenDi(*proprietario);
            // A note whose process cannot be named (an executable never seen, on a filesystem
            // whose inodes we misread) is worth less than the socket lookup.
            if (sorgente_.identità_ && !sorgente_.identità_->nominabile(*token)) token.reset();
        }
    }
    if (!token) {
        if (const auto proprietario = cercaSocket(*tupla, uscita)) {
            if (const auto pid = sorgente_.indice_.pid(proprietario->inode))
                token = tokenDi(*pid, proprietario->uid);
        }
    }
    const std::string& remoto = uscita ? tupla->destinazione : tupla->origine;
    auto nome = sorgente_.nomi_.nome(remoto, sorgente_.orologio_.adesso());
    auto flusso = std::make_shared<FlussoNetfilter>(shared_from_this(), id, segno, *tupla, chiave,
                                                    uscita, token, std::move(nome));
    const Verdetto v = provider_->handleNewFlow(flusso);
    if (v == Verdetto::sospendi) {
        std::lock_guard blocco(trattenuti_);
        inAttesa_.insert(chiave);
        return MNL_CB_OK;
    }
    if (!flusso->dato()) {
        flusso->dai(v == Verdetto::consenti);
        ricorda(chiave, v == Verdetto::consenti, tupla->protocollo);
    }
    return MNL_CB_OK;
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
