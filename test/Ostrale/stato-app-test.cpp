// SPDX-License-Identifier: GPL-3.0-or-later
// The controller against the real extension (simulated source) on its real socket.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDate>
#include <QLocale>
#include <QTranslator>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <thread>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/archivio-regole.h"
#include "Condiviso/codifica-json.h"
#include "Condiviso/registro.h"
#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

class StatoAppConEstensione : public ::testing::Test {
  protected:
    StatoAppConEstensione()
        : contenitore_("OSTRALE_CONTENITORE", (cartella_ / "contenitore").string()),
          socketVar_("OSTRALE_SOCKET", (cartella_ / "ostrale.sock").string()) {
        std::filesystem::create_directories(cartella_ / "contenitore");
    }

    ~StatoAppConEstensione() override {
        stato_.reset();
        if (demone_) demone_->ferma();
    }

    DemoneSimulato& demone(std::vector<std::string> opzioni = {"--velocita", "0.001"}) {
        demone_ = std::make_unique<DemoneSimulato>(cartella_ / "contenitore",
                                                   cartella_ / "ostrale.sock", std::move(opzioni));
        return *demone_;
    }

    StatoApp& crea() {
        stato_ = std::make_unique<StatoApp>(
            StatoApp::Dipendenze{orologio_,
                                 tempo_,
                                 gestore_,
                                 preferenze_,
                                 &domande_,
                                 QString::fromStdString((cartella_ / "ostrale.sock").string()),
                                 {}});
        QObject::connect(stato_.get(), &StatoApp::registrata, [this] { ++registrazioni_; });
        return *stato_;
    }

    // A daemon that asks about never-seen applications (chiediPrima, bloccaSconosciute) and
    // the app started beside it.
    StatoApp& conDomande() {
        StatoRegole regole;
        regole.impostazioni.chiediPrima = true;
        regole.impostazioni.bloccaSconosciute = true;
        ArchivioCondiviso::salva(regole);
        demone({"--velocita", "20"}).avvia();
        StatoApp& s = crea();
        s.avvia();
        return s;
    }

    // Turns the loop until the controller has registered `n` times in all.
    bool registrataVolte(int n, double secondi = 10) {
        return aspetta([&] { return registrazioni_ >= n; }, secondi);
    }

    // Lets the loop run the post-registration answers and the background work to their end.
    void assesta(double secondi = 0.5) {
        gira(secondi);
        stato_->attendiLavori();
        gira(0.1);
    }

    std::string ctl(const std::string& argomenti) const {
        const std::string comando = std::string(OSTRALE_CTL) + " " + argomenti + " 2>&1";
        std::string uscita;
        if (FILE* p = ::popen(comando.c_str(), "r")) {
            char buffer[4096];
            std::size_t n;
            while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) uscita.append(buffer, n);
            ::pclose(p);
        }
        return uscita;
    }

    CartellaTemporanea cartella_;
    VariabileAmbiente contenitore_, socketVar_;
    OrologioFinto orologio_{Data::daUnix(static_cast<double>(std::time(nullptr)))};
    TemporizzatoreFinto tempo_{orologio_};
    GestoreEsterno gestore_;
    ImpostazioniApp preferenze_{QString::fromStdString((cartella_ / "ostrale.conf").string())};
    PresentatoreRegistrato domande_;
    std::unique_ptr<DemoneSimulato> demone_;
    std::unique_ptr<StatoApp> stato_;
    int registrazioni_ = 0;
};

std::vector<EventoFlusso> registroDi(int quanti, Data adesso) {
    std::vector<EventoFlusso> eventi;
    for (int i = 0; i < quanti; ++i) {
        // Oldest first, as the extension keeps it.
        eventi.push_back(evento(adesso, "/usr/bin/registrata" + std::to_string(i), true, 600.0 - i,
                                MotivoDecisione::regola));
    }
    EventoFlusso attacco = evento(adesso, "sconosciuta", false, 300);
    attacco.attacco = TipoAttacco::scansione;
    attacco.protocollo = "—";
    eventi.insert(eventi.begin() + quanti / 2, attacco);
    return eventi;
}

