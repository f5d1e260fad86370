// SPDX-License-Identifier: GPL-3.0-or-later
// The history section: what its charts and totals take from the hourly counters (days and hours
// of the local time zone, clocks that go back and forward), the bar chart's axes and hover
// texts, and the section fed through the controller on a fake clock, pictured in both languages.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QToolTip>
#include <QTranslator>
#include <cmath>
#include <ctime>
#include <limits>
#include <set>

#include "Condiviso/storico.h"
#include "Ostrale/Viste/Storico/calcoli-storico.h"
#include "Ostrale/Viste/Storico/grafico-barre.h"
#include "Ostrale/Viste/Storico/vista-storico.h"
#include "Ostrale/Viste/finestra-principale.h"
#include "test/Ostrale/supporto-app.h"
#include "test/Viste/fotografa.h"

namespace ostrale::test {
namespace {

using CalcoliStorico::ultime24;
using CalcoliStorico::ultimi30Giorni;

// 2026-12-08 14:20 in Central European winter time (the tests run in Europe/Rome).
const Data martedìPomeriggio = Data::daUnix(1796736000.0);

Data inizio(const char* chiave) {
    const auto d = Storico::inizioOra(chiave);
    EXPECT_TRUE(d) << chiave;
    return d.value_or(Data());
}

std::string chiave(Data d) {
    return Storico::chiaveOra(d);
}

// Central European time by its rule, whatever the machine's zone; the previous zone comes back.
struct FusoCentroeuropeo {
    FusoCentroeuropeo() { ::tzset(); }
    struct Rilegge {
        ~Rilegge() { ::tzset(); }
    } rilegge;  // destroyed after the variable below is restored
    VariabileAmbiente fuso{"TZ", "CET-1CEST,M3.5.0,M10.5.0/3"};
};

TEST(CalcoliStorico, HoursAndDaysTakeTheCountersTheirWindowsHold) {
    StoricoOre ore{
        {"2026-12-08 14", {10, 1, 2}},    // now
        {"2026-12-08 09", {20, 2, 4}},    // five hours ago
        {"2026-12-08 00", {1, 0, 0}},     // today's first hour
        {"2026-12-07 14", {7, 7, 7}},     // a day ago: yesterday, out of the 24 hours
        {"2026-11-08 15", {100, 0, 0}},   // 30 days less 40 minutes ago
        {"2026-11-08 13", {1000, 0, 0}},  // 30 days and 80 minutes ago: out
        {"testo libero", {5, 5, 5}},      // not an hour key
        {"2026-02-30 10", {3, 3, 3}},     // no such day
    };
    // Whole hours, oldest first, the unfinished one last.
    const auto ultime = ultime24(ore, martedìPomeriggio);
    ASSERT_EQ(ultime.size(), 24u);
    EXPECT_EQ(ultime[0].data, inizio("2026-12-07 15"));
    EXPECT_EQ(ultime[23], (PuntoOra{inizio("2026-12-08 14"), 10, 1, 2}));
    EXPECT_EQ(ultime[18], (PuntoOra{inizio("2026-12-08 09"), 20, 2, 4}));
    EXPECT_EQ(ultime[9], (PuntoOra{inizio("2026-12-08 00"), 1, 0, 0}));
    std::int64_t consentiti = 0;
    for (const PuntoOra& p : ultime) consentiti += p.consentiti;
    EXPECT_EQ(consentiti, 31);

    // The day of the limit keeps only its hours from the limit on; each day starts at midnight.
    const auto giorni = ultimi30Giorni(ore, martedìPomeriggio);
    ASSERT_EQ(giorni.size(), 3u);
    EXPECT_EQ(giorni[0], (PuntoOra{inizio("2026-11-08 00"), 100, 0, 0}));
    EXPECT_EQ(giorni[1], (PuntoOra{inizio("2026-12-07 00"), 7, 7, 7}));
    EXPECT_EQ(giorni[2], (PuntoOra{inizio("2026-12-08 00"), 31, 3, 6}));
    // An hour that starts exactly at the limit counts.
    EXPECT_EQ(ultimi30Giorni(ore, inizio("2026-12-08 13")).front().consentiti, 1100);

    // The totals hold everything, hour keys or not, and saturate rather than wrap.
    EXPECT_EQ(CalcoliStorico::totali(ore), (TotaliStorico{1146, 18, 21}));
    ore["2026-12-08 13"] = {std::numeric_limits<std::int64_t>::max(), 0, 0};
    EXPECT_EQ(CalcoliStorico::totali(ore).consentiti, std::numeric_limits<std::int64_t>::max());
}

TEST(CalcoliStorico, TheHourRepeatedWhenClocksGoBackIsOneBar) {
    FusoCentroeuropeo fuso;
    // 2026-10-25: at 03:00 summer time clocks go back to 02:00; it is 12:30 in winter time.
    const Data autunno = Data::daUnix(1792927800.0);
    StoricoOre ore{{"2026-10-25 02", {9, 0, 0}}, {"2026-10-25 12", {1, 0, 0}}};
    auto punti = ultime24(ore, autunno);
    ASSERT_EQ(punti.size(), 24u);
    // 24 distinct hours over 25 real ones, from 13:00 the day before; the repeated one counted
    // once.
    std::set<std::string> chiavi;
    std::int64_t consentiti = 0;
    for (std::size_t i = 0; i < punti.size(); ++i) {
        chiavi.insert(chiave(punti[i].data));
        consentiti += punti[i].consentiti;
        if (i > 0) {
            EXPECT_LT(punti[i - 1].data, punti[i].data);
        }
    }
    EXPECT_EQ(chiavi.size(), 24u);
    EXPECT_EQ(chiave(punti.front().data), "2026-10-24 13");
    EXPECT_EQ(consentiti, 10);
    // The day of 25 hours is one day.
    ore["2026-10-25 00"] = {1, 0, 0};
    ore["2026-10-25 23"] = {1, 0, 0};
    const auto giorni = ultimi30Giorni(ore, Data::daUnix(1792927800.0 + 12 * 3600));
    ASSERT_EQ(giorni.size(), 1u);
    EXPECT_EQ(giorni[0].consentiti, 12);

    // 2026-03-29: 02:00 never happens; the 24 hours up to 12:30 summer time skip it.
    const Data primavera = Data::daUnix(1774780200.0);
    punti = ultime24({}, primavera);
    ASSERT_EQ(punti.size(), 24u);
    EXPECT_EQ(chiave(punti.front().data), "2026-03-28 12");
    for (const PuntoOra& p : punti) EXPECT_NE(chiave(p.data), "2026-03-29 02");
    EXPECT_DOUBLE_EQ(punti.back().data.secondiDa(punti.front().data), 23 * 3600);
}

// ---- the chart ----

std::vector<GraficoBarre::Serie> esiti() {
    return {{QStringLiteral("Consentiti"), Qt::green, &PuntoOra::consentiti},
            {QStringLiteral("Bloccati"), Qt::red, &PuntoOra::bloccati}};
}

TEST(GraficoBarre, AHoveredBarTellsItsHourAndItsCounts) {
    GraficoBarre g(GraficoBarre::Scala::ore, {"Ora", "Flussi", "Esito"}, esiti(), 180);
    g.imposta(
        ultime24({{"2026-12-08 14", {12, 3, 1}}, {"2026-12-08 02", {1, 0, 0}}}, martedìPomeriggio));
    g.resize(600, 180);
    g.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&g));
    const QRectF colonna = g.colonna(23);
    EXPECT_EQ(g.puntoIn(colonna.center()), 23);
    EXPECT_EQ(g.puntoIn(QPointF(colonna.center().x(), colonna.top() + 2)), 23);  // above its bar
    EXPECT_EQ(g.puntoIn(QPointF(2, 90)), -1);                                    // the y axis
    EXPECT_EQ(g.puntoIn(QPointF(colonna.center().x(), g.height() - 2)), -1);     // the x labels
    // The tallest bar reaches the top line, which is round and above it; a zero bar is flat.
    EXPECT_EQ(g.tacche(), (std::vector<std::int64_t>{0, 5, 10, 15}));
    EXPECT_NEAR(g.barra(23).top(), g.areaGrafico().top(), 0.01);
    EXPECT_NEAR(g.barra(11).height(), g.areaGrafico().height() / 15, 0.01);
    EXPECT_EQ(g.barra(22).height(), 0);

