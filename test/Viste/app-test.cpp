// SPDX-License-Identifier: GPL-3.0-or-later
// The main window, the tray's popup and icon, the dashboard and the report card: real widgets on
// the offscreen platform, the controller beside the real simulated daemon where the data must be
// real, and pictures of each in Italian and English.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTranslator>
#include <cstdlib>
#include <ctime>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/codifica-json.h"
#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/Cruscotto/cruscotto.h"
#include "Ostrale/Viste/Cruscotto/visualizzazioni.h"
#include "Ostrale/Viste/Flussi/modello-flussi.h"
#include "Ostrale/Viste/Pagella/vista-pagella.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/finestra-principale.h"
#include "Ostrale/Viste/icona-barra.h"
#include "Ostrale/Viste/vassoio.h"
#include "Ostrale/Viste/vista-barra-menu.h"
#include "test/Ostrale/supporto-app.h"
#include "test/Viste/fotografa.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

// A controller with no extension behind it, fed by the test.
class AppSenzaEstensione : public ::testing::Test, protected ControlloreSenzaEstensione {
  protected:
    void flussi(int quanti) {
        for (int i = 0; i < quanti; ++i) {
            EventoFlusso e =
                evento(orologio_.adesso(), "/usr/bin/app" + std::to_string(i), i % 3 != 0);
            e.host = "servizio" + std::to_string(i) + ".example.test";
            stato().nuovoFlusso(json::codifica(e));
        }
    }
};

TEST_F(AppSenzaEstensione, TheOpeningSectionAndRequestsFromTheSessionBus) {
    preferenze_.imposta(ImpostazioniApp::sezioneApertura, QStringLiteral("pagella"));
    {
        FinestraPrincipale f(stato());
        EXPECT_EQ(f.sezioneCorrente(), QStringLiteral("pagella"));
        EXPECT_GE(f.minimumWidth(), 780);
        EXPECT_GE(f.minimumHeight(), 520);
    }
    for (const char* altro : {"niente", "Mappa", ""}) {  // names are exact
        preferenze_.imposta(ImpostazioniApp::sezioneApertura, QString::fromLatin1(altro));
        FinestraPrincipale f(stato());
        EXPECT_EQ(f.sezioneCorrente(), QStringLiteral("cruscotto")) << altro;
    }
    // Every section is listed, in the design's order.
    FinestraPrincipale f(stato());
    auto* barra = f.findChild<QListWidget*>(QStringLiteral("barraSezioni"));
    ASSERT_NE(barra, nullptr);
    QStringList voci;
    for (int i = 0; i < barra->count(); ++i) voci << barra->item(i)->text();
    EXPECT_EQ(voci, (QStringList{"Cruscotto", "Flussi", "Regole", "Pagella", "Storico", "Mappa",
                                 "Attacchi", "Interruttori"}));
    // The signal on the session bus (a private one of the test's, see main).
    auto manda = [](const QVariantList& argomenti) {
        auto s = QDBusMessage::createSignal(QStringLiteral("/"), QStringLiteral("it.brelt.ostrale"),
                                            QStringLiteral("spento"));
        s.setArguments(argomenti);
        QDBusConnection::sessionBus().send(s);
    };
    manda({QStringLiteral("pagella")});
    EXPECT_TRUE(aspetta([&] { return (f.sezioneCorrente()) == (QStringLiteral("pagella")); }, 5));
    manda({QStringLiteral("attacchi")});
    EXPECT_TRUE(aspetta([&] { return (f.sezioneCorrente()) == (QStringLiteral("attacchi")); }, 5));
    manda({QStringLiteral("regole")});
    EXPECT_TRUE(aspetta([&] { return (f.sezioneCorrente()) == (QStringLiteral("regole")); }, 5));
    manda({QStringLiteral("nessuna")});
    manda({42});
    manda({});
    manda({QStringLiteral("cruscotto")});
    EXPECT_TRUE(aspetta([&] { return (f.sezioneCorrente()) == (QStringLiteral("cruscotto")); }, 5));
}

