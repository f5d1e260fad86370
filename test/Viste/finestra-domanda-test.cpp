// SPDX-License-Identifier: GPL-3.0-or-later
// The two questions as windows: found by name, answered with clicks, one held flow at a time,
// the time left, and the event loop running while they are open.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <ctime>
#include <optional>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/archivio-regole.h"
#include "Condiviso/orologio.h"
#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
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

QComboBox* menu(QWidget* finestra, const char* nome) {
    return finestra->findChild<QComboBox*>(QLatin1String(nome));
}

QStringList voci(const QComboBox* m) {
    QStringList v;
    for (int i = 0; i < m->count(); ++i) v << m->itemText(i);
    return v;
}

// Picks the item of `m` that stands for `caso`.
template <typename E>
void scegli(QComboBox* m, E caso) {
    const int i = m->findData(static_cast<int>(caso));
    ASSERT_GE(i, 0);
    m->setCurrentIndex(i);
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
    auto registra = [&](int quale) {
        return [&risposte, quale](const RispostaDecisione& r) {
            risposte.emplace_back(quale, r.consenti);
        };
    };
    presentatore_.chiediDecisione(1,
                                  sospeso("/opt/nuovo-editor/editor", MotivoDecisione::quarantena),
                                  scadenza, {}, registra(1));
    presentatore_.chiediDecisione(2, sospeso("/usr/bin/sincronizza", MotivoDecisione::predefinita),
                                  scadenza, {}, registra(2));
    presentatore_.chiediDecisione(3, sospeso("/usr/bin/terza", MotivoDecisione::predefinita),
                                  scadenza, {}, registra(3));
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

TEST_F(Domande, AHeldFlowAsksForHowLongAndForWhatAndTheAnswerCarriesBoth) {
    std::vector<RispostaDecisione> risposte;
    auto registra = [&](const RispostaDecisione& r) { risposte.push_back(r); };
    const Data scadenza = orologio_.adesso().piùSecondi(60);
    EventoFlusso conNome = sospeso("/usr/bin/curl", MotivoDecisione::predefinita);
    conNome.host = "www.Example.com";
    EventoFlusso senzaNome = sospeso("/usr/bin/nc", MotivoDecisione::predefinita);
    senzaNome.host = "?";
    senzaNome.indirizzoIP = "2001:DB8:0::7";
    senzaNome.porta = "?";
    EventoFlusso ignoto = senzaNome;
    ignoto.indirizzoIP.reset();
    const RispostaDecisione ultima{false, DurataRisposta::unOra, AmbitoRisposta::hostPorta};
    presentatore_.chiediDecisione(1, conNome, scadenza, ultima, registra);
    presentatore_.chiediDecisione(2, senzaNome, scadenza, ultima, registra);
    presentatore_.chiediDecisione(3, ignoto, scadenza, ultima, registra);

    FinestraDomanda* f = presentatore_.domandaSospesa();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(voci(menu(f, "durata")), (QStringList{"Solo questa volta", "15 minuti", "1 ora",
                                                    "12 ore", "Fino al riavvio", "Per sempre"}));
    EXPECT_EQ(voci(menu(f, "ambito")), (QStringList{"Tutta l'app", "Solo verso example.com",
                                                    "Solo verso example.com, porta 443"}));
    // The last choice comes first.
    EXPECT_EQ(menu(f, "durata")->currentText(), QStringLiteral("1 ora"));
    EXPECT_EQ(menu(f, "ambito")->currentText(),
              QStringLiteral("Solo verso example.com, porta 443"));
    scegli(menu(f, "durata"), DurataRisposta::dodiciOre);
    scegli(menu(f, "ambito"), AmbitoRisposta::host);
    clicca(f, "bottoneBlocca");
    ASSERT_EQ(
        risposte,
        (std::vector<RispostaDecisione>{{false, DurataRisposta::dodiciOre, AmbitoRisposta::host}}));

    // Asked before that answer, the next offers it. Without a host name the host is the
    // address; without a port number there is no port to narrow to.
    QPointer<FinestraDomanda> g = presentatore_.domandaSospesa();
    ASSERT_TRUE(g && g != f);
    EXPECT_EQ(voci(menu(g, "ambito")), (QStringList{"Tutta l'app", "Solo verso 2001:db8::7"}));
    EXPECT_EQ(menu(g, "durata")->currentText(), QStringLiteral("12 ore"));
    EXPECT_EQ(menu(g, "ambito")->currentText(), QStringLiteral("Solo verso 2001:db8::7"));
    scegli(menu(g, "durata"), DurataRisposta::unaVolta);
    clicca(g, "bottoneConsenti");
    // Neither a name nor an address: only the application can be meant.
    FinestraDomanda* h = presentatore_.domandaSospesa();
    ASSERT_TRUE(h && h != g);
    EXPECT_EQ(voci(menu(h, "ambito")), QStringList{"Tutta l'app"});
    EXPECT_EQ(menu(h, "durata")->currentText(), QStringLiteral("Solo questa volta"));
    clicca(h, "bottoneConsenti");
    EXPECT_EQ(risposte, (std::vector<RispostaDecisione>{
                            {false, DurataRisposta::dodiciOre, AmbitoRisposta::host},
                            {true, DurataRisposta::unaVolta, AmbitoRisposta::host},
                            {true, DurataRisposta::unaVolta, AmbitoRisposta::app}}));

    // A host too long for the window is cut in its middle, whole in the tooltip.
    EventoFlusso lungo = conNome;
    lungo.host = "un-nome-di-host-davvero-molto-lungo-per-una-finestra.cdn.servizi.example.com";
    presentatore_.chiediDecisione(4, lungo, scadenza, ultima, registra);
    FinestraDomanda* l = presentatore_.domandaSospesa();
    ASSERT_NE(l, nullptr);
    QComboBox* ambito = menu(l, "ambito");
    EXPECT_TRUE(ambito->itemText(1).contains(QChar(0x2026))) << ambito->itemText(1).toStdString();
    EXPECT_TRUE(ambito->itemData(1, Qt::ToolTipRole)
                    .toString()
                    .contains(QString::fromStdString(lungo.host)));
    EXPECT_LE(l->minimumSizeHint().width(), l->maximumWidth());
    presentatore_.ritira(4);
}

// The pictures of the held-flow question, with its choices, in both languages.
TEST_F(Domande, PicturesOfTheHeldFlowQuestion) {
    inOgniLingua([&](const QString& lingua) {
        presentatore_.chiediDecisione(
            10, sospeso("/opt/nuovo-editor/editor", MotivoDecisione::quarantena),
            orologio_.adesso().piùSecondi(60), {false, DurataRisposta::unOra, AmbitoRisposta::host},
            [](const RispostaDecisione&) {});
        FinestraDomanda* f = presentatore_.domandaSospesa();
        ASSERT_NE(f, nullptr);
        // Nothing cut: the window is at least as large as its contents need.
        EXPECT_GE(f->width(), f->minimumSizeHint().width());
        EXPECT_GE(f->height(), f->minimumSizeHint().height());
        fotografa(f, QStringLiteral("domanda-sospesa-%1.png").arg(lingua));
        orologio_.avanza(61);
        presentatore_.aggiornaTempo();
        // The longer text when the time is up shows whole: the window grows for it.
        auto* tempo = f->findChild<QLabel*>(QStringLiteral("tempo"));
        f->layout()->activate();
        EXPECT_GE(tempo->height(), tempo->heightForWidth(tempo->width()));
        fotografa(f, QStringLiteral("domanda-sospesa-scaduta-%1.png").arg(lingua));
        presentatore_.ritira(10);
        EXPECT_TRUE(aspetta(
            [&] { return static_cast<bool>(aperte(QStringLiteral("domandaSospesa")).empty()); },
            5));
    });
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
    presentatore_.chiediDecisione(
        7, sospeso("org.example.Sincronizza", MotivoDecisione::predefinita),
        orologio_.adesso().piùSecondi(42), {}, [](const RispostaDecisione&) {});
    auto finestre = aperte(QStringLiteral("domandaSospesa"));
    ASSERT_EQ(finestre.size(), 1u);
    EXPECT_EQ(testo(finestre[0], "titolo"), QStringLiteral("Connection on hold: your call"));
    EXPECT_EQ(testo(finestre[0], "tempo"), QStringLiteral("42 seconds left to decide."));
    EXPECT_EQ(finestre[0]->findChild<QPushButton*>(QStringLiteral("bottoneConsenti"))->text(),
              QStringLiteral("Allow"));
    presentatore_.ritira(7);
    bool risposto = false;
    presentatore_.chiediSuBlocco(sospeso("/usr/bin/curl", MotivoDecisione::quarantena),
                                 [&](bool) { risposto = true; });
    auto blocco = aperte(QStringLiteral("domandaBlocco"));
    ASSERT_EQ(blocco.size(), 1u);
    EXPECT_EQ(testo(blocco[0], "titolo"), QStringLiteral("Access blocked for your safety"));
    // No empty band between the text and the buttons: the window is as tall as its text needs.
    EXPECT_EQ(blocco[0]->height(), blocco[0]->layout()->totalHeightForWidth(blocco[0]->width()));
    fotografa(blocco[0], QStringLiteral("domanda-blocco-en.png"));
    clicca(blocco[0], "bottoneConsenti");
    EXPECT_TRUE(risposto);
    QCoreApplication::removeTranslator(&inglese);
}

// The question's window beside the real daemon, which holds the flows of applications it has never
// seen and asks about them: what the user picks becomes the rule the daemon stores. (That an
// answer once makes no rule is read off the channel in the controller's tests.)
class DomandeConEstensione : public ::testing::Test {
  protected:
    DomandeConEstensione() {
        std::filesystem::create_directories(cartella_ / "c");
        StatoRegole regole;
        regole.impostazioni.chiediPrima = true;
        regole.impostazioni.bloccaSconosciute = true;
        ArchivioCondiviso::salva(regole);
        demone_.avvia();
        stato_.avvia();
    }
    ~DomandeConEstensione() override {
        presentatore_.ritiraTutte();
        demone_.ferma();
    }

    // The next question on screen after `prima` (none: the first).
    FinestraDomanda* prossima(const QPointer<FinestraDomanda>& prima = {}) {
        aspetta(
            [&] {
                FinestraDomanda* f = presentatore_.domandaSospesa();
                return f != nullptr && f != prima.data();
            },
            20);
        FinestraDomanda* f = presentatore_.domandaSospesa();
        return f != prima.data() ? f : nullptr;
    }
    static std::string firmaDi(QWidget* finestra) {
        return testo(finestra, "corpo")
            .section(QStringLiteral(" vuole collegarsi"), 0, 0)
            .toStdString();
    }
    static StatoRegole nelFile() { return ArchivioRegole::leggi().value_or(StatoRegole{}); }

    CartellaTemporanea cartella_;
    VariabileAmbiente contenitore_{"OSTRALE_CONTENITORE", (cartella_ / "c").string()};
    DemoneSimulato demone_{cartella_ / "c", cartella_ / "ostrale.sock", {"--velocita", "20"}};
    OrologioDiSistema orologio_;
    TemporizzatoreQt tempo_;
    GestoreEsterno gestore_;
    ImpostazioniApp preferenze_{QString::fromStdString((cartella_ / "ostrale.conf").string())};
    PresentatoreFinestre presentatore_{orologio_};
    StatoApp stato_{{orologio_,
                     tempo_,
                     gestore_,
                     preferenze_,
                     &presentatore_,
                     QString::fromStdString((cartella_ / "ostrale.sock").string()),
                     {}}};
};

TEST_F(DomandeConEstensione, TheChosenDurationAndScopeMakeTheStoredRuleAndComeFirstNextTime) {
    QPointer<FinestraDomanda> f = prossima();
    ASSERT_TRUE(f);
    EXPECT_EQ(menu(f, "durata")->currentText(), QStringLiteral("Per sempre"));
    EXPECT_EQ(menu(f, "ambito")->currentText(), QStringLiteral("Tutta l'app"));
    const std::string primaApp = firmaDi(f);
    scegli(menu(f, "durata"), DurataRisposta::unOra);
    scegli(menu(f, "ambito"), AmbitoRisposta::host);
    const std::string host =
        menu(f, "ambito")->currentText().section(QStringLiteral("Solo verso "), 1).toStdString();
    ASSERT_FALSE(host.empty());
    const double quando = orologio_.adesso().secondiUnix();
    clicca(f, "bottoneConsenti");

    // A domain rule narrowed to the application, ending an hour from now.
    ASSERT_TRUE(aspetta([&] { return nelFile().regoleDominio.size() == 1; }, 10));
    const RegolaDominio regola = nelFile().regoleDominio[0];
    EXPECT_EQ(regola.dominio, host);
    EXPECT_EQ(regola.firmaApp, primaApp);
    EXPECT_EQ(regola.porta, std::nullopt);
    EXPECT_EQ(regola.azione, AzioneRegola::consenti);
    ASSERT_TRUE(regola.durata.scadenza.has_value());
    EXPECT_NEAR(regola.durata.scadenza->secondiUnix() - quando, 3600, 30);
    EXPECT_TRUE(nelFile().regole.empty());
    EXPECT_EQ(preferenze_.comeTesto(ImpostazioniApp::durataRisposta), QStringLiteral("1h"));
    EXPECT_EQ(preferenze_.comeTesto(ImpostazioniApp::ambitoRisposta), QStringLiteral("host"));

    // The next question offers the same.
    QPointer<FinestraDomanda> g = prossima(f);
    ASSERT_TRUE(g);
    EXPECT_EQ(menu(g, "durata")->currentText(), QStringLiteral("1 ora"));
    EXPECT_EQ(static_cast<AmbitoRisposta>(menu(g, "ambito")->currentData().toInt()),
              AmbitoRisposta::host);
}

}  // namespace
}  // namespace ostrale::test
