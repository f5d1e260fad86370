// SPDX-License-Identifier: GPL-3.0-or-later
// The attack archive, its files, the notifications and the two questions, on the real
// controller with time moved by the test.
#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <fstream>
#include <memory>

#include <sys/wait.h>
#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/codifica-json.h"
#include "Condiviso/cornice.h"
#include "Condiviso/registro.h"
#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

class ArchivioAttacchi : public ::testing::Test {
  protected:
    ArchivioAttacchi()
        : contenitore_("OSTRALE_CONTENITORE", (cartella_ / "contenitore").string()),
          socketVar_("OSTRALE_SOCKET", (cartella_ / "nessuno.sock").string()) {
        std::filesystem::create_directories(cartella_ / "contenitore");
    }

    StatoApp& crea() {
        stato_.reset();
        stato_ = std::make_unique<StatoApp>(
            StatoApp::Dipendenze{orologio_,
                                 tempo_,
                                 gestore_,
                                 preferenze_,
                                 &domande_,
                                 QString::fromStdString((cartella_ / "nessuno.sock").string()),
                                 {},
                                 &notifiche_});
        stato_->avvia();
        return *stato_;
    }

    // Lets the queued saves run, waits for them, and takes in what they answered.
    void salvati() {
        gira(0.02);
        stato_->attendiLavori();
        gira(0.02);
    }

    std::filesystem::path file(const char* nome) const { return cartella_ / "contenitore" / nome; }

    void scrivi(const char* nome, const std::string& testo) const {
        std::ofstream(file(nome), std::ios::binary) << testo;
    }

    template <typename T>
    T leggiFile(const char* nome) const {
        const auto testo = ArchivioCondiviso::leggi(nome);
        EXPECT_TRUE(testo.has_value()) << nome;
        auto valore = json::decodifica<T>(testo.value_or(""));
        EXPECT_TRUE(valore.ok()) << nome;
        return valore ? std::move(valore).valore() : T{};
    }

    // An attack of `tipo` from `sorgente` (an address: inbound; else an application: outbound),
    // `eta` seconds ago.
    EventoFlusso attacco(TipoAttacco tipo, const std::string& sorgente, double eta = 0,
                         bool consentito = false) const {
        EventoFlusso e = evento(orologio_.adesso(), "sconosciuta", consentito, eta);
        e.attacco = tipo;
        if (sorgente.find('/') == std::string::npos) {
            e.direzione = DirezioneFlusso::entrata;
            e.indirizzoIP = sorgente;
            e.host = sorgente;
        } else {
            e.firmaApp = sorgente;
            e.host = "c2.example.test";
        }
        return e;
    }

    void spingi(const EventoFlusso& e) { stato_->nuovoFlusso(json::codifica(e)); }

    std::size_t notificheCon(const QString& testo) const {
        return static_cast<std::size_t>(
            std::count_if(notifiche_.inviate.begin(), notifiche_.inviate.end(),
                          [&](const auto& n) { return n.titolo.contains(testo); }));
    }

    CartellaTemporanea cartella_;
    VariabileAmbiente contenitore_, socketVar_;
    OrologioFinto orologio_{Data::daUnix(static_cast<double>(std::time(nullptr)))};
    TemporizzatoreFinto tempo_{orologio_};
    GestoreEsterno gestore_;
    ImpostazioniApp preferenze_{QString::fromStdString((cartella_ / "ostrale.conf").string())};
    PresentatoreRegistrato domande_;
    NotificatoreRegistrato notifiche_;
    std::unique_ptr<StatoApp> stato_;
};

