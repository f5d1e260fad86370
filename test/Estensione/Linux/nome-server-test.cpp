// SPDX-License-Identifier: GPL-3.0-or-later
#include <openssl/evp.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Estensione/Linux/nome-server.h"

namespace ostrale {
namespace {

// The client Initial packets published with QUIC version 1 (RFC 9001, A.2) and version 2
// (RFC 9369, A.2), for DCID 8394c8f03e515708; their ClientHello names example.com.
const char* const initialeV1 =
    "c000000001088394c8f03e5157080000449e7b9aec34d1b1c98dd7689fb8ec11d242b123dc9bd8bab936b47d"
    "92ec356c0bab7df5976d27cd449f63300099f3991c260ec4c60d17b31f8429157bb35a1282a643a8d2262cad"
    "67500cadb8e7378c8eb7539ec4d4905fed1bee1fc8aafba17c750e2c7ace01e6005f80fcb7df621230c83711"
    "b39343fa028cea7f7fb5ff89eac2308249a02252155e2347b63d58c5457afd84d05dfffdb20392844ae81215"
    "4682e9cf012f9021a6f0be17ddd0c2084dce25ff9b06cde535d0f920a2db1bf362c23e596d11a4f5a6cf3948"
    "838a3aec4e15daf8500a6ef69ec4e3feb6b1d98e610ac8b7ec3faf6ad760b7bad1db4ba3485e8a94dc250ae3"
    "fdb41ed15fb6a8e5eba0fc3dd60bc8e30c5c4287e53805db059ae0648db2f64264ed5e39be2e20d82df566da"
    "8dd5998ccabdae053060ae6c7b4378e846d29f37ed7b4ea9ec5d82e7961b7f25a9323851f681d582363aa5f8"
    "9937f5a67258bf63ad6f1a0b1d96dbd4faddfcefc5266ba6611722395c906556be52afe3f565636ad1b17d50"
    "8b73d8743eeb524be22b3dcbc2c7468d54119c7468449a13d8e3b95811a198f3491de3e7fe942b330407abf8"
    "2a4ed7c1b311663ac69890f4157015853d91e923037c227a33cdd5ec281ca3f79c44546b9d90ca00f064c99e"
    "3dd97911d39fe9c5d0b23a229a234cb36186c4819e8b9c5927726632291d6a418211cc2962e20fe47feb3edf"
    "330f2c603a9d48c0fcb5699dbfe5896425c5bac4aee82e57a85aaf4e2513e4f05796b07ba2ee47d80506f8d2"
    "c25e50fd14de71e6c418559302f939b0e1abd576f279c4b2e0feb85c1f28ff18f58891ffef132eef2fa09346"
    "aee33c28eb130ff28f5b766953334113211996d20011a198e3fc433f9f2541010ae17c1bf202580f6047472f"
    "b36857fe843b19f5984009ddc324044e847a4f4a0ab34f719595de37252d6235365e9b84392b061085349d73"
    "203a4a13e96f5432ec0fd4a1ee65accdd5e3904df54c1da510b0ff20dcc0c77fcb2c0e0eb605cb0504db8763"
    "2cf3d8b4dae6e705769d1de354270123cb11450efc60ac47683d7b8d0f811365565fd98c4c8eb936bcab8d06"
    "9fc33bd801b03adea2e1fbc5aa463d08ca19896d2bf59a071b851e6c239052172f296bfb5e72404790a21810"
    "14f3b94a4e97d117b438130368cc39dbb2d198065ae3986547926cd2162f40a29f0c3c8745c0f50fba3852e5"
    "66d44575c29d39a03f0cda721984b6f440591f355e12d439ff150aab7613499dbd49adabc8676eef023b15b6"
    "5bfc5ca06948109f23f350db82123535eb8a7433bdabcb909271a6ecbcb58b936a88cd4e8f2e6ff5800175f1"
    "13253d8fa9ca8885c2f552e657dc603f252e1a8e308f76f0be79e2fb8f5d5fbbe2e30ecadd220723c8c0aea8"
    "078cdfcb3868263ff8f0940054da48781893a7e49ad5aff4af300cd804a6b6279ab3ff3afb64491c85194aab"
    "760d58a606654f9f4400e8b38591356fbf6425aca26dc85244259ff2b19c41b9f96f3ca9ec1dde434da7d2d3"
    "92b905ddf3d1f9af93d1af5950bd493f5aa731b4056df31bd267b6b90a079831aaf579be0a39013137aac6d4"
    "04f518cfd46840647e78bfe706ca4cf5e9c5453e9f7cfd2b8b4c8d169a44e55c88d4a9a7f9474241e221af44"
    "860018ab0856972e194cd934";
const char* const initialeV2 =
    "d76b3343cf088394c8f03e5157080000449ea0c95e82ffe67b6abcdb4298b485dd04de806071bf03dceebfa1"
    "62e75d6c96058bdbfb127cdfcbf903388e99ad049f9a3dd4425ae4d0992cfff18ecf0fdb5a842d09747052f1"
    "7ac2053d21f57c5d250f2c4f0e0202b70785b7946e992e58a59ac52dea6774d4f03b55545243cf1a12834e3f"
    "249a78d395e0d18f4d766004f1a2674802a747eaa901c3f10cda5500cb9122faa9f1df66c392079a1b40f0de"
    "1c6054196a11cbea40afb6ef5253cd6818f6625efce3b6def6ba7e4b37a40f7732e093daa7d52190935b8da5"
    "8976ff3312ae50b187c1433c0f028edcc4c2838b6a9bfc226ca4b4530e7a4ccee1bfa2a3d396ae5a3fb51238"
    "4b2fdd851f784a65e03f2c4fbe11a53c7777c023462239dd6f7521a3f6c7d5dd3ec9b3f233773d4b46d23cc3"
    "75eb198c63301c21801f6520bcfb7966fc49b393f0061d974a2706df8c4a9449f11d7f3d2dcbb90c6b877045"
    "636e7c0c0fe4eb0f697545460c806910d2c355f1d253bc9d2452aaa549e27a1fac7cf4ed77f322e8fa894b6a"
    "83810a34b361901751a6f5eb65a0326e07de7c1216ccce2d0193f958bb3850a833f7ae432b65bc5a53975c15"
    "5aa4bcb4f7b2c4e54df16efaf6ddea94e2c50b4cd1dfe06017e0e9d02900cffe1935e0491d77ffb4fdf85290"
    "fdd893d577b1131a610ef6a5c32b2ee0293617a37cbb08b847741c3b8017c25ca9052ca1079d8b78aebd4787"
    "6d330a30f6a8c6d61dd1ab5589329de714d19d61370f8149748c72f132f0fc99f34d766c6938597040d8f9e2"
    "bb522ff99c63a344d6a2ae8aa8e51b7b90a4a806105fcbca31506c446151adfeceb51b91abfe43960977c874"
    "71cf9ad4074d30e10d6a7f03c63bd5d4317f68ff325ba3bd80bf4dc8b52a0ba031758022eb025cdd770b44d6"
    "d6cf0670f4e990b22347a7db848265e3e5eb72dfe8299ad7481a408322cac55786e52f633b2fb6b614eaed18"
    "d703dd84045a274ae8bfa73379661388d6991fe39b0d93debb41700b41f90a15c4d526250235ddcd6776fc77"
    "bc97e7a417ebcb31600d01e57f32162a8560cacc7e27a096d37a1a86952ec71bd89a3e9a30a2a26162984d77"
    "40f81193e8238e61f6b5b984d4d3dfa033c1bb7e4f0037febf406d91c0dccf32acf423cfa1e7071010d3f270"
    "121b493ce85054ef58bada42310138fe081adb04e2bd901f2f13458b3d6758158197107c14ebb193230cd115"
    "7380aa79cae1374a7c1e5bbcb80ee23e06ebfde206bfb0fcbc0edc4ebec309661bdd908d532eb0c6adc38b7c"
    "a7331dce8dfce39ab71e7c32d318d136b6100671a1ae6a6600e3899f31f0eed19e3417d134b90c9058f8632c"
    "798d4490da4987307cba922d61c39805d072b589bd52fdf1e86215c2d54e6670e07383a27bbffb5addf47d66"
    "aa85a0c6f9f32e59d85a44dd5d3b22dc2be80919b490437ae4f36a0ae55edf1d0b5cb4e9a3ecabee93dfc6e3"
    "8d209d0fa6536d27a5d6fbb17641cde27525d61093f1b28072d111b2b4ae5f89d5974ee12e5cf7d5da4d6a31"
    "123041f33e61407e76cffcdcfd7e19ba58cf4b536f4c4938ae79324dc402894b44faf8afbab35282ab659d13"
    "c93f70412e85cb199a37ddec600545473cfb5a05e08d0b209973b2172b4d21fb69745a262ccde96ba18b2faa"
    "745b6fe189cf772a9f84cbfc";

std::string daEsadecimale(std::string_view h) {
    std::string b;
    for (std::size_t i = 0; i + 1 < h.size(); i += 2)
        b.push_back(static_cast<char>(std::stoi(std::string(h.substr(i, 2)), nullptr, 16)));
    return b;
}

template <std::size_t N>
std::string esadecimale(const std::array<std::uint8_t, N>& a) {
    std::string h;
    for (auto b : a) h += "0123456789abcdef"[b >> 4], h += "0123456789abcdef"[b & 0xF];
    return h;
}

std::string be(std::uint64_t v, int larghezza) {
    std::string b;
    for (int i = larghezza - 1; i >= 0; --i) b.push_back(static_cast<char>(v >> (8 * i)));
    return b;
}

std::string estensione(unsigned tipo, const std::string& dati) {
    return be(tipo, 2) + be(dati.size(), 2) + dati;
}

std::string nomeServer(const std::string& nome) {
    const std::string voce = be(0, 1) + be(nome.size(), 2) + nome;
    return estensione(0x0000, be(voce.size(), 2) + voce);
}

std::string gruppi() {
    return estensione(0x000a, be(2, 2) + be(0x001d, 2));
}
std::string alpn() {
    return estensione(0x0010, be(3, 2) + be(2, 1) + "h2");
}
std::string ech() {
    return estensione(0xfe0d, std::string(40, '\x5a'));
}

std::string clientHello(const std::string& estensioni, unsigned sessione = 32) {
    const std::string corpo = be(0x0303, 2) + std::string(32, '\x11') + be(sessione, 1) +
                              std::string(sessione, '\x22') + be(4, 2) + be(0x13011302, 4) +
                              be(0x0100, 2) + be(estensioni.size(), 2) + estensioni;
    return be(1, 1) + be(corpo.size(), 3) + corpo;
}

std::string record(const std::string& handshake) {
    return be(0x160301, 3) + be(handshake.size(), 2) + handshake;
}

std::string crypto(std::size_t inizio, const std::string& dati) {
    return be(0x06, 1) + be(0x4000 | inizio, 2) + be(0x4000 | dati.size(), 2) + dati;
}

// An encoder of client Initials of its own (2-byte packet numbers), over the derived keys.
std::string proteggi(std::uint32_t versione, const std::string& chiaro) {
    const std::string dcid = daEsadecimale("0001020304050607");
    const auto k = chiaviInizialiClient(versione, dcid).value();
    const unsigned tipo = versione == quicVersione2 ? 0x10 : 0x00;
    const std::string intestazione = be(0xC1 | tipo, 1) + be(versione, 4) + be(dcid.size(), 1) +
                                     dcid + be(0, 2) + be(0x4000 | (2 + chiaro.size() + 16), 2) +
                                     be(7, 2);
    auto nonce = k.iv;
    nonce[11] ^= 7;
    std::string cifrato(chiaro.size() + 16, '\0');
    auto* c = reinterpret_cast<unsigned char*>(cifrato.data());
    auto* a = reinterpret_cast<const unsigned char*>(intestazione.data());
    auto* p = reinterpret_cast<const unsigned char*>(chiaro.data());
    unsigned char maschera[32];
    int n = 0;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_EncryptInit_ex(ctx, EVP_aes_128_gcm(), nullptr, k.chiave.data(), nonce.data());
    EVP_EncryptUpdate(ctx, nullptr, &n, a, static_cast<int>(intestazione.size()));
    EVP_EncryptUpdate(ctx, c, &n, p, static_cast<int>(chiaro.size()));
    EVP_EncryptFinal_ex(ctx, c + n, &n);
    EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, c + chiaro.size());
    EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, k.protezioneIntestazione.data(), nullptr);
    EVP_EncryptUpdate(ctx, maschera, &n, c + 2, 16);
    EVP_CIPHER_CTX_free(ctx);
    std::string pacchetto = intestazione + cifrato;
    const std::size_t numero = intestazione.size() - 2;
    pacchetto[0] = static_cast<char>(pacchetto[0] ^ (maschera[0] & 0x0F));
    for (int i = 0; i < 2; ++i)
        pacchetto[numero + i] = static_cast<char>(pacchetto[numero + i] ^ maschera[1 + i]);
    return pacchetto;
}

