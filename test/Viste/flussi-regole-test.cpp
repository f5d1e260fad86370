// SPDX-License-Identifier: GPL-3.0-or-later
// The flows and rules sections: real widgets on the offscreen platform, fed by the test or
// beside the real simulated daemon, whose rules file says what the widgets did.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <ctime>

#include "Condiviso/archivio-regole.h"
#include "Condiviso/codifica-json.h"
#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/Flussi/delegato-azioni.h"
#include "Ostrale/Viste/Flussi/filtro-flussi.h"
#include "Ostrale/Viste/Flussi/modello-flussi.h"
#include "Ostrale/Viste/Flussi/vista-flussi.h"
#include "Ostrale/Viste/Regole/riga-regola.h"
#include "Ostrale/Viste/Regole/vista-regole.h"
#include "test/Ostrale/supporto-app.h"
#include "test/Viste/fotografa.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

class SenzaEstensione : public ::testing::Test, protected ControlloreSenzaEstensione {
  protected:
    EventoFlusso flusso(std::string firma, std::string host, std::string porta, bool consentito) {
        EventoFlusso e = evento(orologio_.adesso(), std::move(firma), consentito);
        e.host = std::move(host);
        e.porta = std::move(porta);
        return e;
    }
    void arriva(const EventoFlusso& e) { stato().nuovoFlusso(json::codifica(e)); }
};

QStringList righe(VistaFlussi& v) {
    v.modello().sincronizza();
    QStringList r;
    for (int i = 0; i < v.filtro().rowCount(); ++i) {
        r << v.filtro().index(i, ModelloFlussi::app).data().toString();
    }
    return r;
}

TEST_F(SenzaEstensione, TheFlowListSearchesApplicationAndHostAndShowsBlockedOnly) {
    VistaFlussi v(stato());
    v.resize(900, 500);
    v.show();
    auto* testo = v.findChild<QLabel*>(QStringLiteral("testoFlussiVuoto"));
    EXPECT_TRUE(testo->isVisible());
    EXPECT_EQ(testo->text(),
              QStringLiteral("Accendi il firewall dal Cruscotto per vedere i flussi."));

    arriva(flusso("/usr/bin/curl", "api.example.com", "8443", true));
    arriva(flusso("/usr/bin/wget", "cdn.example.org", "443", false));
    arriva(flusso("/opt/Strumento", "curl.example.net", "80", true));
    EXPECT_EQ(righe(v), (QStringList{"/opt/Strumento", "/usr/bin/wget", "/usr/bin/curl"}));
    EXPECT_TRUE(v.tabella().isVisible());

    auto* ricerca = v.findChild<QLineEdit*>(QStringLiteral("ricercaFlussi"));
    // Capitals find lower case, in the identity and in the host.
    ricerca->setText(QStringLiteral("CURL"));
    EXPECT_EQ(righe(v), (QStringList{"/opt/Strumento", "/usr/bin/curl"}));
    ricerca->setText(QStringLiteral("strumento"));
    EXPECT_EQ(righe(v), QStringList{"/opt/Strumento"});
    // The port is not searched.
    ricerca->setText(QStringLiteral("8443"));
    EXPECT_TRUE(righe(v).isEmpty());
    EXPECT_EQ(v.findChild<QLabel*>(QStringLiteral("titoloFlussiVuoto"))->text(),
              QStringLiteral("Nessun flusso corrisponde"));
    // Blocked only: an allowed flow whose host matches stays hidden.
    ricerca->setText(QStringLiteral("example"));
    v.findChild<QCheckBox*>(QStringLiteral("soloBloccati"))->setChecked(true);
    EXPECT_EQ(righe(v), QStringList{"/usr/bin/wget"});
    // New flows are filtered as they come.
    arriva(flusso("/usr/bin/nuova", "x.example.com", "443", false));
    arriva(flusso("/usr/bin/altra", "x.example.com", "443", true));
    EXPECT_EQ(righe(v), (QStringList{"/usr/bin/nuova", "/usr/bin/wget"}));
}