TEST_F(AppSenzaEstensione, ThePopupShowsTheLastEightFlowsOrSaysThereAreNone) {
    VistaBarraMenu barra(stato());
    barra.show();
    auto* elenco = barra.findChild<QListWidget*>(QStringLiteral("ultimiFlussi"));
    auto* vuoto = barra.findChild<QLabel*>(QStringLiteral("nessunFlusso"));
    ASSERT_TRUE(elenco && vuoto);
    EXPECT_TRUE(vuoto->isVisible());
    EXPECT_EQ(vuoto->text(), QStringLiteral("Nessun flusso registrato"));
    fotografa(&barra, QStringLiteral("barra-menu-vuota.png"));
    flussi(3);
    EXPECT_TRUE(aspetta([&] { return (elenco->count()) == (3); }, 5));
    EXPECT_FALSE(vuoto->isVisible());
    flussi(17);
    EXPECT_TRUE(aspetta([&] { return (elenco->count()) == (8); }, 5));
    EXPECT_EQ(elenco->item(0)->text(), QStringLiteral("servizio16.example.test"));  // newest first
    EXPECT_EQ(barra.findChild<QLabel*>(QStringLiteral("totaleBloccati"))->text().right(1),
              QStringLiteral("7"));
    fotografa(&barra, QStringLiteral("barra-menu.png"));
}

TEST_F(AppSenzaEstensione, TheFlowPicturesKeepTheirLimitsAndRestWhenHidden) {
    FlussoParticelle fiume(stato(), orologio_);
    for (int i = 0; i < 10; ++i) {  // ten allowed flows within 0.1 s
        fiume.genera(false);
        orologio_.avanza(0.01);
    }
    EXPECT_EQ(fiume.particelle().size(), 1u);
    orologio_.avanza(0.03);
    fiume.genera(false);
    EXPECT_EQ(fiume.particelle().size(), 2u);
    std::size_t massimo = 0;
    for (int i = 0; i < 300; ++i) {
        orologio_.avanza(0.121);
        fiume.genera(false);
        fiume.genera(true);
        massimo = std::max(massimo, fiume.particelle().size());
        ASSERT_LE(fiume.particelle().size(), FlussoParticelle::massimo);
    }
    EXPECT_EQ(massimo, FlussoParticelle::massimo);  // reached, and the oldest went

    RadarSonar radar(stato(), orologio_);
    radar.genera(true);
    orologio_.avanza(2.41);
    radar.genera(false);
    ASSERT_EQ(radar.onde().size(), 1u);  // the first wave is gone 2.4 s after its birth
    EXPECT_FALSE(radar.onde().front().forte);
    for (int i = 0; i < 100; ++i) {
        orologio_.avanza(0.151);
        radar.genera(true);
        radar.genera(false);
        ASSERT_LE(radar.onde().size(), RadarSonar::massimo);
    }
    EXPECT_EQ(radar.onde().size(), RadarSonar::massimo);

    // Animated only while shown and not minimised.
    EXPECT_FALSE(fiume.anima());
    fiume.show();
    EXPECT_TRUE(fiume.anima());
    fotografa(&fiume, QStringLiteral("flusso-particelle.png"));
    fiume.showMinimized();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(!fiume.anima()); }, 5));
    fiume.showNormal();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(fiume.anima()); }, 5));
    fiume.hide();
    EXPECT_FALSE(fiume.anima());
    radar.show();
    fotografa(&radar, QStringLiteral("radar-sonar.png"));
}

// The tray's icon as the panel gets it, and the picture it should be.
QImage iconaDi(const Vassoio& v) {
    return v.icona().pixmap(QSize(22, 21)).toImage().convertToFormat(QImage::Format_ARGB32);
}
QImage richiesta() {
    return IconaBarra::disegna(ColoreSemaforo::verde, false, 0, true, 1)
        .convertToFormat(QImage::Format_ARGB32);
}