TEST_F(ArchivioAttacchi, KeepsThe500NewestCountsEveryOneAndSurvivesARestart) {
    StatoApp& s = crea();
    for (int i = 0; i < 501; ++i) {
        spingi(attacco(TipoAttacco::scansione, "198.51.100.7", 501.0 - i));
    }
    ASSERT_EQ(s.attacchi().size(), 500u);
    EXPECT_EQ(s.conteggioAttacchi().at("scansione"), 501);
    // Newest first: the oldest (501 s ago) went.
    EXPECT_DOUBLE_EQ(orologio_.adesso().secondiDa(s.attacchi().back().data), 500);
    EXPECT_DOUBLE_EQ(orologio_.adesso().secondiDa(s.attacchi().front().data), 1);
    salvati();
    EXPECT_EQ(leggiFile<std::vector<EventoFlusso>>(StatoApp::fileAttacchi).size(), 500u);
    EXPECT_EQ(leggiFile<json::Conteggi>(StatoApp::fileConteggi).at("scansione"), 501);

    const ElencoFlussi prima = s.attacchi();
    StatoApp& dopo = crea();
    EXPECT_EQ(dopo.attacchi(), prima);
    EXPECT_EQ(dopo.conteggioAttacchi().at("scansione"), 501);
}

TEST_F(ArchivioAttacchi, NotifiesOncePerHourPerTypeAndSourceAndEveryAttackBlinks) {
    StatoApp& s = crea();
    spingi(attacco(TipoAttacco::scansione, "198.51.100.7"));
    EXPECT_TRUE(s.lampeggioAcceso());
    orologio_.avanza(600);
    spingi(attacco(TipoAttacco::scansione, "198.51.100.7"));
    EXPECT_EQ(s.attacchi().size(), 2u);
    ASSERT_EQ(notifiche_.inviate.size(), 1u);
    const auto& n = notifiche_.inviate.front();
    EXPECT_EQ(n.titolo, QStringLiteral("Possibile attacco: Scansione delle porte"));
    EXPECT_EQ(n.corpo,
              QStringLiteral("198.51.100.7 — sorgente bloccata per 10 minuti. Dettagli nella vista "
                             "Attacchi."));
    // Another source, another type: each its own notification.
    spingi(attacco(TipoAttacco::scansione, "198.51.100.8"));
    EventoFlusso segnalato = attacco(TipoAttacco::forzaBruta, "198.51.100.7", 0, true);
    segnalato.anomala = true;  // out of habit: told although not stopped
    spingi(segnalato);
    ASSERT_EQ(notifiche_.inviate.size(), 3u);
    EXPECT_EQ(notifiche_.inviate[2].corpo,
              QStringLiteral("198.51.100.7 — segnalato, non bloccato. Dettagli nella vista "
                             "Attacchi."));
    // An inbound attack without an address is known by its host.
    EventoFlusso senzaIndirizzo = attacco(TipoAttacco::scansione, "x");
    senzaIndirizzo.indirizzoIP.reset();
    senzaIndirizzo.host = "scanner.example.test";
    spingi(senzaIndirizzo);
    ASSERT_EQ(notifiche_.inviate.size(), 4u);
    EXPECT_TRUE(notifiche_.inviate[3].corpo.startsWith(QStringLiteral("scanner.example.test —")));
    // An hour after the first, the first source is told about again.
    orologio_.avanza(3000);
    spingi(attacco(TipoAttacco::scansione, "198.51.100.7"));
    EXPECT_EQ(notifiche_.inviate.size(), 5u);

    // A click on an attack notification asks for the attacks section; on anything else, not.
    QStringList sezioni;
    QObject::connect(&s, &StatoApp::sezioneRichiesta, [&](const QString& v) { sezioni << v; });
    notifiche_.scegli(notifiche_.inviate[1].identificatore, QStringLiteral("default"));
    notifiche_.scegli(QStringLiteral("sconosciuta"), QStringLiteral("default"));
    EXPECT_EQ(sezioni, QStringList{QStringLiteral("attacchi")});
    // The blinking claims end 8 s after the last attack.
    tempo_.avanza(8.1);
    EXPECT_EQ(s.richiesteInAttesa(), 0);
    EXPECT_FALSE(s.lampeggioAcceso());
}

