// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/filter-data-provider.h"

#include <ctime>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/storico.h"
#include "test/supporto/cartella-temporanea.h"
#include "test/supporto/finti-estensione.h"

namespace ostrale {
namespace {

using test::FlussoFinto;

// 2026-12-05 12:00:00 UTC: the tests pin TZ to UTC, so this is noon local time.
const Data mezzogiorno = Data::daUnix(1796472000.0);

class ProviderTest : public ::testing::Test {
  public:
    test::ContenitoreTemporaneo contenitore;
    test::CartellaTemporanea risorse;
    test::VariabileAmbiente variabileRisorse{"OSTRALE_RISORSE", risorse.percorso().string()};
    test::VariabileAmbiente fuso{"TZ", "UTC0"};
    OrologioFinto orologio{mezzogiorno};
    test::PianificatoreFinto pianificatore{orologio};
    test::RisolutoreFinto identità;
    test::CanaleFinto canale;
    BlocklistC2 c2{orologio};
    Tracker tracker = Tracker::daTesto("tracker.example\n");
    std::shared_ptr<DestinazioneMemoria> log = std::make_shared<DestinazioneMemoria>();
    std::shared_ptr<DestinazioneRegistro> logPrecedente = Registro::impostaDestinazione(log);
    std::shared_ptr<FilterDataProvider> provider =
        FilterDataProvider::crea({orologio, pianificatore, identità, canale, c2, tracker});

    ProviderTest() {
        ::tzset();
        for (const char* firma : {"/usr/bin/curl", "/usr/lib/systemd/systemd-resolved",
                                  "org.mozilla.firefox", "/usr/bin/nuova", "/usr/bin/ssh"}) {
            identità.imposta(test::tokenDi(static_cast<int>(firme.size())), firma);
            firme.emplace_back(firma);
        }
    }
    ~ProviderTest() override {
        Registro::impostaDestinazione(logPrecedente);
        ::unsetenv("TZ");
        ::tzset();
    }

    std::vector<std::string> firme;
    static constexpr int curl = 0, resolved = 1, firefox = 2, nuova = 3, ssh = 4;

    std::shared_ptr<FlussoFinto> uscita(int app, std::string ip = "203.0.113.10",
                                        std::string porta = "443",
                                        std::optional<std::string> nome = "www.example.org") {
        auto f = std::make_shared<FlussoFinto>();
        f->tokenApp = test::tokenDi(app);
        f->nome = std::move(nome);
        f->estremoRemoto = Estremo{std::move(ip), std::move(porta)};
        return f;
    }
    std::shared_ptr<FlussoFinto> entrata(std::string ip, std::string portaLocale) {
        auto f = std::make_shared<FlussoFinto>();
        f->entrata = true;
        f->nome.reset();
        f->estremoRemoto = Estremo{std::move(ip), "40000"};
        f->estremoLocale = Estremo{"10.0.0.2", std::move(portaLocale)};
        return f;
    }

    void regole(std::function<void(StatoRegole&)> modifica) {
        StatoRegole stato;
        modifica(stato);
        provider->applicaRegole(stato);
    }

    static Regola regolaApp(std::string firma, AzioneRegola azione,
                            std::optional<FasciaOraria> fascia = std::nullopt, bool attiva = true) {
        Regola r;
        r.firmaApp = std::move(firma);
        r.azione = azione;
        r.fascia = fascia;
        r.attiva = attiva;
        return r;
    }

    // The reason of the latest recorded flow event that is not an attack event.
    std::optional<MotivoDecisione> ultimoMotivo() {
        const auto registro = provider->flussi();
        for (auto it = registro.rbegin(); it != registro.rend(); ++it) {
            if (!it->attacco) return it->motivo;
        }
        return std::nullopt;
    }

    std::vector<TipoAttacco> attacchiRegistrati() {
        std::vector<TipoAttacco> tipi;
        for (const auto& e : provider->flussi()) {
            if (e.attacco) tipi.push_back(*e.attacco);
        }
        return tipi;
    }