TEST_F(StatoAppConEstensione, RegistersAndSendsRulesListHistoryAndLog) {
    // What the app finds in the container: its rules, a list of its own, and a log.
    StatoRegole regole;
    regole.impostazioni.quarantenaAttiva = true;
    Regola git;
    git.firmaApp = "/usr/bin/git";
    git.nomeApp = "git";
    git.azione = AzioneRegola::blocca;
    regole.regole.push_back(git);
    ArchivioCondiviso::salva(regole);
    ArchivioCondiviso::salvaJSON(registroDi(40, orologio_.adesso()), "registro-flussi.json");
    demone().avvia();
    std::string elenco = "# a list of the app's\n";
    for (int i = 0; i < 60; ++i) elenco += "198.51.100." + std::to_string(i) + "\n";
    ArchivioCondiviso::salvaFile(elenco, "c2-aggiornata.txt");
    auto raccolto = std::make_shared<DestinazioneMemoria>();
    Registro::impostaDestinazione(raccolto);

    StatoApp& s = crea();
    s.avvia();
    ASSERT_TRUE(registrataVolte(1));
    EXPECT_EQ(s.statoEstensione(), QStringLiteral("Estensione attiva"));
    EXPECT_TRUE(s.estensionePronta());
    EXPECT_EQ(s.collegamentiFalliti(), 0);
    ASSERT_TRUE(aspetta([&] { return s.flussi().size() == 40 && !s.attacchi().empty(); }));
    // The log's ordinary events, newest first; its attack went to the attacks.
    EXPECT_EQ(s.flussi().front().firmaApp, "/usr/bin/registrata39");
    EXPECT_EQ(s.flussi().back().firmaApp, "/usr/bin/registrata0");
    EXPECT_EQ(s.attacchi().size(), 1u);
    EXPECT_EQ(s.conteggioAttacchi().at("scansione"), 1);
    // The history: the simulated machine's first sightings.
    ASSERT_TRUE(aspetta([&] { return !s.primeVisteStorico().empty(); }));
    EXPECT_TRUE(s.primeVisteStorico().contains("org.mozilla.firefox"));
    // The stored list reached the extension, which counted its addresses.
    ASSERT_TRUE(aspetta([&] { return raccolto->contiene("consegnata all'estensione: 60 "); }));
    Registro::impostaDestinazione(nullptr);
    // The rules it sent are the daemon's: ostralectl reads them back from the daemon's state.
    EXPECT_EQ(s.regole().size(), 1u);
    EXPECT_EQ(s.versioneEstensione(), s.versioneApp().toStdString());
}

TEST_F(StatoAppConEstensione, ARuleAddedReachesTheFileAndTheNextVerdicts) {
    demone({"--velocita", "40"}).avvia();
    StatoApp& s = crea();
    s.avvia();
    ASSERT_TRUE(registrataVolte(1));
    // git's flows pass under the simulated machine's rules.
    ASSERT_TRUE(aspetta([&] {
        return std::any_of(s.flussi().begin(), s.flussi().end(), [](const EventoFlusso& e) {
            return e.firmaApp == "/usr/bin/git" && e.consentito;
        });
    }));
    s.aggiungiRegola("/usr/bin/git", AzioneRegola::blocca);
    const std::size_t prima = s.flussi().size();
    ASSERT_TRUE(aspetta([&] {
        for (std::size_t i = 0; i + prima < s.flussi().size(); ++i) {
            const EventoFlusso& e = s.flussi()[i];
            if (e.firmaApp == "/usr/bin/git") {
                return !e.consentito && e.motivo == MotivoDecisione::regola;
            }
        }
        return false;
    }));
    s.attendiLavori();
    const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole);
    ASSERT_TRUE(testo);
    auto salvato = json::decodifica<StatoRegole>(*testo);
    ASSERT_TRUE(salvato);
    const auto git = std::find_if(salvato->regole.begin(), salvato->regole.end(),
                                  [](const Regola& r) { return r.firmaApp == "/usr/bin/git"; });
    ASSERT_NE(git, salvato->regole.end());
    EXPECT_EQ(git->azione, AzioneRegola::blocca);
}

