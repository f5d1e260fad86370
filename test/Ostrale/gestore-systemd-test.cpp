// SPDX-License-Identifier: GPL-3.0-or-later
// The systemd manager against a stand-in for systemd's D-Bus API on a private bus of the test's.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QProcess>
#include <ctime>
#include <memory>

#include "Ostrale/Linux/gestore-systemd.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

// What systemd answers about one unit; polkit's refusal on request.
class SystemdFinto final : public QDBusVirtualObject {
  public:
    QString statoFile = QStringLiteral("disabled");  // empty: no such unit file
    QString statoAttivo = QStringLiteral("inactive");
    bool rifiutaAbilitazione = false;
    QStringList chiamate;        // member names, in order
    QStringList nonInterattive;  // calls that may change the system but could not ask

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        const QString nome = m.member();
        chiamate << nome;
        auto rispondi = [&](const QVariantList& argomenti) {
            bus.send(m.createReply(argomenti));
            return true;
        };
        auto errore = [&](const char* nomeErrore, const char* testo) {
            bus.send(m.createErrorReply(QLatin1String(nomeErrore), QLatin1String(testo)));
            return true;
        };
        const bool cambia =
            nome == QLatin1String("StartUnit") || nome == QLatin1String("StopUnit") ||
            nome == QLatin1String("RestartUnit") || nome == QLatin1String("EnableUnitFiles");
        if (cambia && !m.isInteractiveAuthorizationAllowed()) nonInterattive << nome;
        if (m.interface() == QLatin1String("org.freedesktop.DBus.Properties") &&
            nome == QLatin1String("Get")) {
            return rispondi({QVariant::fromValue(QDBusVariant(statoAttivo))});
        }
        if (nome == QLatin1String("Subscribe") || nome == QLatin1String("Reload")) {
            return rispondi({});
        }
        if (nome == QLatin1String("LoadUnit")) {
            return rispondi(
                {QVariant::fromValue(QDBusObjectPath(GestoreSystemd::percorsoUnita()))});
        }
        if (nome == QLatin1String("GetUnitFileState")) {
            if (statoFile.isEmpty()) {
                return errore("org.freedesktop.DBus.Error.FileNotFound", "No such file");
            }
            return rispondi({statoFile});
        }
        if (nome == QLatin1String("EnableUnitFiles")) {
            if (rifiutaAbilitazione) {
                return errore("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
                              "Interactive authentication required.");
            }
            statoFile = QStringLiteral("enabled");
            bus.send(QDBusMessage::createSignal(QLatin1String(GestoreSystemd::percorsoManager),
                                                QLatin1String(GestoreSystemd::interfacciaManager),
                                                QStringLiteral("UnitFilesChanged")));
            return rispondi({true});
        }
        if (nome == QLatin1String("StartUnit") || nome == QLatin1String("StopUnit") ||
            nome == QLatin1String("RestartUnit")) {
            statoAttivo = nome == QLatin1String("StopUnit") ? QStringLiteral("inactive")
                                                            : QStringLiteral("active");
            auto segnale = QDBusMessage::createSignal(
                GestoreSystemd::percorsoUnita(), QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("PropertiesChanged"));
            segnale << QStringLiteral("org.freedesktop.systemd1.Unit")
                    << QVariantMap{{QStringLiteral("ActiveState"),
                                    QVariant::fromValue(QDBusVariant(statoAttivo))}}
                    << QStringList{};
            bus.send(segnale);
            return rispondi({QVariant::fromValue(
                QDBusObjectPath(QStringLiteral("/org/freedesktop/systemd1/job/1")))});
        }
        return errore("org.freedesktop.DBus.Error.UnknownMethod", "unknown");
    }
};