TEST_F(SenzaEstensione, TheRowButtonsMakeRulesWhereARuleCanNameTheFlow) {
    VistaRegole regole(stato());
    regole.show();
    EXPECT_TRUE(regole.findChild<QWidget*>(QStringLiteral("regoleVuote"))->isVisible());
    VistaFlussi v(stato());
    v.resize(1000, 500);
    v.show();
    const std::pair<const char*, bool> host[] = {
        {"", false},
        {"2001:db8::1", false},
        {"localhost", false},
        {"ab.cd", true},
        {"198.51.100.7", true}};  // an address has dots: a domain rule may name it
    for (const auto& [h, _] : host) arriva(flusso("/usr/bin/prova", h, "443", true));
    arriva(flusso("sconosciuta", "ignoto.example", "443", false));
    v.modello().sincronizza();
    auto* delegato =
        qobject_cast<DelegatoAzioni*>(v.tabella().itemDelegateForColumn(ModelloFlussi::azioni));
    ASSERT_NE(delegato, nullptr);
    auto cella = [&](int riga) { return v.filtro().index(riga, ModelloFlussi::azioni); };
    // Newest first: the unknown application, then the hosts backwards.
    EXPECT_FALSE(delegato->abilitata(DelegatoAzioni::Azione::blocca, cella(0)));
    EXPECT_TRUE(delegato->abilitata(DelegatoAzioni::Azione::bloccaDominio, cella(0)));
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(host[4 - i].first);
        EXPECT_EQ(delegato->abilitata(DelegatoAzioni::Azione::bloccaDominio, cella(i + 1)),
                  host[4 - i].second);
        EXPECT_TRUE(delegato->abilitata(DelegatoAzioni::Azione::blocca, cella(i + 1)));
    }
    // A click on the painted "Blocca" of a row, then on its domain button.
    auto clic = [&](int riga, DelegatoAzioni::Azione azione) {
        const QRect r = v.tabella().visualRect(cella(riga));
        const auto b = DelegatoAzioni::bottoni(r, v.tabella().fontMetrics());
        QTest::mouseClick(v.tabella().viewport(), Qt::LeftButton, {},
                          b[static_cast<std::size_t>(azione)].center());
    };
    clic(2, DelegatoAzioni::Azione::blocca);
    clic(2, DelegatoAzioni::Azione::bloccaDominio);
    ASSERT_TRUE(aspetta([&] { return !stato().regole().empty(); }, 5));
    EXPECT_EQ(stato().regole().front().firmaApp, "/usr/bin/prova");
    EXPECT_EQ(stato().regole().front().azione, AzioneRegola::blocca);
    ASSERT_TRUE(aspetta([&] { return !stato().regoleDominio().empty(); }, 5));
    EXPECT_EQ(stato().regoleDominio().front().dominio, "ab.cd");
    EXPECT_FALSE(regole.findChild<QWidget*>(QStringLiteral("regoleVuote"))->isVisible());
    // A disabled button does nothing.
    clic(0, DelegatoAzioni::Azione::consenti);
    gira(0.1);
    EXPECT_EQ(stato().regole().size(), 1u);
    // The explainer is asked for with the row's flow.
    std::optional<EventoFlusso> spiegato;
    QObject::connect(&v, &VistaFlussi::spiegazioneRichiesta,
                     [&](const EventoFlusso& e) { spiegato = e; });
    clic(1, DelegatoAzioni::Azione::spiega);
    ASSERT_TRUE(spiegato);
    EXPECT_EQ(spiegato->host, "198.51.100.7");
}