TEST_F(StatoAppConEstensione, TheLogReplacesAShortLiveListAndLeavesALongOne) {
    for (const int live : {10, 60}) {
        SCOPED_TRACE(live);
        stato_.reset();
        registrazioni_ = 0;
        ArchivioCondiviso::salvaJSON(registroDi(100, orologio_.adesso()), "registro-flussi.json");
        StatoApp& s = crea();
        s.avvia();  // no extension yet: the connection fails, and is tried again 3 s later
        ASSERT_TRUE(aspetta([&] { return s.collegamentiFalliti() >= 1; }));
        for (int i = 0; i < live; ++i) {
            s.nuovoFlusso(json::codifica(evento(orologio_.adesso(), "/usr/bin/dal-vivo", true)));
        }
        demone().avvia();
        tempo_.avanza(StatoApp::attesaRiconnessione);
        ASSERT_TRUE(registrataVolte(1));
        assesta();
        if (live < 50) {
            ASSERT_EQ(s.flussi().size(), 100u);
            EXPECT_EQ(s.flussi().front().firmaApp, "/usr/bin/registrata99");
        } else {
            ASSERT_EQ(s.flussi().size(), 60u);
            EXPECT_EQ(s.flussi().front().firmaApp, "/usr/bin/dal-vivo");
        }
        // The attack in the log is merged in both cases, once.
        EXPECT_EQ(s.attacchi().size(), 1u);
        EXPECT_EQ(s.totaleConsentiti(), live);
        demone_->ferma();
        stato_.reset();
        for (const char* nome :
             {"registro-flussi.json", StatoApp::fileAttacchi, StatoApp::fileConteggi}) {
            std::filesystem::remove(cartella_ / "contenitore" / nome);
        }
    }
}

TEST_F(StatoAppConEstensione, TheQuarantineListFollowsSightingsRulesAndTheSwitch) {
    StatoRegole regole;
    regole.impostazioni.quarantenaAttiva = true;
    regole.impostazioni.giorniQuarantena = 3;
    ArchivioCondiviso::salva(regole);
    const Data adesso = orologio_.adesso();
    PrimeViste viste{{"/opt/nuova/app", adesso.piùSecondi(-2 * 86400.0)},
                     {"/opt/vecchia/app", adesso.piùSecondi(-4 * 86400.0)},
                     {"/usr/lib/systemd/systemd-nuovo", adesso.piùSecondi(-3600)},
                     {"/usr/sbin/nuovo", adesso.piùSecondi(-3600)},
                     {"/opt/altra/app", adesso.piùSecondi(-60)},
                     {"sconosciuta", adesso.piùSecondi(-60)}};  // never quarantined
    ArchivioCondiviso::salvaJSON(viste, "prime-viste.json");
    demone().avvia();
    StatoApp& s = crea();
    s.avvia();
    ASSERT_TRUE(registrataVolte(1));
    ASSERT_TRUE(aspetta([&] { return !s.appInQuarantena().empty(); }));
    EXPECT_EQ(s.appInQuarantena(), (ElencoTesti{"/opt/altra/app", "/opt/nuova/app"}));

    // Any rule takes an application out, an inactive one too.
    ASSERT_EQ(s.aggiungiRegola("/opt/nuova/app", AzioneRegola::blocca), EsitoModifica::cambiata);
    ASSERT_TRUE(aspetta([&] { return s.regole().size() == 1; }));
    ASSERT_EQ(s.attivaRegola(s.regole()[0].id, false), EsitoModifica::cambiata);
    ASSERT_TRUE(aspetta([&] { return !s.regole()[0].attiva; }));
    tempo_.avanza(StatoApp::intervalloAggiornamento);
    ASSERT_TRUE(aspetta([&] { return s.appInQuarantena() == ElencoTesti{"/opt/altra/app"}; }));
    assesta();
    // Later ticks with the same list notify nobody.
    // (the simulated machine may bring a newcomer of its own meanwhile).
    int cambi = 0;
    QObject::connect(&s, &StatoApp::appInQuarantenaCambiata, [&] { ++cambi; });
    const ElencoTesti prima = s.appInQuarantena();
    tempo_.avanza(StatoApp::intervalloAggiornamento);
    assesta();
    EXPECT_EQ(cambi, s.appInQuarantena() == prima ? 0 : 1);

    ImpostazioniParziali spenta;
    spenta.quarantenaAttiva = false;
    ASSERT_EQ(s.modificaImpostazioni(spenta), EsitoModifica::cambiata);
    ASSERT_TRUE(aspetta([&] { return !s.impostazioni().quarantenaAttiva; }));
    tempo_.avanza(StatoApp::intervalloAggiornamento);
    assesta();
    EXPECT_TRUE(s.appInQuarantena().empty());
}

