// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>

#include <gtest/gtest.h>

#include "Estensione/Linux/cache-nomi.h"
#include "Estensione/Linux/risposta-dns.h"

namespace ostrale {
namespace {

// A small DNS message builder for the tests.
struct Messaggio {
    std::string b;
    void u16(unsigned v) {
        b.push_back(static_cast<char>(v >> 8));
        b.push_back(static_cast<char>(v & 0xFF));
    }
    void u32(unsigned v) {
        u16(v >> 16);
        u16(v & 0xFFFF);
    }
    void nome(const std::string& n) {
        std::size_t i = 0;
        while (i < n.size()) {
            const std::size_t fine = std::min(n.find('.', i), n.size());
            b.push_back(static_cast<char>(fine - i));
            b += n.substr(i, fine - i);
            i = fine + 1;
        }
        b.push_back('\0');
    }
    void puntatore(unsigned offset) { u16(0xC000 | offset); }
    void intestazione(unsigned opzioni, unsigned domande, unsigned risposte) {
        u16(0x1234);
        u16(opzioni);
        u16(domande);
        u16(risposte);
        u16(0);
        u16(0);
    }
    void record(unsigned tipo, unsigned ttl, const std::string& dati) {
        u16(tipo);
        u16(1);
        u32(ttl);
        u16(static_cast<unsigned>(dati.size()));
        b += dati;
    }
};

const std::string ip4(std::initializer_list<int> ottetti) {
    std::string s;
    for (int o : ottetti) s.push_back(static_cast<char>(o));
    return s;
}

TEST(RispostaDns, AddressesThroughACnameChain) {
    Messaggio m;
    m.intestazione(0x8180, 1, 3);
    m.nome("WWW.Example.ORG");  // at offset 12
    m.u16(1);
    m.u16(1);
    m.puntatore(12);
    Messaggio cname;
    cname.nome("cdn.example.net");
    m.record(5, 300, cname.b);
    const std::size_t posizioneCname = m.b.size() - cname.b.size();
    m.puntatore(static_cast<unsigned>(posizioneCname));
    m.record(1, 60, ip4({203, 0, 113, 7}));
    m.nome("altro.example");
    m.record(1, 60, ip4({198, 51, 100, 1}));  // not in the chain: ignored
    const auto r = leggiRispostaDns(m.b);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->domanda, "www.example.org");
    ASSERT_EQ(r->indirizzi.size(), 1u);
    EXPECT_EQ(r->indirizzi[0].testo, "203.0.113.7");
    EXPECT_EQ(r->indirizzi[0].ttl, 60u);