    const QString atteso = QStringLiteral("8 dic, 14:00\nConsentiti: 12\nBloccati: 3");
    EXPECT_EQ(g.suggerimento(23), atteso);
    EXPECT_EQ(g.suggerimento(11), QStringLiteral("8 dic, 02:00\nConsentiti: 1\nBloccati: 0"));
    // The real hover event shows it.
    const QPoint sopra = colonna.center().toPoint();
    QHelpEvent e(QEvent::ToolTip, sopra, g.mapToGlobal(sopra));
    QApplication::sendEvent(&g, &e);
    EXPECT_TRUE(aspetta([&] { return QToolTip::text() == atteso; }, 5));
    QToolTip::hideText();

    // Days: the hover text names the day; empty days are empty columns.
    GraficoBarre d(GraficoBarre::Scala::giorni, {"Giorno", "Flussi", "Esito"}, esiti(), 180);
    d.imposta({{inizio("2026-12-01 00"), 5, 1, 0}, {inizio("2026-12-08 00"), 9, 0, 0}},
              QDate(2026, 11, 8), QDate(2026, 12, 8));
    d.resize(620, 180);
    EXPECT_NEAR(d.colonna(1).right(), d.areaGrafico().right(), 0.01);  // today, last
    EXPECT_EQ(d.puntoIn(d.colonna(1).center() - QPointF(d.colonna(1).width(), 0)), -1);
    EXPECT_EQ(d.suggerimento(0), QStringLiteral("martedì 1 dicembre\nConsentiti: 5\nBloccati: 1"));
}