TEST_F(ArchivioAttacchi, WhatAnApplicationDoesEveryDayIsKeptWithoutAnAlert) {
    StatoApp& s = crea();
    // The mail client's timer towards its own server: not stopped, not out of its habits.
    EventoFlusso abituale = attacco(TipoAttacco::beaconing, "/usr/bin/thunderbird", 0, true);
    abituale.anomala = false;
    spingi(abituale);
    EXPECT_EQ(s.attacchi().size(), 1u);
    EXPECT_EQ(s.conteggioAttacchi().at("beaconing"), 1);
    EXPECT_TRUE(notifiche_.inviate.empty());
    EXPECT_FALSE(s.lampeggioAcceso());
    // The same pattern towards a destination new to it is told, and blinks.
    EventoFlusso nuovo = abituale;
    nuovo.id = Uuid::genera();
    nuovo.anomala = true;
    spingi(nuovo);
    EXPECT_EQ(s.attacchi().size(), 2u);
    ASSERT_EQ(notifiche_.inviate.size(), 1u);
    EXPECT_EQ(notifiche_.inviate[0].corpo,
              QStringLiteral("/usr/bin/thunderbird — segnalato, non bloccato. Dettagli nella vista "
                             "Attacchi."));
    EXPECT_TRUE(s.lampeggioAcceso());

    // "Non avvisarmi più" on that notification: the pattern from that application is kept
    // without an alert from now on, also after a restart; other patterns are still told.
    const auto& azioni = notifiche_.inviate[0].azioni;
    ASSERT_TRUE(std::any_of(azioni.begin(), azioni.end(),
                            [](const auto& a) { return a.chiave == QLatin1String("silenzia"); }));
    notifiche_.scegli(notifiche_.inviate[0].identificatore, QStringLiteral("silenzia"));
    EXPECT_TRUE(s.avvisiSilenziati(nuovo));
    StatoApp& riavviata = crea();
    EXPECT_TRUE(riavviata.avvisiSilenziati(nuovo));
    orologio_.avanza(7200);
    nuovo.id = Uuid::genera();
    spingi(nuovo);
    EventoFlusso altro = nuovo;
    altro.id = Uuid::genera();
    altro.attacco = TipoAttacco::canalePersistente;
    spingi(altro);
    ASSERT_EQ(notifiche_.inviate.size(), 2u);
    EXPECT_TRUE(notifiche_.inviate[1].titolo.contains(
        testi::etichettaAttacco(TipoAttacco::canalePersistente)));
    // A source stopped is always told, and only those that report can be silenced.
    EventoFlusso fermato = nuovo;
    fermato.id = Uuid::genera();
    fermato.consentito = false;
    EXPECT_FALSE(StatoApp::silenziabile(fermato));
    spingi(fermato);
    EXPECT_EQ(notifiche_.inviate.size(), 3u);
    // Told again once the user wants it.
    riavviata.silenziaAvvisi(nuovo, false);
    orologio_.avanza(7200);
    nuovo.id = Uuid::genera();
    spingi(nuovo);
    EXPECT_EQ(notifiche_.inviate.size(), 4u);
}