TEST_F(AppSenzaEstensione, TheTrayBlinksForAlertsAndShowsTheRequestWhileAQuestionWaits) {
    PresentatoreRegistrato domande;
    StatoApp s({orologio_,
                tempo_,
                gestore_,
                preferenze_,
                &domande,
                QString::fromStdString((cartella_ / "nessuno.sock").string()),
                {}});
    Vassoio vassoio(s);
    vassoio.barraMenu().show();  // the icon follows at once while the popup shows
    s.avvia();
    EXPECT_TRUE(
        aspetta([&] { return static_cast<bool>(s.filtroAttivo() && s.anelloAttivo()); }, 5));
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(iconaDi(vassoio) != richiesta()); }, 5));
    // An attack: the icon blinks, 0.45 s on, 0.45 s off, for 8 seconds.
    EventoFlusso attacco = evento(orologio_.adesso(), "sconosciuta", false);
    attacco.attacco = TipoAttacco::scansione;
    s.nuovoFlusso(json::codifica(attacco));
    EXPECT_TRUE(aspetta([&] { return (iconaDi(vassoio)) == (richiesta()); }, 5));
    tempo_.avanza(StatoApp::intervalloLampeggio);
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(iconaDi(vassoio) != richiesta()); }, 5));
    tempo_.avanza(StatoApp::intervalloLampeggio);
    EXPECT_TRUE(aspetta([&] { return (iconaDi(vassoio)) == (richiesta()); }, 5));
    tempo_.avanza(8);
    EXPECT_TRUE(aspetta(
        [&] { return static_cast<bool>(!s.lampeggioAcceso() && iconaDi(vassoio) != richiesta()); },
        5));
    // A held flow's question: the request icon stays while it waits.
    s.chiediDecisione(json::codifica(evento(orologio_.adesso(), "/opt/nuova", false)));
    ASSERT_EQ(domande.domande.size(), 1u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(aspetta([&] { return (iconaDi(vassoio)) == (richiesta()); }, 5));
        tempo_.avanza(StatoApp::intervalloLampeggio);
    }
    domande.domande[0].risposta(false);
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(iconaDi(vassoio) != richiesta()); }, 5));
}

TEST_F(AppSenzaEstensione, TheTrayAloneBlinksOnceASecond) {
    StatoApp& s = stato();
    Vassoio vassoio(s);
    s.avvia();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(s.anelloAttivo()); }, 5));
    EventoFlusso attacco = evento(orologio_.adesso(), "sconosciuta", false);
    attacco.attacco = TipoAttacco::scansione;
    s.nuovoFlusso(json::codifica(attacco));
    // Three and a half seconds of the alert's eight, in slow motion: it blinks, once a second.
    int cambi = 0;
    bool prima = iconaDi(vassoio) == richiesta();
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3500) {
        tempo_.avanza(0.01);
        gira(0.01);
        const bool ora = iconaDi(vassoio) == richiesta();
        cambi += ora != prima;
        prima = ora;
    }
    EXPECT_GE(cambi, 2);
    EXPECT_LE(cambi, 5);
    tempo_.avanza(8);
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(iconaDi(vassoio) != richiesta()); }, 5));
}

TEST_F(AppSenzaEstensione, TheTrayAloneChangesItsIconAtMostOnceASecond) {
    StatoApp& s = stato();
    Vassoio vassoio(s);
    s.avvia();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(s.anelloAttivo()); }, 5));
    gira(1.1);
    // The ring steps every 0.12 s of the controller's clock, here much faster than that.
    auto fa = [&](double secondi) {
        const int prima = vassoio.iconeImpostate();
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < secondi * 1000) {
            tempo_.avanza(StatoApp::intervalloAnello);
            gira(0.01);
        }
        return std::pair(vassoio.iconeImpostate() - prima, t.elapsed() / 1000.0);
    };
    const auto [nascosta, secondi] = fa(2.5);
    EXPECT_GE(nascosta, 1);  // it still moves
    EXPECT_LE(nascosta, static_cast<int>(secondi) + 1);
    // With the popup open the ring travels at its own pace.
    vassoio.barraMenu().show();
    const auto [vista, quanto] = fa(1);
    EXPECT_GT(vista, 5 * quanto) << vista << " icons in " << quanto << " s";
}

TEST_F(AppSenzaEstensione, ARefusedSwitchLeavesEveryCheckboxShowingTheFilter) {
    StatoApp& s = stato();  // the filter is somebody else's: switching it off is refused
    FinestraPrincipale f(s);
    f.show();
    Vassoio vassoio(s);
    vassoio.barraMenu().show();
    s.avvia();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(s.filtroAttivo()); }, 5));
    for (auto* c :
         {f.findChild<QCheckBox*>(QStringLiteral("firewallAttivo")),
          vassoio.barraMenu().findChild<QCheckBox*>(QStringLiteral("interruttoreFiltro"))}) {
        ASSERT_NE(c, nullptr);
        EXPECT_TRUE(aspetta([&] { return static_cast<bool>(c->isChecked()); }, 5));
        QTest::mouseClick(c, Qt::LeftButton, {}, QPoint(6, c->height() / 2));
        EXPECT_FALSE(c->isChecked());  // as the click left it
        EXPECT_TRUE(
            aspetta([&] { return static_cast<bool>(c->isChecked()); }, 5));  // as the system has it
    }
    EXPECT_TRUE(s.filtroAttivo());
}