TEST(GraficoBarre, TheAxesHaveRoundStepsAndLabelsThatNeverOverlap) {
    EXPECT_EQ(GraficoBarre::tacche(0), (std::vector<std::int64_t>{0, 1}));
    EXPECT_EQ(GraficoBarre::tacche(7), (std::vector<std::int64_t>{0, 2, 4, 6, 8}));
    EXPECT_EQ(GraficoBarre::tacche(1234), (std::vector<std::int64_t>{0, 500, 1000, 1500}));
    for (const std::int64_t massimo : {1LL, 9LL, 10LL, 11LL, 99LL, 4321LL, 987654321LL}) {
        const auto t = GraficoBarre::tacche(massimo);
        EXPECT_GE(t.back(), massimo);
        EXPECT_LE(t.size(), 6u);
        const std::int64_t passo = t[1];
        const double mantissa = static_cast<double>(passo) /
                                std::pow(10.0, std::floor(std::log10(static_cast<double>(passo))));
        EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << passo;
    }
    EXPECT_GE(GraficoBarre::tacche(std::numeric_limits<std::int64_t>::max()).back(), 0);

    auto senzaSovrapposti = [](const GraficoBarre& g) {
        const auto e = g.etichetteX();
        for (std::size_t i = 0; i < e.size(); ++i) {
            EXPECT_GT(e[i].rettangolo.left(), g.areaGrafico().left() - 6);  // the axis's title
            EXPECT_LE(e[i].rettangolo.right(), g.width());
            if (i > 0) {
                EXPECT_LT(e[i - 1].rettangolo.right(), e[i].rettangolo.left());
            }
        }
        return e;
    };
    GraficoBarre ore(GraficoBarre::Scala::ore, {"Ora", "Flussi", "Esito"}, esiti(), 180);
    ore.imposta(ultime24({}, martedìPomeriggio));
    ore.resize(1000, 180);
    auto e = senzaSovrapposti(ore);
    EXPECT_EQ(e.size(), 24u);
    for (const int larghezza : {240, 420}) {
        ore.resize(larghezza, 180);
        e = senzaSovrapposti(ore);
        ASSERT_GE(e.size(), 2u) << larghezza;
        EXPECT_LT(e.size(), 24u) << larghezza;
        // Thinned to round hours: the multiples of one step.
        const int passo = (e[1].testo.toInt() - e[0].testo.toInt() + 24) % 24;
        for (const auto& x : e) EXPECT_EQ(x.testo.toInt() % passo, 0) << x.testo.toStdString();
    }
    GraficoBarre giorni(GraficoBarre::Scala::giorni, {"Giorno", "Flussi", "Esito"}, esiti(), 180);
    giorni.imposta(ultimi30Giorni({{"2026-12-08 10", {1, 0, 0}}, {"2026-11-20 10", {1, 0, 0}}},
                                  martedìPomeriggio),
                   QDate(2026, 11, 8), QDate(2026, 12, 8));
    for (const int larghezza : {240, 500, 1200}) {
        giorni.resize(larghezza, 180);
        e = senzaSovrapposti(giorni);
        ASSERT_FALSE(e.empty());
        EXPECT_EQ(e.back().testo, QStringLiteral("8 dic"));  // today is always named
    }
}