TEST_F(ArchivioAttacchi, TheLogMergeAddsOnlyWhatIsNewAndWhatNoClearingRemoved) {
    StatoApp& s = crea();
    std::vector<EventoFlusso> registro;  // oldest first
    for (int i = 0; i < 4; ++i) {
        registro.push_back(attacco(TipoAttacco::raffica, "/usr/bin/raffica", 400.0 - 100 * i));
        registro.push_back(evento(orologio_.adesso(), "/usr/bin/normale", true, 350.0 - 100 * i));
    }
    registro.push_back(attacco(TipoAttacco::c2Noto, "/usr/bin/spia", 50));
    s.unisciAttacchi(registro);
    ASSERT_EQ(s.attacchi().size(), 5u);
    EXPECT_EQ(s.attacchi().front().attacco, TipoAttacco::c2Noto);  // newest first
    EXPECT_EQ(s.conteggioAttacchi().at("raffica"), 4);
    // The same log again, or with an attack already archived live: nothing twice.
    s.unisciAttacchi(registro);
    EXPECT_EQ(s.attacchi().size(), 5u);
    EXPECT_EQ(s.conteggioAttacchi().at("raffica"), 4);
    EXPECT_TRUE(notifiche_.inviate.empty());  // what the app missed is not announced

    // Cleared whole: nothing older than the clearing comes back; the counters stay.
    s.pulisciAttacchi();
    EXPECT_TRUE(s.attacchi().empty());
    s.unisciAttacchi(registro);
    EXPECT_TRUE(s.attacchi().empty());
    EXPECT_EQ(s.conteggioAttacchi().at("raffica"), 4);

    // One type cleared: only its events newer than that moment come back.
    orologio_.avanza(100);
    registro.push_back(attacco(TipoAttacco::raffica, "/usr/bin/raffica", 30));
    registro.push_back(attacco(TipoAttacco::c2Noto, "/usr/bin/spia", 20));
    s.pulisciArchivioTipo(TipoAttacco::raffica);
    EXPECT_FALSE(s.conteggioAttacchi().contains("raffica"));
    orologio_.avanza(10);
    registro.push_back(attacco(TipoAttacco::raffica, "/usr/bin/raffica", 1));
    s.unisciAttacchi(registro);
    ASSERT_EQ(s.attacchi().size(), 2u);
    EXPECT_EQ(s.attacchi()[0].attacco, TipoAttacco::raffica);
    EXPECT_DOUBLE_EQ(orologio_.adesso().secondiDa(s.attacchi()[0].data), 1);
    EXPECT_EQ(s.attacchi()[1].attacco, TipoAttacco::c2Noto);
    EXPECT_EQ(s.conteggioAttacchi().at("raffica"), 1);

    // Clearing one type keeps the others in order, and its dates are kept for next time.
    s.pulisciArchivioTipo(TipoAttacco::raffica);
    ASSERT_EQ(s.attacchi().size(), 1u);
    EXPECT_EQ(s.conteggioAttacchi().at("c2Noto"), 2);
    salvati();
    EXPECT_EQ(leggiFile<std::vector<EventoFlusso>>(StatoApp::fileAttacchi).size(), 1u);
    EXPECT_FALSE(leggiFile<json::Conteggi>(StatoApp::fileConteggi).contains("raffica"));
    StatoApp& dopo = crea();
    dopo.unisciAttacchi(registro);
    EXPECT_EQ(dopo.attacchi().size(), 1u);
}

TEST_F(ArchivioAttacchi, BrokenFilesGiveEmptyValuesAndLostCountersAreCountedAgain) {
    auto log = std::make_shared<DestinazioneMemoria>();
    Registro::impostaDestinazione(log);
    for (const std::string& guasto :
         {std::string("[{\"id\":"), std::string("non è JSON"), std::string("{\"a\":1}"),
          std::string("[1,2,3]"), std::string(40, '[')}) {
        scrivi(StatoApp::fileAttacchi, guasto);
        scrivi(StatoApp::fileConteggi, guasto == "{\"a\":1}" ? "[1]" : guasto);
        scrivi(StatoApp::fileDecisioni, "{\"198.51.100.7\":3}");
        StatoApp& s = crea();
        EXPECT_TRUE(s.attacchi().empty()) << guasto;
        EXPECT_TRUE(s.conteggioAttacchi().empty()) << guasto;
        EXPECT_TRUE(s.decisioniAttacco().empty()) << guasto;
    }
    EXPECT_TRUE(log->contiene("attacchi.json non leggibile"));
    Registro::impostaDestinazione(nullptr);
    // Over the reading limit: refused without being read.
    std::filesystem::resize_file(file(StatoApp::fileAttacchi),
                                 ArchivioCondiviso::dimensioneMassimaLettura + 1);
    EXPECT_TRUE(crea().attacchi().empty());

    // An archive whose counters were lost: they are counted from it and stored.
    std::vector<EventoFlusso> archivio{attacco(TipoAttacco::beaconing, "/usr/bin/faro", 5),
                                       attacco(TipoAttacco::beaconing, "/usr/bin/faro", 9),
                                       attacco(TipoAttacco::ipDiretto, "/usr/bin/faro", 12)};
    scrivi(StatoApp::fileAttacchi, json::codifica(archivio));
    std::filesystem::remove(file(StatoApp::fileConteggi));
    StatoApp& s = crea();
    EXPECT_EQ(s.attacchi().size(), 3u);
    EXPECT_EQ(s.conteggioAttacchi(), (MappaConteggi{{"beaconing", 2}, {"ipDiretto", 1}}));
    salvati();
    EXPECT_EQ(leggiFile<json::Conteggi>(StatoApp::fileConteggi), s.conteggioAttacchi());
}