TEST_F(AppSenzaEstensione, TheDashboardsListsKeepTheirLimits) {
    StatoApp& s = stato();
    Cruscotto c(s);
    c.resize(900, 1200);
    c.show();
    auto righe = [&](const char* nome) {
        return static_cast<int>(c.findChildren<QWidget*>(QLatin1String(nome)).size());
    };
    auto* attacchi = c.findChild<QWidget*>(QStringLiteral("riquadroAttacchi"));
    auto* quarantena = c.findChild<QWidget*>(QStringLiteral("quarantena"));
    EXPECT_FALSE(attacchi->isVisible());
    EXPECT_FALSE(quarantena->isVisible());  // off by default
    // Six blocked flows with allowed ones between: the five newest blocked are listed.
    for (int i = 0; i < 6; ++i) {
        s.nuovoFlusso(json::codifica(
            evento(orologio_.adesso(), "/usr/bin/bloccata" + std::to_string(i), false)));
        s.nuovoFlusso(json::codifica(evento(orologio_.adesso(), "/usr/bin/consentita", true)));
    }
    EXPECT_TRUE(aspetta([&] { return (righe("rigaBloccata")) == (5); }, 5));
    const auto bloccate = c.findChildren<QLabel*>(QStringLiteral("rigaBloccata"));
    EXPECT_EQ(bloccate.front()->text(), QStringLiteral("/usr/bin/bloccata5"));
    EXPECT_EQ(bloccate.back()->text(), QStringLiteral("/usr/bin/bloccata1"));
    // Seven attacks: four rows.
    for (int i = 0; i < 7; ++i) {
        EventoFlusso a = evento(orologio_.adesso(), "/usr/bin/spia", false);
        a.attacco = TipoAttacco::c2Noto;
        s.nuovoFlusso(json::codifica(a));
    }
    EXPECT_TRUE(aspetta([&] { return (righe("rigaAttacco")) == (4); }, 5));
    EXPECT_TRUE(attacchi->isVisible());
    // The rules counter counts both kinds.
    EXPECT_EQ(s.aggiungiRegola("/usr/bin/git", AzioneRegola::blocca), EsitoModifica::cambiata);
    EXPECT_EQ(s.aggiungiRegolaDominio("ads.example", AzioneRegola::blocca),
              EsitoModifica::cambiata);
    auto* regole = c.findChild<QLabel*>(QStringLiteral("contatore_regole"));
    EXPECT_TRUE(aspetta([&] { return (regole->text()) == (QStringLiteral("2")); }, 5));
    // The quarantine box follows the setting.
    ImpostazioniParziali quarantena1;
    quarantena1.quarantenaAttiva = true;
    s.modificaImpostazioni(quarantena1);
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(quarantena->isVisible()); }, 5));
    fotografa(&c, QStringLiteral("cruscotto-limiti.png"));
    quarantena1.quarantenaAttiva = false;
    s.modificaImpostazioni(quarantena1);
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(!quarantena->isVisible()); }, 5));
    s.pulisciAttacchi();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(!attacchi->isVisible()); }, 5));
}

TEST(VotoPagella, TheCountsLineShowsWhatThereIs) {
    using Parti = std::vector<Voto::Parte>;
    EXPECT_EQ(Voto::conteggi({0, 0, 0, 0}), (Parti{{QStringLiteral("0 flussi"), QColor()}}));
    EXPECT_EQ(Voto::conteggi({1, 0, 0, 0}), (Parti{{QStringLiteral("1 flusso"), QColor()}}));
    EXPECT_EQ(Voto::conteggi({3, 1, 2, 1}),
              (Parti{{QStringLiteral("3 flussi"), QColor()},
                     {QStringLiteral("1 tracker (33%)"), colori::viola},
                     {QStringLiteral("2 bloccati"), colori::rosso},
                     {QStringLiteral("⚡ 1 anomalie"), colori::arancio}}));
}

