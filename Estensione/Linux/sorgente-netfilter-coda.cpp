// SPDX-License-Identifier: GPL-3.0-or-later
// A queue's socket and reading thread, the packets it holds, the verdicts it remembers, and
// the DNS answers of the queue that has them.
#include "Estensione/Linux/sorgente-netfilter-coda.h"

// Before the kernel's headers: glibc's definitions then keep theirs out.
#include <netinet/in.h>

#include <linux/netfilter.h>
#include <linux/netfilter/nfnetlink_queue.h>
#include <sched.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstring>

extern "C" {
#include <libmnl/libmnl.h>
#include <libnetfilter_queue/libnetfilter_queue.h>
}

#include "Estensione/Linux/risposta-dns.h"
#include "Estensione/filter-data-provider.h"

namespace ostrale {

namespace {

const std::size_t dimensioneBuffer = 0xffff + (MNL_SOCKET_BUFFER_SIZE / 2);

}  // namespace

void SorgenteNetfilter::Coda::chiudi() {
    fine_ = true;
    if (filo_.joinable() && filo_.get_id() != std::this_thread::get_id()) filo_.join();
    std::lock_guard blocco(invio_);
    if (socket_) mnl_socket_close(socket_);
    socket_ = nullptr;
}

std::optional<std::string> SorgenteNetfilter::Coda::apri() {
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

void SorgenteNetfilter::Coda::verdetto(std::uint32_t id, int verdetto,
                                       std::optional<std::uint32_t> segno) {
    alignas(nlmsghdr) char buffer[512];
    nlmsghdr* h = nfq_nlmsg_put(buffer, NFQNL_MSG_VERDICT, numero_);
    nfq_nlmsg_verdict_put(h, static_cast<int>(id), verdetto);
    if (segno) nfq_nlmsg_verdict_put_mark(h, *segno);
    std::lock_guard blocco(invio_);
    if (socket_) mnl_socket_sendto(socket_, h, h->nlmsg_len);
}

void SorgenteNetfilter::Coda::ricorda(const ChiaveTupla& chiave, bool consenti, int protocollo) {
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

bool SorgenteNetfilter::Coda::trattieniDietro(const ChiaveTupla& chiave, std::uint32_t id,
                                              std::uint32_t segno) {
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

void SorgenteNetfilter::Coda::ricordaVerdetto(const ChiaveTupla& chiave, bool consenti,
                                              int protocollo) {
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
        std::erase_if(recenti_, [&](const auto& v) { return adesso - v.second.second > memoria; });
        if (recenti_.size() >= 4096) recenti_.clear();
    }
    recenti_[chiave] = {consenti, adesso};
}

std::string SorgenteNetfilter::Coda::applicazione(const std::optional<TokenApp>& token) {
    if (!token) return {};
    std::string firma = provider_->firmaApp(token);
    if (firma == "sconosciuta") firma.clear();
    return firma;
}

void SorgenteNetfilter::Coda::attendi(const TuplaPacchetto& tupla, const ChiaveTupla& chiave,
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

}  // namespace ostrale