TEST(NomeServerQuic, InitialKeysFollowTheVersion) {
    const std::string dcid = daEsadecimale("8394c8f03e515708");
    const auto v1 = chiaviInizialiClient(quicVersione1, dcid);
    ASSERT_TRUE(v1);
    EXPECT_EQ(esadecimale(v1->segreto),
              "c00cf151ca5be075ed0ebfb5c80323c42d6b7db67881289af4008f1f6c357aea");
    EXPECT_EQ(esadecimale(v1->chiave), "1f369613dd76d5467730efcbe3b1a22d");
    EXPECT_EQ(esadecimale(v1->iv), "fa044b2f42a3fd3b46fb255c");
    EXPECT_EQ(esadecimale(v1->protezioneIntestazione), "9f50449e04a0e810283a1e9933adedd2");
    const auto v2 = chiaviInizialiClient(quicVersione2, dcid);
    ASSERT_TRUE(v2);
    EXPECT_EQ(esadecimale(v2->segreto),
              "14ec9d6eb9fd7af83bf5a668bc17a7e283766aade7ecd0891f70f9ff7f4bf47b");
    EXPECT_EQ(esadecimale(v2->chiave), "8b1a0bc121284290a29e0971b5cd045d");
    EXPECT_EQ(esadecimale(v2->iv), "91f73e2351d8fa91660e909f");
    EXPECT_EQ(esadecimale(v2->protezioneIntestazione), "45b95e15235d6f45a6b19cbcb0294ba9");
    EXPECT_FALSE(chiaviInizialiClient(0xff00001d, dcid));
}