TEST_F(ArchivioAttacchi, AKillDuringASaveLeavesTheOldArchiveOrTheNewOneWhole) {
    // Two full archives of different sizes, written over and over by a child killed at random.
    std::vector<EventoFlusso> a, b;
    for (int i = 0; i < 500; ++i) a.push_back(attacco(TipoAttacco::scansione, "198.51.100.7", i));
    for (int i = 0; i < 300; ++i) b.push_back(attacco(TipoAttacco::c2Noto, "/usr/bin/spia", i));
    ArchivioCondiviso::salvaJSON(a, StatoApp::fileAttacchi);
    for (int giro = 0; giro < 20; ++giro) {
        const pid_t figlio = ::fork();
        ASSERT_GE(figlio, 0);
        if (figlio == 0) {
            for (int i = 0; i < 1000; ++i) {
                ArchivioCondiviso::salvaJSON(i % 2 ? a : b, StatoApp::fileAttacchi);
            }
            ::_exit(0);
        }
        ::usleep(static_cast<useconds_t>(2000 + 1500 * giro));
        ::kill(figlio, SIGKILL);
        int stato = 0;
        ::waitpid(figlio, &stato, 0);
        const auto letto = leggiFile<std::vector<EventoFlusso>>(StatoApp::fileAttacchi);
        EXPECT_TRUE(letto == a || letto == b) << "a torn archive at round " << giro;
    }
    // What a killed save left behind does not stop the app from reading the archive.
    EXPECT_FALSE(crea().attacchi().empty());
}

TEST_F(ArchivioAttacchi, ADecisionOnASourceBecomesARuleAndIsStored) {
    StatoApp& s = crea();
    const EventoFlusso entrata = attacco(TipoAttacco::forzaBruta, "198.51.100.7");
    const EventoFlusso uscita = attacco(TipoAttacco::c2Noto, "/usr/bin/spia");
    s.decidiSorgente(entrata, false);
    s.decidiSorgente(uscita, true);
    salvati();
    EXPECT_EQ(s.decisioniAttacco(),
              (MappaDecisioni{{"198.51.100.7", "blocca"}, {"/usr/bin/spia", "consenti"}}));
    ASSERT_EQ(s.regoleDominio().size(), 1u);
    EXPECT_EQ(s.regoleDominio()[0].dominio, "198.51.100.7");
    EXPECT_EQ(s.regoleDominio()[0].azione, AzioneRegola::blocca);
    ASSERT_EQ(s.regole().size(), 1u);
    EXPECT_EQ(s.regole()[0].firmaApp, "/usr/bin/spia");
    EXPECT_EQ(s.regole()[0].azione, AzioneRegola::consenti);
    // An IPv6 source is a rule of its address; nothing can name an unidentified application
    // or a source without address or host: no decision is recorded for them.
    const EventoFlusso ipv6 = attacco(TipoAttacco::scansione, "2001:DB8::7");
    EXPECT_TRUE(StatoApp::puòDecidere(ipv6));
    EXPECT_EQ(s.decidiSorgente(ipv6, false), EsitoModifica::cambiata);
    EventoFlusso ignota = attacco(TipoAttacco::c2Noto, "/x");
    ignota.firmaApp = "sconosciuta";
    EventoFlusso senzaNulla = attacco(TipoAttacco::scansione, "?");
    senzaNulla.indirizzoIP.reset();
    for (const EventoFlusso& e : {ignota, senzaNulla}) {
        EXPECT_FALSE(StatoApp::puòDecidere(e));
        EXPECT_TRUE(èRifiuto(s.decidiSorgente(e, false)));
    }
    salvati();
    EXPECT_EQ(s.decisioniAttacco().size(), 3u);
    EXPECT_EQ(s.decisioniAttacco().at("2001:DB8::7"), "blocca");
    ASSERT_EQ(s.regoleDominio().size(), 2u);
    EXPECT_EQ(s.regoleDominio()[1].dominio, "2001:db8::7");
    // A change of mind replaces the decision, once its rule is stored.
    EXPECT_EQ(s.decidiSorgente(entrata, true), EsitoModifica::cambiata);
    EXPECT_EQ(s.decisioniAttacco().at("198.51.100.7"), "blocca");
    salvati();
    EXPECT_EQ(s.decisioniAttacco().at("198.51.100.7"), "consenti");
    EXPECT_EQ(leggiFile<json::Testi>(StatoApp::fileDecisioni), s.decisioniAttacco());
    const auto regole = leggiFile<StatoRegole>("regole.json");
    ASSERT_EQ(regole.regoleDominio.size(), 2u);
    EXPECT_EQ(regole.regoleDominio[0].azione, AzioneRegola::consenti);
}