    void c2Con(const std::string& indirizzo) {
        std::string elenco = indirizzo + "\n";
        for (int i = 0; i < 60; ++i) elenco += "192.0.2." + std::to_string(i) + "\n";
        ASSERT_GT(c2.aggiorna(elenco), 0);
    }
};

// ---- decision order ----

TEST_F(ProviderTest, PrecedenceOfTheDecision) {
    struct Caso {
        const char* nome;
        std::function<void(ProviderTest&)> prepara;
        std::function<std::shared_ptr<FlussoFinto>(ProviderTest&)> flusso;
        Verdetto verdetto;
        MotivoDecisione motivo;
    };
    auto blocca = [](int app) {
        return [app](ProviderTest& t) {
            t.regole([&](StatoRegole& s) {
                s.regole.push_back(regolaApp(t.firme[app], AzioneRegola::blocca));
            });
        };
    };
    auto consenti = [](int app) {
        return [app](ProviderTest& t) {
            t.regole([&](StatoRegole& s) {
                s.regole.push_back(regolaApp(t.firme[app], AzioneRegola::consenti));
            });
        };
    };
    auto curlVerso = [](std::string ip, std::string porta, std::string nome) {
        return [=](ProviderTest& t) { return t.uscita(curl, ip, porta, nome); };
    };
    const std::vector<Caso> casi{
        {"domain rule over app rule",
         [](ProviderTest& t) {
             t.regole([&](StatoRegole& s) {
                 s.regole.push_back(regolaApp(t.firme[curl], AzioneRegola::blocca));
                 s.regoleDominio.push_back(
                     {Uuid::genera(), "Example.org", AzioneRegola::consenti, true});
             });
         },
         curlVerso("203.0.113.10", "443", "api.eu.example.org"), Verdetto::consenti,
         MotivoDecisione::dominio},
        {"app rule over the command-and-control list",
         [&](ProviderTest& t) {
             consenti(curl)(t);
             t.c2Con("203.0.113.66");
         },
         curlVerso("203.0.113.66", "443", "c2.example"), Verdetto::consenti,
         MotivoDecisione::regola},
        {"app rule over a notorious port", consenti(curl),
         curlVerso("203.0.113.10", "4444", "x.example"), Verdetto::consenti,
         MotivoDecisione::regola},
        {"notorious port", [](ProviderTest&) {}, curlVerso("203.0.113.10", "4444", "x.example"),
         Verdetto::blocca, MotivoDecisione::attacco},
        {"SMB to a public address", [](ProviderTest&) {},
         curlVerso("203.0.113.10", "445", "x.example"), Verdetto::blocca, MotivoDecisione::attacco},
        {"command-and-control address", [](ProviderTest& t) { t.c2Con("203.0.113.66"); },
         curlVerso("203.0.113.66", "443", "c2.example"), Verdetto::blocca,
         MotivoDecisione::attacco},
        {"app rule", blocca(curl), curlVerso("203.0.113.10", "443", "www.example.org"),
         Verdetto::blocca, MotivoDecisione::regola},
        {"tracker beats system trust",
         [](ProviderTest& t) {
             t.regole([](StatoRegole& s) { s.impostazioni.bloccaTracker = true; });
         },
         [](ProviderTest& t) {
             return t.uscita(resolved, "203.0.113.10", "443", "px.tracker.example");
         },
         Verdetto::blocca, MotivoDecisione::tracker},
        {"system trust over blocking unknown applications",
         [](ProviderTest& t) {
             t.regole([](StatoRegole& s) {
                 s.impostazioni.bloccaTracker = true;
                 s.impostazioni.bloccaSconosciute = true;
             });
         },
         [](ProviderTest& t) { return t.uscita(resolved); }, Verdetto::consenti,
         MotivoDecisione::sistema},
        {"inactive rule is passed over",
         [](ProviderTest& t) {
             t.regole([&](StatoRegole& s) {
                 s.regole.push_back(
                     regolaApp(t.firme[curl], AzioneRegola::blocca, std::nullopt, false));
             });
         },
         curlVerso("203.0.113.10", "443", "www.example.org"), Verdetto::consenti,
         MotivoDecisione::predefinita},
        {"unknown applications blocked",
         [](ProviderTest& t) {
             t.regole([](StatoRegole& s) { s.impostazioni.bloccaSconosciute = true; });
         },
         curlVerso("203.0.113.10", "443", "www.example.org"), Verdetto::blocca,
         MotivoDecisione::predefinita},
        {"no address and no name", [](ProviderTest&) {},
         [](ProviderTest& t) {
             auto f = t.uscita(curl);
             f->nome.reset();
             f->estremoRemoto.reset();
             return f;
         },
         Verdetto::consenti, MotivoDecisione::predefinita},
    };
    for (const Caso& caso : casi) {
        ProviderTest& t = *this;
        provider =
            FilterDataProvider::crea({orologio, pianificatore, identità, canale, c2, tracker});
        caso.prepara(t);
        EXPECT_EQ(provider->handleNewFlow(caso.flusso(t)), caso.verdetto) << caso.nome;
        EXPECT_EQ(ultimoMotivo(), caso.motivo) << caso.nome;
    }
}

TEST_F(ProviderTest, TimeWindowsApplyInsideOnly) {
    regole([&](StatoRegole& s) {
        s.regole.push_back(regolaApp(firme[curl], AzioneRegola::blocca, FasciaOraria{1320, 420}));
    });
    orologio.imposta(mezzogiorno.piùSecondi(11.5 * 3600));  // 23:30
    EXPECT_EQ(provider->handleNewFlow(uscita(curl)), Verdetto::blocca);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::fascia);
    orologio.imposta(mezzogiorno.piùSecondi(18 * 3600 + 59 * 60));  // 06:59
    EXPECT_EQ(provider->handleNewFlow(uscita(curl)), Verdetto::blocca);
    orologio.imposta(mezzogiorno.piùSecondi(24 * 3600));  // 12:00 the next day
    EXPECT_EQ(provider->handleNewFlow(uscita(curl)), Verdetto::consenti);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::predefinita);
}

TEST_F(ProviderTest, QuarantineOfNewApplications) {
    regole([](StatoRegole& s) {
        s.impostazioni.quarantenaAttiva = true;
        s.impostazioni.giorniQuarantena = 3;
    });
    provider->handleNewFlow(uscita(nuova));  // first seen now
    orologio.avanza(71 * 3600);
    EXPECT_EQ(provider->handleNewFlow(uscita(nuova)), Verdetto::blocca);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::quarantena);
    orologio.avanza(3600);
    EXPECT_EQ(provider->handleNewFlow(uscita(nuova)), Verdetto::consenti);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::predefinita);

    regole([](StatoRegole& s) {
        s.impostazioni.quarantenaAttiva = true;
        s.impostazioni.giorniQuarantena = 0;
    });
    EXPECT_EQ(provider->handleNewFlow(uscita(ssh)), Verdetto::consenti);
    // Unknown applications and system services are never quarantined.
    regole([](StatoRegole& s) { s.impostazioni.quarantenaAttiva = true; });
    auto sconosciuta = uscita(curl);
    sconosciuta->tokenApp.reset();
    EXPECT_EQ(provider->handleNewFlow(sconosciuta), Verdetto::consenti);
    regole([](StatoRegole& s) {
        s.impostazioni.quarantenaAttiva = true;
        s.impostazioni.fidatiApple = false;
    });
    EXPECT_EQ(provider->handleNewFlow(uscita(resolved)), Verdetto::consenti);
}

// ---- exemptions ----

TEST_F(ProviderTest, LocalNetworkPassesUnjudgedButItsDetectionsAreReported) {
    regole([](StatoRegole& s) { s.impostazioni.bloccaSconosciute = true; });
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "192.168.1.20", "80")), Verdetto::consenti);
    EXPECT_TRUE(provider->flussi().empty());
    EXPECT_TRUE(provider->storico().ore.empty());
    EXPECT_TRUE(canale.flussiInviati().empty());

    for (int i = 1; i <= 8; ++i)
        provider->handleNewFlow(uscita(ssh, "192.168.1." + std::to_string(i), "22"));
    const auto eventi = provider->flussi();
    ASSERT_EQ(eventi.size(), 1u);
    EXPECT_EQ(eventi[0].attacco, TipoAttacco::lateraleLAN);
    EXPECT_EQ(eventi[0].porta, "22");
    EXPECT_EQ(eventi[0].indirizzoIP, "192.168.1.8");
    EXPECT_TRUE(provider->storico().app.empty());

    // Without the exemption a local flow is judged like any other.
    regole([](StatoRegole& s) {
        s.impostazioni.escludiLan = false;
        s.impostazioni.bloccaSconosciute = true;
    });
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "192.168.1.20", "80")), Verdetto::blocca);
    EXPECT_EQ(provider->storico().ip.at("192.168.1.20").bloccati, 1);
}