TEST(NomeServerQuic, PublishedInitialsNameTheirServer) {
    const std::string v1 = daEsadecimale(initialeV1), v2 = daEsadecimale(initialeV2);
    ASSERT_EQ(v1.size(), 1200u);
    EXPECT_EQ(nomeDaQuicInitial(v1), "example.com");
    EXPECT_EQ(nomeDaQuicInitial(v2), "example.com");
    // A packet coalesced after the first one is not read.
    EXPECT_EQ(nomeDaQuicInitial(v1 + std::string(300, '\xAA')), "example.com");
}

TEST(NomeServerQuic, DamagedOrForeignPacketsGiveNothing) {
    const std::string v1 = daEsadecimale(initialeV1);
    for (std::size_t dove : {std::size_t{100}, std::size_t{1199}}) {
        std::string alterato = v1;
        alterato[dove] ^= 0x01;
        EXPECT_FALSE(nomeDaQuicInitial(alterato)) << dove;
    }
    std::string altraVersione = v1;
    altraVersione.replace(1, 4, be(quicVersione2, 4));
    EXPECT_FALSE(nomeDaQuicInitial(altraVersione));
    std::string idLungo = v1;
    idLungo[5] = 21;
    EXPECT_FALSE(nomeDaQuicInitial(idLungo));
    for (std::size_t n = 0; n < v1.size(); ++n) EXPECT_FALSE(nomeDaQuicInitial(v1.substr(0, n)));
}