TEST_F(ArchivioAttacchi, TheBlockedAccessQuestionIsAskedOncePerHourAndOnlyWhenWanted) {
    StatoApp& s = crea();
    auto bloccato = [&](const std::string& firma, MotivoDecisione motivo) {
        spingi(evento(orologio_.adesso(), firma, false, 0, motivo));
    };
    preferenze_.imposta(ImpostazioniApp::chiediSuBlocco, false);
    bloccato("/usr/bin/nuova", MotivoDecisione::predefinita);
    EXPECT_TRUE(domande_.domande.empty());

    preferenze_.imposta(ImpostazioniApp::chiediSuBlocco, true);
    bloccato("/usr/bin/nuova", MotivoDecisione::quarantena);
    bloccato("/usr/bin/altra", MotivoDecisione::predefinita);  // one question on screen at a time
    bloccato("sconosciuta", MotivoDecisione::predefinita);
    bloccato("/usr/bin/regolata", MotivoDecisione::regola);
    ASSERT_EQ(domande_.domande.size(), 1u);
    EXPECT_FALSE(domande_.domande[0].sospesa);
    EXPECT_TRUE(s.lampeggioAcceso());
    domande_.domande[0].risposta(false);
    EXPECT_EQ(s.richiesteInAttesa(), 0);
    salvati();
    ASSERT_EQ(s.regole().size(), 1u);
    EXPECT_EQ(s.regole()[0].azione, AzioneRegola::blocca);
    // Within the hour the same application is not asked again; after it, it is.
    orologio_.avanza(1800);
    bloccato("/usr/bin/nuova", MotivoDecisione::predefinita);
    EXPECT_EQ(domande_.domande.size(), 1u);
    orologio_.avanza(1801);
    bloccato("/usr/bin/nuova", MotivoDecisione::predefinita);
    EXPECT_EQ(domande_.domande.size(), 2u);
}