TEST_F(ProviderTest, InboundFlowsPassUnlessTheirSourceIsBlocked) {
    EXPECT_EQ(provider->handleNewFlow(entrata("198.51.100.9", "8080")), Verdetto::consenti);
    EXPECT_TRUE(provider->flussi().empty());
    EXPECT_TRUE(provider->storico().app.empty());

    for (int porta = 1; porta <= 8; ++porta) {
        EXPECT_EQ(provider->handleNewFlow(entrata("198.51.100.9", std::to_string(porta))),
                  Verdetto::consenti);
    }
    // The tenth distinct port makes a scan: the source is blocked, and this flow is decided.
    EXPECT_EQ(provider->handleNewFlow(entrata("198.51.100.9", "10")), Verdetto::blocca);
    auto eventi = provider->flussi();
    ASSERT_EQ(eventi.size(), 2u);
    EXPECT_EQ(eventi[0].motivo, MotivoDecisione::attacco);
    EXPECT_FALSE(eventi[0].attacco);
    EXPECT_EQ(eventi[1].attacco, TipoAttacco::scansione);
    EXPECT_EQ(eventi[1].porta, "10");  // the local port for inbound detections
    EXPECT_EQ(eventi[1].direzione, DirezioneFlusso::entrata);
    EXPECT_FALSE(eventi[1].consentito);

    // A domain rule still allows a blocked source.
    regole([](StatoRegole& s) {
        s.regoleDominio.push_back(
            {Uuid::genera(), "partner.example", AzioneRegola::consenti, true});
    });
    auto nominato = entrata("198.51.100.9", "443");
    nominato->nome = "gw.partner.example";
    EXPECT_EQ(provider->handleNewFlow(nominato), Verdetto::consenti);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::dominio);

    // With inbound filtering on, inbound flows are judged and counted.
    regole([](StatoRegole& s) { s.impostazioni.filtraEntrata = true; });
    EXPECT_EQ(provider->handleNewFlow(entrata("198.51.100.20", "22")), Verdetto::consenti);
    EXPECT_EQ(provider->storico().ip.at("198.51.100.20").entrata, 1);
}

TEST_F(ProviderTest, ARuleOfAnAddressCoversItsFlowsWhateverTheirNameOrDirection) {
    // As the user's decisions about attack sources make them; the file may hold any spelling.
    regole([](StatoRegole& s) {
        s.regoleDominio.push_back({Uuid::genera(), "2001:DB8:0::66", AzioneRegola::blocca, true});
        s.regoleDominio.push_back({Uuid::genera(), "192.168.1.66", AzioneRegola::blocca, true});
        s.regoleDominio.push_back({Uuid::genera(), "ok.example", AzioneRegola::consenti, true});
    });
    // Inbound, with inbound filtering off (the default): refused all the same.
    EXPECT_EQ(provider->handleNewFlow(entrata("2001:db8::66", "22")), Verdetto::blocca);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::dominio);
    EXPECT_EQ(provider->handleNewFlow(entrata("2001:db8::67", "22")), Verdetto::consenti);
    // Outbound, under a name whose own rule allows: the address's rule comes first.
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "2001:db8::66", "443", "www.ok.example")),
              Verdetto::blocca);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "2001:db8::1", "443", "www.ok.example")),
              Verdetto::consenti);
    // A local address the user ruled on is not exempt; its neighbours are.
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "192.168.1.66", "80")), Verdetto::blocca);
    EXPECT_EQ(provider->handleNewFlow(entrata("192.168.1.66", "8080")), Verdetto::blocca);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "192.168.1.65", "80")), Verdetto::consenti);
}

TEST_F(ProviderTest, SignalsOffMeansNoDetectorNoPortCheckNoList) {
    regole([](StatoRegole& s) { s.impostazioni.rilevaAttacchi = false; });
    c2Con("203.0.113.66");
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.66", "4444")), Verdetto::consenti);
    for (int porta = 1; porta <= 12; ++porta)
        provider->handleNewFlow(entrata("198.51.100.9", std::to_string(porta)));
    EXPECT_TRUE(attacchiRegistrati().empty());
}

// ---- recording and pushing ----

TEST_F(ProviderTest, EventsAreRecordedAndPushedAsConfigured) {
    auto f = uscita(curl, "203.0.113.10", "3478", "Api.EU.Service.COM");
    f->numeroProtocollo = 17;
    EXPECT_EQ(provider->handleNewFlow(f), Verdetto::consenti);
    const auto inviati = canale.flussiInviati();
    ASSERT_EQ(inviati.size(), 1u);
    const EventoFlusso& e = inviati[0];
    EXPECT_EQ(e.firmaApp, "/usr/bin/curl");
    EXPECT_EQ(e.host, "Api.EU.Service.COM");
    EXPECT_EQ(e.porta, "3478");
    EXPECT_EQ(e.protocollo, "UDP");
    EXPECT_EQ(e.indirizzoIP, "203.0.113.10");
    EXPECT_EQ(e.anomala, false);
    EXPECT_EQ(e.data, mezzogiorno);
    EXPECT_EQ(provider->copiaMemoria().abitudini.at("/usr/bin/curl"),
              (std::unordered_set<std::string>{"service.com"}));

    // Allowed ordinary flows are only logged when the user does not want them all.
    regole([](StatoRegole& s) { s.impostazioni.registraConsentiti = false; });
    provider->handleNewFlow(uscita(curl));
    EXPECT_EQ(canale.flussiInviati().size(), 1u);
    EXPECT_EQ(provider->flussi().size(), 2u);
    regole([](StatoRegole& s) {
        s.impostazioni.registraConsentiti = false;
        s.impostazioni.bloccaSconosciute = true;
    });
    provider->handleNewFlow(uscita(curl));
    EXPECT_EQ(canale.flussiInviati().size(), 2u);

    // Tracker flows are counted whatever the verdict.
    provider->handleNewFlow(uscita(firefox, "203.0.113.11", "443", "cdn.tracker.example"));
    const auto storico = provider->storico();
    EXPECT_EQ(storico.ore.at(Storico::chiaveOra(mezzogiorno)).tracker, 1);
    EXPECT_EQ(storico.app.at("org.mozilla.firefox").tracker, 1);
    EXPECT_EQ(storico.app.at("/usr/bin/curl").bloccati, 1);
    EXPECT_EQ(storico.ip.at("203.0.113.11").host, "cdn.tracker.example");
}

