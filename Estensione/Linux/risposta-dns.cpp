// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/risposta-dns.h"

#include <arpa/inet.h>

#include <algorithm>

namespace ostrale {
namespace {

constexpr std::size_t intestazione = 12;
constexpr int saltiMassimi = 32;
constexpr std::size_t risposteMassime = 256;

class Lettore {
  public:
    explicit Lettore(std::string_view byte) : b_(byte) {}

    bool u16(std::size_t& pos, std::uint16_t& v) const {
        if (pos + 2 > b_.size()) return false;
        v = static_cast<std::uint16_t>((static_cast<unsigned char>(b_[pos]) << 8) |
                                       static_cast<unsigned char>(b_[pos + 1]));
        pos += 2;
        return true;
    }
    bool u32(std::size_t& pos, std::uint32_t& v) const {
        std::uint16_t alto, basso;
        if (!u16(pos, alto) || !u16(pos, basso)) return false;
        v = (static_cast<std::uint32_t>(alto) << 16) | basso;
        return true;
    }

    // Reads a possibly compressed name at `pos`, moving `pos` past it in the message.
    bool nome(std::size_t& pos, std::string& risultato) const {
        risultato.clear();
        std::size_t cursore = pos;
        bool saltato = false;
        int salti = 0;
        for (;;) {
            if (cursore >= b_.size()) return false;
            const auto lunghezza = static_cast<unsigned char>(b_[cursore]);
            if ((lunghezza & 0xC0) == 0xC0) {
                if (cursore + 1 >= b_.size() || ++salti > saltiMassimi) return false;
                const std::size_t destinazione =
                    ((lunghezza & 0x3F) << 8) | static_cast<unsigned char>(b_[cursore + 1]);
                // Pointers go backwards only: no loops.
                if (destinazione >= cursore) return false;
                if (!saltato) pos = cursore + 2;
                saltato = true;
                cursore = destinazione;
                continue;
            }
            if ((lunghezza & 0xC0) != 0) return false;
            if (lunghezza == 0) {
                if (!saltato) pos = cursore + 1;
                return true;
            }
            if (cursore + 1 + lunghezza > b_.size()) return false;
            if (!risultato.empty()) risultato.push_back('.');
            for (std::size_t i = 0; i < lunghezza; ++i) {
                char c = b_[cursore + 1 + i];
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
                risultato.push_back(c);
            }
            if (risultato.size() > 253) return false;
            cursore += 1 + lunghezza;
        }
    }

    std::string_view byte() const { return b_; }

  private:
    std::string_view b_;
};

bool nomeStampabile(std::string_view nome) {
    return std::all_of(nome.begin(), nome.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u > 0x20 && u < 0x7F;
    });
}

}  // namespace

std::optional<RispostaDns> leggiRispostaDns(std::string_view byte, bool tcp) {
    if (tcp) {
        if (byte.size() < 2) return std::nullopt;
        const std::size_t lunghezza =
            (static_cast<unsigned char>(byte[0]) << 8) | static_cast<unsigned char>(byte[1]);
        if (byte.size() < 2 + lunghezza) return std::nullopt;
        byte = byte.substr(2, lunghezza);
    }
    if (byte.size() < intestazione) return std::nullopt;
    const Lettore l(byte);
    std::size_t pos = 2;
    std::uint16_t opzioni, domande, risposte, autorità, aggiunte;
    if (!l.u16(pos, opzioni) || !l.u16(pos, domande) || !l.u16(pos, risposte) ||
        !l.u16(pos, autorità) || !l.u16(pos, aggiunte)) {
        return std::nullopt;
    }
    const bool èRisposta = (opzioni & 0x8000) != 0;
    const int codice = opzioni & 0x000F;
    if (!èRisposta || domande != 1 || risposte > risposteMassime) return std::nullopt;

    RispostaDns r;
    if (!l.nome(pos, r.domanda) || r.domanda.empty()) return std::nullopt;
    std::uint16_t classeDomanda;
    if (!l.u16(pos, r.tipo) || !l.u16(pos, classeDomanda)) return std::nullopt;
    // A question in bytes no host name has (tunnels encode data so) teaches no address.
    r.stampabile = nomeStampabile(r.domanda);
    // An error (a refusal, no such name) still tells what was asked, but teaches no address.
    r.riuscita = codice == 0;
    if (!r.stampabile || !r.riuscita) return r;

    // Names that lead to the question's addresses: the question and every CNAME target.
    std::vector<std::string> catena{r.domanda};
    std::string proprietario, alias;
    for (std::uint16_t i = 0; i < risposte; ++i) {
        std::uint16_t tipo, classe, lunghezza;
        std::uint32_t ttl;
        if (!l.nome(pos, proprietario) || !l.u16(pos, tipo) || !l.u16(pos, classe) ||
            !l.u32(pos, ttl) || !l.u16(pos, lunghezza) || pos + lunghezza > byte.size()) {
            return std::nullopt;
        }
        const std::size_t dati = pos;
        pos += lunghezza;
        if (classe != 1) continue;
        const bool nellaCatena =
            std::find(catena.begin(), catena.end(), proprietario) != catena.end();
        if (!nellaCatena) continue;
        if (tipo == 5) {  // CNAME
            std::size_t p = dati;
            if (!l.nome(p, alias) || p > dati + lunghezza) return std::nullopt;
            if (catena.size() < 16) catena.push_back(alias);
        } else if ((tipo == 1 && lunghezza == 4) || (tipo == 28 && lunghezza == 16)) {
            char testo[INET6_ADDRSTRLEN] = {};
            if (!::inet_ntop(tipo == 1 ? AF_INET : AF_INET6, byte.data() + dati, testo,
                             sizeof testo)) {
                return std::nullopt;
            }
            r.indirizzi.push_back({testo, ttl});
        }
    }
    return r;
}

}  // namespace ostrale
