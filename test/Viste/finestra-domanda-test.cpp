// SPDX-License-Identifier: GPL-3.0-or-later
// The two questions as windows: found by name, answered with clicks, one held flow at a time,
// the time left, and the event loop running while they are open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <ctime>
#include <optional>

#include "Condiviso/orologio.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/presentatore-finestre.h"
#include "test/Ostrale/supporto-app.h"
#include "test/Viste/fotografa.h"

namespace ostrale::test {
namespace {

EventoFlusso sospeso(const std::string& firma, MotivoDecisione motivo) {
    EventoFlusso e;
    e.firmaApp = firma;
    e.host = "aggiornamenti.example.test";
    e.porta = "443";
    e.protocollo = "TCP";
    e.consentito = false;
    e.motivo = motivo;
    return e;
}

// The visible question windows of that name.
std::vector<FinestraDomanda*> aperte(const QString& nome) {
    std::vector<FinestraDomanda*> v;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* f = qobject_cast<FinestraDomanda*>(w);
        if (f && f->isVisible() && f->objectName() == nome) v.push_back(f);
    }
    return v;
}

QString testo(QWidget* finestra, const char* nome) {
    auto* l = finestra->findChild<QLabel*>(QLatin1String(nome));
    return l ? l->text() : QString();
}

void clicca(QWidget* finestra, const char* bottone) {
    auto* b = finestra->findChild<QPushButton*>(QLatin1String(bottone));
    ASSERT_NE(b, nullptr) << bottone;
    QTest::mouseClick(b, Qt::LeftButton);
}

class Domande : public ::testing::Test {
  protected:
    OrologioFinto orologio_{Data::daUnix(static_cast<double>(std::time(nullptr)))};
    PresentatoreFinestre presentatore_{orologio_};
};

TEST_F(Domande, HeldFlowsAreAskedOneAtATimeWithTheTimeLeft) {
    std::vector<std::pair<int, bool>> risposte;
    const Data scadenza = orologio_.adesso().piùSecondi(60);
    presentatore_.chiediDecisione(1,
                                  sospeso("/opt/nuovo-editor/editor", MotivoDecisione::quarantena),
                                  scadenza, [&](bool c) { risposte.emplace_back(1, c); });
    presentatore_.chiediDecisione(2, sospeso("/usr/bin/sincronizza", MotivoDecisione::predefinita),
                                  scadenza, [&](bool c) { risposte.emplace_back(2, c); });
    presentatore_.chiediDecisione(3, sospeso("/usr/bin/terza", MotivoDecisione::predefinita),
                                  scadenza, [&](bool c) { risposte.emplace_back(3, c); });
    auto finestre = aperte(QStringLiteral("domandaSospesa"));
    ASSERT_EQ(finestre.size(), 1u);
    FinestraDomanda* prima = finestre[0];
    EXPECT_EQ(presentatore_.inCoda(), 2u);
    EXPECT_TRUE(prima->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(testo(prima, "titolo"), QStringLiteral("Connessione sospesa: decidi tu"));
    EXPECT_TRUE(testo(prima, "corpo")
                    .startsWith(QStringLiteral("/opt/nuovo-editor/editor vuole collegarsi a "
                                               "aggiornamenti.example.test sulla porta 443, "
                                               "ma l'app è in quarantena (software nuovo).")));
    EXPECT_EQ(testo(prima, "tempo"), QStringLiteral("Restano 60 secondi per decidere."));
    fotografa(prima, QStringLiteral("domanda-sospesa.png"));

    // The event loop keeps running while the question is open.
    int giri = 0;
    QTimer battito;
    QObject::connect(&battito, &QTimer::timeout, [&] { ++giri; });
    battito.start(10);
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(giri >= 5); }, 5));
    // It cannot be closed without an answer.
    prima->close();
    EXPECT_TRUE(prima->isVisible());
    QTest::keyClick(prima, Qt::Key_Escape);
    EXPECT_TRUE(prima->isVisible());

    orologio_.avanza(59.5);
    presentatore_.aggiornaTempo();
    EXPECT_EQ(testo(prima, "tempo"), QStringLiteral("Resta 1 secondo per decidere."));
    orologio_.avanza(1);
    presentatore_.aggiornaTempo();
    EXPECT_TRUE(testo(prima, "tempo").startsWith(QStringLiteral("Tempo scaduto:")));
    fotografa(prima, QStringLiteral("domanda-sospesa-scaduta.png"));

    clicca(prima, "bottoneConsenti");
    ASSERT_EQ(risposte, (std::vector<std::pair<int, bool>>{{1, true}}));
    // The next in line, in arrival order.
    EXPECT_TRUE(aspetta(
        [&] { return (aperte(QStringLiteral("domandaSospesa")).size()) == (std::size_t{1}); }, 5));
    FinestraDomanda* seconda = aperte(QStringLiteral("domandaSospesa"))[0];
    EXPECT_TRUE(testo(seconda, "corpo").startsWith(QStringLiteral("/usr/bin/sincronizza")));
    EXPECT_TRUE(
        testo(seconda, "corpo")
            .contains(QStringLiteral("non ha una regola e la politica blocca le app sconosciute")));

    // Answered elsewhere (a notification): the window goes, unanswered, and the third comes.
    presentatore_.ritira(2);
    EXPECT_TRUE(aspetta(
        [&] {
            return static_cast<bool>(aperte(QStringLiteral("domandaSospesa")).size() == 1 &&
                                     aperte(QStringLiteral("domandaSospesa"))[0] != seconda);
        },
        5));
    presentatore_.ritira(3);
    EXPECT_TRUE(aspetta(
        [&] { return static_cast<bool>(aperte(QStringLiteral("domandaSospesa")).empty()); }, 5));
    EXPECT_EQ(risposte.size(), 1u);
    EXPECT_EQ(presentatore_.inCoda(), 0u);
}

