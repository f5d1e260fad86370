// SPDX-License-Identifier: GPL-3.0-or-later
// The status light, the blinking claims and the revival of a failing link, on a real filter
// switch (the local manager and its child), with time moved by the test.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>

#include <QLocalServer>
#include <QLocalSocket>
#include "Condiviso/codifica-json.h"

#include "Condiviso/cornice.h"
#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Linux/gestore-locale.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

class StatoAppSenzaCollegamento : public ::testing::Test {
  protected:
    StatoAppSenzaCollegamento()
        : contenitore_("OSTRALE_CONTENITORE", (cartella_ / "contenitore").string()),
          // The extension the local manager runs listens here; the app looks elsewhere, so
          // every connection of the app fails.
          socketVar_("OSTRALE_SOCKET", (cartella_ / "estensione.sock").string()) {
        std::filesystem::create_directories(cartella_ / "contenitore");
    }

    ~StatoAppSenzaCollegamento() override {
        stato_.reset();
        gestore_.reset();
    }

    void creaGestore(QStringList comando) {
        gestore_ = std::make_unique<GestoreLocale>(std::move(comando), preferenze_);
    }

    StatoApp& crea() {
        if (!gestore_) creaGestore({QStringLiteral("/bin/sleep"), QStringLiteral("600")});
        stato_ = std::make_unique<StatoApp>(
            StatoApp::Dipendenze{orologio_,
                                 tempo_,
                                 *gestore_,
                                 preferenze_,
                                 &domande_,
                                 QString::fromStdString((cartella_ / "nessuno.sock").string()),
                                 {}});
        stato_->avvia();
        return *stato_;
    }

    void spingi(StatoApp& s, bool consentito, double eta) {
        s.nuovoFlusso(json::codifica(evento(orologio_.adesso(), "/usr/bin/app", consentito, eta)));
    }

    // Moves the fake time by `secondi` and lets the loop deliver what that set off.
    void avanza(double secondi) {
        tempo_.avanza(secondi);
        gira(0.02);
    }

    // Lets connections fail until a revival begins (at most a minute of fake time); the count
    // of failures seen just before it.
    int finoAllaRianimazione(StatoApp& s) {
        int prima = -1;
        for (int i = 0; i < 60 && !preferenze_.contiene(ImpostazioniApp::rianimazioneInCorso);
             ++i) {
            prima = s.collegamentiFalliti();
            avanza(1);
        }
        return prima;
    }

    CartellaTemporanea cartella_;
    VariabileAmbiente contenitore_, socketVar_;
    OrologioFinto orologio_{Data::daUnix(static_cast<double>(std::time(nullptr)))};
    TemporizzatoreFinto tempo_{orologio_};
    ImpostazioniApp preferenze_{QString::fromStdString((cartella_ / "ostrale.conf").string())};
    PresentatoreRegistrato domande_;
    std::unique_ptr<GestoreLocale> gestore_;
    std::unique_ptr<StatoApp> stato_;
};

TEST_F(StatoAppSenzaCollegamento, TheLightCountsTheBlockedEventsOfTheLastTenSeconds) {
    StatoApp& s = crea();
    ASSERT_TRUE(aspetta([&] { return s.filtroAttivo(); }));
    EXPECT_EQ(s.coloreBarra(), ColoreSemaforo::verde);
    // A blocked event 10 s old ends the run: neither it nor what lies behind it counts.
    for (int i = 0; i < 5; ++i) spingi(s, false, 30);
    spingi(s, false, 10);
    EXPECT_EQ(s.coloreBarra(), ColoreSemaforo::verde);
    for (int i = 0; i < 4; ++i) spingi(s, false, 1);
    EXPECT_EQ(s.coloreBarra(), ColoreSemaforo::arancio);
    spingi(s, true, 0);
    EXPECT_EQ(s.coloreBarra(), ColoreSemaforo::arancio);
    spingi(s, false, 0);
    EXPECT_EQ(s.coloreBarra(), ColoreSemaforo::rosso);
    // Ten seconds on, nothing is recent.
    orologio_.avanza(10);
    s.aggiornaSemaforo();
    EXPECT_EQ(s.coloreBarra(), ColoreSemaforo::verde);
    EXPECT_EQ(s.totaleBloccati(), 11);
    EXPECT_EQ(s.totaleConsentiti(), 1);

    // Switched off, the light is out whatever came, and the ring stops.
    for (int i = 0; i < 6; ++i) spingi(s, false, 0);
    s.impostaFiltro(false);
    ASSERT_TRUE(aspetta([&] { return !s.filtroAttivo(); }));
    EXPECT_EQ(s.coloreBarra(), ColoreSemaforo::spento);
    const double fase = s.faseAnello();
    avanza(1);
    EXPECT_EQ(s.faseAnello(), fase);
    EXPECT_EQ(tempo_.ripetuti(StatoApp::intervalloAnello), 0u);
}