TEST(VotoPagella, GradesAtTheBoundaries) {
    auto voto = [](std::int64_t totale, std::int64_t tracker) {
        return Voto::lettera(ContatoriApp{totale, tracker, 0, 0});
    };
    EXPECT_EQ(voto(0, 0), QStringLiteral("A"));
    EXPECT_EQ(voto(100, 4), QStringLiteral("A"));
    EXPECT_EQ(voto(100, 5), QStringLiteral("B"));
    EXPECT_EQ(voto(100, 20), QStringLiteral("C"));
    EXPECT_EQ(voto(100, 50), QStringLiteral("D"));
    EXPECT_EQ(voto(3, 1), QStringLiteral("C"));
    EXPECT_EQ(static_cast<int>(Voto::quota({3, 1, 0, 0}) * 100), 33);
    EXPECT_EQ(voto(3, 2), QStringLiteral("D"));
    EXPECT_EQ(static_cast<int>(Voto::quota({3, 2, 0, 0}) * 100), 66);
    EXPECT_EQ(Voto::colore({0, 0, 0, 0}), colori::verde);
}

// The tray icon at each light and a few ring phases, against the reference pictures kept in
// test/Viste/riferimenti (OSTRALE_RISCRIVI_RIFERIMENTI=1 writes them anew).
TEST(IconaVassoio, MatchesTheReferencePictures) {
    const QString cartella = QStringLiteral(OSTRALE_SORGENTI "/test/Viste/riferimenti");
    const bool riscrivi = std::getenv("OSTRALE_RISCRIVI_RIFERIMENTI") != nullptr;
    struct Caso {
        const char* nome;
        ColoreSemaforo luce;
        bool anello;
        double fase;
        bool richiesta;
    };
    const Caso casi[] = {
        {"spento", ColoreSemaforo::spento, false, 0, false},
        {"verde", ColoreSemaforo::verde, false, 0, false},
        {"arancio", ColoreSemaforo::arancio, false, 0, false},
        {"rosso", ColoreSemaforo::rosso, false, 0, false},
        {"verde-anello-0", ColoreSemaforo::verde, true, 0, false},
        {"verde-anello-21", ColoreSemaforo::verde, true, -21, false},
        {"arancio-anello-42", ColoreSemaforo::arancio, true, -42, false},
        {"richiesta", ColoreSemaforo::verde, true, -9, true},
    };
    for (const Caso& c : casi) {
        SCOPED_TRACE(c.nome);
        const QImage fatta = IconaBarra::disegna(c.luce, c.anello, c.fase, c.richiesta, 2)
                                 .convertToFormat(QImage::Format_ARGB32);
        const QString percorso =
            cartella + QStringLiteral("/icona-") + QLatin1String(c.nome) + QStringLiteral(".png");
        fatta.save(QStringLiteral(OSTRALE_SCHERMATE "/icona-") + QLatin1String(c.nome) +
                   QStringLiteral(".png"));
        if (riscrivi) {
            QDir().mkpath(cartella);
            ASSERT_TRUE(fatta.save(percorso));
            continue;
        }
        const QImage attesa = QImage(percorso).convertToFormat(QImage::Format_ARGB32);
        ASSERT_FALSE(attesa.isNull()) << "no reference " << percorso.toStdString();
        ASSERT_EQ(attesa.size(), fatta.size());
        int diversi = 0;
        for (int y = 0; y < attesa.height(); ++y) {
            for (int x = 0; x < attesa.width(); ++x) {
                const QColor a = attesa.pixelColor(x, y), b = fatta.pixelColor(x, y);
                if (std::abs(a.red() - b.red()) > 8 || std::abs(a.green() - b.green()) > 8 ||
                    std::abs(a.blue() - b.blue()) > 8 || std::abs(a.alpha() - b.alpha()) > 8)
                    ++diversi;
            }
        }
        EXPECT_EQ(diversi, 0);
    }
    // The ring moves: two phases differ, a whole period (56) later it is the same again.
    EXPECT_NE(IconaBarra::disegna(ColoreSemaforo::verde, true, 0, false),
              IconaBarra::disegna(ColoreSemaforo::verde, true, -21, false));
}