TEST_F(StatoAppConEstensione, ReconnectsAndRegistersAgainAfterTheDaemonDies) {
    demone().avvia();
    StatoApp& s = crea();
    s.avvia();
    ASSERT_TRUE(registrataVolte(1));
    demone_->uccidi();
    // The registered connection ended: an interruption, no failure counted.
    gira(0.3);
    EXPECT_EQ(s.collegamentiFalliti(), 0);
    // Nobody listens 3 s later: that attempt fails, and counts.
    tempo_.avanza(StatoApp::attesaRiconnessione);
    ASSERT_TRUE(aspetta([&] { return s.collegamentiFalliti() == 1; }));
    demone_->avvia();
    tempo_.avanza(StatoApp::attesaRiconnessione);
    ASSERT_TRUE(registrataVolte(2));
    EXPECT_EQ(s.collegamentiFalliti(), 0);
    EXPECT_TRUE(s.connesso());
    EXPECT_EQ(s.statoEstensione(), QStringLiteral("Estensione attiva"));
}

TEST_F(StatoAppConEstensione, ObserversLeaveTheAppConnectedAndItsQuestionsReachIt) {
    StatoApp& s = conDomande();
    ASSERT_TRUE(registrataVolte(1));
    ProcessoFiglio segui({OSTRALE_CTL, "flussi", "--segui"});
    for (int i = 0; i < 50; ++i) {
        ASSERT_EQ(esegui({OSTRALE_CTL, "stato"}), 0);
        gira(0.005);
    }
    EXPECT_NE(ctl("--json stato").find("\"appConnessa\":true"), std::string::npos);
    // A never-ruled application's flows wait for the app's answer.
    ASSERT_TRUE(aspetta([&] { return !domande_.domande.empty(); }));
    EXPECT_EQ(registrazioni_, 1);
    EXPECT_TRUE(s.connesso());
    auto domanda = domande_.domande.front();
    EXPECT_TRUE(domanda.sospesa);
    EXPECT_TRUE(s.lampeggioAcceso());
    const std::string firma = domanda.evento.firmaApp;
    const int attese = s.richiesteInAttesa();
    domanda.risposta(true);
    EXPECT_EQ(s.richiesteInAttesa(), attese - 1);
    // The answer releases the application's flows, and the rule is the user's.
    ASSERT_TRUE(aspetta([&] {
        return std::any_of(s.flussi().begin(), s.flussi().end(), [&](const EventoFlusso& e) {
            return e.firmaApp == firma && e.consentito;
        });
    }));
    // (The rule comes back with the daemon's rules, which may follow the released flows.)
    EXPECT_TRUE(aspetta([&] {
        return std::any_of(s.regole().begin(), s.regole().end(), [&](const Regola& r) {
            return r.firmaApp == firma && r.azione == AzioneRegola::consenti;
        });
    }));
    EXPECT_EQ(registrazioni_, 1);
    EXPECT_NE(ctl("--json stato").find("\"appConnessa\":true"), std::string::npos);
    EXPECT_TRUE(segui.inEsecuzione());
    s.attendiLavori();
    const auto salvate = json::decodifica<StatoRegole>(
        ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole).value_or(""));
    ASSERT_TRUE(salvate.ok());
    EXPECT_TRUE(std::any_of(salvate->regole.begin(), salvate->regole.end(), [&](const Regola& r) {
        return r.firmaApp == firma && r.azione == AzioneRegola::consenti;
    }));
}

