// SPDX-License-Identifier: GPL-3.0-or-later
// The flows of a queue: a first packet read, settled by what the queue holds or named and
// handed to the provider, and the waiting connections that stayed silent.
#include "Estensione/Linux/sorgente-netfilter-coda.h"

#include <arpa/inet.h>
#include <linux/netfilter.h>
#include <linux/netfilter/nfnetlink_queue.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

extern "C" {
#include <libmnl/libmnl.h>
#include <libnetfilter_queue/libnetfilter_queue.h>
}

#include "Estensione/Linux/nome-server.h"
#include "Estensione/filter-data-provider.h"

namespace ostrale {

namespace {

// Where a connection's first data names its server: TLS (its ClientHello) and plain HTTP (its
// Host header). Elsewhere a flow is judged at its opening, by address when it has no name.
bool portaTls(std::uint16_t porta) {
    return porta == 443 || porta == 8443;
}
bool portaHttp(std::uint16_t porta) {
    return porta == 80 || porta == 8080;
}

// How the debug log names where a flow's host name came from.
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

SorgenteNetfilter::Coda::Arrivo::Arrivo(std::uint32_t numero, std::uint32_t segnoPacchetto,
                                        std::string_view byte, bool inUscita, TuplaPacchetto letta)
    : id(numero),
      segno(segnoPacchetto),
      dati(byte),
      tupla(std::move(letta)),
      chiave(tupla),
      uscita(inUscita),
      tcp(tupla.protocollo == IPPROTO_TCP),
      portaRemota(inUscita ? tupla.portaDestinazione : tupla.portaOrigine) {}

int SorgenteNetfilter::Coda::pacchetto(const nlmsghdr* h) {
    const auto attributi = leggiAttributi(h);
    if (!attributi) return MNL_CB_OK;
    if (perDns_) {
        risposta(attributi->id, attributi->dati);
        return MNL_CB_OK;
    }
    auto tupla = leggiPacchetto(attributi->dati);
    if (!tupla) {
        // A first packet whose ports lie beyond what we read (long extension headers) or that
        // is malformed: refused, never let through unjudged.
        verdetto(attributi->id, NF_REPEAT, segnoVerdetto(attributi->segno, false));
        return MNL_CB_OK;
    }
    Arrivo p(attributi->id, attributi->segno, attributi->dati,
             attributi->aggancio == NF_INET_LOCAL_OUT, std::move(*tupla));
    if (giàDeciso(p)) return MNL_CB_OK;
    if (p.attesa && passaSenzaDati(p)) return MNL_CB_OK;
    p.token = tokenDelFlusso(p);
    if (p.uscita && p.token && p.portaRemota == 53 && p.tupla.conPorte)
        sorgente_.notaDomanda(p.tupla, *p.token);
    nomeNoto(p);
    if (attendeIlNome(p)) return MNL_CB_OK;
    nomeDaiPrimiDati(p);
    giudicaPrimo(p);
    return MNL_CB_OK;
}

// What the queue already holds of the packet's flow, under trattenuti_: true when that settles
// the packet (it waits behind a held flow, or gets a verdict given before). A packet of a
// connection that waited for its server's name takes that wait along (`p.attesa`).
bool SorgenteNetfilter::Coda::giàDeciso(Arrivo& p) {
    std::lock_guard blocco(trattenuti_);
    // A retransmission, a retry or a further datagram of a flow that waits for the user
    // waits with it.
    if (trattieniDietro(p.chiave, p.id, p.segno)) return true;
    if (const auto it = recenti_.find(p.chiave);
        it != recenti_.end() && std::chrono::steady_clock::now() - it->second.second < memoria) {
        verdetto(p.id, NF_REPEAT, segnoVerdetto(p.segno, it->second.first));
        return true;
    }
    const auto it = p.tcp && p.uscita ? attese_.find(p.chiave) : attese_.end();
    if (it == attese_.end()) return false;
    if (p.tupla.èApertura()) {
        if (!it->second.deciso) {  // the opening again, retransmitted
            verdetto(p.id, NF_REPEAT, segnoAttesa(p.segno));
            return true;
        }
        attese_.erase(it);  // a new connection on a reused tuple
    } else if (it->second.deciso) {
        verdetto(p.id, NF_REPEAT, segnoVerdetto(p.segno, it->second.consenti));
        if (!it->second.consenti) inviaReset(p.tupla);
        return true;
    } else {
        p.attesa = it->second;
    }
    return false;
}

// A packet of a waiting connection without data (an acknowledgement: the handshake's last, or a
// close) passes: the connection still waits for its first data.
bool SorgenteNetfilter::Coda::passaSenzaDati(Arrivo& p) {
    p.carico = caricoTrasporto(p.dati);
    if (p.carico && !p.carico->empty()) return false;
    verdetto(p.id, NF_ACCEPT, std::nullopt);
    return true;
}

// The application behind the flow: the one its waiting connection had, else the kernel's note of
// the socket's owner, else an exact socket lookup.
std::optional<TokenApp> SorgenteNetfilter::Coda::tokenDelFlusso(const Arrivo& p) {
    std::optional<TokenApp> token;
    if (p.attesa) {
        token = p.attesa->token;
    } else if (p.uscita && sorgente_.bpf_) {
        // The kernel's note of the socket's owner; an exact socket lookup for what it lacks
        // (inbound flows, sockets of processes outside our pid namespace, notes lost to a full
        // map or table).
        if (const auto proprietario = sorgente_.bpf_->cerca(p.tupla)) {
            token = tokenDi(*proprietario);
            // A note whose process cannot be named (an executable never seen, on a filesystem
            // whose inodes we misread) is worth less than the socket lookup.
            if (sorgente_.identità_ && !sorgente_.identità_->nominabile(*token)) token.reset();
        }
    }
    if (!token) {
        token = sorgente_.tokenDelSocket(p.tupla, p.uscita);
    }
    return token;
}

// The host name: the latest its own application resolved for the address, else the machine's
// latest; when that is missing or shared, what the first data names (nomeDaiPrimiDati).
void SorgenteNetfilter::Coda::nomeNoto(Arrivo& p) {
    const std::string app = applicazione(p.token);
    auto noto = sorgente_.nomi_.nome(p.remoto(), app, sorgente_.orologio_.adesso());
    p.fonte = !noto ? FonteNome::nessuna : noto->dellApp ? FonteNome::dnsApp : FonteNome::dns;
    p.dalDns = noto.has_value();
    p.incerto = !noto || noto->ambiguo;
    if (noto) p.nome = std::move(noto->nome);
}

// An outbound TCP opening whose name its first data may tell: let go, unjudged, unless its
// verdict does not depend on the name; the verdict then waits for the connection's first data.
bool SorgenteNetfilter::Coda::attendeIlNome(const Arrivo& p) {
    if (!p.uscita || !p.tcp || p.attesa || !p.tupla.èApertura()) return false;
    if (!(portaTls(p.portaRemota) && p.incerto) && !(portaHttp(p.portaRemota) && !p.dalDns))
        return false;
    if (provider_->decisoSenzaNome(p.token, p.remoto())) return false;
    attendi(p.tupla, p.chiave, p.token);
    verdetto(p.id, NF_REPEAT, segnoAttesa(p.segno));
    return true;
}

// The name the first data gives (a QUIC Initial, an HTTP request, a TLS ClientHello), for a
// connection that waited for it and for QUIC whose name DNS left missing or shared.
void SorgenteNetfilter::Coda::nomeDaiPrimiDati(Arrivo& p) {
    if (!p.uscita ||
        !(p.attesa || (p.incerto && p.tupla.protocollo == IPPROTO_UDP && p.portaRemota == 443)))
        return;
    if (!p.carico) p.carico = caricoTrasporto(p.dati);
    std::optional<std::string> letto;
    if (p.carico && !p.tcp) {
        letto = nomeDaQuicInitial(*p.carico);
        if (letto) p.fonte = FonteNome::quic;
    } else if (p.carico && portaHttp(p.portaRemota)) {
        letto = nomeDaHttp(*p.carico);
        if (letto) p.fonte = FonteNome::http;
    } else if (p.carico) {
        letto = nomeDaClientHello(*p.carico);
        if (letto) p.fonte = FonteNome::tls;
    }
    if (letto) p.nome = std::move(letto);
}

// The packet's flow, named, handed to the provider (its waiting connection no longer silent).
void SorgenteNetfilter::Coda::giudicaPrimo(Arrivo& p) {
    if (p.attesa) {
        std::lock_guard blocco(trattenuti_);
        if (const auto it = attese_.find(p.chiave); it != attese_.end())
            it->second.giudicata = true;
    }
    if (Registro::debugAttivo()) {
        registro_.debug("Flow to " + p.remoto() +
                        (p.tupla.conPorte ? " port " + std::to_string(p.portaRemota) : "") + ": " +
                        (p.nome ? *p.nome : p.remoto()) + " (" +
                        testoFonte(p.nome ? p.fonte : FonteNome::nessuna) + ")");
    }
    giudica(std::make_shared<FlussoNetfilter>(shared_from_this(), p.id, p.segno, p.tupla, p.chiave,
                                              p.uscita, p.token, std::move(p.nome),
                                              p.attesa.has_value()),
            p.chiave);
}

// Held from before the provider judges it; its verdict goes out at once unless it waits for the
// user or went out already.
void SorgenteNetfilter::Coda::giudica(const std::shared_ptr<FlussoNetfilter>& flusso,
                                      const ChiaveTupla& chiave) {
    {
        std::lock_guard blocco(trattenuti_);
        trattieni(chiave);
    }
    const Verdetto v = provider_->handleNewFlow(flusso);
    if (v != Verdetto::sospendi && !flusso->dato()) flusso->riprendi(v == Verdetto::consenti);
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
        giudica(std::make_shared<FlussoNetfilter>(shared_from_this(), 0, 0, attesa.tupla, chiave,
                                                  true, attesa.token, std::move(nome), true, false),
                chiave);
    }
}

}  // namespace ostrale