TEST_F(ProviderTest, RegistrableDomain) {
    EXPECT_EQ(dominioDi("api.eu.service.com"), "service.com");
    EXPECT_EQ(dominioDi("Example.ORG"), "example.org");
    EXPECT_EQ(dominioDi("203.0.113.7"), "");
    EXPECT_EQ(dominioDi("?"), "");
    EXPECT_EQ(dominioDi("2001:db8::a"), "2001:db8::a");
    EXPECT_EQ(dominioDi("2001:4860::8888"), "");
    EXPECT_EQ(dominioDi("a..b.c."), "b.c");
    EXPECT_EQ(dominioDi("\u0661\u0662.\u0663"), "");
    EXPECT_EQ(dominioDi("WWW.CITTÀ.IT"), "città.it");
}

TEST_F(ProviderTest, DomainRulesMatchTheMostSpecificActiveParent) {
    regole([](StatoRegole& s) {
        s.regoleDominio.push_back({Uuid::genera(), "a.b.example.com", AzioneRegola::blocca, false});
        s.regoleDominio.push_back({Uuid::genera(), "b.example.com", AzioneRegola::consenti, true});
        s.regoleDominio.push_back({Uuid::genera(), "Example.COM", AzioneRegola::blocca, true});
        s.regoleDominio.push_back({Uuid::genera(), "com", AzioneRegola::blocca, true});
    });
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.1", "443", "x.a.b.example.com")),
              Verdetto::consenti);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.1", "443", "C.EXAMPLE.COM")),
              Verdetto::blocca);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.1", "443", "other.com")),
              Verdetto::consenti);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::predefinita);  // "com" never matches
}

TEST_F(ProviderTest, IdentityCache) {
    auto senzaToken = uscita(curl);
    senzaToken->tokenApp.reset();
    provider->handleNewFlow(senzaToken);
    EXPECT_EQ(provider->flussi().back().firmaApp, "sconosciuta");

    // An identity that cannot be found is asked again for every flow.
    const int prima = identità.numeroChiamate();
    provider->handleNewFlow(uscita(999));
    provider->handleNewFlow(uscita(999));
    EXPECT_EQ(identità.numeroChiamate() - prima, 2);
    EXPECT_EQ(provider->vociCacheFirme(), 0u);

    for (int i = 1000; i < 1513; ++i)
        identità.imposta(test::tokenDi(i), "/opt/app" + std::to_string(i));
    identità.imposta(test::tokenDi(1513), "/opt/ultima");
    for (int i = 1000; i < 1513; ++i)
        EXPECT_EQ(provider->firmaApp(test::tokenDi(i)), "/opt/app" + std::to_string(i));
    EXPECT_EQ(provider->vociCacheFirme(), 513u);
    EXPECT_EQ(provider->firmaApp(test::tokenDi(1513)), "/opt/ultima");
    EXPECT_EQ(provider->vociCacheFirme(), 1u);
    const int dopo = identità.numeroChiamate();
    provider->firmaApp(test::tokenDi(1513));
    EXPECT_EQ(identità.numeroChiamate(), dopo);
}

// A source may give the verdict first and let the bookkeeping wait: nothing is recorded before
// it runs, it runs in the order of the verdicts, and a question waits for what came before.
TEST_F(ProviderTest, BookkeepingThatWaitsKeepsTheOrderOfTheVerdicts) {
    std::deque<std::function<void()>> rimandati;
    auto flusso = [&](const char* host) {
        auto f = uscita(curl, "203.0.113.10", "443", std::string(host));
        f->rimandati = &rimandati;
        return f;
    };
    const auto primo = flusso("uno.example.org");
    const auto secondo = flusso("due.example.org");
    EXPECT_EQ(provider->handleNewFlow(primo), Verdetto::consenti);
    EXPECT_EQ(provider->handleNewFlow(secondo), Verdetto::consenti);
    EXPECT_EQ(primo->decisioni, std::vector<bool>{true});
    EXPECT_EQ(rimandati.size(), 2u);
    EXPECT_TRUE(provider->flussi().empty());
    EXPECT_TRUE(canale.flussiInviati().empty());
    primo->completaRimandati();
    ASSERT_EQ(provider->flussi().size(), 2u);
    EXPECT_EQ(provider->flussi()[0].host, "uno.example.org");
    EXPECT_EQ(provider->flussi()[1].host, "due.example.org");
    EXPECT_EQ(canale.flussiInviati().size(), 2u);

    canale.connetti(true);
    auto altra = uscita(firefox, "203.0.113.11", "443", std::string("tre.example.org"));
    altra->rimandati = &rimandati;
    regole([](StatoRegole& s) {
        s.impostazioni.chiediPrima = true;
        s.impostazioni.bloccaSconosciute = true;
        Regola r;
        r.firmaApp = "org.mozilla.firefox";
        s.regole.push_back(r);
    });
    EXPECT_EQ(provider->handleNewFlow(altra), Verdetto::consenti);
    EXPECT_EQ(rimandati.size(), 1u);
    const auto domanda = flusso("quattro.example.org");
    EXPECT_EQ(provider->handleNewFlow(domanda), Verdetto::sospendi);
    EXPECT_TRUE(rimandati.empty());  // firefox's flow was recorded before curl was asked about
    ASSERT_EQ(provider->flussi().size(), 3u);
    EXPECT_EQ(provider->flussi()[2].host, "tre.example.org");
}

// ---- paused flows ----

TEST_F(ProviderTest, FlowsArePausedOnlyWhileTheAppCanAnswer) {
    regole([](StatoRegole& s) {
        s.impostazioni.chiediPrima = true;
        s.impostazioni.bloccaSconosciute = true;
        s.impostazioni.bloccaTracker = true;
    });
    EXPECT_EQ(provider->handleNewFlow(uscita(curl)), Verdetto::blocca);
    canale.connetti(true);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl)), Verdetto::sospendi);
    EXPECT_EQ(provider->flussi().size(), 1u);  // the paused flow is not recorded
    EXPECT_EQ(canale.domandeInviate().size(), 1u);
    // Trackers, attacks and unknown applications are never paused.
    EXPECT_EQ(provider->handleNewFlow(uscita(firefox, "203.0.113.5", "443", "a.tracker.example")),
              Verdetto::blocca);
    EXPECT_EQ(provider->handleNewFlow(uscita(firefox, "203.0.113.5", "4444")), Verdetto::blocca);
    auto sconosciuta = uscita(curl);
    sconosciuta->tokenApp.reset();
    EXPECT_EQ(provider->handleNewFlow(sconosciuta), Verdetto::blocca);
}