// ---- the section ----

class StoricoSenzaEstensione : public ::testing::Test, protected ControlloreSenzaEstensione {
  protected:
    StoricoSenzaEstensione() { orologio_.imposta(martedìPomeriggio); }

    void mostra(StoricoOre ore) {
        PacchettoStorico p;
        p.ore = std::move(ore);
        stato().applicaStorico(std::move(p));
    }

    static QString totale(VistaStorico& v, const char* nome) {
        auto* riquadro = v.findChild<QWidget*>(QStringLiteral("totale_") + QLatin1String(nome));
        return riquadro ? riquadro->findChild<QLabel*>(QStringLiteral("valore"))->text()
                        : QString();
    }
    static bool attesa(VistaStorico& v) {
        return v.findChild<QLabel*>(QStringLiteral("attesaGiorni"))->isVisible() &&
               !v.graficoGiorni().isVisible();
    }
};

TEST_F(StoricoSenzaEstensione, FromNothingToTwoDaysWithTotalsOfEverything) {
    VistaStorico v(stato());
    v.resize(800, 900);
    v.show();
    for (const char* nome : {"consentiti", "bloccati", "tracker"}) {
        EXPECT_EQ(totale(v, nome), QStringLiteral("0")) << nome;
    }
    EXPECT_EQ(v.graficoOre().punti(), ultime24({}, martedìPomeriggio));
    EXPECT_EQ(v.graficoTracker().punti().size(), 24u);
    for (const PuntoOra& p : v.graficoOre().punti()) EXPECT_EQ(p, (PuntoOra{p.data, 0, 0, 0}));
    EXPECT_TRUE(attesa(v));
    EXPECT_EQ(
        v.findChild<QLabel*>(QStringLiteral("attesaGiorni"))->text(),
        QStringLiteral("Il grafico per giorno prende forma dopo un paio di giorni di utilizzo."));

    // One day, an hour key that is no key, and an hour 30 days and one hour old.
    mostra({{"2026-12-08 14", {12, 3, 1}},
            {"2026-12-08 13", {30, 0, 5}},
            {"orario?", {1000, 0, 0}},
            {"2026-11-08 13", {2, 2, 2}}});
    EXPECT_EQ(totale(v, "consentiti"), QStringLiteral("1044"));
    EXPECT_EQ(totale(v, "bloccati"), QStringLiteral("5"));
    EXPECT_EQ(totale(v, "tracker"), QStringLiteral("8"));
    EXPECT_EQ(v.graficoOre().punti().back(), (PuntoOra{inizio("2026-12-08 14"), 12, 3, 1}));
    EXPECT_EQ(v.graficoTracker().punti()[22].tracker, 5);
    EXPECT_TRUE(attesa(v));

    // A second day shows the chart.
    mostra({{"2026-12-08 14", {12, 3, 1}}, {"2026-12-02 09", {8, 1, 0}}});
    EXPECT_FALSE(attesa(v));
    ASSERT_EQ(v.graficoGiorni().punti().size(), 2u);
    EXPECT_EQ(v.graficoGiorni().punti()[0], (PuntoOra{inizio("2026-12-02 00"), 8, 1, 0}));
    EXPECT_EQ(totale(v, "consentiti"), QStringLiteral("20"));

    // The section of the main window.
    FinestraPrincipale f(stato());
    ASSERT_TRUE(f.mostraSezione(QStringLiteral("storico")));
    f.show();
    auto* sezione = f.findChild<VistaStorico*>(QStringLiteral("storico"));
    ASSERT_NE(sezione, nullptr);
    EXPECT_TRUE(sezione->isVisible());
    EXPECT_EQ(totale(*sezione, "consentiti"), QStringLiteral("20"));
}

