// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Sentinella/sentinella.h"

#include "Condiviso/blocklist-c2.h"

#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "test/supporto/cartella-temporanea.h"

namespace ostrale {
namespace {

using Rilevazione = Sentinella::Rilevazione;
using Flusso = Sentinella::Flusso;

constexpr double t0 = 800'000'000.0;  // seconds since the reference date; a multiple of 3600

Data t(double secondi) {
    return Data::daRiferimento(t0 + secondi);
}

class SentinellaTest : public ::testing::Test {
  protected:
    // No container and no shipped edition: the command-and-control list starts empty.
    test::CartellaTemporanea vuota;
    test::VariabileAmbiente contenitore{"OSTRALE_CONTENITORE", (vuota / "assente").string()};
    test::VariabileAmbiente risorse{"OSTRALE_RISORSE", vuota.percorso().string()};
    OrologioFinto orologio;
    BlocklistC2 c2{orologio};
    Sentinella sentinella;
    std::deque<std::string>
        testi;  // keeps generated texts alive (and in place) for the flows' views

    std::string_view tieni(std::string s) { return testi.emplace_back(std::move(s)); }

    static Flusso uscita(double secondi, std::string_view firma = "/usr/bin/app") {
        Flusso f;
        f.adesso = t(secondi);
        f.direzione = DirezioneFlusso::uscita;
        f.firma = firma;
        f.ip = "203.0.113.5";
        f.host = "api.example.org";
        f.dominio = "example.org";
        f.portaLocale = "50000";
        f.portaRemota = "443";
        f.protocollo = "TCP";
        return f;
    }

    static Flusso entrata(double secondi, std::string_view ip, std::string_view portaLocale) {
        Flusso f;
        f.adesso = t(secondi);
        f.direzione = DirezioneFlusso::entrata;
        f.firma = "sconosciuta";
        f.ip = ip;
        f.host = ip;
        f.portaLocale = portaLocale;
        f.portaRemota = "40000";
        f.protocollo = "TCP";
        return f;
    }

    // Observes a flow with the current command-and-control list, as the provider passes it.
    std::vector<Rilevazione> osserva(Flusso f) {
        const auto indirizzi = c2.insieme();
        f.indirizziC2 = indirizzi.get();
        return sentinella.osserva(f);
    }

    std::vector<TipoAttacco> tipi(const Flusso& f) {
        std::vector<TipoAttacco> risultato;
        for (const Rilevazione& r : osserva(f)) risultato.push_back(r.tipo);
        return risultato;
    }

    // Runs the flows and answers, for each, the detections of type `tipo` it produced.
    std::vector<std::vector<Rilevazione>> di(TipoAttacco tipo, const std::vector<Flusso>& flussi) {
        std::vector<std::vector<Rilevazione>> risultato;
        for (const Flusso& f : flussi) {
            std::vector<Rilevazione> trovate;
            for (Rilevazione& r : osserva(f)) {
                if (r.tipo == tipo) trovate.push_back(std::move(r));
            }
            risultato.push_back(std::move(trovate));
        }
        return risultato;
    }

