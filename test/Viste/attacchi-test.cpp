// SPDX-License-Identifier: GPL-3.0-or-later
// The attacks section: its badges and the sheet of a pattern's sources, fed by the test or by
// the real simulated daemon's scenario, whose rules file says what a decision did.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTranslator>

#include "Condiviso/archivio-regole.h"
#include "Condiviso/codifica-json.h"
#include "Ostrale/Viste/Attacchi/badge-attacco.h"
#include "Ostrale/Viste/Attacchi/dettaglio-attacco.h"
#include "Ostrale/Viste/Attacchi/vista-attacchi.h"
#include "Ostrale/Viste/colori.h"
#include "test/Ostrale/supporto-app.h"
#include "test/Viste/fotografa.h"

namespace ostrale::test {
namespace {

QString testo(QWidget* w, const char* nome) {
    auto* l = w->findChild<QLabel*>(QLatin1String(nome));
    return l ? l->text() : QString();
}

// The rows of an open sheet, by their source.
QWidget* fonte(DettaglioAttacco& d, const QString& sorgente) {
    for (QWidget* r : d.findChildren<QWidget*>(QStringLiteral("fonte"))) {
        if (r->property("sorgente").toString() == sorgente && !r->isHidden()) return r;
    }
    return nullptr;
}

class AttacchiSenzaEstensione : public ::testing::Test, protected ControlloreSenzaEstensione {
  protected:
    EventoFlusso attacco(TipoAttacco tipo, DirezioneFlusso direzione, std::string firma,
                         std::string host, std::optional<std::string> indirizzo) {
        EventoFlusso e = evento(orologio_.adesso(), std::move(firma), false);
        e.attacco = tipo;
        e.direzione = direzione;
        e.host = std::move(host);
        e.indirizzoIP = std::move(indirizzo);
        e.porta = "22";
        e.protocollo = "—";
        return e;
    }
};

TEST_F(AttacchiSenzaEstensione, SourcesAreListedAndDecidedWhereARuleCanNameThem) {
    VistaAttacchi v(stato());
    v.resize(760, 600);
    v.show();
    BadgeAttacco* badge = v.badge(TipoAttacco::forzaBruta);
    EXPECT_EQ(testo(badge, "conteggio"), QStringLiteral("0"));
    EXPECT_EQ(testo(badge, "stato"), QStringLiteral("nessuno"));
    EXPECT_EQ(BadgeAttacco::accento(badge->conteggio()), colori::verde);
    // An inbound source without an address goes by its host; one with neither cannot be ruled.
    stato().nuovoFlusso(json::codifica(attacco(TipoAttacco::forzaBruta, DirezioneFlusso::entrata,
                                               "sconosciuta", "scanner.example.net", {})));
    stato().nuovoFlusso(json::codifica(
        attacco(TipoAttacco::forzaBruta, DirezioneFlusso::entrata, "sconosciuta", "?", {})));
    stato().nuovoFlusso(json::codifica(attacco(TipoAttacco::scansione, DirezioneFlusso::entrata,
                                               "sconosciuta", "x", "198.51.100.9")));
    EXPECT_EQ(badge->conteggio(), 2);
    EXPECT_EQ(testo(badge, "stato"), QStringLiteral("subiti"));
    EXPECT_EQ(BadgeAttacco::accento(badge->conteggio()), colori::rosso);
    // The number runs to its count.
    EXPECT_TRUE(aspetta([&] { return testo(badge, "conteggio") == QStringLiteral("2"); }, 5));

    QTest::mouseClick(badge, Qt::LeftButton);
    ASSERT_NE(v.dettaglio(), nullptr);
    DettaglioAttacco& d = *v.dettaglio();
    EXPECT_EQ(d.eventi().size(), 2u);
    EXPECT_EQ(testo(&d, "contatori"), QStringLiteral("2 nell'elenco · 2 dall'installazione"));
    QWidget* perNome = fonte(d, QStringLiteral("scanner.example.net"));
    ASSERT_NE(perNome, nullptr);
    QWidget* senzaNome = fonte(d, QStringLiteral("?"));
    ASSERT_NE(senzaNome, nullptr);
    auto* bloccaSenzaNome = senzaNome->findChild<QPushButton*>(QStringLiteral("blocca"));
    EXPECT_FALSE(bloccaSenzaNome->isEnabled());
    EXPECT_FALSE(bloccaSenzaNome->toolTip().isEmpty());
    // Blocking by host makes a domain rule, and the row says so.
    perNome->findChild<QPushButton*>(QStringLiteral("blocca"))->click();
    ASSERT_TRUE(aspetta([&] { return !stato().regoleDominio().empty(); }, 5));
    EXPECT_EQ(stato().regoleDominio().front().dominio, "scanner.example.net");
    ASSERT_TRUE(aspetta(
        [&] {
            auto* tag = fonte(d, QStringLiteral("scanner.example.net"))
                            ->findChild<QLabel*>(QStringLiteral("decisione"));
            return tag->isVisible() && tag->text() == QStringLiteral("Bloccata");
        },
        5));

    // Clearing the whole archive elsewhere keeps every count; the sheet's list empties.
    stato().pulisciAttacchi();
    ASSERT_TRUE(aspetta([&] { return d.eventi().empty(); }, 5));
    EXPECT_EQ(testo(&d, "contatori"), QStringLiteral("0 nell'elenco · 2 dall'installazione"));
    EXPECT_EQ(badge->conteggio(), 2);
    EXPECT_EQ(v.badge(TipoAttacco::scansione)->conteggio(), 1);
    EXPECT_TRUE(d.findChild<QWidget*>(QStringLiteral("dettaglioVuoto"))->isVisible());

    // "Pulisci", confirmed, clears this pattern only.
    d.findChild<QPushButton*>(QStringLiteral("pulisci"))->click();
    QMessageBox* conferma = nullptr;
    ASSERT_TRUE(aspetta(
        [&] { return (conferma = d.findChild<QMessageBox*>(QStringLiteral("confermaPulizia"))); },
        5));
    conferma->findChild<QPushButton*>(QStringLiteral("confermaPulisci"))->click();
    ASSERT_TRUE(aspetta([&] { return badge->conteggio() == 0; }, 5));
    EXPECT_EQ(v.badge(TipoAttacco::scansione)->conteggio(), 1);
    EXPECT_EQ(testo(badge, "stato"), QStringLiteral("nessuno"));
}

TEST_F(AttacchiSenzaEstensione, AHabitIsMarkedAndAPatternCanBeSilencedFromTheSheet) {
    VistaAttacchi v(stato());
    v.resize(760, 600);
    v.show();
    // The mail client's timer towards its own server, and a new program's towards a new domain.
    EventoFlusso abituale = attacco(TipoAttacco::beaconing, DirezioneFlusso::uscita,
                                    "/usr/bin/thunderbird", "imap.posta.example", "203.0.113.7");
    abituale.consentito = true;
    abituale.anomala = false;
    EventoFlusso nuovo = attacco(TipoAttacco::beaconing, DirezioneFlusso::uscita,
                                 "/home/u/.cache/agente", "c2.nuovo.example", "203.0.113.8");
    nuovo.consentito = true;
    nuovo.anomala = true;
    stato().nuovoFlusso(json::codifica(abituale));
    stato().nuovoFlusso(json::codifica(nuovo));
    v.apriDettaglio(TipoAttacco::beaconing);
    DettaglioAttacco& d = *v.dettaglio();
    QWidget* posta = nullptr;
    QWidget* agente = nullptr;
    ASSERT_TRUE(aspetta(
        [&] {
            posta = fonte(d, QStringLiteral("/usr/bin/thunderbird"));
            agente = fonte(d, QStringLiteral("/home/u/.cache/agente"));
            return posta && agente;
        },
        5));
    EXPECT_NE(posta->findChild<QLabel*>(QStringLiteral("abituale")), nullptr);
    EXPECT_EQ(agente->findChild<QLabel*>(QStringLiteral("abituale")), nullptr);
    EXPECT_EQ(posta->findChild<QPushButton*>(QStringLiteral("silenzia")), nullptr);  // never told
    auto* silenzia = agente->findChild<QPushButton*>(QStringLiteral("silenzia"));
    ASSERT_NE(silenzia, nullptr);
    EXPECT_EQ(silenzia->text(), QStringLiteral("Non avvisare più"));
    gira(0.1);
    fotografa(&d, QStringLiteral("dettaglio-attacco-abituale.png"));
    silenzia->click();
    EXPECT_TRUE(stato().avvisiSilenziati(nuovo));
    EXPECT_EQ(silenzia->text(), QStringLiteral("Avvisa di nuovo"));
    silenzia->click();
    EXPECT_FALSE(stato().avvisiSilenziati(nuovo));
    // A source that was stopped offers no such button.
    stato().nuovoFlusso(json::codifica(attacco(TipoAttacco::beaconing, DirezioneFlusso::uscita,
                                               "/usr/bin/fermato", "x.example", "203.0.113.9")));
    QWidget* fermato = nullptr;
    ASSERT_TRUE(
        aspetta([&] { return (fermato = fonte(d, QStringLiteral("/usr/bin/fermato"))); }, 5));
    EXPECT_EQ(fermato->findChild<QPushButton*>(QStringLiteral("silenzia")), nullptr);
}

// Beside the real daemon's scenario: badges fill as its attacks come, and blocking an
// application from the sheet makes a rule the daemon applies to its next flows.
TEST(AttacchiConEstensione, TheScenariosAttacksFillTheBadgesAndADecisionBecomesARule) {
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
    VistaAttacchi v(stato);
    v.resize(980, 700);
    v.show();
    for (std::size_t i = 0; i < ValoriGrezzi<TipoAttacco>::valori.size(); ++i) {
        EXPECT_EQ(v.badge(static_cast<TipoAttacco>(i))->conteggio(), 0);
    }
    stato.avvia();
    // An outbound attack: its source is an application.
    std::optional<EventoFlusso> uscente;
    ASSERT_TRUE(aspetta(
        [&] {
            for (const EventoFlusso& e : stato.attacchi()) {
                if (e.direzione == DirezioneFlusso::uscita && StatoApp::puòDecidere(e)) {
                    uscente = e;
                }
            }
            return uscente.has_value();
        },
        90));
    BadgeAttacco* badge = v.badge(*uscente->attacco);
    EXPECT_GE(badge->conteggio(), 1);
    EXPECT_EQ(testo(badge, "stato"), QStringLiteral("subiti"));
    gira(0.6);
    inOgniLingua([&](const QString& lingua) {
        VistaAttacchi foto(stato);
        foto.resize(980, 700);
        foto.show();
        gira(0.1);
        fotografa(&foto, QStringLiteral("attacchi-") + lingua + QStringLiteral(".png"));
    });

    v.apriDettaglio(*uscente->attacco);
    DettaglioAttacco& d = *v.dettaglio();
    const QString app = QString::fromStdString(uscente->firmaApp);
    QWidget* riga = nullptr;
    ASSERT_TRUE(aspetta([&] { return (riga = fonte(d, app)) != nullptr; }, 10));
    gira(0.1);
    fotografa(&d, QStringLiteral("dettaglio-attacco.png"));
    riga->findChild<QPushButton*>(QStringLiteral("blocca"))->click();
    ASSERT_TRUE(aspetta(
        [&] {
            const auto s = ArchivioRegole::leggi();
            if (!s) return false;
            return std::any_of(s->regole.begin(), s->regole.end(), [&](const Regola& r) {
                return r.firmaApp == uscente->firmaApp && r.azione == AzioneRegola::blocca &&
                       r.attiva;
            });
        },
        10));
    // The daemon applies it: the application's next flow is refused by that rule.
    const Data dopo = orologio.adesso();
    ASSERT_TRUE(aspetta(
        [&] {
            return std::any_of(stato.flussi().begin(), stato.flussi().end(), [&](const auto& e) {
                return e.firmaApp == uscente->firmaApp && e.data > dopo && !e.consentito &&
                       e.motivo == MotivoDecisione::regola;
            });
        },
        60));
    demone.ferma();
}

}  // namespace
}  // namespace ostrale::test