TEST(NomeServerQuic, CryptoFramesAreReassembledInAnyOrder) {
    const std::string h = clientHello(gruppi() + nomeServer("Quic.Example.NET") + alpn());
    const std::string a = h.substr(0, 50), b = h.substr(50, 60), c = h.substr(110);
    const std::string ack = be(0x0302000105, 5) + be(0x0001, 2) + be(0x010203, 3);
    const std::string padding(200, '\0');
    for (auto versione : {quicVersione1, quicVersione2}) {
        std::string carico = be(1, 1);
        carico += crypto(110, c);
        carico += ack;
        carico += crypto(0, a);
        carico += padding;
        carico += crypto(40, h.substr(40, 70));
        EXPECT_EQ(nomeDaQuicInitial(proteggi(versione, carico)), "quic.example.net");
    }
    EXPECT_FALSE(nomeDaQuicInitial(proteggi(quicVersione1, crypto(0, a) + crypto(110, c))));
    // Frames after one of another kind are not read; a frame that overruns the packet is
    // refused whole.
    const std::string stream = be(0x08, 1) + be(0, 1);
    EXPECT_FALSE(nomeDaQuicInitial(proteggi(quicVersione1, stream + crypto(0, h))));
    EXPECT_EQ(nomeDaQuicInitial(proteggi(quicVersione1, crypto(0, h) + stream + padding)),
              "quic.example.net");
    EXPECT_FALSE(nomeDaQuicInitial(proteggi(quicVersione1, crypto(0, h) + be(0x06004050, 4))));
}

