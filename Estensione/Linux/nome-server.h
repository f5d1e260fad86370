// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrale {

// The name of the server a new outbound flow asks for, read from its first payload. Each reader
// takes untrusted bytes and answers a host name in lower case (never an address literal), or
// nothing when the bytes do not carry one or are malformed.

// The TCP payload of a connection's first data segment: a TLS record holding a ClientHello, or
// only its start. A name that comes before the end of the data is enough; an encrypted
// ClientHello answers nothing, since its visible name is only a public front.
std::optional<std::string> nomeDaClientHello(std::string_view carico);

// The first bytes of a plain HTTP/1.x request: its Host header, without the port.
std::optional<std::string> nomeDaHttp(std::string_view carico);

// The UDP payload of a client's first datagram: a QUIC version 1 or 2 Initial packet, whose
// CRYPTO frames carry the ClientHello. Only the first packet of the datagram is read.
std::optional<std::string> nomeDaQuicInitial(std::string_view carico);

constexpr std::uint32_t quicVersione1 = 0x00000001;
constexpr std::uint32_t quicVersione2 = 0x6b3343cf;

// What protects a client's Initial packets, derived from the Destination Connection ID.
struct ChiaviIniziali {
    std::array<std::uint8_t, 32> segreto{};
    std::array<std::uint8_t, 16> chiave{};
    std::array<std::uint8_t, 12> iv{};
    std::array<std::uint8_t, 16> protezioneIntestazione{};
};

// Nothing for a version other than quicVersione1 and quicVersione2.
std::optional<ChiaviIniziali> chiaviInizialiClient(std::uint32_t versione, std::string_view dcid);

}  // namespace ostrale
