// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/sorgente-netfilter.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "Condiviso/registro.h"
#include "Estensione/Linux/sorgente-netfilter-coda.h"

#ifndef IPV6_HDRINCL
#define IPV6_HDRINCL 36  // linux/in6.h, which clashes with netinet/in.h
#endif

namespace ostrale {

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
