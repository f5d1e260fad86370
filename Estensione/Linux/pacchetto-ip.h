// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ostrale {

// The 5-tuple of the first packet of a flow, read from its IP header.
struct TuplaPacchetto {
    int famiglia = 4;  // 4 or 6
    int protocollo = 0;
    std::string origine, destinazione;  // address text
    // 0 for protocols without ports; for an echo request (ping), the source is its identifier.
    std::uint16_t portaOrigine = 0, portaDestinazione = 0;
    bool conPorte = false;  // ports of a transport (TCP, UDP, SCTP, UDP-Lite)
    // TCP only: the header's flags and sequence number.
    std::uint8_t flagTcp = 0;
    std::uint32_t sequenzaTcp = 0;

    static constexpr std::uint8_t fin = 0x01, syn = 0x02, rst = 0x04, ack = 0x10;
    // The opening SYN of a TCP connection.
    bool èApertura() const { return protocollo == 6 && (flagTcp & (syn | ack | rst)) == syn; }
    // Raw addresses in network order (4 or 16 bytes used), for socket lookups.
    std::uint8_t origineGrezza[16] = {}, destinazioneGrezza[16] = {};
};

// A flow's tuple as fixed bytes (family, protocol, ports, raw addresses): a key that costs no
// allocation, for the tables the packet path consults.
struct ChiaveTupla {
    std::array<std::uint8_t, 38> byte{};

    explicit ChiaveTupla(const TuplaPacchetto& t);
    bool operator==(const ChiaveTupla&) const = default;

    struct Hash {
        std::size_t operator()(const ChiaveTupla& c) const {
            return std::hash<std::string_view>{}(
                std::string_view(reinterpret_cast<const char*>(c.byte.data()), c.byte.size()));
        }
    };
};

// The same flow seen from its other end (an answer's tuple turned into its question's).
TuplaPacchetto invertita(const TuplaPacchetto& t);

// Reads an IPv4 or IPv6 packet from untrusted bytes (extension headers of IPv6 skipped, with a
// bound); absent when it is not a well-formed packet.
std::optional<TuplaPacchetto> leggiPacchetto(std::string_view byte);

// The payload after the transport header of a UDP or TCP packet (for DNS answers).
std::optional<std::string_view> caricoTrasporto(std::string_view byte);

}  // namespace ostrale