// Beside the real simulated daemon, whose history says how each application did.
TEST(AppConEstensione, TheReportCardPutsTheWorstFirstAndBlocksFromItsRow) {
    CartellaTemporanea cartella;
    std::filesystem::create_directories(cartella / "c");
    VariabileAmbiente contenitore("OSTRALE_CONTENITORE", (cartella / "c").string());
    StoricoApp storia;
    storia["/opt/poca"] = {10, 1, 0, 0};    // 0.1
    storia["/opt/molta"] = {20, 2, 0, 0};   // 0.1, more flows: first of the two
    storia["/opt/pessima"] = {4, 4, 0, 0};  // 1
    storia["/opt/muta"] = {0, 0, 0, 0};
    ASSERT_TRUE(ArchivioCondiviso::salvaJSON(storia, "storico-app.json"));
    DemoneSimulato demone(cartella / "c", cartella / "ostrale.sock");
    demone.avvia();
    OrologioDiSistema orologio;
    TemporizzatoreQt tempo;
    GestoreEsterno gestore;
    ImpostazioniApp preferenze(QString::fromStdString((cartella / "ostrale.conf").string()));
    StatoApp stato({orologio,
                    tempo,
                    gestore,
                    preferenze,
                    nullptr,
                    QString::fromStdString((cartella / "ostrale.sock").string()),
                    {}});
    stato.avvia();
    VistaPagella pagella(stato);
    pagella.resize(700, 500);
    pagella.show();
    auto* elenco = pagella.findChild<QListView*>(QStringLiteral("elencoPagella"));
    ASSERT_NE(elenco, nullptr);
    QStringList ordine;
    EXPECT_TRUE(aspetta(
        [&] {
            return static_cast<bool>([&] {
                ordine.clear();
                for (int r = 0; r < elenco->model()->rowCount(); ++r) {
                    const QString f = elenco->model()->index(r, 0).data().toString();
                    if (f.startsWith(QStringLiteral("/opt/"))) ordine << f;
                }
                return ordine.size() == 4;
            }());
        },
        (20000) / 1000.0));
    EXPECT_EQ(ordine, (QStringList{QStringLiteral("/opt/pessima"), QStringLiteral("/opt/molta"),
                                   QStringLiteral("/opt/poca"), QStringLiteral("/opt/muta")}));
    // "Blocca" on the worst row makes its rule.
    int riga = 0;
    while (elenco->model()->index(riga, 0).data().toString() != QStringLiteral("/opt/pessima"))
        ++riga;
    const QRect r = elenco->visualRect(elenco->model()->index(riga, 0));
    QTest::mouseClick(elenco->viewport(), Qt::LeftButton, {}, QPoint(r.right() - 46, r.top() + 28));
    EXPECT_TRUE(aspetta(
        [&] {
            return static_cast<bool>(
                std::any_of(stato.regole().begin(), stato.regole().end(), [](const Regola& x) {
                    return x.firmaApp == "/opt/pessima" && x.azione == AzioneRegola::blocca;
                }));
        },
        (10000) / 1000.0));
    fotografa(&pagella, QStringLiteral("pagella-ordine.png"));
    demone.ferma();
}