TEST_F(StatoAppSenzaCollegamento, TheRingTurnsThreePointsATickOverFiftySix) {
    StatoApp& s = crea();
    ASSERT_TRUE(aspetta([&] { return s.filtroAttivo(); }));
    EXPECT_EQ(tempo_.ripetuti(StatoApp::intervalloAnello), 1u);
    std::vector<double> fasi;
    for (int i = 0; i < 20; ++i) {
        tempo_.avanza(StatoApp::intervalloAnello);
        fasi.push_back(s.faseAnello());
    }
    EXPECT_EQ(fasi[0], -3);
    EXPECT_EQ(fasi[17], -54);
    EXPECT_EQ(fasi[18], -1);
    EXPECT_EQ(fasi[19], -4);
    for (double f : fasi) EXPECT_TRUE(f > -56 && f <= 0);
    // Another refresh does not start a second ring.
    s.aggiornaSemaforo();
    EXPECT_EQ(tempo_.ripetuti(StatoApp::intervalloAnello), 1u);
}

TEST_F(StatoAppSenzaCollegamento, BlinkingLastsWhileAnyClaimIsHeld) {
    StatoApp& s = crea();
    s.avviaLampeggio();
    s.avviaLampeggio();
    EXPECT_TRUE(s.lampeggioAcceso());
    tempo_.avanza(StatoApp::intervalloLampeggio);
    EXPECT_FALSE(s.lampeggioAcceso());
    tempo_.avanza(StatoApp::intervalloLampeggio);
    EXPECT_TRUE(s.lampeggioAcceso());
    s.fermaLampeggio();
    EXPECT_EQ(s.richiesteInAttesa(), 1);
    EXPECT_EQ(tempo_.ripetuti(StatoApp::intervalloLampeggio), 1u);
    s.fermaLampeggio();
    EXPECT_FALSE(s.lampeggioAcceso());
    EXPECT_EQ(tempo_.ripetuti(StatoApp::intervalloLampeggio), 0u);
    s.fermaLampeggio();
    EXPECT_EQ(s.richiesteInAttesa(), 0);

    // An attack event takes a claim for 8 seconds, and is no flow.
    EventoFlusso attacco = evento(orologio_.adesso(), "sconosciuta", false);
    attacco.attacco = TipoAttacco::forzaBruta;
    s.nuovoFlusso(json::codifica(attacco));
    EXPECT_TRUE(s.flussi().empty());
    EXPECT_EQ(s.totaleBloccati(), 0);
    EXPECT_EQ(s.attacchi().size(), 1u);
    EXPECT_EQ(s.richiesteInAttesa(), 1);
    tempo_.avanza(7.9);
    EXPECT_EQ(s.richiesteInAttesa(), 1);
    tempo_.avanza(0.2);
    EXPECT_EQ(s.richiesteInAttesa(), 0);
}

TEST_F(StatoAppSenzaCollegamento, TheLiveListKeepsTheNewestThreeThousand) {
    StatoApp& s = crea();
    for (int i = 0; i <= 3000; ++i) {
        EventoFlusso e = evento(orologio_.adesso(), "/usr/bin/app" + std::to_string(i), true);
        s.nuovoFlusso(json::codifica(e));
    }
    ASSERT_EQ(s.flussi().size(), 3000u);
    EXPECT_EQ(s.flussi().front().firmaApp, "/usr/bin/app3000");
    EXPECT_EQ(s.flussi().back().firmaApp, "/usr/bin/app1");
    EXPECT_EQ(s.totaleConsentiti(), 3001);
}