// A message bus of the test's own, with the stand-in registered as systemd on it.
class SistemaFinto : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.indirizzo().isEmpty()) << "dbus-daemon is missing";
        auto servizio = bus_.connessione(QStringLiteral("systemd"));
        ASSERT_TRUE(servizio.isConnected());
        ASSERT_TRUE(servizio.registerService(QLatin1String(GestoreSystemd::servizio)));
        ASSERT_TRUE(servizio.registerVirtualObject(QLatin1String("/org/freedesktop/systemd1"),
                                                   &systemd_, QDBusConnection::SubPath));
        cliente_ = std::make_unique<QDBusConnection>(bus_.connessione(QStringLiteral("app")));
        ASSERT_TRUE(cliente_->isConnected());
    }

    void TearDown() override {
        stato_.reset();
        gestore_.reset();
    }

    GestoreSystemd& gestore() {
        if (!gestore_) gestore_ = std::make_unique<GestoreSystemd>(*cliente_);
        return *gestore_;
    }

    StatoApp& stato() {
        stato_ = std::make_unique<StatoApp>(
            StatoApp::Dipendenze{orologio_,
                                 tempo_,
                                 gestore(),
                                 preferenze_,
                                 nullptr,
                                 QString::fromStdString((cartella_ / "nessuno.sock").string()),
                                 {}});
        return *stato_;
    }

    template <typename T>
    struct Risposta {
        bool arrivata = false;
        T valore{};
    };

    Risposta<std::pair<GestoreFiltro::Errore, bool>> leggiStato() {
        Risposta<std::pair<GestoreFiltro::Errore, bool>> r;
        gestore().leggiStato([&](GestoreFiltro::Errore e, bool attivo) {
            r = {true, {e, attivo}};
        });
        EXPECT_TRUE(aspetta([&] { return r.arrivata; }));
        return r;
    }
    std::vector<GestoreFiltro::Copia> copie() {
        Risposta<std::vector<GestoreFiltro::Copia>> r;
        gestore().leggiCopie([&](std::vector<GestoreFiltro::Copia> c) { r = {true, c}; });
        EXPECT_TRUE(aspetta([&] { return r.arrivata; }));
        return r.valore;
    }
    GestoreFiltro::Errore imposta(bool attivo) {
        Risposta<GestoreFiltro::Errore> r;
        gestore().imposta(attivo, [&](GestoreFiltro::Errore e) { r = {true, e}; });
        EXPECT_TRUE(aspetta([&] { return r.arrivata; }));
        return r.valore;
    }
    std::pair<GestoreFiltro::Esito, QString> attiva() {
        Risposta<std::pair<GestoreFiltro::Esito, QString>> r;
        gestore().attiva([&](GestoreFiltro::Esito e, QString t) { r = {true, {e, t}}; });
        EXPECT_TRUE(aspetta([&] { return r.arrivata; }));
        return r.valore;
    }

    BusPrivato bus_;
    SystemdFinto systemd_;
    std::unique_ptr<QDBusConnection> cliente_;
    std::unique_ptr<GestoreSystemd> gestore_;
    CartellaTemporanea cartella_;
    VariabileAmbiente contenitore_{"OSTRALE_CONTENITORE", (cartella_ / "contenitore").string()};
    OrologioFinto orologio_{Data::daUnix(static_cast<double>(std::time(nullptr)))};
    TemporizzatoreFinto tempo_{orologio_};
    ImpostazioniApp preferenze_{QString::fromStdString((cartella_ / "ostrale.conf").string())};
    std::unique_ptr<StatoApp> stato_;
};