TEST_F(ProviderTest, OneQuestionPerBatchAndOneAnswerForAll) {
    regole([](StatoRegole& s) {
        s.impostazioni.chiediPrima = true;
        s.impostazioni.bloccaSconosciute = true;
    });
    canale.connetti(true);
    std::vector<std::shared_ptr<FlussoFinto>> lotto;
    for (int i = 0; i < 3; ++i) {
        lotto.push_back(uscita(curl));
        EXPECT_EQ(provider->handleNewFlow(lotto.back()), Verdetto::sospendi);
        pianificatore.avanza(5);
    }
    EXPECT_EQ(canale.domandeInviate().size(), 1u);
    EXPECT_EQ(canale.domandeInviate()[0].motivo, MotivoDecisione::predefinita);
    EXPECT_EQ(provider->flussiSospesi("/usr/bin/curl"), 3u);

    test::SorgenteFinta sorgente;
    provider->startFilter(sorgente, nullptr);
    canale.gestori.suDecisione("/usr/bin/curl", true, 0u);
    for (const auto& f : lotto) EXPECT_EQ(f->riprese(), std::vector<bool>{true});
    EXPECT_TRUE(log->contiene("Flussi sospesi risolti per /usr/bin/curl: 3 → consenti"));
    const auto storico = provider->storico();
    EXPECT_EQ(storico.ore.at(Storico::chiaveOra(orologio.adesso())).consentiti, 3);
    EXPECT_EQ(storico.app.at("/usr/bin/curl").totale, 3);
    // The application's next flows, before its rule arrives, follow the answer: no second
    // question. Half a minute later the answer no longer decides. (The start read the rules
    // from the container: they are set again.)
    regole([](StatoRegole& s) {
        s.impostazioni.chiediPrima = true;
        s.impostazioni.bloccaSconosciute = true;
    });
    EXPECT_EQ(provider->handleNewFlow(uscita(curl)), Verdetto::consenti);
    EXPECT_EQ(canale.domandeInviate().size(), 1u);
    orologio.avanza(FilterDataProvider::validitàRisposta + 1);
    auto dopo = uscita(curl);
    EXPECT_EQ(provider->handleNewFlow(dopo), Verdetto::sospendi);
    EXPECT_EQ(canale.domandeInviate().size(), 2u);
    canale.gestori.suDecisione("/usr/bin/curl", true, 0u);

    // The batch's own expiry finds it resolved and does nothing; a late answer does nothing.
    pianificatore.avanza(60);
    canale.gestori.suDecisione("/usr/bin/curl", false, 0u);
    for (const auto& f : lotto) EXPECT_EQ(f->riprese(), std::vector<bool>{true});
}

TEST_F(ProviderTest, UnansweredBatchesExpireByTheirOwnTask) {
    regole([](StatoRegole& s) {
        s.impostazioni.chiediPrima = true;
        s.impostazioni.bloccaSconosciute = true;
    });
    canale.connetti(true);
    auto primo = uscita(curl);
    provider->handleNewFlow(primo);
    pianificatore.avanza(10);
    provider->risolviSospesi("/usr/bin/curl", true);  // answered after 10 s
    // Once the answer no longer decides for the application (its rule never came).
    pianificatore.avanza(FilterDataProvider::validitàRisposta + 1);
    auto secondo = uscita(curl);
    auto terzo = uscita(curl);
    provider->handleNewFlow(secondo);  // a new batch
    pianificatore.avanza(30);
    provider->handleNewFlow(terzo);
    EXPECT_EQ(canale.domandeInviate().size(), 2u);
    pianificatore.avanza(29);  // 59 s after the second batch began
    EXPECT_TRUE(secondo->riprese().empty());
    pianificatore.avanza(1);
    EXPECT_EQ(secondo->riprese(), std::vector<bool>{false});
    EXPECT_EQ(terzo->riprese(), std::vector<bool>{false});
    EXPECT_EQ(primo->riprese(), std::vector<bool>{true});
    EXPECT_TRUE(log->contiene("Flussi sospesi risolti per /usr/bin/curl: 2 → blocca"));
    EXPECT_EQ(provider->storico().app.at("/usr/bin/curl").bloccati, 2);
    // An answer after the expiry does nothing: not to the old flows, nor to the next ones.
    provider->risolviSospesi("/usr/bin/curl", true);
    EXPECT_EQ(secondo->riprese(), std::vector<bool>{false});
    EXPECT_EQ(provider->handleNewFlow(uscita(curl)), Verdetto::sospendi);
}

// ---- durations and scopes ----