TEST_F(ArchivioAttacchi, AHeldFlowIsAskedInAWindowAndANotificationAndTheFirstAnswerWins) {
    StatoApp& s = crea();
    EventoFlusso sospeso =
        evento(orologio_.adesso(), "/opt/nuova/app", false, 0, MotivoDecisione::quarantena);
    s.chiediDecisione(json::codifica(sospeso));
    sospeso.firmaApp = "/opt/seconda/app";
    s.chiediDecisione(json::codifica(sospeso));
    s.chiediDecisione("non è un evento");
    ASSERT_EQ(domande_.domande.size(), 2u);
    ASSERT_EQ(notifiche_.inviate.size(), 2u);
    const auto n = notifiche_.inviate[0];
    EXPECT_EQ(n.titolo, QStringLiteral("Connessione sospesa: decidi tu"));
    EXPECT_TRUE(
        n.corpo.startsWith(QStringLiteral("/opt/nuova/app vuole collegarsi a "
                                          "esempio.example sulla porta 443, ma l'app è "
                                          "in quarantena (software nuovo).")))
        << n.corpo.toStdString();
    // The last line says what the buttons apply: the last choice, for ever and the whole
    // application until the user picks another.
    EXPECT_TRUE(n.corpo.endsWith(QStringLiteral("\n\nVale per sempre, per tutta l'app")))
        << n.corpo.toStdString();
    ASSERT_EQ(n.azioni.size(), 3u);
    EXPECT_EQ(n.azioni[0].etichetta, QStringLiteral("Blocca"));
    EXPECT_EQ(n.azioni[1].etichetta, QStringLiteral("Consenti"));
    EXPECT_EQ(n.azioni[2].etichetta, QStringLiteral("Solo questa volta"));
    EXPECT_TRUE(n.urgente);
    EXPECT_EQ(s.richiesteInAttesa(), 2);
    EXPECT_DOUBLE_EQ(domande_.domande[0].scadenza.secondiDa(orologio_.adesso()), 60);

    // The notification's button answers the first: its window is withdrawn.
    notifiche_.scegli(n.identificatore, QStringLiteral("consenti"));
    EXPECT_TRUE(domande_.domande[0].ritirata);
    domande_.domande[0].risposta(false);  // too late: ignored
    salvati();
    ASSERT_EQ(s.regole().size(), 1u);
    EXPECT_EQ(s.regole()[0].azione, AzioneRegola::consenti);
    // The window answers the second: its notification is withdrawn.
    domande_.domande[1].risposta(false);
    EXPECT_EQ(notifiche_.ritirate, (std::vector<QString>{notifiche_.inviate[0].identificatore,
                                                         notifiche_.inviate[1].identificatore}));
    notifiche_.scegli(notifiche_.inviate[1].identificatore, QStringLiteral("consenti"));
    salvati();
    ASSERT_EQ(s.regole().size(), 2u);
    EXPECT_EQ(s.regole()[1].azione, AzioneRegola::blocca);
    EXPECT_EQ(s.richiesteInAttesa(), 0);

    // A server without buttons gets no question.
    notifiche_.azioni = false;
    s.chiediDecisione(json::codifica(sospeso));
    EXPECT_EQ(notifiche_.inviate.size(), 2u);
    EXPECT_EQ(domande_.domande.size(), 3u);
}