TEST_F(Domande, TheQuestionAfterABlockAnswersWithItsTwoButtons) {
    std::optional<bool> risposta;
    presentatore_.chiediSuBlocco(sospeso("/usr/bin/curl", MotivoDecisione::predefinita),
                                 [&](bool c) { risposta = c; });
    auto finestre = aperte(QStringLiteral("domandaBlocco"));
    ASSERT_EQ(finestre.size(), 1u);
    FinestraDomanda* f = finestre[0];
    EXPECT_EQ(testo(f, "titolo"), QStringLiteral("Accesso bloccato per sicurezza"));
    EXPECT_EQ(f->findChild<QPushButton*>(QStringLiteral("bottoneBlocca"))->text(),
              QStringLiteral("Continua a bloccare"));
    EXPECT_EQ(f->findChild<QPushButton*>(QStringLiteral("bottoneConsenti"))->text(),
              QStringLiteral("Consenti l'app"));
    EXPECT_EQ(f->findChild<QLabel*>(QStringLiteral("tempo")), nullptr);
    fotografa(f, QStringLiteral("domanda-blocco.png"));
    clicca(f, "bottoneBlocca");
    EXPECT_EQ(risposta, false);
    EXPECT_TRUE(aspetta(
        [&] { return static_cast<bool>(aperte(QStringLiteral("domandaBlocco")).empty()); }, 5));
}

TEST_F(Domande, InEnglish) {
    // The English table in front of the Italian one, for this test only.
    QTranslator inglese;
    ASSERT_TRUE(inglese.load(QStringLiteral(":/traduzioni/ostrale_en")));
    QCoreApplication::installTranslator(&inglese);
    presentatore_.chiediDecisione(7,
                                  sospeso("org.example.Sincronizza", MotivoDecisione::predefinita),
                                  orologio_.adesso().piùSecondi(42), [](bool) {});
    auto finestre = aperte(QStringLiteral("domandaSospesa"));
    ASSERT_EQ(finestre.size(), 1u);
    EXPECT_EQ(testo(finestre[0], "titolo"), QStringLiteral("Connection on hold: your call"));
    EXPECT_EQ(testo(finestre[0], "tempo"), QStringLiteral("42 seconds left to decide."));
    EXPECT_EQ(finestre[0]->findChild<QPushButton*>(QStringLiteral("bottoneConsenti"))->text(),
              QStringLiteral("Allow"));
    fotografa(finestre[0], QStringLiteral("domanda-sospesa-en.png"));
    presentatore_.ritira(7);
    bool risposto = false;
    presentatore_.chiediSuBlocco(sospeso("/usr/bin/curl", MotivoDecisione::quarantena),
                                 [&](bool) { risposto = true; });
    auto blocco = aperte(QStringLiteral("domandaBlocco"));
    ASSERT_EQ(blocco.size(), 1u);
    EXPECT_EQ(testo(blocco[0], "titolo"), QStringLiteral("Access blocked for your safety"));
    fotografa(blocco[0], QStringLiteral("domanda-blocco-en.png"));
    clicca(blocco[0], "bottoneConsenti");
    EXPECT_TRUE(risposto);
    QCoreApplication::removeTranslator(&inglese);
}

}  // namespace
}  // namespace ostrale::test