// A rule narrowed to an application (and a port) comes before the plain rules and the
// application's own; a temporary one stops at its end, one of an earlier boot never applies.
TEST_F(ProviderTest, NarrowedRulesComeFirstAndTemporaryOnesEnd) {
    auto ristretta = [](std::string dominio, AzioneRegola azione, std::optional<std::string> firma,
                        std::optional<std::int64_t> porta) {
        RegolaDominio r{Uuid::genera(), std::move(dominio), azione, true};
        r.firmaApp = std::move(firma);
        r.porta = porta;
        return r;
    };
    regole([&](StatoRegole& s) {
        s.impostazioni.bloccaSconosciute = true;
        s.regole.push_back(regolaApp("/usr/bin/curl", AzioneRegola::blocca));
        s.regoleDominio.push_back({Uuid::genera(), "example.org", AzioneRegola::blocca, true});
        s.regoleDominio.push_back(
            ristretta("Example.ORG", AzioneRegola::consenti, "/usr/bin/curl", std::nullopt));
        s.regoleDominio.push_back(
            ristretta("example.org", AzioneRegola::blocca, "/usr/bin/curl", 22));
        s.regoleDominio.push_back(
            ristretta("203.0.113.77", AzioneRegola::consenti, "/usr/bin/curl", std::nullopt));
        s.regoleDominio.push_back(
            ristretta("mail.example", AzioneRegola::consenti, std::nullopt, 993));
    });
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.1", "443", "www.example.org")),
              Verdetto::consenti);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::dominio);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.1", "22", "www.example.org")),
              Verdetto::blocca);
    // Another application gets the plain rule; curl elsewhere its own rule.
    EXPECT_EQ(provider->handleNewFlow(uscita(firefox, "203.0.113.1", "443", "example.org")),
              Verdetto::blocca);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.1", "443", "notexample.org")),
              Verdetto::blocca);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::regola);
    // An address narrowed to curl, whatever name the flow goes by.
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.77", "443", "cdn.example")),
              Verdetto::consenti);
    // A port without an application covers every application, on that port only.
    EXPECT_EQ(provider->handleNewFlow(uscita(firefox, "203.0.113.2", "993", "imap.mail.example")),
              Verdetto::consenti);
    EXPECT_EQ(provider->handleNewFlow(uscita(firefox, "203.0.113.2", "143", "imap.mail.example")),
              Verdetto::blocca);

    // Temporary: firefox for ten seconds, ssh until a restart that already happened.
    regole([&](StatoRegole& s) {
        s.impostazioni.bloccaSconosciute = true;
        Regola f = regolaApp("org.mozilla.firefox", AzioneRegola::consenti);
        f.durata.scadenza = orologio.adesso().piùSecondi(10);
        Regola v = regolaApp("/usr/bin/ssh", AzioneRegola::consenti);
        v.durata.avvio = "un-avvio-di-ieri";
        Regola c = regolaApp("/usr/bin/curl", AzioneRegola::consenti);
        c.durata.avvio = idAvvio();
        s.regole = {f, v, c};
        RegolaDominio d = ristretta("example.org", AzioneRegola::consenti, "/usr/bin/nuova", 443);
        d.durata.scadenza = orologio.adesso().piùSecondi(10);
        s.regoleDominio.push_back(d);
    });
    EXPECT_EQ(provider->handleNewFlow(uscita(firefox)), Verdetto::consenti);
    EXPECT_EQ(provider->handleNewFlow(uscita(nuova, "203.0.113.1", "443", "example.org")),
              Verdetto::consenti);
    EXPECT_EQ(provider->handleNewFlow(uscita(ssh)), Verdetto::blocca);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl)), Verdetto::consenti);
    orologio.avanza(10);
    EXPECT_EQ(provider->handleNewFlow(uscita(firefox)), Verdetto::blocca);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::predefinita);
    EXPECT_EQ(provider->handleNewFlow(uscita(nuova, "203.0.113.1", "443", "example.org")),
              Verdetto::blocca);
}

// The stored rules lose the ended ones at the start and within the sweep's period after, and
// the clients are told.
TEST_F(ProviderTest, EndedRulesAreRemovedFromTheStoredRules) {
    StatoRegole file;
    Regola ieri = regolaApp("/usr/bin/ssh", AzioneRegola::consenti);
    ieri.durata.avvio = "un-avvio-di-ieri";
    Regola finita = regolaApp("/usr/bin/curl", AzioneRegola::consenti);
    finita.durata.scadenza = orologio.adesso().piùSecondi(-1);
    Regola presto = regolaApp("org.mozilla.firefox", AzioneRegola::consenti);
    presto.durata.scadenza = orologio.adesso().piùSecondi(20);
    Regola oggi = regolaApp("/usr/bin/nuova", AzioneRegola::blocca);
    oggi.durata.avvio = idAvvio();
    RegolaDominio sempre{Uuid::genera(), "example.org", AzioneRegola::blocca, true};
    sempre.firmaApp = "/usr/bin/curl";
    file.regole = {ieri, finita, presto, oggi};
    file.regoleDominio = {sempre};
    contenitore.cartella().scrivi("regole.json", json::codifica(file));

    test::SorgenteFinta sorgente;
    provider->startFilter(sorgente, nullptr);
    auto nelFile = [&] {
        return json::decodifica<StatoRegole>(contenitore.cartella().leggi("regole.json")).valore();
    };
    EXPECT_EQ(nelFile().regole, (std::vector<Regola>{presto, oggi}));
    EXPECT_EQ(nelFile().regoleDominio, file.regoleDominio);
    EXPECT_EQ(canale.gestori.fornitoreRegole().regole.size(), 2u);
    EXPECT_TRUE(log->contiene("Regola scaduta rimossa: /usr/bin/ssh"));
    pianificatore.avanza(FilterDataProvider::intervalloScadenze);
    EXPECT_EQ(nelFile().regole.size(), 2u);
    pianificatore.avanza(FilterDataProvider::intervalloScadenze);
    EXPECT_EQ(nelFile().regole, std::vector<Regola>{oggi});
}

// An answer for one host releases the flows there and asks again about the others; its memory
// covers that host only; an answer for this time only is not remembered at all.
TEST_F(ProviderTest, AnAnswerForOneHostReleasesThoseFlowsAndAsksAgainForTheRest) {
    regole([](StatoRegole& s) {
        s.impostazioni.chiediPrima = true;
        s.impostazioni.bloccaSconosciute = true;
    });
    canale.connetti(true);
    test::SorgenteFinta sorgente;
    provider->startFilter(sorgente, nullptr);
    regole([](StatoRegole& s) {
        s.impostazioni.chiediPrima = true;
        s.impostazioni.bloccaSconosciute = true;
    });
    auto a = uscita(curl, "203.0.113.1", "443", "api.a.example");
    auto b = uscita(curl, "203.0.113.2", "443", "b.example");
    auto a22 = uscita(curl, "203.0.113.1", "22", "a.example");
    for (const auto& f : {a, b, a22}) EXPECT_EQ(provider->handleNewFlow(f), Verdetto::sospendi);
    ASSERT_EQ(canale.domandeInviate().size(), 1u);

    canale.gestori.suRisposta({"/usr/bin/curl", true, false, "A.example", 443}, 0u);
    EXPECT_EQ(a->riprese(), std::vector<bool>{true});
    EXPECT_TRUE(b->riprese().empty());
    EXPECT_TRUE(a22->riprese().empty());
    ASSERT_EQ(canale.domandeInviate().size(), 2u);
    EXPECT_EQ(canale.domandeInviate()[1].host, "b.example");
    // The answer decides the next flows it covers; others join the batch asked about.
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.1", "443", "a.example")),
              Verdetto::consenti);
    auto c = uscita(curl, "203.0.113.3", "443", "c.example");
    EXPECT_EQ(provider->handleNewFlow(c), Verdetto::sospendi);
    EXPECT_EQ(canale.domandeInviate().size(), 2u);
    EXPECT_EQ(provider->flussiSospesi("/usr/bin/curl"), 3u);

    // This time only: all released, nothing remembered, the next flow asks again.
    canale.gestori.suRisposta({"/usr/bin/curl", false, true, std::nullopt, std::nullopt}, 0u);
    for (const auto& f : {b, a22, c}) EXPECT_EQ(f->riprese(), std::vector<bool>{false});
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.3", "443", "c.example")),
              Verdetto::sospendi);
    EXPECT_EQ(canale.domandeInviate().size(), 3u);
    // The re-asked batch expires by its own task, 60 s after it was formed.
    pianificatore.avanza(FilterDataProvider::attesaDecisione);
    EXPECT_EQ(provider->flussiSospesi("/usr/bin/curl"), 0u);
}