// What the answers tell the extension, read off the channel by a stand-in for it: which waiting
// flows are released, whether the answer holds for the next ones, and the rule that follows. The
// notification's buttons apply the last choice the window made, and say so.
TEST_F(ArchivioAttacchi, TheAnswerTellsTheExtensionWhichWaitingFlowsItReleases) {
    QLocalServer server;
    const QString percorso = QString::fromStdString((cartella_ / "estensione.sock").string());
    ASSERT_TRUE(server.listen(percorso));
    std::vector<RispostaSospesi> sospesi;
    std::vector<ModificaRegole> modifiche;
    canale::LettoreCornici lettore;
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        QLocalSocket* c = server.nextPendingConnection();
        QObject::connect(c, &QLocalSocket::readyRead, c, [&, c] {
            const QByteArray byte = c->readAll();
            lettore.aggiungi(
                std::string_view(byte.constData(), static_cast<std::size_t>(byte.size())));
            while (auto cornice = lettore.prossima()) {
                if (cornice->nome == canale::messaggi::rispondiSospesi) {
                    sospesi.push_back(*json::decodifica<RispostaSospesi>(cornice->carico));
                    continue;  // no answer to this one
                }
                if (cornice->nome == canale::messaggi::modificaRegole)
                    modifiche.push_back(*json::decodifica<ModificaRegole>(cornice->carico));
                const std::string risposta =
                    cornice->nome == canale::messaggi::registra ? canale::bool_(true)
                    : cornice->nome == canale::messaggi::modificaRegole
                        ? json::codifica(RispostaModifica{EsitoModifica::cambiata, {}})
                        : std::string();
                const std::string uscita = canale::codifica(
                    {canale::TipoCornice::risposta, cornice->id, cornice->nome, risposta});
                c->write(uscita.data(), static_cast<qint64>(uscita.size()));
            }
        });
    });
    preferenze_.imposta(ImpostazioniApp::durataRisposta, QStringLiteral("1h"));
    preferenze_.imposta(ImpostazioniApp::ambitoRisposta, QStringLiteral("hostPorta"));
    StatoApp s({orologio_, tempo_, gestore_, preferenze_, &domande_, percorso, {}, &notifiche_});
    s.avvia();
    ASSERT_TRUE(aspetta([&] { return s.connesso() && s.estensionePronta(); }));
    EventoFlusso sospeso = evento(orologio_.adesso(), "/opt/prima", false);
    sospeso.host = "https://WWW.Esempio.example/";
    for (const char* firma : {"/opt/prima", "/opt/seconda", "/opt/terza"}) {
        sospeso.firmaApp = firma;
        s.chiediDecisione(json::codifica(sospeso));
    }
    ASSERT_EQ(domande_.domande.size(), 3u);
    EXPECT_EQ(domande_.domande[0].ultima,
              (RispostaDecisione{false, DurataRisposta::unOra, AmbitoRisposta::hostPorta}));
    ASSERT_EQ(notifiche_.inviate.size(), 3u);
    EXPECT_TRUE(notifiche_.inviate[0].corpo.endsWith(
        QStringLiteral("\n\nVale per 1 ora, solo verso esempio.example, porta 443")))
        << notifiche_.inviate[0].corpo.toStdString();
    notifiche_.scegli(notifiche_.inviate[0].identificatore, QStringLiteral("consenti"));
    notifiche_.scegli(notifiche_.inviate[1].identificatore, QStringLiteral("unaVolta"));
    EXPECT_EQ(preferenze_.comeTesto(ImpostazioniApp::durataRisposta), QStringLiteral("1h"));
    domande_.domande[2].decidi({false, DurataRisposta::perSempre, AmbitoRisposta::app});
    EXPECT_EQ(preferenze_.comeTesto(ImpostazioniApp::durataRisposta), QStringLiteral("perSempre"));
    EXPECT_EQ(preferenze_.comeTesto(ImpostazioniApp::ambitoRisposta), QStringLiteral("app"));

    ASSERT_TRUE(aspetta([&] { return sospesi.size() == 3 && modifiche.size() >= 2; }));
    EXPECT_EQ(sospesi, (std::vector<RispostaSospesi>{
                           {"/opt/prima", true, false, "esempio.example", 443},
                           {"/opt/seconda", true, true, "esempio.example", 443},
                           {"/opt/terza", false, false, std::nullopt, std::nullopt}}));
    // The answer once made no rule: the edits are the first and the third answers'.
    ASSERT_EQ(modifiche.size(), 2u);
    EXPECT_EQ(modifiche[0].operazione, OperazioneRegole::aggiungiRegolaDominio);
    EXPECT_EQ(modifiche[0].dominio, "esempio.example");
    EXPECT_EQ(modifiche[0].firma, "/opt/prima");
    EXPECT_EQ(modifiche[0].porta, 443);
    EXPECT_EQ(modifiche[0].azione, AzioneRegola::consenti);
    ASSERT_TRUE(modifiche[0].durata.scadenza.has_value());
    EXPECT_NEAR(modifiche[0].durata.scadenza->secondiDa(orologio_.adesso()), 3600, 1e-3);
    EXPECT_EQ(modifiche[1], ModificaRegole::nuovaRegola("/opt/terza", AzioneRegola::blocca));
}

TEST_F(ArchivioAttacchi, AnApplicationWakingUpIsToldOncePerHour) {
    StatoApp& s = crea();
    ImpostazioniParziali avvisa;
    avvisa.avvisaAnomalie = true;
    ASSERT_EQ(s.modificaImpostazioni(avvisa), EsitoModifica::cambiata);
    salvati();
    ASSERT_TRUE(s.impostazioni().avvisaAnomalie);
    EventoFlusso e = evento(orologio_.adesso(), "/usr/bin/sveglia", true);
    e.anomala = true;
    e.host = "nuova.example.test";
    spingi(e);
    spingi(e);
    ASSERT_EQ(notifiche_.inviate.size(), 1u);
    EXPECT_EQ(notifiche_.inviate[0].titolo, QStringLiteral("App che si sveglia"));
    EXPECT_EQ(notifiche_.inviate[0].corpo,
              QStringLiteral("/usr/bin/sveglia ha contattato una destinazione nuova: "
                             "nuova.example.test"));
    EXPECT_TRUE(notifiche_.inviate[0].azioni.empty());
    orologio_.avanza(3601);
    spingi(e);
    EXPECT_EQ(notifiche_.inviate.size(), 2u);
}

}  // namespace
}  // namespace ostrale::test