// Beside the real simulated daemon: the dashboard, the report card, the popup and the credits,
// filled by what the scenario does, pictured in Italian and in English.
TEST(AppConEstensione, PicturesOfEverySectionInBothLanguages) {
    CartellaTemporanea cartella;
    std::filesystem::create_directories(cartella / "c");
    VariabileAmbiente contenitore("OSTRALE_CONTENITORE", (cartella / "c").string());
    DemoneSimulato demone(cartella / "c", cartella / "ostrale.sock",
                          {"--velocita", "20", "--accelera", "25"});
    demone.avvia();
    OrologioDiSistema orologio;
    TemporizzatoreQt tempo;
    GestoreEsterno gestore;
    ImpostazioniApp preferenze(QString::fromStdString((cartella / "ostrale.conf").string()));
    StatoApp stato({orologio,
                    tempo,
                    gestore,
                    preferenze,
                    nullptr,
                    QString::fromStdString((cartella / "ostrale.sock").string()),
                    {}});
    stato.avvia();
    ASSERT_TRUE(aspetta([&] { return stato.estensionePronta(); }, 20));
    // Enough of the scenario for attacks, blocks and a report card.
    ASSERT_TRUE(
        aspetta([&] { return !stato.attacchi().empty() && stato.totaleBloccati() >= 5; }, 60));
    ASSERT_TRUE(aspetta([&] { return stato.pagella().size() >= 5; }, 30));
    // Rules of every kind for the rules section: a window across midnight, one switched off,
    // domains.
    ASSERT_EQ(stato.aggiungiRegola("/usr/bin/curl", AzioneRegola::blocca), EsitoModifica::cambiata);
    ASSERT_EQ(stato.aggiungiRegola("/usr/lib/firefox/firefox", AzioneRegola::consenti),
              EsitoModifica::cambiata);
    ASSERT_EQ(stato.aggiungiRegola("/usr/bin/wget", AzioneRegola::consenti),
              EsitoModifica::cambiata);
    ASSERT_EQ(stato.aggiungiRegolaDominio("doubleclick.net", AzioneRegola::blocca),
              EsitoModifica::cambiata);
    ASSERT_EQ(stato.aggiungiRegolaDominio("example.org", AzioneRegola::consenti),
              EsitoModifica::cambiata);
    ASSERT_TRUE(aspetta(
        [&] {
            return std::count_if(stato.regole().begin(), stato.regole().end(), [](const Regola& r) {
                       return r.firmaApp == "/usr/bin/wget" ||
                              r.firmaApp == "/usr/lib/firefox/firefox";
                   }) == 2;
        },
        10));
    for (const Regola& r : stato.regole()) {
        if (r.firmaApp == "/usr/lib/firefox/firefox") {
            stato.impostaFascia(r.id, FasciaOraria{22 * 60, 6 * 60});
        } else if (r.firmaApp == "/usr/bin/wget") {
            stato.attivaRegola(r.id, false);
        }
    }
    ASSERT_TRUE(aspetta(
        [&] {
            return std::any_of(stato.regole().begin(), stato.regole().end(),
                               [](const Regola& r) { return r.fascia.has_value(); }) &&
                   std::any_of(stato.regole().begin(), stato.regole().end(),
                               [](const Regola& r) { return !r.attiva; });
        },
        10));
    inOgniLingua([&](const QString& lingua) {
        const QString suffisso = QStringLiteral("-") + lingua + QStringLiteral(".png");
        FinestraPrincipale f(stato);
        f.resize(1000, 760);
        f.show();
        gira(0.3);
        EXPECT_TRUE(f.findChild<QWidget*>(QStringLiteral("riquadroAttacchi"))->isVisible());
        fotografa(&f, QStringLiteral("cruscotto") + suffisso);
        ASSERT_TRUE(f.mostraSezione(QStringLiteral("pagella")));
        ASSERT_TRUE(aspetta([&] { return stato.dominiTracker() > 1000; }));
        gira(0.2);
        auto* elenco = f.findChild<QListView*>(QStringLiteral("elencoPagella"));
        ASSERT_NE(elenco, nullptr);
        EXPECT_EQ(elenco->model()->rowCount(), static_cast<int>(stato.pagella().size()));
        fotografa(&f, QStringLiteral("pagella") + suffisso);
        ASSERT_TRUE(f.mostraSezione(QStringLiteral("flussi")));
        gira(0.3);
        fotografa(&f, QStringLiteral("flussi") + suffisso);
        // At the window's smallest the application and the destination elide, never vanish.
        f.resize(f.minimumSize());
        gira(0.2);
        auto* tabella = f.findChild<QTableView*>(QStringLiteral("tabellaFlussi"));
        EXPECT_GE(tabella->columnWidth(ModelloFlussi::app), 48);
        EXPECT_GE(tabella->columnWidth(ModelloFlussi::destinazione), 48);
        fotografa(&f, QStringLiteral("flussi-minima") + suffisso);
        f.resize(1000, 760);
        ASSERT_TRUE(f.mostraSezione(QStringLiteral("regole")));
        gira(0.2);
        fotografa(&f, QStringLiteral("regole") + suffisso);
        auto* crediti = f.crediti();
        crediti->show();
        gira(0.1);
        fotografa(crediti, QStringLiteral("crediti") + suffisso);
        crediti->hide();
        Vassoio vassoio(stato);
        vassoio.barraMenu().show();
        gira(0.2);
        fotografa(&vassoio.barraMenu(), QStringLiteral("barra-menu") + suffisso);
        // The language is stored when chosen (in the switches section).
        ASSERT_TRUE(f.mostraSezione(QStringLiteral("interruttori")));
        auto* scelta = f.findChild<QComboBox*>(QStringLiteral("lingua"));
        scelta->setCurrentIndex(scelta->findData(lingua));
        emit scelta->activated(scelta->currentIndex());
        EXPECT_EQ(preferenze.comeTesto(ImpostazioniApp::linguaScelta), lingua);
        EXPECT_TRUE(f.findChild<QPushButton*>(QStringLiteral("riapriAdesso"))->isVisible());
    });
    demone.ferma();
}

}  // namespace
}  // namespace ostrale::test