// Each user's app is asked about its own user's flows of an application, and its answer
// releases those only; the command line's answer releases every user's.
TEST_F(ProviderTest, EachUsersAppAnswersForItsOwnUsersFlows) {
    test::SorgenteFinta sorgente;
    provider->startFilter(sorgente, nullptr);
    regole([](StatoRegole& s) {
        s.impostazioni.chiediPrima = true;
        s.impostazioni.bloccaSconosciute = true;
    });
    canale.appUtenti = {1001, 1002};
    auto di = [&](std::uint32_t uid, const char* host) {
        auto f = uscita(curl, "203.0.113.1", "443", host);
        f->tokenApp->at(2) = static_cast<std::uint8_t>(uid & 0xFF);  // a process of its own
        identità.imposta(*f->tokenApp, "/usr/bin/curl");
        identità.impostaUtente(*f->tokenApp, uid);
        return f;
    };
    auto uno = di(1001, "uno.example"), due = di(1002, "due.example"),
         tre = di(1002, "tre.example"), nessuno = di(1003, "nessuno.example");
    for (const auto& f : {uno, due, tre}) EXPECT_EQ(provider->handleNewFlow(f), Verdetto::sospendi);
    // A user without an app: nobody to ask, the default decides.
    EXPECT_EQ(provider->handleNewFlow(nessuno), Verdetto::blocca);
    EXPECT_EQ(canale.domandeA, (std::vector<std::pair<std::uint32_t, std::string>>{
                                   {1001, "uno.example"}, {1002, "due.example"}}));
    canale.gestori.suDecisione("/usr/bin/curl", true, 1001u);
    EXPECT_EQ(uno->riprese(), std::vector<bool>{true});
    EXPECT_TRUE(due->riprese().empty());
    // 1001's answer decides 1001's next flows, not 1002's.
    EXPECT_EQ(provider->handleNewFlow(di(1001, "altro.example")), Verdetto::consenti);
    auto quattro = di(1002, "quattro.example");
    EXPECT_EQ(provider->handleNewFlow(quattro), Verdetto::sospendi);
    canale.gestori.suDecisione("/usr/bin/curl", false, std::nullopt);
    for (const auto& f : {due, tre, quattro}) EXPECT_EQ(f->riprese(), std::vector<bool>{false});
    EXPECT_EQ(provider->flussiSospesi("/usr/bin/curl"), 0u);
}

TEST_F(ProviderTest, DelayedWorkDoesNothingOnceTheProviderIsGone) {
    regole([](StatoRegole& s) {
        s.impostazioni.chiediPrima = true;
        s.impostazioni.bloccaSconosciute = true;
    });
    canale.connetti(true);
    auto f = uscita(curl);
    provider->handleNewFlow(f);
    provider.reset();
    pianificatore.avanza(61);
    EXPECT_TRUE(f->riprese().empty());
}

// ---- attack events ----

TEST_F(ProviderTest, DetectionsBecomeAttackEventsInOrder) {
    std::vector<Sentinella::Rilevazione> rilevazioni{
        {TipoAttacco::scansione, "198.51.100.9", true},
        {TipoAttacco::forzaBruta, "198.51.100.9", false}};
    provider->segnalaAttacchi(rilevazioni, mezzogiorno, "sconosciuta", "198.51.100.9", "22",
                              DirezioneFlusso::entrata, std::string("198.51.100.9"));
    const auto eventi = provider->flussi();
    ASSERT_EQ(eventi.size(), 2u);
    EXPECT_EQ(eventi[0].attacco, TipoAttacco::scansione);
    EXPECT_FALSE(eventi[0].consentito);
    EXPECT_EQ(eventi[1].attacco, TipoAttacco::forzaBruta);
    EXPECT_TRUE(eventi[1].consentito);
    // A source stopped tells by itself; one only reported is marked out of habit, so that the
    // app tells the user about it too.
    EXPECT_EQ(eventi[0].anomala, false);
    EXPECT_EQ(eventi[1].anomala, true);
    for (const auto& e : eventi) {
        EXPECT_EQ(e.protocollo, "—");
        EXPECT_EQ(e.motivo, MotivoDecisione::attacco);
        EXPECT_EQ(e.porta, "22");
        EXPECT_EQ(e.indirizzoIP, "198.51.100.9");
    }
    EXPECT_EQ(canale.flussiInviati(), eventi);
    const auto righe = log->righe();
    ASSERT_EQ(righe.size(), 2u);
    EXPECT_EQ(righe[0].messaggio, "Attacco riconosciuto: scansione da 198.51.100.9 (bloccato: sì)");
    EXPECT_EQ(righe[1].messaggio,
              "Attacco riconosciuto: forzaBruta da 198.51.100.9 (bloccato: no)");
    EXPECT_EQ(righe[0].sottosistema, "it.brelt.ostrale.estensione");
    EXPECT_EQ(righe[0].categoria, "filtro");
    EXPECT_TRUE(provider->storico().ore.empty());
}

// ---- lifecycle ----