TEST_F(SistemaFinto, SwitchingOnEnablesTheUnitOnceThenStartsAndStopsIt) {
    int cambiamenti = 0;
    QObject::connect(&gestore(), &GestoreFiltro::configurazioneCambiata, [&] { ++cambiamenti; });
    EXPECT_FALSE(leggiStato().valore.second);
    auto installate = copie();
    ASSERT_EQ(installate.size(), 1u);
    EXPECT_FALSE(installate[0].abilitata);
    EXPECT_FALSE(installate[0].daApprovare);

    EXPECT_FALSE(imposta(true));
    EXPECT_TRUE(leggiStato().valore.second);
    EXPECT_TRUE(systemd_.chiamate.contains(QStringLiteral("EnableUnitFiles")));
    EXPECT_TRUE(systemd_.chiamate.contains(QStringLiteral("Reload")));
    ASSERT_TRUE(aspetta([&] { return cambiamenti >= 2; }));  // the unit files, the state
    EXPECT_TRUE(copie().at(0).abilitata);

    systemd_.chiamate.clear();
    EXPECT_FALSE(imposta(false));
    EXPECT_FALSE(leggiStato().valore.second);
    EXPECT_EQ(systemd_.chiamate.count(QStringLiteral("EnableUnitFiles")), 0);
    EXPECT_FALSE(imposta(true));
    EXPECT_EQ(systemd_.chiamate.count(QStringLiteral("EnableUnitFiles")), 0);
    // Everything that changes the system may ask the administrator.
    EXPECT_TRUE(systemd_.nonInterattive.isEmpty())
        << systemd_.nonInterattive.join(u' ').toStdString();
}

TEST_F(SistemaFinto, ARefusedAuthorisationLeavesTheExtensionAwaitingApproval) {
    systemd_.rifiutaAbilitazione = true;
    StatoApp& s = stato();
    s.installaEstensione();
    EXPECT_EQ(s.statoEstensione(), QStringLiteral("Installazione in corso…"));
    ASSERT_TRUE(aspetta([&] {
        return s.statoEstensione() ==
               QStringLiteral("Da approvare: serve l'autorizzazione dell'amministratore");
    }));
    EXPECT_FALSE(s.estensionePronta());
    auto installate = copie();
    ASSERT_EQ(installate.size(), 1u);
    EXPECT_TRUE(installate[0].daApprovare);
    // Switching on cannot enable it either, and says why; the switch stays off.
    const auto errore = imposta(true);
    ASSERT_TRUE(errore);
    EXPECT_FALSE(errore->isEmpty());
    EXPECT_FALSE(systemd_.chiamate.contains(QStringLiteral("StartUnit")));

    // Authorised: the next attempt completes and switches the filter on.
    systemd_.rifiutaAbilitazione = false;
    s.installaEstensione();
    ASSERT_TRUE(aspetta([&] { return s.filtroAttivo(); }));
    EXPECT_TRUE(s.estensionePronta());
    EXPECT_EQ(s.statoEstensione(), QStringLiteral("Estensione installata"));
    EXPECT_EQ(systemd_.statoAttivo, QStringLiteral("active"));
    EXPECT_FALSE(copie().at(0).daApprovare);
}

TEST_F(SistemaFinto, ARunningCopyIsReplacedByARestart) {
    systemd_.statoFile = QStringLiteral("enabled");
    systemd_.statoAttivo = QStringLiteral("active");
    EXPECT_EQ(attiva().first, GestoreFiltro::Esito::completata);
    EXPECT_TRUE(systemd_.chiamate.contains(QStringLiteral("RestartUnit")));
    EXPECT_FALSE(systemd_.chiamate.contains(QStringLiteral("EnableUnitFiles")));
}

TEST_F(SistemaFinto, WithoutTheUnitFileNothingIsInstalled) {
    systemd_.statoFile.clear();
    EXPECT_TRUE(copie().empty());
    const auto [esito, testo] = attiva();
    EXPECT_EQ(esito, GestoreFiltro::Esito::fallita);
    EXPECT_EQ(testo, QStringLiteral("ostrale-estensione.service non è installata"));
    StatoApp& s = stato();
    s.verificaEstensione();
    gira(0.3);
    EXPECT_EQ(s.statoEstensione(), QStringLiteral("Estensione non installata"));
    EXPECT_FALSE(s.estensionePronta());
}

}  // namespace
}  // namespace ostrale::test
