// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/pacchetto-ip.h"

#include <arpa/inet.h>

#include <cstring>

namespace ostrale {
namespace {

struct Posizioni {
    TuplaPacchetto tupla;
    std::size_t trasporto = 0;  // offset of the transport header
};

// Dotted-quad text without the locale machinery of inet_ntop: this runs for every new flow.
std::string testoIPv4(const char* a) {
    char testo[16];
    char* p = testo;
    for (int i = 0; i < 4; ++i) {
        unsigned v = static_cast<unsigned char>(a[i]);
        if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
        if (v >= 10) *p++ = static_cast<char>('0' + v / 10 % 10);
        *p++ = static_cast<char>('0' + v % 10);
        if (i < 3) *p++ = '.';
    }
    return std::string(testo, p);
}

std::uint16_t u16(std::string_view b, std::size_t i) {
    return static_cast<std::uint16_t>((static_cast<unsigned char>(b[i]) << 8) |
                                      static_cast<unsigned char>(b[i + 1]));
}

std::optional<Posizioni> analizza(std::string_view b) {
    if (b.empty()) return std::nullopt;
    Posizioni p;
    const int versione = static_cast<unsigned char>(b[0]) >> 4;
    char testo[INET6_ADDRSTRLEN];
    if (versione == 4) {
        if (b.size() < 20) return std::nullopt;
        const std::size_t ihl = (static_cast<unsigned char>(b[0]) & 0x0F) * 4u;
        if (ihl < 20 || b.size() < ihl) return std::nullopt;
        // Only the first fragment carries the ports.
        if ((u16(b, 6) & 0x1FFF) != 0) return std::nullopt;
        p.tupla.famiglia = 4;
        p.tupla.protocollo = static_cast<unsigned char>(b[9]);
        std::memcpy(p.tupla.origineGrezza, b.data() + 12, 4);
        std::memcpy(p.tupla.destinazioneGrezza, b.data() + 16, 4);
        p.tupla.origine = testoIPv4(b.data() + 12);
        p.tupla.destinazione = testoIPv4(b.data() + 16);
        p.trasporto = ihl;
    } else if (versione == 6) {
        if (b.size() < 40) return std::nullopt;
        p.tupla.famiglia = 6;
        std::memcpy(p.tupla.origineGrezza, b.data() + 8, 16);
        std::memcpy(p.tupla.destinazioneGrezza, b.data() + 24, 16);
        ::inet_ntop(AF_INET6, b.data() + 8, testo, sizeof testo);
        p.tupla.origine = testo;
        ::inet_ntop(AF_INET6, b.data() + 24, testo, sizeof testo);
        p.tupla.destinazione = testo;
        int successivo = static_cast<unsigned char>(b[6]);
        std::size_t pos = 40;
        for (int intestazioni = 0; intestazioni < 8; ++intestazioni) {
            if (successivo == 0 || successivo == 43 || successivo == 60) {
                if (pos + 8 > b.size()) return std::nullopt;
                successivo = static_cast<unsigned char>(b[pos]);
                pos += (static_cast<unsigned char>(b[pos + 1]) + 1u) * 8;
            } else if (successivo == 44) {  // fragment
                if (pos + 8 > b.size() || (u16(b, pos + 2) & 0xFFF8) != 0) return std::nullopt;
                successivo = static_cast<unsigned char>(b[pos]);
                pos += 8;
            } else {
                break;
            }
        }
        if (pos > b.size()) return std::nullopt;
        p.tupla.protocollo = successivo;
        p.trasporto = pos;
    } else {
        return std::nullopt;
    }
    const int proto = p.tupla.protocollo;
    if (proto == 6 || proto == 17 || proto == 132 || proto == 136) {
        if (p.trasporto + 4 > b.size()) return std::nullopt;
        p.tupla.portaOrigine = u16(b, p.trasporto);
        p.tupla.portaDestinazione = u16(b, p.trasporto + 2);
        p.tupla.conPorte = true;
        if (proto == 6 && p.trasporto + 14 <= b.size()) {
            p.tupla.sequenzaTcp = (static_cast<std::uint32_t>(u16(b, p.trasporto + 4)) << 16) |
                                  u16(b, p.trasporto + 6);
            p.tupla.flagTcp = static_cast<std::uint8_t>(b[p.trasporto + 13]);
        }
    }
    // An echo request (ping): its identifier stands for the source port, as for the kernel's
    // connection tracking, so that two pings to one host are two flows, each of its own socket.
    const int richiestaEco = proto == 1 ? 8 : proto == 58 ? 128 : -1;
    if (richiestaEco >= 0 && p.trasporto + 6 <= b.size() &&
        static_cast<unsigned char>(b[p.trasporto]) == richiestaEco) {
        p.tupla.portaOrigine = u16(b, p.trasporto + 4);
    }
    return p;
}

}  // namespace

ChiaveTupla::ChiaveTupla(const TuplaPacchetto& t) {
    byte[0] = static_cast<std::uint8_t>(t.famiglia);
    byte[1] = static_cast<std::uint8_t>(t.protocollo);
    byte[2] = static_cast<std::uint8_t>(t.portaOrigine >> 8);
    byte[3] = static_cast<std::uint8_t>(t.portaOrigine);
    byte[4] = static_cast<std::uint8_t>(t.portaDestinazione >> 8);
    byte[5] = static_cast<std::uint8_t>(t.portaDestinazione);
    std::memcpy(byte.data() + 6, t.origineGrezza, 16);
    std::memcpy(byte.data() + 22, t.destinazioneGrezza, 16);
}

TuplaPacchetto invertita(const TuplaPacchetto& t) {
    TuplaPacchetto r = t;
    std::swap(r.origine, r.destinazione);
    std::swap(r.portaOrigine, r.portaDestinazione);
    std::memcpy(r.origineGrezza, t.destinazioneGrezza, 16);
    std::memcpy(r.destinazioneGrezza, t.origineGrezza, 16);
    return r;
}

std::optional<TuplaPacchetto> leggiPacchetto(std::string_view byte) {
    auto p = analizza(byte);
    if (!p) return std::nullopt;
    return std::move(p->tupla);
}

std::optional<std::string_view> caricoTrasporto(std::string_view byte) {
    const auto p = analizza(byte);
    if (!p) return std::nullopt;
    if (p->tupla.protocollo == 17) {
        if (p->trasporto + 8 > byte.size()) return std::nullopt;
        return byte.substr(p->trasporto + 8);
    }
    if (p->tupla.protocollo == 6) {
        if (p->trasporto + 20 > byte.size()) return std::nullopt;
        const std::size_t offset = (static_cast<unsigned char>(byte[p->trasporto + 12]) >> 4) * 4u;
        if (offset < 20 || p->trasporto + offset > byte.size()) return std::nullopt;
        return byte.substr(p->trasporto + offset);
    }
    return std::nullopt;
}

}  // namespace ostrale