TEST_F(ProviderTest, StartLoadsServesListensArmsAndClaimsInOrder) {
    StatoRegole salvate;
    salvate.regole.push_back(regolaApp("/usr/bin/curl", AzioneRegola::blocca));
    salvate.impostazioni.bloccaTracker = true;
    ArchivioCondiviso::salva(salvate);
    contenitore.cartella().scrivi("prime-viste.json", R"({"/usr/bin/curl": 786000000})");

    test::SorgenteFinta sorgente;
    sorgente.errore = "permission denied";
    std::optional<std::string> esito;
    provider->startFilter(sorgente, [&](std::optional<std::string> e) { esito = e; });
    EXPECT_EQ(canale.passi, (std::vector<std::string>{"gestori", "ascolto"}));
    EXPECT_EQ(sorgente.applicazioni, 1);
    EXPECT_EQ(esito, "permission denied");
    EXPECT_TRUE(log->contiene("Regole caricate: 1 app, 0 domini"));
    EXPECT_TRUE(log->contiene("Errore applicando i settaggi: permission denied"));
    EXPECT_TRUE(provider->impostazioni().bloccaTracker);
    EXPECT_EQ(provider->copiaMemoria().primeViste.size(), 1u);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl)), Verdetto::blocca);

    // The save timer writes every 60 s, and only when something changed.
    pianificatore.avanza(60);
    EXPECT_TRUE(std::filesystem::exists(contenitore / "registro-flussi.json"));
    std::filesystem::remove(contenitore / "registro-flussi.json");
    pianificatore.avanza(60);
    EXPECT_FALSE(std::filesystem::exists(contenitore / "registro-flussi.json"));
    // A save that fails (here a folder where the file goes, which even root cannot replace)
    // is said in the log and made again by the next one.
    std::filesystem::create_directories(contenitore / "registro-flussi.json" / "occupato");
    provider->handleNewFlow(uscita(curl));
    pianificatore.avanza(60);
    EXPECT_TRUE(log->contiene("The memory could not be saved"));
    std::filesystem::remove_all(contenitore / "registro-flussi.json");
    pianificatore.avanza(60);
    EXPECT_EQ(Memoria::leggiFile(orologio.adesso()).registro.size(), 2u);

    // A second start does not arm a second timer.
    const std::size_t compiti = pianificatore.inAttesa();
    provider->startFilter(sorgente, nullptr);
    EXPECT_EQ(pianificatore.inAttesa(), compiti);
}

TEST_F(ProviderTest, RulesFromTheAppAreAppliedAndStored) {
    test::SorgenteFinta sorgente;
    provider->startFilter(sorgente, nullptr);
    EXPECT_TRUE(log->contiene("Regole caricate: 0 app, 0 domini"));
    StatoRegole ricevute;
    ricevute.regole.push_back(
        regolaApp("/usr/bin/curl", AzioneRegola::blocca, FasciaOraria{0, 1440}));
    ricevute.regole.push_back(regolaApp("/usr/bin/ssh", AzioneRegola::consenti));
    ricevute.regoleDominio.push_back({Uuid::genera(), "Example.ORG", AzioneRegola::blocca, true});
    ricevute.impostazioni.giorniQuarantena = 9;
    canale.gestori.suRegole(ricevute);
    EXPECT_TRUE(log->contiene("Regole ricevute via XPC: 2"));
    EXPECT_EQ(json::decodifica<StatoRegole>(contenitore.cartella().leggi("regole.json")).valore(),
              ricevute);
    EXPECT_EQ(provider->impostazioni().giorniQuarantena, 9);

    // Stop saves; a new provider started on the same container finds rules and memory.
    provider->handleNewFlow(uscita(firefox));
    provider->stopFilter();
    provider = FilterDataProvider::crea({orologio, pianificatore, identità, canale, c2, tracker});
    provider->startFilter(sorgente, nullptr);
    EXPECT_EQ(provider->impostazioni().giorniQuarantena, 9);
    EXPECT_EQ(provider->flussi().size(), 1u);
    EXPECT_EQ(provider->handleNewFlow(uscita(curl, "203.0.113.1", "443", "www.example.org")),
              Verdetto::blocca);
    EXPECT_EQ(ultimoMotivo(), MotivoDecisione::dominio);
    EXPECT_EQ(canale.gestori.fornitoreStorico().app.at("org.mozilla.firefox").totale, 1);
    EXPECT_EQ(canale.gestori.fornitoreFlussi().size(), 2u);
}

// ---- concurrency ----

TEST_F(ProviderTest, ConcurrentVerdictsRuleChangesAndSaves) {
    constexpr int fili = 8;
    constexpr int flussiPerFilo = 1500;
    std::atomic<bool> fine = false;
    std::thread cambi([&] {
        int i = 0;
        while (!fine) {
            StatoRegole stato;
            stato.impostazioni.bloccaSconosciute = (++i % 2) == 0;
            stato.regole.push_back(regolaApp("/usr/bin/curl", AzioneRegola::consenti));
            provider->applicaRegole(stato);
            provider->salvaMemoriaSeServe();
            provider->storico();
        }
    });
    // A second save at any moment, as the timer's and the stop's can be: the newer copy stays.
    std::thread salvataggi([&] {
        while (!fine) provider->salvaMemoriaSeServe();
    });
    std::vector<std::thread> lavoratori;
    std::atomic<int> verdetti = 0;
    for (int f = 0; f < fili; ++f) {
        lavoratori.emplace_back([&, f] {
            for (int i = 0; i < flussiPerFilo; ++i) {
                const std::string ip = "203.0." + std::to_string(f) + "." + std::to_string(i % 200);
                const auto v = provider->handleNewFlow(
                    uscita(i % 5, ip, "443", "h" + std::to_string(i % 50) + ".example.net"));
                if (v != Verdetto::sospendi) ++verdetti;
            }
        });
    }
    for (auto& l : lavoratori) l.join();
    fine = true;
    cambi.join();
    salvataggi.join();

    EXPECT_EQ(verdetti, fili * flussiPerFilo);
    const auto storico = provider->storico();
    std::int64_t perOra = 0, perApp = 0, perIP = 0;
    for (const auto& [k, c] : storico.ore) perOra += c.consentiti + c.bloccati;
    for (const auto& [k, a] : storico.app) perApp += a.totale;
    for (const auto& [k, v] : storico.ip) perIP += v.totale;
    EXPECT_EQ(perOra, fili * flussiPerFilo);
    EXPECT_EQ(perApp, fili * flussiPerFilo);
    EXPECT_EQ(perIP, fili * flussiPerFilo);
    provider->salvaMemoriaSeServe();
    const auto riletta = Memoria::leggiFile(orologio.adesso());
    std::int64_t salvate = 0;
    for (const auto& [k, a] : riletta.storicoApp) salvate += a.totale;
    EXPECT_EQ(salvate, fili * flussiPerFilo);
}

}  // namespace
}  // namespace ostrale