TEST(NomeServerQuic, AClientHelloGoingOnInTheNextDatagramNamesTheServer) {
    const std::string sni = nomeServer("lungo.example");
    const std::string h = clientHello(gruppi() + sni + estensione(0x0015, std::string(3000, '\0')));
    const std::size_t fine = h.find(sni) + sni.size();
    EXPECT_EQ(nomeDaQuicInitial(proteggi(quicVersione1, crypto(0, h.substr(0, 1000)))),
              "lungo.example");
    EXPECT_FALSE(nomeDaQuicInitial(proteggi(quicVersione1, crypto(0, h.substr(0, fine - 1)))));
}

TEST(NomeServerTls, NameIsReadFromTheRecord) {
    EXPECT_EQ(
        nomeDaClientHello(record(clientHello(gruppi() + nomeServer("WWW.Example.COM.") + alpn()))),
        "www.example.com");
    const std::string altroTipo = be(7, 1) + be(3, 2) + "abc";
    const std::string voci = altroTipo + be(0, 1) + be(7, 2) + "a.b.org";
    const std::string sni = estensione(0, be(voci.size(), 2) + voci);
    EXPECT_EQ(nomeDaClientHello(record(clientHello(sni, 0)) + "\x17\x03\x03"), "a.b.org");
    EXPECT_FALSE(nomeDaClientHello(record(clientHello(gruppi() + alpn()))));
}

TEST(NomeServerTls, ACutRecordNamesTheServerOnceTheNameIsWhole) {
    const std::string sni = nomeServer("taglio.example");
    const std::string r = record(clientHello(gruppi() + sni + alpn()));
    const std::size_t fine = r.find(sni) + sni.size();
    for (std::size_t n = 0; n <= r.size(); ++n) {
        const auto nome = nomeDaClientHello(r.substr(0, n));
        if (n < fine)
            EXPECT_FALSE(nome) << n;
        else
            EXPECT_EQ(nome, "taglio.example") << n;
    }
}

TEST(NomeServerTls, AnEncryptedClientHelloHidesTheName) {
    const std::string sni = nomeServer("pubblico.example");
    EXPECT_FALSE(nomeDaClientHello(record(clientHello(gruppi() + sni + ech()))));
    EXPECT_FALSE(nomeDaClientHello(record(clientHello(ech() + sni))));
    const std::string r = record(clientHello(sni + ech()));
    const std::size_t inizio = r.find(ech());
    EXPECT_FALSE(nomeDaClientHello(r.substr(0, inizio + 2)));
    EXPECT_EQ(nomeDaClientHello(r.substr(0, inizio + 1)), "pubblico.example");
}

TEST(NomeServerTls, NamesThatAreNotHostNamesGiveNothing) {
    const std::string a63(63, 'a');
    const std::string lungo = a63 + "." + a63 + "." + a63 + "." + std::string(61, 'd');
    const std::vector<std::string> buoni{"a", "x_y-z.example", "1.2.3.example", lungo};
    for (const auto& buono : buoni)
        EXPECT_EQ(nomeDaClientHello(record(clientHello(nomeServer(buono)))), buono);
    const std::vector<std::string> cattivi{"",
                                           ".",
                                           "a..b",
                                           ".a.b",
                                           "a.b..",
                                           "192.168.1.10",
                                           "127.1",
                                           "0x7f.0.0.1",
                                           "::1",
                                           "[::1]",
                                           "exa mple.com",
                                           "\xc3\xbcnicode.example",
                                           "host:443",
                                           "example.123",
                                           "0x7f000001",
                                           std::string("ex\0a.com", 8),
                                           a63 + "a.example",
                                           lungo + "d"};
    for (const auto& cattivo : cattivi)
        EXPECT_FALSE(nomeDaClientHello(record(clientHello(nomeServer(cattivo))))) << cattivo;
}