// 2,000 events a second for a second, in batches as the channel delivers them: each batch is
// one insertion, and the rows the user looks at and the selected one stay where they were.
TEST_F(SenzaEstensione, RowsStayPutWhileFlowsPourIn) {
    VistaFlussi v(stato());
    v.resize(900, 600);
    v.show();
    for (int i = 0; i < 3000; ++i) {
        arriva(flusso("/usr/bin/app" + std::to_string(i), "h.example", "443", i % 2 == 0));
    }
    v.modello().sincronizza();
    QTableView& t = v.tabella();
    t.scrollTo(v.filtro().index(400, 0), QAbstractItemView::PositionAtTop);
    t.selectRow(420);
    auto idDi = [&](const QModelIndex& i) {
        const EventoFlusso* e = v.modello().evento(v.filtro().mapToSource(i).row());
        return e ? e->id : Uuid();
    };
    const Uuid inCima = idDi(t.indexAt(QPoint(5, 1)));
    const Uuid scelto = idDi(t.selectionModel()->selectedRows().front());
    int inserimenti = 0;
    QObject::connect(&v.modello(), &QAbstractItemModel::rowsInserted, [&] { ++inserimenti; });
    int lotti = 0;
    QTimer lotto;
    QObject::connect(&lotto, &QTimer::timeout, [&] {
        for (int i = 0; i < 20; ++i) {
            arriva(flusso("/usr/bin/nuova", "n.example", "443", true));
        }
        if (++lotti == 100) lotto.stop();
    });
    lotto.start(10);
    ASSERT_TRUE(aspetta([&] { return lotti == 100; }, 30));
    // Between two updates the rows still show what they showed.
    EXPECT_EQ(idDi(t.indexAt(QPoint(5, 1))), inCima);
    gira(0.3);
    EXPECT_EQ(v.filtro().rowCount(), 3000);
    EXPECT_GE(inserimenti, 1);
    EXPECT_LE(inserimenti, lotti);
    EXPECT_EQ(idDi(t.indexAt(QPoint(5, 1))), inCima);
    ASSERT_EQ(t.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(idDi(t.selectionModel()->selectedRows().front()), scelto);
    // At the top, the list follows the newest.
    t.scrollToTop();
    arriva(flusso("/usr/bin/ultima", "u.example", "443", true));
    v.modello().sincronizza();
    EXPECT_EQ(t.indexAt(QPoint(5, 1)).row(), 0);
    EXPECT_EQ(t.indexAt(QPoint(5, 1)).siblingAtColumn(ModelloFlussi::app).data().toString(),
              QStringLiteral("/usr/bin/ultima"));
}

QString testoIn(QWidget* w, const char* nome) {
    auto* l = w->findChild<QLabel*>(QLatin1String(nome));
    return l ? l->text() : QString();
}

// Temporary rules show how long they still last, refreshed by the section's one timer only while
// it shows; a domain rule narrowed to an application and a port says so.
TEST_F(SenzaEstensione, TemporaryRulesShowTheirTimeLeftWhileTheSectionShows) {
    const Data adesso = orologio_.adesso();
    StatoApp& s = stato();
    ASSERT_EQ(s.aggiungiRegola("/usr/bin/curl", AzioneRegola::consenti,
                               durataPer(DurataRisposta::quindiciMinuti, adesso)),
              EsitoModifica::cambiata);
    ASSERT_EQ(s.aggiungiRegola("/usr/bin/git", AzioneRegola::blocca,
                               durataPer(DurataRisposta::finoAlRiavvio, adesso)),
              EsitoModifica::cambiata);
    ASSERT_EQ(s.aggiungiRegola("/usr/bin/wget", AzioneRegola::blocca), EsitoModifica::cambiata);
    ASSERT_EQ(
        s.aggiungiRegolaDominio("example.com", AzioneRegola::consenti, "/usr/lib/firefox/firefox",
                                443, durataPer(DurataRisposta::dodiciOre, adesso)),
        EsitoModifica::cambiata);
    ASSERT_TRUE(
        aspetta([&] { return s.regole().size() == 3 && s.regoleDominio().size() == 1; }, 10));
    VistaRegole v(s);
    v.resize(900, 600);
    EXPECT_FALSE(v.orologioDurate().isActive());
    v.show();
    auto riga = [&](const auto& regole, std::size_t i) { return v.riga(regole[i].id); };
    RigaRegola* curl = riga(s.regole(), 0);
    RigaRegola* git = riga(s.regole(), 1);
    RigaRegola* wget = riga(s.regole(), 2);
    RigaRegola* firefox = riga(s.regoleDominio(), 0);
    ASSERT_TRUE(curl && git && wget && firefox);
    EXPECT_EQ(testoIn(curl, "tempoRimasto"), QStringLiteral("ancora 15 min"));
    EXPECT_EQ(testoIn(git, "tempoRimasto"), QStringLiteral("fino al riavvio"));
    EXPECT_EQ(testoIn(firefox, "tempoRimasto"), QStringLiteral("ancora 12 h"));
    for (RigaRegola* r : {curl, git, firefox}) {
        auto* permanente = r->findChild<QPushButton*>(QStringLiteral("rendiPermanente"));
        EXPECT_TRUE(aspetta([&] { return permanente->isVisible(); }, 5));
    }
    EXPECT_FALSE(wget->findChild<QWidget*>(QStringLiteral("rigaDurata"))->isVisible());
    EXPECT_EQ(testoIn(firefox, "dettaglio"),
              QStringLiteral("solo per firefox · porta 443 · compresi i sottodomini"));
    EXPECT_EQ(firefox->toolTip(), QStringLiteral("/usr/lib/firefox/firefox"));

    // A minute later, when the timer says so.
    ASSERT_TRUE(v.orologioDurate().isActive());
    EXPECT_EQ(v.orologioDurate().interval(), 60 * 1000);
    orologio_.avanza(61);
    EXPECT_EQ(testoIn(curl, "tempoRimasto"), QStringLiteral("ancora 15 min"));
    v.orologioDurate().start(0);
    ASSERT_TRUE(aspetta(
        [&] { return testoIn(curl, "tempoRimasto") == QStringLiteral("ancora 14 min"); }, 5));
    EXPECT_EQ(v.orologioDurate().interval(), 60 * 1000);
    // Hidden, it rests; shown again, it is right at once.
    v.hide();
    EXPECT_FALSE(v.orologioDurate().isActive());
    orologio_.avanza(10 * 60);
    v.show();
    EXPECT_EQ(testoIn(curl, "tempoRimasto"), QStringLiteral("ancora 4 min"));
    EXPECT_TRUE(v.orologioDurate().isActive());
}

// The rules section against the real simulated daemon: what the widgets do is in its file.
class ConEstensione : public ::testing::Test, protected ControlloreConEstensione {
  protected:
    // The rules as the daemon stored them.
    static std::vector<Regola> nelFile() {
        const auto s = ArchivioRegole::leggi();
        return s ? s->regole : std::vector<Regola>{};
    }
    static std::optional<Regola> nelFile(const std::string& firma) {
        for (const Regola& r : nelFile()) {
            if (r.firmaApp == firma) return r;
        }
        return std::nullopt;
    }
};

TEST_F(ConEstensione, RulesMadeChangedAndDeletedThroughTheWidgets) {
    ASSERT_TRUE(aspetta([&] { return stato_.estensionePronta(); }, 20));
    VistaRegole v(stato_);
    v.resize(900, 600);
    v.show();
    // Added by hand.
    auto* firma = v.findChild<QLineEdit*>(QStringLiteral("nuovaFirma"));
    QTest::keyClicks(firma, QStringLiteral("  /usr/bin/curl "));
    QTest::mouseClick(v.findChild<QPushButton*>(QStringLiteral("aggiungiApp")), Qt::LeftButton);
    EXPECT_TRUE(firma->text().isEmpty());
    ASSERT_TRUE(aspetta([&] { return nelFile("/usr/bin/curl").has_value(); }, 10));
    const Uuid id = nelFile("/usr/bin/curl")->id;
    ASSERT_TRUE(aspetta([&] { return v.riga(id) != nullptr; }, 10));
    RigaRegola* riga = v.riga(id);

    // Switched off, then blocked: the action changes, the rule stays off.
    riga->findChild<QCheckBox*>(QStringLiteral("attiva"))->click();
    ASSERT_TRUE(aspetta([&] { return !nelFile("/usr/bin/curl")->attiva; }, 10));
    riga->findChild<QToolButton*>(QStringLiteral("blocca"))->click();
    ASSERT_TRUE(
        aspetta([&] { return nelFile("/usr/bin/curl")->azione == AzioneRegola::blocca; }, 10));
    EXPECT_FALSE(nelFile("/usr/bin/curl")->attiva);

    // "A orario" gives a working day's window, never an empty one.
    riga->findChild<QCheckBox*>(QStringLiteral("aOrario"))->click();
    ASSERT_TRUE(aspetta([&] { return nelFile("/usr/bin/curl")->fascia.has_value(); }, 10));
    EXPECT_EQ(*nelFile("/usr/bin/curl")->fascia, (FasciaOraria{9 * 60, 18 * 60}));
    auto* inizio = riga->findChild<QComboBox*>(QStringLiteral("inizio"));
    auto* fine = riga->findChild<QComboBox*>(QStringLiteral("fine"));
    ASSERT_TRUE(aspetta([&] { return inizio->isVisible(); }, 5));
    EXPECT_EQ(inizio->count(), 48);
    EXPECT_EQ(inizio->currentText(), QStringLiteral("09:00"));
    EXPECT_EQ(fine->currentText(), QStringLiteral("18:00"));
    // A start equal to the end is refused, with a word why.
    fine->setCurrentIndex(fine->findText(QStringLiteral("09:00")));
    emit fine->activated(fine->currentIndex());
    EXPECT_FALSE(v.messaggio().isEmpty());
    EXPECT_EQ(fine->currentText(), QStringLiteral("18:00"));
    EXPECT_EQ(*nelFile("/usr/bin/curl")->fascia, (FasciaOraria{9 * 60, 18 * 60}));
    // Across midnight.
    inizio->setCurrentIndex(inizio->findText(QStringLiteral("22:00")));
    emit inizio->activated(inizio->currentIndex());
    fine->setCurrentIndex(fine->findText(QStringLiteral("06:00")));
    emit fine->activated(fine->currentIndex());
    ASSERT_TRUE(aspetta(
        [&] {
            return *nelFile("/usr/bin/curl")->fascia == FasciaOraria{22 * 60, 6 * 60};
        },
        10));
    ASSERT_TRUE(aspetta([&] { return fine->currentText() == QStringLiteral("06:00"); }, 5));
    EXPECT_EQ(inizio->currentText(), QStringLiteral("22:00"));
    // A window off the half hours (another client made it) is shown as it is and kept.
    ASSERT_EQ(stato_.impostaFascia(id, FasciaOraria{9 * 60 + 5, 17 * 60 + 55}),
              EsitoModifica::cambiata);
    ASSERT_TRUE(aspetta([&] { return inizio->currentText() == QStringLiteral("09:05"); }, 10));
    EXPECT_EQ(fine->currentText(), QStringLiteral("17:55"));
    EXPECT_EQ(inizio->count(), 49);
    riga->findChild<QToolButton*>(QStringLiteral("consenti"))->click();
    ASSERT_TRUE(
        aspetta([&] { return nelFile("/usr/bin/curl")->azione == AzioneRegola::consenti; }, 10));
    EXPECT_EQ(*nelFile("/usr/bin/curl")->fascia, (FasciaOraria{9 * 60 + 5, 17 * 60 + 55}));

    // Domains: normalised by the controller; a name without a dot is refused and kept.
    auto* dominio = v.findChild<QLineEdit*>(QStringLiteral("nuovoDominio"));
    auto* aggiungiDominio = v.findChild<QPushButton*>(QStringLiteral("aggiungiDominio"));
    QTest::keyClicks(dominio, QStringLiteral("nessunpunto"));
    QTest::mouseClick(aggiungiDominio, Qt::LeftButton);
    EXPECT_EQ(dominio->text(), QStringLiteral("nessunpunto"));
    EXPECT_FALSE(v.messaggio().isEmpty());
    dominio->clear();
    QTest::keyClicks(dominio, QStringLiteral("https://www.Tracker.Example/x"));
    QTest::mouseClick(aggiungiDominio, Qt::LeftButton);
    auto dominioNelFile = [] {
        const auto s = ArchivioRegole::leggi();
        std::optional<Uuid> trovato;
        for (const RegolaDominio& d : s ? s->regoleDominio : std::vector<RegolaDominio>{}) {
            if (d.dominio == "tracker.example") trovato = d.id;
        }
        return trovato;
    };
    ASSERT_TRUE(aspetta([&] { return dominioNelFile().has_value(); }, 10));

    // Deleted by its button, and a domain rule by the Delete key.
    QTest::mouseClick(riga->findChild<QToolButton*>(QStringLiteral("elimina")), Qt::LeftButton);
    ASSERT_TRUE(aspetta([&] { return !nelFile("/usr/bin/curl"); }, 10));
    const Uuid dominioId = *dominioNelFile();
    ASSERT_TRUE(aspetta([&] { return v.riga(dominioId) != nullptr; }, 5));
    v.riga(dominioId)->setFocus();
    QTest::keyClick(v.riga(dominioId), Qt::Key_Delete);
    ASSERT_TRUE(aspetta([&] { return !dominioNelFile(); }, 10));
    ASSERT_TRUE(aspetta([&] { return v.riga(dominioId) == nullptr; }, 5));
}

// A temporary rule made permanent by its row's button, as the daemon stores it; the section's
// pictures with temporary and narrowed rules.
TEST_F(ConEstensione, ATemporaryRuleIsMadePermanentByItsButton) {
    ASSERT_TRUE(aspetta([&] { return stato_.estensionePronta(); }, 20));
    const Data adesso = orologio_.adesso();
    ASSERT_EQ(stato_.aggiungiRegola("/usr/bin/curl", AzioneRegola::consenti,
                                    durataPer(DurataRisposta::unOra, adesso)),
              EsitoModifica::cambiata);
    ASSERT_EQ(stato_.aggiungiRegola("/usr/bin/git", AzioneRegola::blocca,
                                    durataPer(DurataRisposta::finoAlRiavvio, adesso)),
              EsitoModifica::cambiata);
    ASSERT_EQ(stato_.aggiungiRegolaDominio("github.com", AzioneRegola::consenti,
                                           "/usr/lib/firefox/firefox", 443,
                                           durataPer(DurataRisposta::quindiciMinuti, adesso)),
              EsitoModifica::cambiata);
    ASSERT_EQ(stato_.aggiungiRegolaDominio("telemetria.example", AzioneRegola::blocca,
                                           "/usr/share/code/code", std::nullopt, Durata{}),
              EsitoModifica::cambiata);
    ASSERT_TRUE(aspetta([&] { return nelFile("/usr/bin/curl") && nelFile("/usr/bin/git"); }, 10));
    const Uuid curl = nelFile("/usr/bin/curl")->id;
    ASSERT_TRUE(nelFile("/usr/bin/curl")->durata.scadenza.has_value());
    // (The daemon's own rules are there too.)
    ASSERT_TRUE(aspetta(
        [&] {
            const auto& d = stato_.regoleDominio();
            return std::count_if(d.begin(), d.end(),
                                 [](const RegolaDominio& r) { return r.ristretta(); }) == 2;
        },
        10));

    inOgniLingua([&](const QString& lingua) {
        VistaRegole v(stato_);
        v.resize(900, 640);
        v.show();
        gira(0.2);
        fotografa(&v, QStringLiteral("regole-durate-%1.png").arg(lingua));
    });

    VistaRegole v(stato_);
    v.resize(900, 600);
    v.show();
    ASSERT_TRUE(aspetta([&] { return v.riga(curl) != nullptr; }, 5));
    RigaRegola* riga = v.riga(curl);
    EXPECT_EQ(testoIn(riga, "tempoRimasto"), QStringLiteral("ancora 1 h"));
    QTest::mouseClick(riga->findChild<QPushButton*>(QStringLiteral("rendiPermanente")),
                      Qt::LeftButton);
    ASSERT_TRUE(aspetta([&] { return nelFile("/usr/bin/curl")->durata.perSempre(); }, 10));
    EXPECT_EQ(nelFile("/usr/bin/curl")->azione, AzioneRegola::consenti);
    EXPECT_EQ(nelFile("/usr/bin/curl")->id, curl);
    ASSERT_TRUE(aspetta(
        [&] { return !riga->findChild<QWidget*>(QStringLiteral("rigaDurata"))->isVisible(); }, 10));
    EXPECT_FALSE(nelFile("/usr/bin/git")->durata.perSempre());
}

// Rules out to a file and back in through the section, the daemon storing what the preview
// promised: a rule deleted meanwhile is added back, one changed is set back, the settings follow.
TEST_F(ConEstensione, RulesExportedAndImportedWithAPreviewFirst) {
    ASSERT_TRUE(aspetta([&] { return stato_.estensionePronta(); }, 20));
    VistaRegole v(stato_);
    v.resize(900, 600);
    v.show();
    ASSERT_EQ(stato_.aggiungiRegola("/usr/bin/git", AzioneRegola::blocca), EsitoModifica::cambiata);
    ASSERT_EQ(stato_.aggiungiRegola("/usr/bin/curl", AzioneRegola::consenti),
              EsitoModifica::cambiata);
    ASSERT_EQ(stato_.aggiungiRegolaDominio("ads.example", AzioneRegola::blocca),
              EsitoModifica::cambiata);
    ASSERT_TRUE(aspetta([&] { return nelFile("/usr/bin/git") && nelFile("/usr/bin/curl"); }, 10));
    const std::size_t quante = nelFile().size();
    ASSERT_TRUE(aspetta([&] { return stato_.regole().size() == quante; }, 10));

    CartellaTemporanea cartella;
    const QString percorso = QString::fromStdString((cartella / "regole.json").string());
    v.esportaIn(percorso);
    ASSERT_TRUE(aspetta([&] { return v.messaggio().contains(QStringLiteral("Esportate")); }, 10));
    EXPECT_TRUE(QFile::exists(percorso));

    // Changed meanwhile: git deleted, curl blocked, a setting switched.
    const Uuid git = nelFile("/usr/bin/git")->id;
    const Uuid curl = nelFile("/usr/bin/curl")->id;
    ASSERT_EQ(stato_.rimuoviRegola(git), EsitoModifica::cambiata);
    ASSERT_EQ(stato_.cambiaAzione(curl, AzioneRegola::blocca), EsitoModifica::cambiata);
    const bool tracker = stato_.impostazioni().bloccaTracker;
    ImpostazioniParziali campi;
    campi.bloccaTracker = !tracker;
    ASSERT_EQ(stato_.modificaImpostazioni(campi), EsitoModifica::cambiata);
    ASSERT_TRUE(aspetta(
        [&] {
            const auto& regole = stato_.regole();
            const bool curlBloccato = std::any_of(
                regole.begin(), regole.end(),
                [&](const Regola& r) { return r.id == curl && r.azione == AzioneRegola::blocca; });
            return regole.size() == quante - 1 && curlBloccato &&
                   stato_.impostazioni().bloccaTracker != tracker;
        },
        10));

    v.importaDa(percorso);
    QDialog* anteprima = nullptr;
    ASSERT_TRUE(aspetta([&] { return (anteprima = v.anteprima()) != nullptr; }, 10));
    auto* elenco = anteprima->findChild<QLabel*>(QStringLiteral("elencoImportazione"));
    EXPECT_EQ(elenco->text(), QStringLiteral("Da aggiungere:\n  /usr/bin/git\n\nDa cambiare:\n"
                                             "  /usr/bin/curl\n\nLe impostazioni diventano "
                                             "quelle del file."));
    gira(0.1);
    fotografa(anteprima, QStringLiteral("importa-regole.png"));
    anteprima->findChild<QPushButton*>(QStringLiteral("confermaImportazione"))->click();
    ASSERT_TRUE(aspetta(
        [&] {
            const auto g = nelFile("/usr/bin/git");
            const auto c = nelFile("/usr/bin/curl");
            const auto s = ArchivioRegole::leggi();
            return g && g->azione == AzioneRegola::blocca && c &&
                   c->azione == AzioneRegola::consenti && s &&
                   s->impostazioni.bloccaTracker == tracker;
        },
        10));
    EXPECT_EQ(v.messaggio(), QStringLiteral("Importate: 1 aggiunte, 2 cambiate, 0 rimosse"));

    // Again: nothing to change, and nothing to confirm, once the controller holds all the
    // daemon stored (the steps come back one by one).
    ASSERT_TRUE(aspetta(
        [&] {
            const auto& regole = stato_.regole();
            const bool curlConsentito =
                std::any_of(regole.begin(), regole.end(), [&](const Regola& r) {
                    return r.id == curl && r.azione == AzioneRegola::consenti;
                });
            return regole.size() == quante && curlConsentito &&
                   stato_.impostazioni().bloccaTracker == tracker;
        },
        10));
    v.importaDa(percorso);
    ASSERT_TRUE(aspetta(
        [&] {
            anteprima = v.anteprima();
            return anteprima && anteprima->isVisible() &&
                   anteprima->findChild<QLabel*>(QStringLiteral("elencoImportazione"))
                       ->text()
                       .startsWith(QStringLiteral("Niente da cambiare"));
        },
        10));
    EXPECT_FALSE(
        anteprima->findChild<QPushButton*>(QStringLiteral("confermaImportazione"))->isEnabled());
    anteprima->reject();

    // A file that is not one: refused with the reason, nothing changed.
    QFile rotto(QString::fromStdString((cartella / "rotto.json").string()));
    ASSERT_TRUE(rotto.open(QIODevice::WriteOnly));
    rotto.write("{\"formato\": \"ostrale-regole\", \"versione\": 2}");
    rotto.close();
    v.importaDa(rotto.fileName());
    ASSERT_TRUE(aspetta([&] { return v.messaggio().contains(QStringLiteral("version 2")); }, 10));
    EXPECT_EQ(nelFile().size(), quante);
}

}  // namespace
}  // namespace ostrale::test