TEST_F(StatoAppConEstensione, AnAnswerAfterTheLinkDroppedOnlyMakesTheRule) {
    StatoApp& s = conDomande();
    ASSERT_TRUE(aspetta([&] { return !domande_.domande.empty(); }));
    demone_->uccidi();
    ASSERT_TRUE(aspetta([&] { return !s.connesso(); }));
    const std::string firma = domande_.domande.front().evento.firmaApp;
    domande_.domande.front().risposta(false);
    ASSERT_TRUE(aspetta([&] {
        return std::any_of(s.regole().begin(), s.regole().end(), [&](const Regola& r) {
            return r.firmaApp == firma && r.azione == AzioneRegola::blocca;
        });
    }));
    s.attendiLavori();
    const auto salvate = json::decodifica<StatoRegole>(
        ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole).value_or(""));
    ASSERT_TRUE(salvate.ok());
    EXPECT_TRUE(std::any_of(salvate->regole.begin(), salvate->regole.end(),
                            [&](const Regola& r) { return r.firmaApp == firma; }));
    // The rule reaches the extension with the next delivery, once it is back.
    demone_->avvia();
    tempo_.avanza(StatoApp::attesaRiconnessione);
    ASSERT_TRUE(registrataVolte(2));
    EXPECT_NE(ctl("--json regole").find(firma), std::string::npos);
}

TEST_F(StatoAppConEstensione, AttacksSeenWhileTheAppWasClosedAreArchivedOnce) {
    // The scenario's episodes, a day compressed: the sentinel finds attacks with no app there.
    demone({"--velocita", "2", "--accelera", "25"}).avvia();
    std::vector<EventoFlusso> visti;
    auto tipi = [](const std::vector<EventoFlusso>& v) {
        std::set<TipoAttacco> t;
        for (const auto& e : v) {
            if (e.attacco) t.insert(*e.attacco);
        }
        return t;
    };
    ASSERT_TRUE(aspetta(
        [&] {
            auto letti = json::decodifica<std::vector<EventoFlusso>>(ctl("--json attacchi"));
            if (letti) visti = std::move(letti).valore();
            return tipi(visti).size() >= 2;
        },
        60));
    auto chiave = [](const EventoFlusso& e) {
        return std::pair(e.data.secondiUnix(), e.attacco.value_or(TipoAttacco::scansione));
    };
    auto controlla = [&](StatoApp& s) {
        std::map<std::pair<double, TipoAttacco>, int> volte;
        for (const auto& e : s.attacchi()) ++volte[chiave(e)];
        for (const auto& [k, n] : volte) EXPECT_EQ(n, 1) << "an attack archived twice";
        for (const auto& e : visti) EXPECT_EQ(volte.count(chiave(e)), 1u) << "a missed attack";
    };
    for (int avvio = 1; avvio <= 2; ++avvio) {
        SCOPED_TRACE(avvio);
        StatoApp& s = crea();
        s.avvia();
        ASSERT_TRUE(registrataVolte(avvio));
        assesta();
        controlla(s);
        for (const auto t : tipi(visti)) {
            EXPECT_GE(s.conteggioAttacchi().at(std::string(valoreGrezzo(t))), 1);
        }
        stato_.reset();  // the app quits and starts again
    }
}