TEST_F(StatoAppSenzaCollegamento, TheBlockQuestionComesOnlyForUnruledBlocksWithoutAsking) {
    StatoApp& s = crea();
    s.nuovoFlusso(json::codifica(
        evento(orologio_.adesso(), "/usr/bin/a", false, 0, MotivoDecisione::regola)));
    EXPECT_TRUE(domande_.domande.empty());
    s.nuovoFlusso(json::codifica(evento(orologio_.adesso(), "/usr/bin/a", false)));
    ASSERT_EQ(domande_.domande.size(), 1u);
    EXPECT_FALSE(domande_.domande[0].sospesa);
    // One question at a time, once an hour per application.
    s.nuovoFlusso(json::codifica(
        evento(orologio_.adesso(), "/usr/bin/b", false, 0, MotivoDecisione::quarantena)));
    EXPECT_EQ(domande_.domande.size(), 1u);
    domande_.domande[0].risposta(false);
    s.attendiLavori();
    ASSERT_TRUE(aspetta([&] { return s.regole().size() == 1; }));
    EXPECT_EQ(s.regole()[0].azione, AzioneRegola::blocca);
    s.nuovoFlusso(json::codifica(evento(orologio_.adesso(), "/usr/bin/a", false)));
    EXPECT_EQ(domande_.domande.size(), 1u);
    // With chiediPrima on the paused-flow question does the asking.
    ImpostazioniParziali chiedi;
    chiedi.chiediPrima = true;
    s.modificaImpostazioni(chiedi);
    s.attendiLavori();
    ASSERT_TRUE(aspetta([&] { return s.impostazioni().chiediPrima; }));
    s.nuovoFlusso(json::codifica(evento(orologio_.adesso(), "/usr/bin/c", false)));
    EXPECT_EQ(domande_.domande.size(), 1u);
    s.attendiLavori();
}

TEST_F(StatoAppSenzaCollegamento, FiveFailuresReviveTheExtensionOnceInTenMinutes) {
    creaGestore({QString::fromUtf8(OSTRALE_ESTENSIONE), QStringLiteral("--sorgente"),
                 QStringLiteral("simulata"), QStringLiteral("--velocita"), QStringLiteral("1")});
    StatoApp& s = crea();
    ASSERT_TRUE(aspetta([&] { return s.filtroAttivo() && gestore_->pid() != 0; }));
    const qint64 primo = gestore_->pid();
    // Each failed attempt is retried 3 s later; the fifth starts the revival.
    EXPECT_EQ(finoAllaRianimazione(s), StatoApp::fallimentiPerRianimazione - 1);
    ASSERT_TRUE(preferenze_.comeBool(ImpostazioniApp::rianimazioneInCorso));
    EXPECT_EQ(s.collegamentiFalliti(), 0);
    // The filter is switched off, and on again two seconds later.
    ASSERT_TRUE(aspetta([&] { return !s.filtroAttivo() && gestore_->pid() == 0; }));
    avanza(2);
    ASSERT_TRUE(aspetta([&] { return s.filtroAttivo() && gestore_->pid() != 0; }));
    const qint64 secondo = gestore_->pid();
    EXPECT_NE(secondo, primo);
    EXPECT_FALSE(preferenze_.contiene(ImpostazioniApp::rianimazioneInCorso));

    // More failures within ten minutes only count.
    for (int i = 0; i < 60 && s.collegamentiFalliti() < 2 * StatoApp::fallimentiPerRianimazione;
         ++i) {
        avanza(StatoApp::attesaRiconnessione);
    }
    EXPECT_GE(s.collegamentiFalliti(), 2 * StatoApp::fallimentiPerRianimazione);
    EXPECT_TRUE(s.filtroAttivo());
    EXPECT_EQ(gestore_->pid(), secondo);
    // Ten minutes after the revival, the next failure revives it again.
    avanza(StatoApp::intervalloRianimazione - 60);
    EXPECT_EQ(gestore_->pid(), secondo);
    EXPECT_GE(finoAllaRianimazione(s), StatoApp::fallimentiPerRianimazione);
    EXPECT_TRUE(preferenze_.comeBool(ImpostazioniApp::rianimazioneInCorso));
}