    // Indices of the flows that produced a detection of `tipo`.
    std::vector<std::size_t> scatti(TipoAttacco tipo, const std::vector<Flusso>& flussi) {
        std::vector<std::size_t> indici;
        const auto risultati = di(tipo, flussi);
        for (std::size_t i = 0; i < risultati.size(); ++i) {
            if (!risultati[i].empty()) indici.push_back(i);
        }
        return indici;
    }
};

using Indici = std::vector<std::size_t>;

// ---- sanctions, throttle and bounds ----

TEST_F(SentinellaTest, BlockLastsSixHundredSecondsInclusive) {
    std::vector<Flusso> scansione;
    for (int porta = 0; porta < 10; ++porta) {
        scansione.push_back(entrata(porta, "198.51.100.9", tieni(std::to_string(1000 + porta))));
    }
    ASSERT_EQ(scatti(TipoAttacco::scansione, scansione), Indici{9});
    EXPECT_TRUE(sentinella.èBloccato("198.51.100.9", t(9)));
    EXPECT_TRUE(sentinella.èBloccato("198.51.100.9", t(609)));
    EXPECT_EQ(sentinella.dimensioni().bloccoIP, 1u);
    EXPECT_FALSE(sentinella.èBloccato("198.51.100.9", t(609.001)));
    EXPECT_EQ(sentinella.dimensioni().bloccoIP, 0u);
    EXPECT_FALSE(sentinella.èBloccato("198.51.100.10", t(9)));
}

TEST_F(SentinellaTest, ThrottleQuietPeriods) {
    // Default 600 s.
    auto malfamata = [&](double s) {
        Flusso f = uscita(s);
        f.portaRemota = "4444";
        return f;
    };
    EXPECT_EQ(scatti(TipoAttacco::portaMalfamata,
                     {malfamata(0), malfamata(599.9), malfamata(600), malfamata(1199.9)}),
              (Indici{0, 2}));
    // Six hours for the anomalous protocol.
    auto quic = [&](double s) {
        Flusso f = uscita(s, "/usr/bin/quic-tool");
        f.protocollo = "UDP";
        return f;
    };
    EXPECT_EQ(
        scatti(TipoAttacco::protocolloAnomalo, {quic(0), quic(600), quic(21599.9), quic(21600)}),
        (Indici{0, 3}));
}

TEST_F(SentinellaTest, RepeatedDetectionExtendsTheBlockOnlyPastTheThrottle) {
    auto colpo = [&](double s) { return entrata(s, "198.51.100.7", "22"); };
    std::vector<Flusso> primi, secondi, terzi;
    for (int i = 0; i < 6; ++i) primi.push_back(colpo(i));
    for (int i = 0; i < 6; ++i) secondi.push_back(colpo(300 + i));
    for (int i = 0; i < 6; ++i) terzi.push_back(colpo(700 + i));
    EXPECT_EQ(scatti(TipoAttacco::forzaBruta, primi), Indici{5});   // blocked until 605
    EXPECT_EQ(scatti(TipoAttacco::forzaBruta, secondi), Indici{});  // throttled: still 605
    EXPECT_TRUE(sentinella.èBloccato("198.51.100.7", t(605)));
    EXPECT_FALSE(sentinella.èBloccato("198.51.100.7", t(605.5)));
    EXPECT_EQ(scatti(TipoAttacco::forzaBruta, terzi), Indici{5});  // reported again at 705
    EXPECT_TRUE(sentinella.èBloccato("198.51.100.7", t(1305)));
}

TEST_F(SentinellaTest, TablesOverTheirBoundAreEmptiedAtTheNextCall) {
    for (int i = 0; i < 2000; ++i) {
        osserva(entrata(i * 0.001,
                        tieni("10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250)),
                        "22"));
    }
    auto d = sentinella.dimensioni();
    EXPECT_EQ(d.porteDaIP, 2000u);
    EXPECT_EQ(d.colpiServizio, 2000u);
    osserva(uscita(3));  // exactly 2000 keys: nothing is emptied
    EXPECT_EQ(sentinella.dimensioni().porteDaIP, 2000u);

    osserva(entrata(4, "10.9.9.9", "8080"));  // 2001 keys, no new service key
    EXPECT_EQ(sentinella.dimensioni().porteDaIP, 2001u);
    osserva(uscita(5));
    d = sentinella.dimensioni();
    EXPECT_EQ(d.porteDaIP, 0u);
    EXPECT_EQ(d.colpiServizio, 2000u);
    EXPECT_EQ(d.hostDaApp, 1u);
}

TEST_F(SentinellaTest, EveryTableStaysWithinItsBound) {
    struct Limite {
        const char* nome;
        std::size_t Sentinella::Dimensioni::*campo;
        std::size_t limite;
        std::size_t massimo = 0;
    };
    using D = Sentinella::Dimensioni;
    std::vector<Limite> limiti{{"porteDaIP", &D::porteDaIP, 2000},
                               {"colpiServizio", &D::colpiServizio, 2000},
                               {"hostDaApp", &D::hostDaApp, 500},
                               {"dnsDaApp", &D::dnsDaApp, 500},
                               {"tempiDestinazione", &D::tempiDestinazione, 3000},
                               {"hostStraniDaApp", &D::hostStraniDaApp, 500},
                               {"scansioniUscita", &D::scansioniUscita, 2000},
                               {"burstUDP", &D::burstUDP, 2000},
                               {"ipDirettiDaApp", &D::ipDirettiDaApp, 500},
                               {"presenze", &D::presenze, 2000},
                               {"cumulati", &D::cumulati, 2000},
                               {"visiteLan", &D::visiteLan, 500},
                               {"giàSegnalato", &D::giàSegnalato, 2000}};
    auto misura = [&] {
        const D d = sentinella.dimensioni();
        for (Limite& l : limiti) l.massimo = std::max(l.massimo, d.*l.campo);
    };
    for (int i = 0; i < 3100; ++i) {
        const double s = i * 0.01;
        const std::string_view firma = tieni("/opt/app" + std::to_string(i));
        const std::string_view ip =
            tieni("203.0." + std::to_string(i / 250) + "." + std::to_string(i % 250));
        // An unnamed UDP flow of a new application to a notorious port.
        Flusso nudo = uscita(s, firma);
        nudo.ip = ip;
        nudo.host = ip;
        nudo.dominio = tieni("d" + std::to_string(i) + ".example");
        nudo.portaRemota = "4444";
        nudo.protocollo = "UDP";
        nudo.appNuova = true;
        osserva(nudo);
        misura();
        // A lookup of a random-looking name, and one that carries data.
        Flusso dns = uscita(s, firma);
        dns.host = "xkqzjvbnmwtr.com";
        dns.portaRemota = "53";
        osserva(dns);
        misura();
        sentinella.osservaDomandaDns({t(s), firma, "xkqzjvbnmwtr.com", 16});
        misura();
        sentinella.osservaLan(t(s), firma, "192.168.1.1", "22");
        misura();
        osserva(entrata(s, ip, "22"));
        misura();
    }
    for (const Limite& l : limiti) {
        // A table may exceed its bound by the keys of one call, never more, and reaches it.
        EXPECT_GE(l.massimo, l.limite) << l.nome;
        EXPECT_LE(l.massimo, l.limite + 2) << l.nome;
    }
}

TEST_F(SentinellaTest, EmptyingTheThrottleTableLiftsEveryThrottle) {
    auto malfamata = [&](double s, std::string_view firma) {
        Flusso f = uscita(s, firma);
        f.portaRemota = "4444";
        return f;
    };
    ASSERT_EQ(scatti(TipoAttacco::portaMalfamata, {malfamata(0, "/usr/bin/app")}), Indici{0});
    for (int i = 0; i < 2000; ++i) {
        osserva(malfamata(1, tieni("/opt/app" + std::to_string(i))));
    }
    EXPECT_EQ(sentinella.dimensioni().giàSegnalato, 2001u);
    // The table is over its bound: it is emptied at the start of the next call, so the same
    // notorious port is reported again well within its quiet period.
    EXPECT_EQ(scatti(TipoAttacco::portaMalfamata, {malfamata(2, "/usr/bin/app")}), Indici{0});
    EXPECT_LE(sentinella.dimensioni().giàSegnalato, 1u);
}

// ---- inbound ----

TEST_F(SentinellaTest, InboundPortScan) {
    std::vector<Flusso> nove, dieci;
    for (int porta = 0; porta < 9; ++porta) {
        nove.push_back(entrata(porta, "198.51.100.1", tieni(std::to_string(2000 + porta))));
    }
    EXPECT_EQ(scatti(TipoAttacco::scansione, nove), Indici{});
    for (int porta = 0; porta < 10; ++porta) {
        dieci.push_back(
            entrata(porta * 59.0 / 9, "198.51.100.2", tieni(std::to_string(3000 + porta))));
    }
    const auto risultati = di(TipoAttacco::scansione, dieci);
    ASSERT_EQ(risultati.back().size(), 1u);
    EXPECT_EQ(risultati.back()[0], (Rilevazione{TipoAttacco::scansione, "198.51.100.2", true}));
    EXPECT_TRUE(sentinella.èBloccato("198.51.100.2", t(59 + 600)));

    // Entries exactly 60 s old no longer count.
    std::vector<Flusso> lenta;
    for (int porta = 0; porta < 9; ++porta) {
        lenta.push_back(entrata(100, "198.51.100.3", tieni(std::to_string(4000 + porta))));
    }
    lenta.push_back(entrata(160, "198.51.100.3", "4100"));
    EXPECT_EQ(scatti(TipoAttacco::scansione, lenta), Indici{});
    // Repeating one port does not make a scan.
    std::vector<Flusso> stessa(20, entrata(200, "198.51.100.4", "8080"));
    EXPECT_EQ(scatti(TipoAttacco::scansione, stessa), Indici{});
}

TEST_F(SentinellaTest, PasswordGuessingOnServicePorts) {
    std::vector<Flusso> colpi;
    for (int i = 0; i < 10; ++i) colpi.push_back(entrata(i, "198.51.100.5", "22"));
    const auto risultati = osserva(colpi[0]);
    EXPECT_TRUE(risultati.empty());
    std::vector<std::vector<TipoAttacco>> visti;
    for (std::size_t i = 1; i < colpi.size(); ++i) visti.push_back(tipi(colpi[i]));
    for (std::size_t i = 0; i < visti.size(); ++i) {
        if (i == 4) {
            EXPECT_EQ(visti[i], std::vector<TipoAttacco>{TipoAttacco::forzaBruta});
        } else {
            EXPECT_TRUE(visti[i].empty()) << "flow " << i + 1;
        }
    }
    // Port 80 is not a service whose repeated hits count.
    std::vector<Flusso> web(10, entrata(0, "198.51.100.6", "80"));
    EXPECT_EQ(scatti(TipoAttacco::forzaBruta, web), Indici{});
}

TEST_F(SentinellaTest, OneInboundFlowCanBeScanAndGuessInThatOrder) {
    const std::string_view ip = "198.51.100.8";
    for (int porta = 0; porta < 10; ++porta) {
        osserva(entrata(0, ip, tieni(std::to_string(1000 + porta))));  // reported at 0
    }
    // A minute before the quiet period ends: nine ports and five hits on 22 (ten ports, quiet).
    for (int porta = 0; porta < 9; ++porta) {
        EXPECT_TRUE(osserva(entrata(580, ip, tieni(std::to_string(2000 + porta)))).empty());
    }
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(osserva(entrata(590, ip, "22")).empty());
    EXPECT_EQ(tipi(entrata(600, ip, "22")),
              (std::vector<TipoAttacco>{TipoAttacco::scansione, TipoAttacco::forzaBruta}));
}

// The pipeline runs the detectors in two halves around the verdict; together they must be the
// very same detector: same findings in the same order, same sanctions, same tables.
TEST_F(SentinellaTest, TwoHalvesAreTheWholeDetector) {
    Sentinella intera, inDueMetà;
    std::mt19937 caso(7);
    auto scegli = [&](auto&& valori) { return valori[caso() % std::size(valori)]; };
    const std::string_view firme[] = {"/usr/bin/app", "/usr/bin/dig",        "com.apple.Safari",
                                      "sconosciuta",  "org.mozilla.firefox", "io.tailscale.ipn"};
    const std::string_view ip[] = {"203.0.113.5", "203.0.113.9", "198.51.100.66", "10.0.0.4"};
    const std::string_view host[] = {"api.example.org", "xn--pple-43d.example.org",
                                     "qzkrtvbnmxcv.example.org", "203.0.113.5"};
    const std::string_view porte[] = {"443", "53", "4444", "8081", "22", "445", "9001"};
    const auto c2Noti = std::make_shared<InsiemeTesti>(InsiemeTesti{"198.51.100.66"});
    double secondi = 0;
    std::size_t trovate = 0;
    for (int i = 0; i < 20000; ++i) {
        secondi += (caso() % 1000) / 100.0;
        Flusso f = caso() % 5 == 0 ? entrata(secondi, scegli(ip), scegli(porte))
                                   : uscita(secondi, scegli(firme));
        if (f.direzione == DirezioneFlusso::uscita) {
            f.ip = scegli(ip);
            f.host = scegli(host);
            f.dominio = f.host == "203.0.113.5" ? "" : "example.org";
            f.portaRemota = scegli(porte);
            f.protocollo = caso() % 2 ? "TCP" : "UDP";
            f.appNuova = caso() % 2;
            f.haRegolaConsenti = caso() % 4 == 0;
        }
        f.indirizziC2 = c2Noti.get();
        const auto attese = intera.osserva(f);
        std::vector<Rilevazione> metà;
        inDueMetà.osservaSanzioni(f, metà);
        EXPECT_EQ(inDueMetà.èBloccato(*f.ip, f.adesso), intera.èBloccato(*f.ip, f.adesso));
        EXPECT_EQ(inDueMetà.èContenuta(f.firma, f.adesso), intera.èContenuta(f.firma, f.adesso));
        inDueMetà.osservaResto(f, metà);
        ASSERT_EQ(metà, attese) << "flow " << i;
        trovate += attese.size();
    }
    EXPECT_GT(trovate, 100u);  // the stream does exercise the detectors
    const auto a = intera.dimensioni();
    const auto b = inDueMetà.dimensioni();
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
}

// ---- volume and destination ----

TEST_F(SentinellaTest, BurstOfHostsContainsOnlyWhatMayBeContained) {
    auto raffica = [&](std::string_view firma, bool regola, double inizio) {
        std::vector<Flusso> flussi;
        for (int i = 0; i < 40; ++i) {
            Flusso f = uscita(inizio + i, firma);
            f.host = tieni("h" + std::to_string(i) + ".example.net");
            f.haRegolaConsenti = regola;
            flussi.push_back(f);
        }
        return di(TipoAttacco::raffica, flussi);
    };
    const auto app = raffica("/usr/bin/app", false, 0);
    ASSERT_EQ(app.back().size(), 1u);
    EXPECT_TRUE(app.back()[0].bloccata);
    for (std::size_t i = 0; i + 1 < app.size(); ++i) EXPECT_TRUE(app[i].empty());
    EXPECT_TRUE(sentinella.èContenuta("/usr/bin/app", t(39)));
    EXPECT_TRUE(sentinella.èContenuta("/usr/bin/app", t(639)));

    for (auto [firma, regola] :
         {std::pair{"/usr/sbin/NetworkManager", false}, std::pair{"/usr/libexec/geoclue", false},
          std::pair{"/usr/bin/allowed", true}, std::pair{"io.tailscale.ipn", false},
          std::pair{"sconosciuta", false},
          // VPN clients carry everyone's traffic.
          std::pair{"/usr/sbin/tailscaled", false},
          std::pair{"/usr/lib/NetworkManager/nm-openvpn-service", false},
          std::pair{"/usr/sbin/openvpn", false}, std::pair{"/usr/bin/cloudflared", false},
          std::pair{"com.zerotier.ZeroTierOne", false}}) {
        const auto r = raffica(firma, regola, 0);
        ASSERT_EQ(r.back().size(), 1u) << firma;
        EXPECT_FALSE(r.back()[0].bloccata) << firma;
        EXPECT_FALSE(sentinella.èContenuta(firma, t(39))) << firma;
    }

    // A browser is held to a crawl's count: a busy minute of browsing is not a burst.
    auto pagine = [&](std::string_view firma, int quante, double inizio) {
        std::vector<Flusso> flussi;
        for (int i = 0; i < quante; ++i) {
            Flusso f = uscita(inizio + i * 0.3, firma);
            f.host = tieni("p" + std::to_string(i) + ".example.com");
            flussi.push_back(f);
        }
        return scatti(TipoAttacco::raffica, flussi);
    };
    EXPECT_EQ(pagine("/usr/bin/chromium-like", 120, 5000).size(), 1u);
    EXPECT_EQ(pagine("/usr/lib/chromium/chromium", 120, 5000), Indici{});
    EXPECT_EQ(pagine("/opt/google/chrome/chrome", Sentinella::sogliaRafficaBrowser, 5000),
              Indici{Sentinella::sogliaRafficaBrowser - 1});

    // An inbound flow without an address counts for its application.
    std::vector<Flusso> senzaIndirizzo;
    for (int i = 0; i < 40; ++i) {
        Flusso f = uscita(1000 + i, "/usr/bin/listener");
        f.direzione = DirezioneFlusso::entrata;
        f.ip.reset();
        f.host = tieni("peer" + std::to_string(i));
        senzaIndirizzo.push_back(f);
    }
    EXPECT_EQ(scatti(TipoAttacco::raffica, senzaIndirizzo), Indici{39});
}

TEST_F(SentinellaTest, DnsTunnelCountsOnlyLookupsThatCarryData) {
    // Lookups as their answers reach an application, wherever the question went.
    auto domande = [&](std::string_view firma, auto nome, std::uint16_t tipo) {
        Indici indici;
        for (int i = 0; i < 45; ++i) {
            const std::string_view n = tieni(nome(i));
            if (sentinella.osservaDomandaDns({t(i), firma, n, tipo})) indici.push_back(i);
        }
        return indici;
    };
    auto pagine = [](int i) { return "www.site" + std::to_string(i) + ".example"; };
    auto dati = [](int i) {
        return "paaa" + std::string(56, static_cast<char>('a' + i % 26)) + ".t.example";
    };
    // A browser opening 45 pages in a minute, addresses and service records alike: no tunnel.
    EXPECT_EQ(domande("/usr/lib/firefox-esr/firefox-esr", pagine, 1), Indici{});
    EXPECT_EQ(domande("/usr/lib/firefox-esr/firefox-esr", pagine, 28), Indici{});
    EXPECT_EQ(domande("/usr/lib/firefox-esr/firefox-esr", pagine, 65), Indici{});
    EXPECT_FALSE(sentinella.èContenuta("/usr/lib/firefox-esr/firefox-esr", t(45)));
    // A tunnel's lookups (data in the name, answers of the NULL or TXT type): its 30th in a
    // minute is the finding, and the application is contained.
    const auto tunnel = domande("/opt/iodine/iodine", dati, 10);
    EXPECT_EQ(tunnel, Indici{29});
    EXPECT_TRUE(sentinella.èContenuta("/opt/iodine/iodine", t(29)));
    EXPECT_EQ(domande("/opt/dnscat", pagine, 16), Indici{29});
    EXPECT_EQ(domande("/opt/encoder", dati, 1), Indici{29});
    // The system's resolvers forward every application's questions: never counted.
    EXPECT_EQ(domande("/usr/lib/systemd/systemd-resolved", dati, 10), Indici{});
    EXPECT_EQ(domande("/usr/sbin/dnsmasq", dati, 16), Indici{});
    // Found, but not contained: an application the user allowed.
    const auto consentita =
        sentinella.osservaDomandaDns({t(0), "/opt/allowed", "x.example", 16, true});
    EXPECT_FALSE(consentita);
    for (int i = 1; i < 30; ++i) {
        const auto r = sentinella.osservaDomandaDns({t(i), "/opt/allowed", "x.example", 16, true});
        if (i == 29) {
            ASSERT_TRUE(r);
            EXPECT_FALSE(r->bloccata);
        }
    }
    EXPECT_FALSE(sentinella.èContenuta("/opt/allowed", t(30)));
}

TEST_F(SentinellaTest, LookupsCarryDataByTypeOrByLength) {
    EXPECT_FALSE(Sentinella::portaDati("www.example.org", 1));
    EXPECT_FALSE(Sentinella::portaDati("www.example.org", 28));
    // Advertising and CDN hashes: long, yet below the bounds.
    EXPECT_FALSE(Sentinella::portaDati(
        "0f3e6c2b9a8d7e6f5a4b3c2d1e0f9a8b.safeframe.googlesyndication.com", 1));
    EXPECT_TRUE(Sentinella::portaDati("www.example.org", 16));
    EXPECT_TRUE(Sentinella::portaDati("www.example.org", 10));
    EXPECT_TRUE(Sentinella::portaDati("www.example.org", 65399));
    EXPECT_TRUE(Sentinella::portaDati(std::string(50, 'a') + ".t.example", 1));
    std::string lungo;
    for (int i = 0; i < 12; ++i) lungo += "abcdefghi.";
    EXPECT_TRUE(Sentinella::portaDati(lungo + "example", 1));
}

TEST_F(SentinellaTest, EndedSanctionsDoNotPileUp) {
    // A source that keeps changing address, over simulated hours: a million addresses blocked
    // one after another, ten a second. Only those whose ten minutes still run may be kept (at
    // most twice their number, since ended ones are swept when the table has doubled).
    std::size_t massimo = 0;
    std::string ip;
    for (int i = 0; i < 1'000'000; ++i) {
        const double s = i * 0.1;
        ip = "2001:db8:" + std::to_string(i / 65536) + ":" + std::to_string(i % 65536) + "::1";
        for (int colpo = 0; colpo < 6; ++colpo) osserva(entrata(s, ip, "22"));
        massimo = std::max(massimo, sentinella.dimensioni().bloccoIP);
    }
    EXPECT_TRUE(sentinella.èBloccato(ip, t(99'999.9)));
    EXPECT_LE(massimo, 2 * 6001u + 2);
}

TEST_F(SentinellaTest, OutboundScanOnUncommonPorts) {
    auto verso = [&](std::string_view porta, bool stessoIndirizzo, double inizio) {
        std::vector<Flusso> flussi;
        for (int i = 0; i < 10; ++i) {
            Flusso f = uscita(inizio + i);
            f.portaRemota = porta;
            f.ip = stessoIndirizzo ? "203.0.113.1" : tieni("203.0.113." + std::to_string(10 + i));
            flussi.push_back(f);
        }
        return scatti(TipoAttacco::scansioneUscita, flussi);
    };
    EXPECT_EQ(verso("443", false, 0), Indici{});
    EXPECT_EQ(verso("5900", true, 0), Indici{});
    EXPECT_EQ(verso("5900", false, 20), Indici{8});  // the same-address flows above count once
    EXPECT_EQ(verso("8081", false, 100), Indici{9});
}

TEST_F(SentinellaTest, NotoriousPorts) {
    auto verso = [&](std::string_view porta, std::string_view ip, std::string_view firma) {
        Flusso f = uscita(0, firma);
        f.portaRemota = porta;
        f.ip = ip;
        return di(TipoAttacco::portaMalfamata, {f})[0];
    };
    const auto sistema = verso("4444", "203.0.113.9", "/usr/libexec/terminale");
    ASSERT_EQ(sistema.size(), 1u);
    EXPECT_TRUE(sistema[0].bloccata);
    EXPECT_FALSE(sentinella.èContenuta("/usr/libexec/terminale", t(0)));
    EXPECT_TRUE(verso("445", "192.168.1.20", "/usr/bin/smbclient").empty());
    EXPECT_EQ(verso("445", "203.0.113.9", "/usr/bin/smbclient").size(), 1u);
    EXPECT_TRUE(verso("4445", "203.0.113.9", "/usr/bin/smbclient").empty());
}

TEST_F(SentinellaTest, UdpFloodTowardsOneHost) {
    auto flood = [&](std::string_view porta, std::string_view ip, double inizio) {
        std::vector<Flusso> flussi;
        for (int i = 0; i < 80; ++i) {
            Flusso f = uscita(inizio + i * 0.5, "/usr/bin/hping3");
            f.protocollo = "UDP";
            f.portaRemota = porta;
            f.ip = ip;
            f.host = ip;
            flussi.push_back(f);
        }
        return scatti(TipoAttacco::floodUDP, flussi);
    };
    EXPECT_EQ(flood("53", "203.0.113.7", 0), Indici{});
    EXPECT_EQ(flood("9999", "192.168.1.7", 0), Indici{});
    EXPECT_EQ(flood("9999", "203.0.113.7", 0), Indici{79});
}

TEST_F(SentinellaTest, KnownCommandAndControlAddress) {
    Flusso f = uscita(0);
    f.ip = "198.51.100.66";
    EXPECT_EQ(scatti(TipoAttacco::c2Noto, {f}), Indici{});
    std::string elenco;
    for (int i = 0; i < 60; ++i) elenco += "198.51.100." + std::to_string(i + 10) + "\n";
    ASSERT_EQ(c2.aggiorna(elenco), 60);
    Flusso altra = uscita(10, "com.apple.Music");
    altra.ip = "198.51.100.66";
    const auto risultati = di(TipoAttacco::c2Noto, {f, altra});
    ASSERT_EQ(risultati[0].size(), 1u);
    EXPECT_EQ(risultati[0][0], (Rilevazione{TipoAttacco::c2Noto, "/usr/bin/app", true}));
    EXPECT_TRUE(risultati[1].empty());
}

// ---- behaviour ----

TEST_F(SentinellaTest, BeaconingAtARegularRhythm) {
    auto contatto = [&](double s, std::string_view dominio = "example.org") {
        Flusso f = uscita(s, "/usr/bin/beacon");
        f.dominio = dominio;
        return f;
    };
    std::vector<Flusso> flussi;
    for (int i = 0; i < 20; ++i) flussi.push_back(contatto(i * 60.0));
    // Reported on the tenth; the list restarts from its last two times, and the same timer
    // towards the same destination is not reported again for six hours.
    EXPECT_EQ(scatti(TipoAttacco::beaconing, flussi), (Indici{9}));
    EXPECT_EQ(sentinella.tempiDestinazione("/usr/bin/beacon|example.org").size(), 10u);
    // Another destination of the same application, past the application's ten minutes.
    flussi.clear();
    for (int i = 0; i < 10; ++i) flussi.push_back(contatto(1200 + i * 60.0, "altro.example"));
    EXPECT_EQ(scatti(TipoAttacco::beaconing, flussi), (Indici{9}));
    // Six hours after its report, the first destination is reported again, once ten samples of
    // the new stretch are regular.
    flussi.clear();
    for (int i = 0; i < 10; ++i) flussi.push_back(contatto(540 + 21600 + i * 60.0));
    EXPECT_EQ(scatti(TipoAttacco::beaconing, flussi), (Indici{9}));
}

TEST_F(SentinellaTest, BeaconWithJitterFiresWhileHandUseDoesNot) {
    std::mt19937_64 caso(7);
    // A program's timer of 60 s with ±10 % of jitter: reported within its first ten contacts.
    std::uniform_real_distribution<double> scarto(-0.1, 0.1);
    std::vector<Flusso> flussi;
    double adesso = 0;
    for (int i = 0; i < 10; ++i) {
        flussi.push_back(uscita(adesso, "/usr/bin/jitter"));
        adesso += 60 * (1 + scarto(caso));
    }
    EXPECT_EQ(scatti(TipoAttacco::beaconing, flussi), (Indici{9}));
    // Contacts made by hand, at random, every 5 to 60 s on average, for a working day: sliding
    // windows of ten samples, one after the other, never look like a timer.
    for (double media : {5.0, 8.0, 10.0, 20.0, 60.0}) {
        const std::string_view firma = tieni("/usr/bin/mano" + std::to_string(media));
        std::exponential_distribution<double> attesa(1 / media);
        std::vector<Flusso> aCaso;
        for (double s = 0; s < 8 * 3600; s += attesa(caso)) aCaso.push_back(uscita(s, firma));
        EXPECT_EQ(scatti(TipoAttacco::beaconing, aCaso), Indici{}) << media;
    }
}

TEST_F(SentinellaTest, BeaconSamplesAreFiveSecondsApart) {
    for (int i = 0; i < 4; ++i) osserva(uscita(i * 3.0, "/usr/bin/rapid"));
    EXPECT_EQ(sentinella.tempiDestinazione("/usr/bin/rapid|example.org"),
              (std::vector<Data>{t(0), t(6)}));
    // Regular but too fast, or too slow.
    for (double passo : {9.0, 3601.0}) {
        std::vector<Flusso> flussi;
        const std::string_view firma = tieni("/usr/bin/regular" + std::to_string(passo));
        for (int i = 0; i < 15; ++i) flussi.push_back(uscita(i * passo, firma));
        EXPECT_EQ(scatti(TipoAttacco::beaconing, flussi), Indici{}) << passo;
    }
    // System applications and flows without a domain never touch the table.
    Flusso senzaDominio = uscita(0, "/usr/bin/nodomain");
    senzaDominio.dominio = "";
    osserva(senzaDominio);
    osserva(uscita(0, "/usr/libexec/daemon"));
    EXPECT_TRUE(sentinella.tempiDestinazione("/usr/bin/nodomain|").empty());
    EXPECT_TRUE(sentinella.tempiDestinazione("/usr/libexec/daemon|example.org").empty());
}

TEST_F(SentinellaTest, ManyMachineGeneratedNames) {
    const char* nomi[] = {"xkqzjvbnmwtr.com", "plmkqzxcvbnt.net", "wqrtzxcvbnmk.org",
                          "zxcvbnmqwrtp.info", "mnbvcxzlkjhg.biz"};
    std::vector<Flusso> diversi, uguali;
    for (int i = 0; i < 5; ++i) {
        Flusso f = uscita(i * 60.0, "/usr/bin/dga");
        f.host = nomi[i];
        diversi.push_back(f);
        Flusso g = uscita(i * 60.0, "/usr/bin/one");
        g.host = nomi[0];
        uguali.push_back(g);
    }
    EXPECT_EQ(scatti(TipoAttacco::dominiSospetti, diversi), Indici{4});
    EXPECT_EQ(scatti(TipoAttacco::dominiSospetti, uguali), Indici{});
    // A name first seen 300 s ago has left the window.
    std::vector<Flusso> lenti;
    for (int i = 0; i < 5; ++i) {
        Flusso f = uscita(1000 + i * 75.0, "/usr/bin/slow");
        f.host = nomi[i];
        lenti.push_back(f);
    }
    EXPECT_EQ(scatti(TipoAttacco::dominiSospetti, lenti), Indici{});
}

TEST_F(SentinellaTest, LookAlikeDomains) {
    auto verso = [&](std::string_view host, double s) {
        Flusso f = uscita(s, "com.apple.Safari");
        f.host = host;
        return !di(TipoAttacco::dominioContraffatto, {f})[0].empty();
    };
    EXPECT_TRUE(verso("XN--80AK6AA92E.COM", 0));
    EXPECT_TRUE(verso("example.xn--p1ai", 0));
    EXPECT_FALSE(verso("xn-abc.example", 0));
    EXPECT_FALSE(verso("axn--b.example", 0));
    EXPECT_FALSE(verso("example.xn--p1ai", 10));  // throttled by host
    EXPECT_TRUE(verso("EXAMPLE.xn--p1ai", 10));   // the host as passed is the key
}

TEST_F(SentinellaTest, NewApplicationReachingBareAddresses) {
    auto nudo = [&](double s, int indirizzo, bool nuova, std::string_view firma = "/tmp/dropper") {
        Flusso f = uscita(s, firma);
        f.ip = tieni("203.0.113." + std::to_string(indirizzo));
        f.host = *f.ip;
        f.appNuova = nuova;
        return f;
    };
    EXPECT_EQ(scatti(TipoAttacco::ipDiretto,
                     {nudo(0, 1, true), nudo(1, 1, true), nudo(2, 2, true), nudo(3, 3, true),
                      nudo(100, 4, true), nudo(599, 5, true), nudo(603, 6, true)}),
              (Indici{3, 6}));
    EXPECT_EQ(scatti(TipoAttacco::ipDiretto,
                     {nudo(0, 1, false, "/usr/bin/old"), nudo(1, 2, false, "/usr/bin/old"),
                      nudo(2, 3, false, "/usr/bin/old")}),
              Indici{});
    Flusso conNome = nudo(0, 7, true, "/usr/bin/named");
    conNome.host = "named.example";
    Flusso locale = nudo(0, 8, true, "/usr/bin/named");
    locale.ip = "192.168.0.8";
    locale.host = "192.168.0.8";
    EXPECT_EQ(scatti(TipoAttacco::ipDiretto, {conNome, locale, nudo(1, 9, true, "/usr/bin/named")}),
              Indici{});
}

TEST_F(SentinellaTest, PersistentChannelOverSixHours) {
    auto presenze = [&](std::string_view firma, int fasce) {
        std::vector<Flusso> flussi;
        for (int i = 0; i < fasce; ++i) flussi.push_back(uscita(i * 600.0, firma));
        return scatti(TipoAttacco::canalePersistente, flussi);
    };
    EXPECT_EQ(presenze("/usr/bin/agent", 30), Indici{29});
    EXPECT_EQ(presenze("/usr/lib/firefox-esr/firefox-esr", 36), Indici{});
    EXPECT_EQ(presenze("com.google.Chrome.helper", 36), Indici{});
    EXPECT_EQ(presenze("/usr/libexec/evolution-data-server", 36), Indici{});
    EXPECT_EQ(presenze("com.wireguard.macos", 36), Indici{});
    // Thirty of the last thirty-six slots, with gaps, are enough.
    std::vector<Flusso> conBuchi;
    for (int i = 0; i < 36; ++i) {
        if (i % 6 != 3) conBuchi.push_back(uscita(50000 + i * 600.0, "/usr/bin/gaps"));
    }
    EXPECT_EQ(scatti(TipoAttacco::canalePersistente, conBuchi), Indici{conBuchi.size() - 1});
    // A slot 35 back still counts, one 36 back no longer does.
    std::vector<Flusso> dentro{uscita(300000, "/usr/bin/edge2")};
    for (int i = 7; i <= 35; ++i) dentro.push_back(uscita(300000 + i * 600.0, "/usr/bin/edge2"));
    EXPECT_EQ(scatti(TipoAttacco::canalePersistente, dentro), Indici{dentro.size() - 1});
    std::vector<Flusso> fuori{uscita(400000, "/usr/bin/edge3")};
    for (int i = 7; i <= 36; ++i) {
        if (i != 8) fuori.push_back(uscita(400000 + i * 600.0, "/usr/bin/edge3"));
    }
    EXPECT_EQ(scatti(TipoAttacco::canalePersistente, fuori), Indici{});
    // Thirty slots scattered over more than six hours do not count together.
    std::vector<Flusso> sparse;
    for (int i = 0; i < 40; ++i) sparse.push_back(uscita(100000 + i * 1200.0, "/usr/bin/sparse"));
    EXPECT_EQ(scatti(TipoAttacco::canalePersistente, sparse), Indici{});
}

TEST_F(SentinellaTest, SlowExfiltrationOverEightHours) {
    auto flusso = [&](std::string_view firma, int ore) {
        std::vector<Flusso> flussi;
        for (int i = 0; i < 150; ++i) {
            flussi.push_back(uscita(static_cast<double>(i % ore) * 3600 + i, firma));
        }
        return scatti(TipoAttacco::esfiltrazioneLenta, flussi);
    };
    EXPECT_EQ(flusso("/usr/bin/seven", 7), Indici{});
    const auto otto = flusso("/usr/lib/firefox-esr/firefox-esr", 8);  // browsers count here
    EXPECT_EQ(otto, Indici{149});
    // An hour slot 23 back still counts; one 24 back no longer does.
    for (int ultima : {23, 24}) {
        const std::string_view firma = tieni("/usr/bin/trickle" + std::to_string(ultima));
        std::vector<Flusso> flussi;
        for (int i = 0; i < 9; ++i) flussi.push_back(uscita(500000 + i, firma));
        for (int ora = 1; ora <= 7; ++ora) {
            for (int i = 0; i < 20; ++i) flussi.push_back(uscita(500000 + ora * 3600.0 + i, firma));
        }
        flussi.push_back(uscita(500000 + ultima * 3600.0, firma));  // the 150th flow
        const Indici atteso = ultima == 23 ? Indici{149} : Indici{};
        EXPECT_EQ(scatti(TipoAttacco::esfiltrazioneLenta, flussi), atteso) << ultima;
    }
    // Once per 24 hours.
    std::vector<Flusso> dopo;
    for (int i = 0; i < 20; ++i)
        dopo.push_back(uscita(8 * 3600 + i, "/usr/lib/firefox-esr/firefox-esr"));
    EXPECT_EQ(scatti(TipoAttacco::esfiltrazioneLenta, dopo), Indici{});
}

TEST_F(SentinellaTest, QuicFromApplicationsThatAreNotBrowsers) {
    auto quic = [&](std::string_view firma) {
        Flusso f = uscita(0, firma);
        f.protocollo = "UDP";
        return !di(TipoAttacco::protocolloAnomalo, {f})[0].empty();
    };
    EXPECT_FALSE(quic("org.mozilla.firefox"));
    EXPECT_FALSE(quic("/usr/lib/chromium/chromium"));
    EXPECT_FALSE(quic("com.google.Chrome.beta"));
    EXPECT_FALSE(quic("/usr/libexec/packagekitd"));
    EXPECT_FALSE(quic("com.cloudflare.1dot1dot1dot1"));
    EXPECT_FALSE(quic("sconosciuta"));
    EXPECT_TRUE(quic("/usr/bin/curl"));
}

// ---- local network ----

TEST_F(SentinellaTest, LateralMovementInTheLocalNetwork) {
    std::vector<std::vector<Rilevazione>> risultati;
    for (int i = 0; i < 8; ++i) {
        risultati.push_back(sentinella.osservaLan(
            t(i * 60.0), "/usr/bin/worm", tieni("192.168.1." + std::to_string(i + 1)), "445"));
    }
    for (int i = 0; i < 7; ++i) EXPECT_TRUE(risultati[static_cast<std::size_t>(i)].empty());
    ASSERT_EQ(risultati[7].size(), 1u);
    EXPECT_EQ(risultati[7][0], (Rilevazione{TipoAttacco::lateraleLAN, "/usr/bin/worm", false}));
    EXPECT_TRUE(sentinella.osservaLan(t(500), "/usr/bin/worm", "192.168.1.99", "445").empty());

    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(sentinella.osservaLan(t(i), "/usr/bin/same", "192.168.1.2", "22").empty());
        EXPECT_TRUE(
            sentinella
                .osservaLan(t(i), "/usr/bin/web", tieni("192.168.1." + std::to_string(i)), "80")
                .empty());
        EXPECT_TRUE(
            sentinella
                .osservaLan(t(i), "io.tailscale.ipn", tieni("100.64.0." + std::to_string(i)), "22")
                .empty());
    }
}

// ---- helpers ----

TEST(SentinellaEuristiche, InfrastructurePrefixesIncludeTheDot) {
    EXPECT_TRUE(Sentinella::èInfrastruttura("com.tailscale.ipn.macos"));
    EXPECT_TRUE(Sentinella::èInfrastruttura("com.privateinternetaccess.vpn"));
    EXPECT_FALSE(Sentinella::èInfrastruttura("com.tailscalex"));
    EXPECT_FALSE(Sentinella::èInfrastruttura("com.tailscale"));
    EXPECT_FALSE(Sentinella::èInfrastruttura("COM.TAILSCALE.ipn"));
}

TEST(SentinellaEuristiche, MachineGeneratedNames) {
    for (const char* normale :
         {"?", "", "203.0.113.5", "2001:db8::1", "xkqzjvbnmwtr.local", "deadbeef0123456789.cdn.net",
          "0123456789abcdef-cafe.dead.be", "xkqzjvbnmwt.com", "www.wikipedia.org",
          "abcdefghijkl.com", "...", "xk1qz2jv3bn.com"}) {
        EXPECT_FALSE(Sentinella::nomeSospetto(normale)) << normale;
    }
    // Twelve characters of which seven letters: not enough letters.
    EXPECT_FALSE(Sentinella::nomeSospetto("xkqzjvb12345.com"));
    // Fewer than 22 % vowels among at least eight letters.
    EXPECT_TRUE(Sentinella::nomeSospetto("xkqzjvbnmwtr.com"));
    EXPECT_TRUE(Sentinella::nomeSospetto("XKQZJVBNMWTR.COM"));
    EXPECT_TRUE(Sentinella::nomeSospetto(".xkqzjvbnmwtr.com"));
    // 30 % vowels: suspicious only with more than 30 % digits.
    EXPECT_FALSE(Sentinella::nomeSospetto("abexkqtrvzzi.net"));    // 3/12 vowels, no digits
    EXPECT_FALSE(Sentinella::nomeSospetto("aeixkqtrvz1234.net"));  // 3/10 vowels, 4/14 digits
    EXPECT_TRUE(Sentinella::nomeSospetto("aeixkqtrvz12345.net"));  // 3/10 vowels, 5/15 digits
}

TEST(SentinellaEuristiche, NameCharactersAreUserPerceivedCharacters) {
    // "é" written as e + combining acute is one character, a letter, and not a vowel.
    const std::string composta =
        "bcdfgh"
        "e\u0301"
        "jklmn.example";  // 12 characters
    EXPECT_TRUE(Sentinella::nomeSospetto(composta));
    // The same with only eleven characters.
    EXPECT_FALSE(
        Sentinella::nomeSospetto("bcdfg"
                                 "e\u0301"
                                 "jklmn.example"));
    // Arabic-Indic digits are numeric: a name made of them and dots is an address-like literal.
    EXPECT_FALSE(Sentinella::nomeSospetto("\u0661\u0662\u0663.\u0664\u0665"));
    // Non-ASCII digits count in the digit ratio: 8 letters with 2 vowels (25 %) and six
    // Devanagari digits (6 of 14) make a suspicious name; six hyphens instead do not.
    EXPECT_TRUE(Sentinella::nomeSospetto("abekqtrv\u0966\u0967\u0968\u0969\u096a\u096b.net"));
    EXPECT_FALSE(Sentinella::nomeSospetto("abekqtrv------.net"));
    // Accented vowels are letters but not vowels.
    EXPECT_TRUE(Sentinella::nomeSospetto("\u00e0\u00e8\u00ec\u00f2\u00f9kqtrvzxw.example"));
}

TEST(SentinellaEuristiche, WhatIsOutOfAnApplicationsHabits) {
    auto fuori = [](TipoAttacco tipo, bool bloccata, std::string_view firma, bool affermata,
                    bool abituale) {
        return Sentinella::fuoriAbitudine({tipo, std::string(firma), bloccata}, firma, affermata,
                                          abituale);
    };
    const std::string_view posta = "/usr/bin/thunderbird";
    for (TipoAttacco tipo :
         {TipoAttacco::beaconing, TipoAttacco::canalePersistente, TipoAttacco::esfiltrazioneLenta,
          TipoAttacco::protocolloAnomalo, TipoAttacco::raffica}) {
        SCOPED_TRACE(std::string(valoreGrezzo(tipo)));
        // Everyday software towards its own servers stays quiet...
        EXPECT_FALSE(fuori(tipo, false, posta, true, true));
        // ...not towards a new destination, nor when new itself or not verified.
        EXPECT_TRUE(fuori(tipo, false, posta, true, false));
        EXPECT_TRUE(fuori(tipo, false, posta, false, true));
        EXPECT_TRUE(fuori(tipo, false, "?/home/u/bin/posta", true, true));
        EXPECT_TRUE(fuori(tipo, false, "sconosciuta", true, true));
    }
    // A browser's burst spans many destinations: it is judged by the browser alone.
    EXPECT_FALSE(fuori(TipoAttacco::raffica, false, "org.mozilla.firefox", true, false));
    EXPECT_TRUE(fuori(TipoAttacco::raffica, false, "org.mozilla.firefox", false, false));
    // The other patterns are never a habit; a source stopped tells by its event alone.
    for (TipoAttacco tipo :
         {TipoAttacco::dominiSospetti, TipoAttacco::dominioContraffatto, TipoAttacco::ipDiretto,
          TipoAttacco::lateraleLAN, TipoAttacco::tunnelDNS, TipoAttacco::floodUDP}) {
        EXPECT_TRUE(fuori(tipo, false, posta, true, true)) << valoreGrezzo(tipo);
    }
    EXPECT_FALSE(fuori(TipoAttacco::c2Noto, true, posta, true, true));
    EXPECT_FALSE(fuori(TipoAttacco::raffica, true, posta, false, false));
}

TEST(SentinellaEuristiche, RegularRhythm) {
    auto tempi = [](std::initializer_list<double> intervalli) {
        std::vector<Data> risultato{t(0)};
        for (double i : intervalli) risultato.push_back(risultato.back().piùSecondi(i));
        return risultato;
    };
    EXPECT_FALSE(Sentinella::èRitmoRegolare(tempi({60, 60})));
    EXPECT_TRUE(Sentinella::èRitmoRegolare(tempi({60, 60, 60})));
    EXPECT_TRUE(Sentinella::èRitmoRegolare(tempi({60, 60, 60, 60, 60, 60, 60, 60, 60})));
    EXPECT_FALSE(Sentinella::èRitmoRegolare(tempi({5, 5, 5, 5, 5, 5, 5, 5, 5})));
    EXPECT_TRUE(Sentinella::èRitmoRegolare(tempi({10, 10, 10})));
    EXPECT_TRUE(Sentinella::èRitmoRegolare(tempi({3600, 3600, 3600})));
    EXPECT_FALSE(Sentinella::èRitmoRegolare(tempi({3601, 3601, 3601})));
    EXPECT_FALSE(Sentinella::èRitmoRegolare(tempi({30, 90, 30, 90, 30, 90, 30, 90, 30, 90})));
    // Coefficient of variation exactly 0.12 is regular; 0.13 is not.
    EXPECT_TRUE(Sentinella::èRitmoRegolare(tempi({88, 112, 88, 112})));
    EXPECT_FALSE(Sentinella::èRitmoRegolare(tempi({87, 113, 87, 113})));
}

}  // namespace
}  // namespace ostrale
