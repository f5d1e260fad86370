// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/pacchetto-ip.h"

#include <arpa/inet.h>

#include <cstring>

#include <gtest/gtest.h>

namespace ostrale {
namespace {

std::string ipv4(int protocollo, std::string trasporto, int frammento = 0) {
    std::string p(20, '\0');
    p[0] = 0x45;
    p[6] = static_cast<char>(frammento >> 8);
    p[7] = static_cast<char>(frammento & 0xFF);
    p[9] = static_cast<char>(protocollo);
    p[12] = static_cast<char>(192);
    p[13] = 0;
    p[14] = 2;
    p[15] = 1;
    p[16] = static_cast<char>(203);
    p[17] = 0;
    p[18] = static_cast<char>(113);
    p[19] = 9;
    return p + trasporto;
}

std::string porte(int da, int a, std::size_t resto) {
    std::string t{static_cast<char>(da >> 8), static_cast<char>(da & 0xFF),
                  static_cast<char>(a >> 8), static_cast<char>(a & 0xFF)};
    t += std::string(resto, '\0');
    return t;
}

TEST(PacchettoIp, TuplesOfIpv4AndIpv6) {
    const auto tcp = leggiPacchetto(ipv4(6, porte(51000, 443, 16)));
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->famiglia, 4);
    EXPECT_EQ(tcp->protocollo, 6);
    EXPECT_EQ(tcp->origine, "192.0.2.1");
    EXPECT_EQ(tcp->destinazione, "203.0.113.9");
    EXPECT_EQ(tcp->portaOrigine, 51000);
    EXPECT_EQ(tcp->portaDestinazione, 443);
    const auto icmp = leggiPacchetto(ipv4(1, std::string(8, '\0')));
    ASSERT_TRUE(icmp);
    EXPECT_FALSE(icmp->conPorte);
    // An echo request's identifier tells one ping's flow from another's; no port is shown.
    const std::string eco{8, 0, 0, 0, 0x12, 0x34, 0, 1};
    const auto ping = leggiPacchetto(ipv4(1, eco));
    ASSERT_TRUE(ping);
    EXPECT_FALSE(ping->conPorte);
    EXPECT_EQ(ping->portaOrigine, 0x1234);
    const std::string altro{8, 0, 0, 0, 0x12, 0x35, 0, 1};
    EXPECT_NE(ChiaveTupla(*ping), ChiaveTupla(*leggiPacchetto(ipv4(1, altro))));

    std::string v6(40, '\0');
    v6[0] = 0x60;
    v6[6] = 0;  // hop-by-hop options first
    v6[8] = 0x20;
    v6[9] = 0x01;
    v6[10] = 0x0d;
    v6[11] = static_cast<char>(0xb8);
    v6[23] = 1;
    v6[24] = 0x20;
    v6[25] = 0x01;
    v6[26] = 0x0d;
    v6[27] = static_cast<char>(0xb8);
    v6[39] = 2;
    std::string hop(8, '\0');
    hop[0] = 17;  // then UDP
    const auto udp = leggiPacchetto(v6 + hop + porte(5353, 53, 4));
    ASSERT_TRUE(udp);
    EXPECT_EQ(udp->famiglia, 6);
    EXPECT_EQ(udp->protocollo, 17);
    EXPECT_EQ(udp->origine, "2001:db8::1");
    EXPECT_EQ(udp->destinazione, "2001:db8::2");
    EXPECT_EQ(udp->portaDestinazione, 53);
    const std::string risposta = v6 + hop + porte(53, 5353, 4) + "dns";
    const auto carico = caricoTrasporto(risposta);
    ASSERT_TRUE(carico);
    EXPECT_EQ(*carico, "dns");
}

TEST(PacchettoIp, EveryOctetValueReadsAsInetNtopWritesIt) {
    for (int v = 0; v < 256; ++v) {
        std::string pacchetto = ipv4(17, porte(1, 2, 8));
        const char ottetti[4] = {static_cast<char>(v), 0, static_cast<char>(255 - v),
                                 static_cast<char>(v / 2 + 1)};
        std::memcpy(pacchetto.data() + 12, ottetti, 4);
        char atteso[INET_ADDRSTRLEN];
        ::inet_ntop(AF_INET, ottetti, atteso, sizeof atteso);
        const auto t = leggiPacchetto(pacchetto);
        ASSERT_TRUE(t);
        EXPECT_EQ(t->origine, atteso);
    }
}

TEST(PacchettoIp, MalformedPacketsAreRefused) {
    EXPECT_FALSE(leggiPacchetto(""));
    EXPECT_FALSE(leggiPacchetto(std::string(19, '\x45')));
    EXPECT_FALSE(leggiPacchetto(ipv4(6, "ab")));                // ports cut off
    EXPECT_FALSE(leggiPacchetto(ipv4(17, porte(1, 2, 4), 5)));  // a later fragment
    std::string lungo = ipv4(6, porte(1, 2, 16));
    lungo[0] = 0x4F;  // header of 60 bytes, longer than the packet
    EXPECT_FALSE(leggiPacchetto(lungo.substr(0, 40)));
    std::string v6(40, '\0');
    v6[0] = 0x60;
    v6[6] = 0;
    EXPECT_FALSE(leggiPacchetto(v6 + "\x00\xff"));          // extension header past the end
    EXPECT_FALSE(leggiPacchetto(std::string(40, '\x70')));  // version 7
}

}  // namespace
}  // namespace ostrale