TEST(NomeServerTls, InconsistentLengthsAreRefused) {
    const std::string sni = nomeServer("example.com");
    const std::string r = record(clientHello(sni));
    auto con = [&](std::size_t dove, const std::string& byte) {
        std::string s = r;
        s.replace(dove, byte.size(), byte);
        return nomeDaClientHello(s);
    };
    ASSERT_EQ(nomeDaClientHello(r), "example.com");
    EXPECT_FALSE(con(0, be(23, 1)));               // not a handshake record
    EXPECT_FALSE(con(1, be(0x0200, 2)));           // not TLS
    EXPECT_FALSE(con(3, be(0x4001, 2)));           // longer than any record
    EXPECT_FALSE(con(5, be(2, 1)));                // not a ClientHello
    EXPECT_FALSE(con(9, be(0x0200, 2)));           // hello of no TLS version
    EXPECT_FALSE(con(76, be(3, 2)));               // odd cipher suites
    EXPECT_FALSE(con(r.find(sni) + 4, be(0, 2)));  // name list against its extension
    EXPECT_FALSE(nomeDaClientHello(record(clientHello(sni, 33))));
    EXPECT_FALSE(nomeDaClientHello(record(clientHello(sni + sni))));
    // Within a block that is whole, an extension running past it is malformed, not cut.
    EXPECT_FALSE(nomeDaClientHello(record(clientHello(sni + be(0x0010000a, 4) + "h2"))));
}

TEST(NomeServerHttp, HostHeaderNamesTheServer) {
    EXPECT_EQ(nomeDaHttp("GET / HTTP/1.1\r\nHost: Example.COM\r\n\r\n"), "example.com");
    EXPECT_EQ(nomeDaHttp("POST /x HTTP/1.0\r\nUser-Agent: a\r\nhOsT:example.org:8080\r\nAcc"),
              "example.org");
    EXPECT_EQ(nomeDaHttp("HEAD / HTTP/1.1\nhost:\texample.net \n\n"), "example.net");
    EXPECT_EQ(nomeDaHttp("GET / HTTP/1.1\r\nHostname: altro.example\r\nHost: example.com\r\n\r\n"),
              "example.com");
    EXPECT_EQ(nomeDaHttp("CONNECT a.example:443 HTTP/1.1\r\nHost: a.example:\r\n\r\n"),
              "a.example");
}

TEST(NomeServerHttp, LiteralsAndHostsCutOrMissingGiveNothing) {
    const std::string inizio = "GET / HTTP/1.1\r\n";
    for (const std::string host : {"[2001:db8::1]:8080", "10.0.0.1", "10.0.0.1:80",
                                   "example.com:http", "example.com:123456", ""}) {
        std::string richiesta = inizio;
        richiesta.append("Host: ").append(host).append("\r\n\r\n");
        EXPECT_FALSE(nomeDaHttp(richiesta)) << host;
    }
    EXPECT_FALSE(nomeDaHttp(inizio + "Host: example.c"));
    EXPECT_FALSE(nomeDaHttp(inizio + "Accept: */*\r\n\r\nHost: example.com\r\n"));
    EXPECT_FALSE(nomeDaHttp(inizio + "Host: a.com\r\nHost: b.com\r\n\r\n"));
    EXPECT_FALSE(nomeDaHttp(inizio + "X-A : 1\r\nHost: example.com\r\n\r\n"));
    EXPECT_FALSE(nomeDaHttp(inizio + "X: a\r\n Host: example.com\r\n\r\n"));
    // Only the first 4096 bytes are looked at.
    const std::string host = "Host: example.com\r\n";
    const std::string riempitivo = "X: " + std::string(4096 - inizio.size() - host.size() - 5, 'a');
    EXPECT_EQ(nomeDaHttp(inizio + riempitivo + "\r\n" + host), "example.com");
    EXPECT_FALSE(nomeDaHttp(inizio + riempitivo + "a\r\n" + host));
}

TEST(NomeServerHttp, OtherPayloadsAreNotRequests) {
    const std::string host = "\r\nHost: example.com\r\n\r\n";
    for (const std::string riga : {"get / HTTP/1.1", "FETCH / HTTP/1.1", "GET /", "GET / HTTP/2.0",
                                   "GET / HTTP/1.10", "SSH-2.0-OpenSSH_9.6", ""}) {
        EXPECT_FALSE(nomeDaHttp(riga + host)) << riga;
    }
    const std::string tls = record(clientHello(nomeServer("example.com")));
    EXPECT_FALSE(nomeDaHttp(tls));
    EXPECT_FALSE(nomeDaQuicInitial(tls));
    EXPECT_FALSE(nomeDaClientHello("GET / HTTP/1.1" + host));
    EXPECT_FALSE(nomeDaQuicInitial("GET / HTTP/1.1" + host));
}

}  // namespace
}  // namespace ostrale
