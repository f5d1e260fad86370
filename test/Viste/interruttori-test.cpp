// SPDX-License-Identifier: GPL-3.0-or-later
// The switches section: real widgets on the offscreen platform, beside the real simulated daemon
// whose rules file says what each switch wrote, or with a controller of the test's own; launch
// at login through a fake and through real entries in folders of the test's own; the two
// updatable defences against an HTTP server on loopback; and its pictures.
#include <gtest/gtest.h>

#include <zlib.h>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <algorithm>
#include <filesystem>
#include <type_traits>

#include "Condiviso/archivio-regole.h"
#include "Condiviso/modifica-regole.h"
#include "Ostrale/Dati/geo-db.h"
#include "Ostrale/Dati/servizi-dati.h"
#include "Ostrale/Linux/avvio-automatico-xdg.h"
#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/Interruttori/riga-interruttore.h"
#include "Ostrale/Viste/Interruttori/vista-interruttori.h"
#include "Ostrale/Viste/finestra-principale.h"
#include "test/Ostrale/avvio-automatico-finto.h"
#include "test/Ostrale/server-http.h"
#include "test/Ostrale/supporto-app.h"
#include "test/Viste/fotografa.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

QByteArray gzip(const std::string& dati) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    QByteArray uscita(static_cast<qsizetype>(deflateBound(&z, dati.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(dati.data()));
    z.avail_in = static_cast<uInt>(dati.size());
    z.next_out = reinterpret_cast<Bytef*>(uscita.data());
    z.avail_out = static_cast<uInt>(uscita.size());
    deflate(&z, Z_FINISH);
    uscita.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return uscita;
}

// `quanti` addresses, one a line, as the first feed publishes them.
QByteArray elenco(int quanti) {
    QByteArray t = "# Feodo Tracker IP block list\n";
    for (int i = 0; i < quanti; ++i) {
        t += "192.0." + QByteArray::number(i / 250) + "." + QByteArray::number(i % 250 + 1) + "\n";
    }
    return t;
}

// The boolean filter settings, by name: f(name, member).
template <typename F>
void perOgniInterruttore(F&& f) {
    ImpostazioniParziali::perOgniCampo([&](const char* nome, auto, auto membro) {
        if constexpr (std::is_same_v<decltype(membro), bool ImpostazioniFiltro::*>) {
            f(QLatin1String(nome), membro);
        }
    });
}

// Clicks a switch once it may be touched (an edit of it on its way holds it).
void scatta(QCheckBox* interruttore) {
    ASSERT_TRUE(aspetta([&] { return interruttore->isEnabled(); }, 10));
    interruttore->click();
}

// The settings as the daemon (or the app, without one) stored them.
ImpostazioniFiltro nelFile() {
    const auto s = ArchivioRegole::leggi();
    return s ? s->impostazioni : ImpostazioniFiltro{};
}

// The data the defences read, in folders of the test's own: a shipped C2 edition of three
// addresses, the shipped tracker list, and the test city databases, none of them in use until
// `installaDatabase`. The shared city database is read anew from here, and forgotten afterwards.
class DatiDiProva {
  public:
    DatiDiProva() {
        std::filesystem::create_directories(casa_ / "risorse");
        std::filesystem::create_directories(casa_ / "scritti");
        EXPECT_TRUE(scriviDatabaseDiProva(casa_ / "scritti"));
        std::filesystem::copy_file(OSTRALE_SORGENTI "/Risorse/tracker.txt",
                                   casa_ / "risorse" / "tracker.txt");
        casa_.scrivi("risorse/c2.txt", "# shipped\n198.51.100.1\n198.51.100.2\n198.51.100.3\n");
        ::unsetenv("GEODB_PERCORSO");
        GeoDB::sostituisci(nullptr);
    }
    ~DatiDiProva() { GeoDB::sostituisci(nullptr); }
    DatiDiProva(const DatiDiProva&) = delete;
    DatiDiProva& operator=(const DatiDiProva&) = delete;

    std::filesystem::path scritto(const char* nome) const { return casa_ / "scritti" / nome; }
    void installaDatabase() const {
        std::filesystem::copy_file(scritto("annidato-v4.mmdb"),
                                   casa_ / "risorse" / "dbip-city-lite.mmdb");
        GeoDB::sostituisci(nullptr);
    }

  private:
    CartellaTemporanea casa_;
    VariabileAmbiente dati_{"XDG_DATA_HOME", (casa_ / "dati").string()};
    VariabileAmbiente risorse_{"OSTRALE_RISORSE", (casa_ / "risorse").string()};
    VariabileAmbiente cache_{"OSTRALE_CACHE", (casa_ / "cache").string()};
};

// Beside the real simulated daemon, launch at login a fake.
class InterruttoriConEstensione : public ::testing::Test, protected ControlloreConEstensione {
  protected:
    AvvioAutomaticoFinto avvio_;
};

TEST_F(InterruttoriConEstensione, EachSwitchWritesItsOneSettingAndShowsTheControllers) {
    ASSERT_TRUE(aspetta([&] { return stato_.estensionePronta(); }, 20));
    VistaInterruttori v(stato_, &avvio_, nullptr);
    v.resize(820, 900);
    v.show();
    perOgniInterruttore([&](const QString& nome, bool ImpostazioniFiltro::*membro) {
        SCOPED_TRACE(nome.toStdString());
        auto* interruttore = v.findChild<QCheckBox*>(nome);
        ASSERT_NE(interruttore, nullptr);
        EXPECT_EQ(interruttore->isChecked(), stato_.impostazioni().*membro);
        const bool nuovo = !interruttore->isChecked();
        ImpostazioniFiltro atteso = nelFile();
        atteso.*membro = nuovo;
        interruttore->click();
        // Held, showing the choice, until the controller shows it.
        EXPECT_FALSE(interruttore->isEnabled());
        EXPECT_EQ(interruttore->isChecked(), nuovo);
        ASSERT_TRUE(aspetta([&] { return nelFile().*membro == nuovo; }, 10));
        EXPECT_EQ(nelFile(), atteso);  // that one setting, nothing else
        ASSERT_TRUE(aspetta([&] { return stato_.impostazioni().*membro == nuovo; }, 10));
        EXPECT_TRUE(interruttore->isEnabled());
        EXPECT_EQ(interruttore->isChecked(), nuovo);
        EXPECT_TRUE(v.riga(nome)->nota().isEmpty());
    });

    // Another client's edit shows as the daemon tells it.
    const bool tracker = stato_.impostazioni().bloccaTracker;
    ASSERT_EQ(esegui({OSTRALE_CTL, "--socket", (cartella_ / "ostrale.sock").string(), "regole",
                      "imposta", "bloccaTracker", tracker ? "no" : "sì"}),
              0);
    ASSERT_EQ(esegui({OSTRALE_CTL, "--socket", (cartella_ / "ostrale.sock").string(), "regole",
                      "imposta", "giorniQuarantena", "12"}),
              0);
    auto* bloccaTracker = v.findChild<QCheckBox*>(QStringLiteral("bloccaTracker"));
    ASSERT_TRUE(aspetta([&] { return bloccaTracker->isChecked() != tracker; }, 10));
    ASSERT_TRUE(aspetta(
        [&] {
            return v.riga(QStringLiteral("quarantenaAttiva"))->dettaglio() ==
                   QStringLiteral(
                       "Le app mai viste prima restano bloccate per 12 giorni, finché "
                       "non le promuovi dal Cruscotto");
        },
        10));
    // The tracker list's size, once read.
    ASSERT_TRUE(aspetta([&] { return stato_.dominiTracker() > 1000; }, 10));
    EXPECT_EQ(v.riga(QStringLiteral("bloccaTracker"))->dettaglio(),
              QStringLiteral("Blocca in tutte le app le connessioni verso %1 domini pubblicitari "
                             "e di tracciamento (le regole esplicite vincono)")
                  .arg(QLocale().toString(static_cast<qulonglong>(stato_.dominiTracker()))));
}

TEST_F(InterruttoriConEstensione, AskingBeforeBlockingRegistersLaunchAtLoginOnce) {
    ASSERT_TRUE(aspetta([&] { return stato_.estensionePronta(); }, 20));
    VistaInterruttori v(stato_, &avvio_, nullptr);
    v.show();
    auto* login = v.findChild<QCheckBox*>(QStringLiteral("avvioAutomatico"));
    auto* chiediPrima = v.findChild<QCheckBox*>(QStringLiteral("chiediPrima"));
    // Read when the view appears; not to be touched before.
    EXPECT_FALSE(login->isEnabled());
    ASSERT_TRUE(aspetta([&] { return login->isEnabled(); }));
    EXPECT_FALSE(login->isChecked());

    // Shown as the controller has it, and free to be touched again.
    auto mostra = [&](bool acceso) {
        return aspetta([&] {
            return stato_.impostazioni().chiediPrima == acceso && chiediPrima->isEnabled() &&
                   chiediPrima->isChecked() == acceso;
        });
    };
    scatta(chiediPrima);
    ASSERT_TRUE(aspetta([&] { return login->isChecked(); }));
    EXPECT_EQ(avvio_.registrazioni, 1);
    ASSERT_TRUE(mostra(true));
    EXPECT_TRUE(nelFile().chiediPrima);
    // Off never unregisters; on again finds it registered.
    scatta(chiediPrima);
    ASSERT_TRUE(mostra(false));
    const int letture = avvio_.letture;
    scatta(chiediPrima);
    EXPECT_EQ(avvio_.letture, letture + 1);
    ASSERT_TRUE(mostra(true));
    EXPECT_EQ(avvio_.registrazioni, 1);
    EXPECT_EQ(avvio_.rimozioni, 0);
    EXPECT_TRUE(login->isChecked());
    // Taken off by the user, it comes back with the next switch-on.
    scatta(login);
    ASSERT_TRUE(aspetta([&] { return login->isEnabled() && !login->isChecked(); }));
    scatta(chiediPrima);
    ASSERT_TRUE(mostra(false));
    scatta(chiediPrima);
    ASSERT_TRUE(aspetta([&] { return login->isChecked(); }));
    EXPECT_EQ(avvio_.registrazioni, 2);
    ASSERT_TRUE(mostra(true));
    // A registration that fails shows the real state and why.
    scatta(login);
    ASSERT_TRUE(aspetta([&] { return login->isEnabled() && !login->isChecked(); }));
    avvio_.errore = QStringLiteral("la cartella non si può scrivere");
    scatta(chiediPrima);
    ASSERT_TRUE(mostra(false));
    scatta(chiediPrima);
    ASSERT_TRUE(aspetta([&] { return avvio_.registrazioni == 3; }));
    ASSERT_TRUE(
        aspetta([&] { return !v.riga(QStringLiteral("avvioAutomatico"))->nota().isEmpty(); }));
    EXPECT_FALSE(login->isChecked());
    EXPECT_EQ(v.riga(QStringLiteral("avvioAutomatico"))->nota(), avvio_.errore);
    EXPECT_TRUE(mostra(true));
}

class InterruttoriSenzaEstensione : public ::testing::Test, protected ControlloreSenzaEstensione {};

TEST_F(InterruttoriSenzaEstensione, AnEditThatCannotBeStoredPutsTheSwitchBackAndSaysWhy) {
    // "regole.json" a folder: the rules file cannot be written.
    std::filesystem::create_directories(cartella_ / "c" / "regole.json");
    VistaInterruttori v(stato(), nullptr, nullptr);
    v.show();
    auto* lan = v.findChild<QCheckBox*>(QStringLiteral("escludiLan"));
    ASSERT_TRUE(lan->isChecked());
    lan->click();
    EXPECT_FALSE(lan->isChecked());  // while the edit is on its way
    ASSERT_TRUE(aspetta([&] { return lan->isChecked(); }));
    EXPECT_EQ(v.riga(QStringLiteral("escludiLan"))->nota(),
              testi::esitoModifica(EsitoModifica::nonSalvata));
    EXPECT_TRUE(stato().impostazioni().escludiLan);
    // Once the file can be written, the same switch works and the word goes.
    std::filesystem::remove(cartella_ / "c" / "regole.json");
    scatta(lan);
    ASSERT_TRUE(aspetta([&] { return !stato().impostazioni().escludiLan; }));
    EXPECT_FALSE(lan->isChecked());
    EXPECT_TRUE(v.riga(QStringLiteral("escludiLan"))->nota().isEmpty());
}

TEST_F(InterruttoriSenzaEstensione, TheTextsCountWhatThereIsAndMissingServicesSaySo) {
    VistaInterruttori v(stato(), nullptr, nullptr);
    v.show();
    // An empty tracker list (nothing read yet) is 0 between the two parts.
    EXPECT_EQ(v.riga(QStringLiteral("bloccaTracker"))->dettaglio(),
              QStringLiteral("Blocca in tutte le app le connessioni verso 0 domini pubblicitari "
                             "e di tracciamento (le regole esplicite vincono)"));
    EXPECT_EQ(v.riga(QStringLiteral("quarantenaAttiva"))->dettaglio(),
              QStringLiteral("Le app mai viste prima restano bloccate per 3 giorni, finché non le "
                             "promuovi dal Cruscotto"));
    EXPECT_TRUE(v.riga(QStringLiteral("rilevaAttacchi"))
                    ->dettaglio()
                    .startsWith(QStringLiteral("La sentinella riconosce 16 schemi d'attacco (")));
    // The groups, top to bottom.
    std::vector<QWidget*> gruppi;
    for (auto* g : v.widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (g->objectName().startsWith(QStringLiteral("gruppo"))) gruppi.push_back(g);
    }
    std::sort(gruppi.begin(), gruppi.end(), [](QWidget* a, QWidget* b) { return a->y() < b->y(); });
    QStringList ordine;
    for (QWidget* g : gruppi) ordine << g->objectName();
    EXPECT_EQ(ordine, (QStringList{"gruppoLingua", "gruppoAvvio", "gruppoFiltro",
                                   "gruppoProtezioni", "gruppoDifese"}));
    // Without launch at login or data services.
    EXPECT_FALSE(v.findChild<QCheckBox*>(QStringLiteral("avvioAutomatico"))->isEnabled());
    EXPECT_FALSE(v.riga(QStringLiteral("avvioAutomatico"))->nota().isEmpty());
    for (const char* riga : {"c2", "geoDB"}) {
        EXPECT_EQ(v.findChild<QLabel*>(QLatin1String(riga) + QStringLiteral("Stato"))->text(),
                  QStringLiteral("Servizio non disponibile"));
        EXPECT_FALSE(v.findChild<QPushButton*>(QLatin1String(riga) + QStringLiteral("Aggiorna"))
                         ->isEnabled());
    }
    // The question after a security block is an app preference.
    auto* chiedi = v.findChild<QCheckBox*>(QStringLiteral("chiediSuBlocco"));
    EXPECT_TRUE(chiedi->isChecked());
    chiedi->click();
    EXPECT_FALSE(preferenze_.comeBool(ImpostazioniApp::chiediSuBlocco));
    EXPECT_FALSE(VistaInterruttori(stato(), nullptr, nullptr)
                     .findChild<QCheckBox*>(QStringLiteral("chiediSuBlocco"))
                     ->isChecked());
}

TEST_F(InterruttoriSenzaEstensione, LaunchAtLoginIsTheAutostartEntryAndAFailureShowsTheRealState) {
    VariabileAmbiente config("XDG_CONFIG_HOME", (cartella_ / "config").string());
    const auto voce = cartella_ / "config" / "autostart" / "ostrale.desktop";
    AvvioAutomaticoXdg avvio(QStringLiteral("/usr/bin/ostrale"));
    VistaInterruttori v(stato(), &avvio, nullptr);
    v.show();
    auto* login = v.findChild<QCheckBox*>(QStringLiteral("avvioAutomatico"));
    ASSERT_TRUE(aspetta([&] { return login->isEnabled(); }));
    EXPECT_FALSE(login->isChecked());
    login->click();
    EXPECT_FALSE(login->isEnabled());  // until the entry is written
    ASSERT_TRUE(aspetta([&] { return login->isEnabled(); }));
    EXPECT_TRUE(login->isChecked());
    EXPECT_TRUE(std::filesystem::exists(voce));
    login->click();
    ASSERT_TRUE(aspetta([&] { return login->isEnabled(); }));
    EXPECT_FALSE(login->isChecked());
    EXPECT_FALSE(std::filesystem::exists(voce));
    // The entry as the desktop left it is read again each time the section appears.
    cartella_.scrivi("config/autostart/ostrale.desktop",
                     "[Desktop Entry]\nExec=/usr/bin/ostrale\n");
    v.hide();
    v.show();
    ASSERT_TRUE(aspetta([&] { return login->isChecked(); }));
    cartella_.scrivi("config/autostart/ostrale.desktop",
                     "[Desktop Entry]\nExec=/usr/bin/ostrale\nHidden=true\n");
    v.hide();
    v.show();
    ASSERT_TRUE(aspetta([&] { return !login->isChecked(); }));

    // A folder that cannot be made (under a regular file): back off, with the reason.
    cartella_.scrivi("file", "x");
    AvvioAutomaticoXdg rotto(
        QStringLiteral("/usr/bin/ostrale"),
        QString::fromStdString((cartella_ / "file" / "autostart" / "ostrale.desktop").string()));
    VistaInterruttori altra(stato(), &rotto, nullptr);
    altra.show();
    auto* loginRotto = altra.findChild<QCheckBox*>(QStringLiteral("avvioAutomatico"));
    ASSERT_TRUE(aspetta([&] { return loginRotto->isEnabled(); }));
    loginRotto->click();
    EXPECT_TRUE(loginRotto->isChecked());
    ASSERT_TRUE(aspetta([&] { return loginRotto->isEnabled(); }));
    EXPECT_FALSE(loginRotto->isChecked());
    const QString nota = altra.riga(QStringLiteral("avvioAutomatico"))->nota();
    EXPECT_TRUE(nota.contains(QString::fromStdString((cartella_ / "file").string())))
        << nota.toStdString();
}

// The updatable defences with their data services, against a server on loopback.
class DifeseAggiornabili : public ::testing::Test, protected ControlloreSenzaEstensione {
  protected:
    DifeseAggiornabili() {
        for (const char* chiave : {ImpostazioniApp::hostFeodo, ImpostazioniApp::hostThreatFox,
                                   ImpostazioniApp::hostDBIP})
            preferenze_.imposta(chiave, server_.base());
    }

    QString testo(const VistaInterruttori& v, const char* nome) const {
        return v.findChild<QLabel*>(QLatin1String(nome))->text();
    }

    DatiDiProva prova_;
    ServerHttp server_;
    ServiziDati dati_{stato(), preferenze_, orologio_, tempo_};
};

TEST_F(DifeseAggiornabili, UpdatingNowShowsProgressThenTheOutcomeAndAFailureKeepsTheData) {
    dati_.c2().leggiLista();
    dati_.geoDB().leggiDatabase();
    VistaInterruttori v(stato(), nullptr, &dati_);
    v.resize(820, 1500);
    v.show();
    ASSERT_TRUE(aspetta([&] { return !testo(v, "c2Stato").isEmpty(); }));
    EXPECT_EQ(testo(v, "c2Stato"),
              QStringLiteral("3 indirizzi (edizione a bordo) — si aggiorna da solo ogni giorno"));
    ASSERT_TRUE(aspetta([&] { return !testo(v, "geoDBStato").isEmpty(); }));
    EXPECT_EQ(testo(v, "geoDBStato"), QStringLiteral("Database non caricato"));
    EXPECT_FALSE(v.findChild<QLabel*>(QStringLiteral("c2Esito"))->isVisible());

    // The list, its first feed a byte at a time (the second one is not there: one is enough).
    ServerHttp::Risposta feodo{200, elenco(100)};
    feodo.gocciaMs = 1;
    server_.imposta(QLatin1String(AggiornatoreC2::percorsoFeodo), feodo);
    server_.imposta(QLatin1String(AggiornatoreC2::percorsoThreatFox), {404});
    auto* aggiornaC2 = v.findChild<QPushButton*>(QStringLiteral("c2Aggiorna"));
    auto* scaricoC2 = v.findChild<QWidget*>(QStringLiteral("c2Scarico"));
    auto* barraC2 = v.findChild<QProgressBar*>(QStringLiteral("c2Avanzamento"));
    QTest::mouseClick(aggiornaC2, Qt::LeftButton);
    EXPECT_TRUE(scaricoC2->isVisible());
    EXPECT_FALSE(aggiornaC2->isVisible());
    ASSERT_TRUE(aspetta([&] {
        return barraC2->maximum() == 100 && barraC2->value() > 0 && barraC2->value() < 50;
    }));
    fotografa(&v, QStringLiteral("interruttori-scarico.png"));
    ASSERT_TRUE(aspetta([&] { return aggiornaC2->isVisible(); }, 30));
    EXPECT_FALSE(scaricoC2->isVisible());
    EXPECT_EQ(testo(v, "c2Esito"), QStringLiteral("Lista aggiornata: 100 indirizzi"));
    const QString lista = testo(v, "c2Stato");
    const QDate oggi = QDate::currentDate();
    EXPECT_TRUE(lista.startsWith(QStringLiteral("100 indirizzi · aggiornata il ")) &&
                lista.contains(QLocale().monthName(oggi.month(), QLocale::ShortFormat)) &&
                lista.contains(QString::number(oggi.year())) &&
                lista.endsWith(QStringLiteral(" — si rinfresca da sola ogni giorno")))
        << lista.toStdString();
    // A failure says so and keeps the list.
    server_.imposta(QLatin1String(AggiornatoreC2::percorsoFeodo), {500});
    QTest::mouseClick(aggiornaC2, Qt::LeftButton);
    ASSERT_TRUE(aspetta(
        [&] {
            return testo(v, "c2Esito") ==
                   QStringLiteral("Scaricamento non riuscito: resta la lista precedente.");
        },
        30));
    EXPECT_EQ(testo(v, "c2Stato"), lista);

    // The city database, told a byte at a time.
    const QString mese = AggiornatoreGeoDB::mesiDaProvare(orologio_.adesso()).front();
    const QString percorso =
        QStringLiteral("/free/dbip-city-lite-") + mese + QStringLiteral(".mmdb.gz");
    ServerHttp::Risposta db{200, gzip(leggiTutto(prova_.scritto("annidato-28.mmdb")))};
    db.gocciaMs = 1;
    server_.imposta(percorso, db);
    auto* aggiornaGeo = v.findChild<QPushButton*>(QStringLiteral("geoDBAggiorna"));
    auto* barraGeo = v.findChild<QProgressBar*>(QStringLiteral("geoDBAvanzamento"));
    QTest::mouseClick(aggiornaGeo, Qt::LeftButton);
    EXPECT_TRUE(v.findChild<QWidget*>(QStringLiteral("geoDBScarico"))->isVisible());
    ASSERT_TRUE(aspetta([&] {
        return barraGeo->maximum() == 100 && barraGeo->value() > 0 && barraGeo->value() < 100;
    }));
    ASSERT_TRUE(aspetta([&] { return aggiornaGeo->isVisible(); }, 30));
    EXPECT_EQ(testo(v, "geoDBEsito"), QStringLiteral("Database aggiornato (%1).").arg(mese));
    const auto costruito = GeoDB::condiviso()->dataCostruzione();
    ASSERT_TRUE(costruito);
    const QString edizione = testo(v, "geoDBStato");
    EXPECT_TRUE(edizione.startsWith(
        QStringLiteral("Edizione di ") +
        QLocale().toString(QDateTime::fromSecsSinceEpoch(costruito->secondiUnixInteri()).date(),
                           QStringLiteral("MMMM yyyy"))))
        << edizione.toStdString();
    EXPECT_TRUE(edizione.contains(QStringLiteral("60 MB"))) << edizione.toStdString();
    // A failure keeps the edition.
    server_.imposta(percorso, {404});
    QTest::mouseClick(aggiornaGeo, Qt::LeftButton);
    ASSERT_TRUE(aspetta(
        [&] {
            return testo(v, "geoDBEsito") ==
                   QStringLiteral("Scaricamento non riuscito: riprova più tardi.");
        },
        30));
    EXPECT_EQ(testo(v, "geoDBStato"), edizione);
    EXPECT_EQ(GeoDB::condiviso()->dataCostruzione(), costruito);
}

// The whole section in the window, beside the real daemon, in Italian and in English.
TEST_F(InterruttoriConEstensione, PicturesInBothLanguages) {
    ASSERT_TRUE(aspetta([&] { return stato_.estensionePronta(); }, 20));
    ASSERT_TRUE(aspetta([&] { return stato_.dominiTracker() > 1000; }, 10));
    DatiDiProva prova;
    prova.installaDatabase();
    ImpostazioniParziali campi;
    campi.bloccaTracker = true;
    campi.chiediPrima = true;
    ASSERT_FALSE(èRifiuto(stato_.modificaImpostazioni(campi)));
    ASSERT_TRUE(aspetta([&] { return stato_.impostazioni().bloccaTracker; }, 10));
    avvio_.attivo = true;
    ServiziDati dati(stato_, preferenze_, orologio_, tempo_);
    dati.c2().leggiLista();
    dati.geoDB().leggiDatabase();
    ASSERT_TRUE(aspetta([&] { return dati.c2().listaLetta() && dati.geoDB().databaseLetto(); }));
    inOgniLingua([&](const QString& lingua) {
        FinestraPrincipale f(stato_, {&avvio_, &dati});
        ASSERT_TRUE(f.mostraSezione(QStringLiteral("interruttori")));
        f.resize(1000, 760);
        f.show();
        auto* corpo = f.findChild<QWidget*>(QStringLiteral("corpoInterruttori"));
        ASSERT_TRUE(aspetta([&] {
            return f.findChild<QCheckBox*>(QStringLiteral("avvioAutomatico"))->isChecked();
        }));
        // Tall enough for every group.
        auto* scorri = f.findChild<QWidget*>(QStringLiteral("interruttori"));
        QCoreApplication::processEvents();
        f.resize(1000, 760 + std::max(0, corpo->heightForWidth(corpo->width()) - scorri->height()));
        QCoreApplication::processEvents();
        fotografa(&f, QStringLiteral("interruttori-") + lingua + QStringLiteral(".png"));
    });
}

}  // namespace
}  // namespace ostrale::test