TEST_F(StoricoSenzaEstensione, ComputedOnlyWhileItShowsAndAgainWhenTheHourTurns) {
    VistaStorico v(stato());
    v.resize(800, 900);
    mostra({{"2026-12-08 14", {1, 0, 0}}});
    EXPECT_EQ(v.ricalcoli(), 0u);  // nothing while it has never shown
    v.show();
    EXPECT_EQ(v.ricalcoli(), 1u);
    EXPECT_EQ(totale(v, "consentiti"), QStringLiteral("1"));
    // The next hour starts in 40 minutes: one timer for then, nothing sooner.
    EXPECT_TRUE(v.cambioOra().isActive());
    EXPECT_GT(v.cambioOra().interval(), 40 * 60 * 1000 - 1000);
    EXPECT_LE(v.cambioOra().interval(), 40 * 60 * 1000 + 1000);

    v.hide();
    EXPECT_FALSE(v.cambioOra().isActive());
    mostra({{"2026-12-08 14", {3, 0, 0}}});
    EXPECT_EQ(v.ricalcoli(), 1u);
    EXPECT_EQ(totale(v, "consentiti"), QStringLiteral("1"));
    v.show();
    EXPECT_EQ(v.ricalcoli(), 2u);
    EXPECT_EQ(totale(v, "consentiti"), QStringLiteral("3"));
    mostra({{"2026-12-08 14", {4, 0, 0}}});
    EXPECT_EQ(v.ricalcoli(), 3u);

    // The hour turns while it shows: the bars move along when the timer says so.
    orologio_.avanza(41 * 60);
    v.cambioOra().start(0);
    ASSERT_TRUE(aspetta([&] { return v.ricalcoli() == 4u; }, 5));
    EXPECT_EQ(v.graficoOre().punti().back(), (PuntoOra{inizio("2026-12-08 15"), 0, 0, 0}));
    EXPECT_EQ(v.graficoOre().punti()[22].consentiti, 4);
    EXPECT_TRUE(v.cambioOra().isActive());
    EXPECT_GT(v.cambioOra().interval(), 58 * 60 * 1000);
    // A timer early by a moment changes nothing and waits again.
    v.cambioOra().start(0);
    ASSERT_TRUE(aspetta([&] { return v.cambioOra().interval() > 0; }, 5));
    gira(0.05);
    EXPECT_EQ(v.ricalcoli(), 4u);
    // Shown again after an hour hidden: the new hour at once.
    v.hide();
    orologio_.avanza(3600);
    v.show();
    EXPECT_EQ(v.ricalcoli(), 5u);
    EXPECT_EQ(v.graficoOre().punti().back().data, inizio("2026-12-08 16"));
}

// Twelve days of a desktop's life, two of them switched off: busy days, quiet nights.
StoricoOre dodiciGiorni(Data adesso) {
    StoricoOre ore;
    std::uint64_t seme = 42;
    auto caso = [&seme] {
        seme = seme * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(seme >> 33) / 2147483648.0;
    };
    for (int h = 0; h < 12 * 24; ++h) {
        const Data momento = adesso.piùSecondi(-3600.0 * h);
        const int giorniFa = h / 24;
        if (giorniFa == 6 || giorniFa == 7) continue;
        const int ora = CalcoliStorico::ora(momento);
        const double giorno = ora >= 8 && ora <= 23 ? std::sin((ora - 7) / 17.0 * 3.14159) : 0.04;
        const auto consentiti = static_cast<std::int64_t>(20 + 900 * giorno * (0.6 + 0.5 * caso()));
        ore[chiave(momento)] = {consentiti,
                                static_cast<std::int64_t>(consentiti * (0.03 + 0.06 * caso())),
                                static_cast<std::int64_t>(consentiti * (0.05 + 0.12 * caso()))};
    }
    return ore;
}

TEST_F(StoricoSenzaEstensione, PicturesInBothLanguages) {
    mostra(dodiciGiorni(martedìPomeriggio));
    inOgniLingua([&](const QString& lingua) {
        VistaStorico v(stato());
        v.resize(800, 860);
        v.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
        EXPECT_FALSE(attesa(v));
        EXPECT_GE(v.graficoGiorni().punti().size(), 8u);
        // One bar under the mouse.
        GraficoBarre& g = v.graficoOre();
        QTest::mouseMove(&g, g.colonna(20).center().toPoint());
        gira(0.1);
        fotografa(&v, QStringLiteral("storico-") + lingua + QStringLiteral(".png"));
    });
}

}  // namespace
}  // namespace ostrale::test