    // The same over TCP, with its length prefix; AAAA too.
    Messaggio v6;
    v6.intestazione(0x8180, 1, 1);
    v6.nome("v6.example.test");
    v6.u16(28);
    v6.u16(1);
    v6.puntatore(12);
    std::string indirizzo(16, '\0');
    indirizzo[0] = 0x20;
    indirizzo[1] = 0x01;
    indirizzo[2] = 0x0d;
    indirizzo[3] = static_cast<char>(0xb8);
    indirizzo[15] = 1;
    v6.record(28, 30, indirizzo);
    std::string tcp;
    tcp.push_back(static_cast<char>(v6.b.size() >> 8));
    tcp.push_back(static_cast<char>(v6.b.size() & 0xFF));
    tcp += v6.b;
    const auto r6 = leggiRispostaDns(tcp, true);
    ASSERT_TRUE(r6);
    EXPECT_EQ(r6->indirizzi.at(0).testo, "2001:db8::1");
}

TEST(RispostaDns, HostileMessagesAreRefusedWhole) {
    Messaggio base;
    base.intestazione(0x8180, 1, 1);
    base.nome("a.example");
    base.u16(1);
    base.u16(1);
    // A pointer to itself, and one pointing forward.
    for (unsigned bersaglio : {27u, 40u}) {  // itself, and forward
        Messaggio m = base;
        m.puntatore(bersaglio);
        m.record(1, 1, ip4({1, 2, 3, 4}));
        EXPECT_FALSE(leggiRispostaDns(m.b)) << bersaglio;
    }
    // Data longer than the message.
    Messaggio lungo = base;
    lungo.puntatore(12);
    lungo.u16(1);
    lungo.u16(1);
    lungo.u32(1);
    lungo.u16(500);
    EXPECT_FALSE(leggiRispostaDns(lungo.b));
    // Queries and several questions teach nothing.
    Messaggio domanda;
    domanda.intestazione(0x0100, 1, 0);
    domanda.nome("a.example");
    domanda.u16(1);
    domanda.u16(1);
    EXPECT_FALSE(leggiRispostaDns(domanda.b));
    Messaggio errore = domanda;
    errore.b[2] = static_cast<char>(0x81);
    errore.b[3] = static_cast<char>(0x83);  // NXDOMAIN
    // An error names its question (a tunnel's lookups count, answered or not), nothing more.
    const auto rifiutata = leggiRispostaDns(errore.b);
    ASSERT_TRUE(rifiutata);
    EXPECT_FALSE(rifiutata->riuscita);
    EXPECT_EQ(rifiutata->domanda, "a.example");
    EXPECT_TRUE(rifiutata->indirizzi.empty());
    EXPECT_FALSE(leggiRispostaDns(""));
    EXPECT_FALSE(leggiRispostaDns(std::string(11, '\0')));
    EXPECT_FALSE(
        leggiRispostaDns("\x00\x05"
                         "abc",
                         true));
    // A label of 64 bytes is not a label.
    Messaggio etichetta;
    etichetta.intestazione(0x8180, 1, 0);
    etichetta.b.push_back(64);
    etichetta.b += std::string(64, 'a');
    etichetta.b.push_back(0);
    etichetta.u16(1);
    etichetta.u16(1);
    EXPECT_FALSE(leggiRispostaDns(etichetta.b));
}

TEST(CacheNomi, LatestAnswerWinsAndEntriesExpire) {
    CacheNomi cache(3);
    const Data t0 = Data::daRiferimento(1000);
    RispostaDns a{"a.example", {{"203.0.113.1", 30}, {"127.0.0.1", 30}, {"0.0.0.0", 30}}};
    cache.impara(a, t0);
    EXPECT_EQ(cache.nome("203.0.113.1", t0), "a.example");
    EXPECT_FALSE(cache.nome("127.0.0.1", t0));
    EXPECT_EQ(cache.dimensione(), 1u);
    cache.impara({"b.example", {{"203.0.113.1", 7200}}}, t0);
    EXPECT_EQ(cache.nome("203.0.113.1", t0), "b.example");
    // At least ten minutes, else the TTL.
    EXPECT_TRUE(cache.nome("203.0.113.1", t0.piùSecondi(7200)));
    EXPECT_FALSE(cache.nome("203.0.113.1", t0.piùSecondi(7201)));
    cache.impara({"c.example", {{"198.51.100.1", 1}}}, t0);
    EXPECT_TRUE(cache.nome("198.51.100.1", t0.piùSecondi(600)));
    EXPECT_FALSE(cache.nome("198.51.100.1", t0.piùSecondi(600.5)));
    // The least recently used give way.
    for (int i = 0; i < 5; ++i) {
        cache.impara({"n" + std::to_string(i), {{"192.0.2." + std::to_string(i), 60}}}, t0);
    }
    EXPECT_EQ(cache.dimensione(), 3u);
    EXPECT_FALSE(cache.nome("192.0.2.0", t0));
    EXPECT_EQ(cache.nome("192.0.2.4", t0), "n4");
}

TEST(CacheNomi, EachApplicationKeepsTheNamesItResolved) {
    CacheNomi cache(8);
    const Data t0 = Data::daRiferimento(1000);
    // Two applications resolve two names that share one address (a CDN).
    cache.impara({"sito.example.test", {{"203.0.113.1", 60}}}, t0, "/usr/bin/a");
    cache.impara({"traccia.example.test", {{"203.0.113.1", 60}}}, t0, "/usr/bin/b");
    auto a = cache.nome("203.0.113.1", "/usr/bin/a", t0);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->nome, "sito.example.test");
    EXPECT_TRUE(a->dellApp);
    EXPECT_FALSE(a->ambiguo);
    EXPECT_EQ(cache.nome("203.0.113.1", "/usr/bin/b", t0)->nome, "traccia.example.test");
    // A third one that resolved nothing gets the latest answer, known to be shared.
    auto c = cache.nome("203.0.113.1", "/usr/bin/c", t0);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->nome, "traccia.example.test");
    EXPECT_FALSE(c->dellApp);
    EXPECT_TRUE(c->ambiguo);
    // An application's own latest answer wins; the same name again is not a second name.
    cache.impara({"altro.example.test", {{"203.0.113.1", 60}}}, t0, "/usr/bin/a");
    EXPECT_EQ(cache.nome("203.0.113.1", "/usr/bin/a", t0)->nome, "altro.example.test");
    cache.impara({"solo.example.test", {{"198.51.100.7", 60}}}, t0);
    cache.impara({"solo.example.test", {{"198.51.100.7", 60}}}, t0, "/usr/bin/b");
    EXPECT_FALSE(cache.nome("198.51.100.7", "/usr/bin/c", t0)->ambiguo);
    // Names expire one by one: the address stops being shared when the others have gone.
    cache.impara({"lungo.example.test", {{"192.0.2.9", 3600}}}, t0);
    cache.impara({"breve.example.test", {{"192.0.2.9", 1}}}, t0.piùSecondi(-500));
    EXPECT_TRUE(cache.nome("192.0.2.9", "", t0)->ambiguo);
    const auto dopo = cache.nome("192.0.2.9", "", t0.piùSecondi(101));
    ASSERT_TRUE(dopo);
    EXPECT_EQ(dopo->nome, "lungo.example.test");
    EXPECT_FALSE(dopo->ambiguo);
    EXPECT_FALSE(cache.nome("203.0.113.1", "/usr/bin/a", t0.piùSecondi(601)));
    // Both tables are bounded.
    for (int i = 0; i < 100; ++i) {
        cache.impara({"n.example", {{"192.0.2." + std::to_string(i), 60}}}, t0,
                     "/opt/app" + std::to_string(i));
    }
    EXPECT_LE(cache.dimensione(), 8u);
    EXPECT_LE(cache.dimensionePerApp(), 8u);
    // A question that is not printable teaches nothing.
    RispostaDns grezza{"\xff\x01.example", {{"192.0.2.200", 60}}};
    grezza.stampabile = false;
    cache.impara(grezza, t0, "/opt/x");
    EXPECT_FALSE(cache.nome("192.0.2.200", "/opt/x", t0));
}

}  // namespace
}  // namespace ostrale