TEST_F(StatoAppSenzaCollegamento, ARevivalCutShortByQuittingIsCompletedAtTheNextStart) {
    StatoApp& s = crea();
    ASSERT_TRUE(aspetta([&] { return s.filtroAttivo() && gestore_->pid() != 0; }));
    finoAllaRianimazione(s);
    ASSERT_TRUE(preferenze_.comeBool(ImpostazioniApp::rianimazioneInCorso));
    // The app quits once the filter is off, before the two seconds are up.
    ASSERT_TRUE(aspetta([&] { return !s.filtroAttivo() && gestore_->pid() == 0; }));
    stato_.reset();
    avanza(5);
    EXPECT_TRUE(preferenze_.comeBool(ImpostazioniApp::rianimazioneInCorso));
    EXPECT_EQ(gestore_->pid(), 0);

    StatoApp& nuovo = crea();
    EXPECT_FALSE(preferenze_.contiene(ImpostazioniApp::rianimazioneInCorso));
    gira(0.1);
    EXPECT_FALSE(nuovo.filtroAttivo());
    avanza(1);
    ASSERT_TRUE(aspetta([&] { return nuovo.filtroAttivo() && gestore_->pid() != 0; }));
}

// Ten minutes of fake time with nobody listening, every trigger of a connection pulled as often
// as a desktop would: the 5 s refresh, the system's configuration changes every second.
class SenzaDemone : public StatoAppSenzaCollegamento {
  protected:
    // The attempts made over `secondi`, and whether the filter was ever switched.
    std::uint64_t tentativiIn(StatoApp& s, GestoreFiltro& gestore, double secondi) {
        const std::uint64_t prima = s.tentativiCollegamento();
        for (double t = 0; t < secondi; t += 0.5) {
            tempo_.avanza(0.5);
            if (static_cast<int>(t * 2) % 2 == 0) emit gestore.configurazioneCambiata();
            // Each attempt has failed, and the failure been handled, before time moves on.
            aspetta([&] { return !s.connesso(); }, 5);
            gira(0.001);
        }
        return s.tentativiCollegamento() - prima;
    }
};

TEST_F(SenzaDemone, TenMinutesMakeOneAttemptEveryThreeSeconds) {
    GestoreEsterno acceso;  // the filter stays on: the link is expected
    StatoApp s({orologio_,
                tempo_,
                acceso,
                preferenze_,
                nullptr,
                QString::fromStdString((cartella_ / "nessuno.sock").string()),
                {}});
    s.avvia();
    ASSERT_TRUE(aspetta([&] { return s.filtroAttivo(); }));
    const std::uint64_t tentativi = tentativiIn(s, acceso, 600);
    EXPECT_GE(tentativi, 195u);
    EXPECT_LE(tentativi, 205u);
}

TEST_F(SenzaDemone, AUserTheExtensionRefusesIsToldSoOnceAndNothingIsRevived) {
    // The extension's answer to a peer outside its group: one frame, and its end closed for
    // writing (it closes the rest a moment later).
    QLocalServer server;
    const QString percorso = QString::fromStdString((cartella_ / "rifiuta.sock").string());
    ASSERT_TRUE(server.listen(percorso));
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* c = server.nextPendingConnection()) {
            const std::string cornice =
                canale::codifica(canale::Cornice{canale::TipoCornice::notifica,
                                                 0,
                                                 std::string(canale::messaggi::nonAutorizzato),
                                                 {}});
            c->write(cornice.data(), static_cast<qint64>(cornice.size()));
            c->flush();
            QObject::connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
        }
    });
    GestoreEsterno acceso;
    StatoApp s({orologio_, tempo_, acceso, preferenze_, nullptr, percorso, {}});
    int testi = 0;
    QObject::connect(&s, &StatoApp::statoEstensioneCambiato, [&] { ++testi; });
    s.avvia();
    ASSERT_TRUE(aspetta([&] { return s.filtroAttivo(); }));
    const std::uint64_t tentativi = tentativiIn(s, acceso, 600);
    EXPECT_EQ(s.statoEstensione(),
              QStringLiteral("Non autorizzato: aggiungi il tuo utente al gruppo ostrale"));
    EXPECT_LE(testi, 2);  // said once (the first status may be another)
    EXPECT_EQ(s.collegamentiFalliti(), 0);
    EXPECT_FALSE(preferenze_.contiene(ImpostazioniApp::rianimazioneInCorso));
    EXPECT_GE(tentativi, 15u);  // tried again, seldom
    EXPECT_LE(tentativi, 25u);
}

}  // namespace
}  // namespace ostrale::test
