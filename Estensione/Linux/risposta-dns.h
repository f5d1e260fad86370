// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrale {

// What a DNS answer teaches: the name that was asked, and the addresses it resolved to (through
// any CNAME chain), each with its time to live.
struct RispostaDns {
    struct Indirizzo {
        std::string testo;  // dotted IPv4 or IPv6 text
        std::uint32_t ttl = 0;
    };
    std::string domanda;  // lower case, without the final dot
    std::vector<Indirizzo> indirizzi;
    std::uint16_t tipo = 1;  // of the question
    // Whether the question is printable ASCII, and whether the server answered it without an
    // error; when either is false, `indirizzi` stays empty.
    bool stampabile = true;
    bool riuscita = true;
};

// Reads a DNS message from untrusted bytes: bounded on every count, label and compression
// pointer. Answers only responses with exactly one question; anything malformed is refused
// whole. `tcp` means the message carries the 2-byte length prefix of DNS over TCP.
std::optional<RispostaDns> leggiRispostaDns(std::string_view byte, bool tcp = false);

}  // namespace ostrale