TEST_F(StatoAppConEstensione, ARuleChangedByOstralectlIsAdoptedAndNotOverwritten) {
    demone().avvia();
    StatoApp& s = crea();
    s.avvia();
    ASSERT_TRUE(registrataVolte(1));
    assesta();
    const std::size_t regoleIniziali = s.regole().size();
    ASSERT_EQ(esegui({OSTRALE_CTL, "regole", "app", "/usr/bin/wget", "blocca"}), 0);
    // Told by the extension, at once.
    ASSERT_TRUE(aspetta([&] {
        return std::any_of(s.regole().begin(), s.regole().end(),
                           [](const Regola& r) { return r.firmaApp == "/usr/bin/wget"; });
    }));
    // The app's next edit keeps it.
    ASSERT_EQ(s.aggiungiRegola("/usr/bin/curl", AzioneRegola::consenti), EsitoModifica::cambiata);
    ASSERT_TRUE(aspetta([&] { return s.regole().size() == 2 + regoleIniziali; }));
    const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole);
    ASSERT_TRUE(testo);
    EXPECT_NE(testo->find("/usr/bin/wget"), std::string::npos);
    EXPECT_NE(testo->find("/usr/bin/curl"), std::string::npos);
    EXPECT_EQ(registrazioni_, 1);
}

TEST_F(StatoAppConEstensione, EditsMadeBeforeTheLastOneSettledAreAllApplied) {
    // Off and on again at once, to the file (no extension yet) and then through the extension:
    // the second edit is judged against the first, not against the rules shown meanwhile.
    StatoApp& s = crea();
    s.avvia();
    for (const bool conEstensione : {false, true}) {
        SCOPED_TRACE(conEstensione);
        if (conEstensione) {
            demone().avvia();
            tempo_.avanza(StatoApp::attesaRiconnessione);
            ASSERT_TRUE(registrataVolte(1));
            assesta();
        }
        const std::string firma = conEstensione ? "/usr/bin/due" : "/usr/bin/uno";
        ASSERT_EQ(s.aggiungiRegola(firma, AzioneRegola::blocca), EsitoModifica::cambiata);
        const Regola* regola = nullptr;
        ASSERT_TRUE(aspetta([&] {
            for (const Regola& r : s.regole())
                if (r.firmaApp == firma) regola = &r;
            return regola != nullptr;
        }));
        const Uuid id = regola->id;
        int concluse = 0;
        auto conta = [&](EsitoModifica e) {
            EXPECT_EQ(e, EsitoModifica::cambiata);
            ++concluse;
        };
        EXPECT_EQ(s.modifica(ModificaRegole::attivazione(id, false), conta),
                  EsitoModifica::cambiata);
        EXPECT_EQ(s.modifica(ModificaRegole::attivazione(id, true), conta),
                  EsitoModifica::cambiata);
        EXPECT_EQ(s.attivaRegola(id, true), EsitoModifica::invariata);
        ASSERT_TRUE(aspetta([&] { return concluse == 2; }));
        assesta();
        const auto file = ArchivioRegole::leggi();
        ASSERT_TRUE(file);
        for (const auto* elenco : {&s.regole(), &file->regole}) {
            const auto it = std::find_if(elenco->begin(), elenco->end(),
                                         [&](const Regola& r) { return r.id == id; });
            ASSERT_NE(it, elenco->end());
            EXPECT_TRUE(it->attiva);
        }
    }
}

TEST_F(StatoAppConEstensione, ThreeWritersAtOnceLoseNoEdit) {
    demone().avvia();
    StatoApp& app = crea();
    app.avvia();
    ASSERT_TRUE(registrataVolte(1));
    // A second controller of the same user: refused as the app, it still edits, as observers do.
    GestoreEsterno suoGestore;
    ImpostazioniApp suePreferenze(QString::fromStdString((cartella_ / "secondo.conf").string()));
    StatoApp secondo({orologio_,
                      tempo_,
                      suoGestore,
                      suePreferenze,
                      nullptr,
                      QString::fromStdString((cartella_ / "ostrale.sock").string()),
                      {}});
    bool rifiutata = false;
    QObject::connect(&secondo, &StatoApp::registrazioneRifiutata, [&] { rifiutata = true; });
    secondo.avvia();
    ASSERT_TRUE(aspetta([&] { return rifiutata; }));
    assesta();
    const std::size_t iniziali = app.regole().size();
    const std::size_t inizialiDominio = app.regoleDominio().size();

    constexpr int volte = 200;
    std::atomic<int> ctlTentate = 0, ctlFatte = 0;
    std::thread ostralectl([&] {
        for (int i = 0; i < volte; ++i) {
            if (esegui({OSTRALE_CTL, "regole", "app", "/test/ctl/" + std::to_string(i),
                        "blocca"}) == 0) {
                ++ctlFatte;
            }
            ++ctlTentate;
        }
    });
    for (int i = 0; i < volte; ++i) {
        EXPECT_EQ(app.aggiungiRegola("/test/app/" + std::to_string(i), AzioneRegola::consenti),
                  EsitoModifica::cambiata);
        EXPECT_EQ(secondo.aggiungiRegolaDominio("d" + std::to_string(i) + ".example",
                                                AzioneRegola::blocca),
                  EsitoModifica::cambiata);
        gira(0.001);
    }
    aspetta([&] { return ctlTentate == volte; }, 300);
    ostralectl.join();
    ASSERT_EQ(ctlFatte, volte);
    // Every client sees all 600, as the extension told them.
    auto tutte = [&](const StatoApp& s) {
        return s.regole().size() == iniziali + 2 * volte &&
               s.regoleDominio().size() == inizialiDominio + volte;
    };
    ASSERT_TRUE(aspetta([&] { return tutte(app) && tutte(secondo); }, 60));
    // So does the file, and so do the extension's own rules.
    const auto file = ArchivioRegole::leggi();
    ASSERT_TRUE(file);
    const StatoRegole mostrate{app.regole(), app.regoleDominio(), app.impostazioni()};
    EXPECT_EQ(*file, mostrate);
    const auto dallEstensione = json::decodifica<StatoRegole>(ctl("--json regole"));
    ASSERT_TRUE(dallEstensione) << dallEstensione.motivo();
    EXPECT_EQ(*dallEstensione, mostrate);
    EXPECT_EQ(registrazioni_, 1);
}

TEST(ImpostazioniApp, TheFileIsTheUsersAlone) {
    CartellaTemporanea cartella;
    const QString percorso = QString::fromStdString((cartella / "ostrale.conf").string());
    {
        ImpostazioniApp preferenze(percorso);
        EXPECT_TRUE(preferenze.comeBool(ImpostazioniApp::chiediSuBlocco));
        EXPECT_EQ(preferenze.comeTesto(ImpostazioniApp::linguaScelta), QStringLiteral("auto"));
        preferenze.imposta(ImpostazioniApp::chiaveAnthropic, QStringLiteral("segreta"));
        preferenze.sincronizza();
    }
    namespace fs = std::filesystem;
    EXPECT_EQ(fs::status(cartella / "ostrale.conf").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    ImpostazioniApp riletta(percorso);
    EXPECT_EQ(riletta.comeTesto(ImpostazioniApp::chiaveAnthropic), QStringLiteral("segreta"));
}

// The language chosen in the app is the language of its dates, months and numbers too.
TEST(Lingua, DatesAndNumbersFollowTheChosenLanguage) {
    QCoreApplication* app = QCoreApplication::instance();
    const auto tabellePrima = app->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly);
    const QLocale prima;
    const auto ripristina = [&] {
        for (QTranslator* t : app->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)) {
            if (!tabellePrima.contains(t)) delete t;
        }
        QLocale::setDefault(prima);
    };
    const QDate giorno(2026, 12, 9);
    ASSERT_TRUE(testi::installaTraduzioni(*app, QStringLiteral("en")));
    EXPECT_EQ(QLocale().toString(giorno, QStringLiteral("d MMM")), QStringLiteral("9 Dec"));
    EXPECT_EQ(QLocale().toString(1234567), QStringLiteral("1,234,567"));
    EXPECT_EQ(QCoreApplication::translate("ostrale::testi", "Modifica incompleta"),
              QStringLiteral("Incomplete edit"));
    ripristina();
    ASSERT_TRUE(testi::installaTraduzioni(*app, QStringLiteral("it")));
    EXPECT_EQ(QLocale().toString(giorno, QStringLiteral("d MMM")), QStringLiteral("9 dic"));
    EXPECT_EQ(QLocale().toString(1234567), QStringLiteral("1.234.567"));
    ripristina();
}

}  // namespace
}  // namespace ostrale::test
