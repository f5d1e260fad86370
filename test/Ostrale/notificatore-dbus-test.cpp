// SPDX-License-Identifier: GPL-3.0-or-later
// Notifications through a notification server of the test's own on a private bus: what is
// posted, the actions, withdrawal, a missing server, and the controller's throttling as the
// server sees it.
#include <gtest/gtest.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <ctime>
#include <memory>

#include "Condiviso/codifica-json.h"
#include "Condiviso/registro.h"
#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Linux/notificatore-dbus.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

// org.freedesktop.Notifications as a desktop offers it: it records what it is asked, shows
// buttons when told to, and plays the user clicking one.
class ServerNotifiche final : public QDBusVirtualObject {
  public:
    struct Ricevuta {
        uint id;
        QString app, icona, titolo, corpo;
        QStringList azioni;
        QVariantMap suggerimenti;
        int scadenza;
    };

    explicit ServerNotifiche(QDBusConnection bus) : bus_(std::move(bus)) {}

    QStringList capacità{QStringLiteral("actions"), QStringLiteral("body")};
    std::vector<Ricevuta> ricevute;
    std::vector<uint> chiuse;

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
        const QString nome = m.member();
        const QVariantList a = m.arguments();
        if (nome == QLatin1String("GetCapabilities")) {
            bus.send(m.createReply(QVariantList{capacità}));
        } else if (nome == QLatin1String("Notify") && a.size() == 8) {
            const uint id = ++ultimo_;
            ricevute.push_back({id, a[0].toString(), a[2].toString(), a[3].toString(),
                                a[4].toString(), a[5].toStringList(), qdbus_cast<QVariantMap>(a[6]),
                                a[7].toInt()});
            bus.send(m.createReply(QVariantList{id}));
        } else if (nome == QLatin1String("CloseNotification") && a.size() == 1) {
            chiuse.push_back(a[0].toUInt());
            bus.send(m.createReply());
            segnale("NotificationClosed", {a[0].toUInt(), 3u});
        } else {
            bus.send(m.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                                        nome));
        }
        return true;
    }

    void clicca(uint id, const QString& chiave) { segnale("ActionInvoked", {id, chiave}); }

  private:
    void segnale(const char* nome, const QVariantList& argomenti) {
        auto s = QDBusMessage::createSignal(QLatin1String(NotificatoreDBus::percorso),
                                            QLatin1String(NotificatoreDBus::interfaccia),
                                            QLatin1String(nome));
        s.setArguments(argomenti);
        bus_.send(s);
    }
    QDBusConnection bus_;
    uint ultimo_ = 0;
};

class NotificheSulBus : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(bus_.indirizzo().isEmpty()) << "dbus-daemon is missing";
        app_ = std::make_unique<QDBusConnection>(bus_.connessione(QStringLiteral("app")));
    }

    // The server comes up on the bus.
    void avviaServer() {
        auto c = bus_.connessione(QStringLiteral("server"));
        server_ = std::make_unique<ServerNotifiche>(c);
        ASSERT_TRUE(c.registerService(QLatin1String(NotificatoreDBus::servizio)));
        ASSERT_TRUE(
            c.registerVirtualObject(QLatin1String(NotificatoreDBus::percorso), server_.get()));
    }

    NotificatoreDBus& notificatore() {
        if (!notificatore_) {
            notificatore_ =
                std::make_unique<NotificatoreDBus>(QStringLiteral("/percorso/icona.svg"), *app_);
        }
        return *notificatore_;
    }

    BusPrivato bus_;
    std::unique_ptr<ServerNotifiche> server_;
    std::unique_ptr<QDBusConnection> app_;
    std::unique_ptr<NotificatoreDBus> notificatore_;
};

TEST_F(NotificheSulBus, PostsAsTheAppAndReportsOnlyItsOwnActions) {
    avviaServer();
    NotificatoreDBus& n = notificatore();
    ASSERT_TRUE(aspetta([&] { return n.offreAzioni(); }));
    QStringList scelte;
    QObject::connect(&n, &Notificatore::azioneScelta, [&](const QString& id, const QString& k) {
        scelte << id + QLatin1Char(':') + k;
    });
    n.invia({QStringLiteral("prima"),
             QStringLiteral("Titolo"),
             QStringLiteral("Corpo <b>"),
             {{QStringLiteral("blocca"), QStringLiteral("Blocca")},
              {QStringLiteral("consenti"), QStringLiteral("Consenti")}},
             true});
    n.invia({QStringLiteral("seconda"), QStringLiteral("Altro"), QStringLiteral("x"), {}});
    ASSERT_TRUE(aspetta([&] { return server_->ricevute.size() == 2; }));
    const auto r = server_->ricevute[0];
    EXPECT_EQ(r.app, QStringLiteral("Ostrale"));
    EXPECT_EQ(r.icona, QStringLiteral("/percorso/icona.svg"));
    EXPECT_EQ(r.titolo, QStringLiteral("Titolo"));
    EXPECT_EQ(r.corpo, QStringLiteral("Corpo <b>"));  // no markup offered: the text as it is
    EXPECT_EQ(r.azioni, (QStringList{QStringLiteral("blocca"), QStringLiteral("Blocca"),
                                     QStringLiteral("consenti"), QStringLiteral("Consenti")}));
    EXPECT_EQ(r.suggerimenti.value(QStringLiteral("sound-name")).toString(),
              QStringLiteral("message-new-instant"));
    EXPECT_EQ(r.suggerimenti.value(QStringLiteral("urgency")).toInt(), 2);
    EXPECT_EQ(r.scadenza, 0);  // a question stays until answered
    EXPECT_EQ(server_->ricevute[1].scadenza, -1);

    server_->clicca(r.id, QStringLiteral("consenti"));
    server_->clicca(4242, QStringLiteral("consenti"));  // another application's
    ASSERT_TRUE(aspetta([&] { return !scelte.isEmpty(); }));
    gira(0.1);
    EXPECT_EQ(scelte, QStringList{QStringLiteral("prima:consenti")});

    n.ritira(QStringLiteral("prima"));
    n.ritira(QStringLiteral("mai-vista"));
    ASSERT_TRUE(aspetta([&] { return !server_->chiuse.empty(); }));
    EXPECT_EQ(server_->chiuse, std::vector<uint>{r.id});
    // Withdrawn before the server gave it an id: closed once it has one.
    n.invia({QStringLiteral("fugace"), QStringLiteral("T"), QStringLiteral("C"), {}});
    n.ritira(QStringLiteral("fugace"));
    ASSERT_TRUE(aspetta([&] { return server_->chiuse.size() == 2; }));
    EXPECT_EQ(server_->chiuse[1], server_->ricevute.back().id);
    // A closed notification's clicks are no longer ours.
    server_->clicca(r.id, QStringLiteral("blocca"));
    gira(0.1);
    EXPECT_EQ(scelte.size(), 1);
}

TEST_F(NotificheSulBus, WithoutAServerPostingFailsQuietlyLoggedOnceUntilOneAppears) {
    auto log = std::make_shared<DestinazioneMemoria>();
    Registro::impostaDestinazione(log);
    NotificatoreDBus& n = notificatore();
    for (int i = 0; i < 3; ++i) {
        n.invia({QString::number(i), QStringLiteral("T"), QStringLiteral("C"), {}});
    }
    gira(0.3);
    EXPECT_FALSE(n.offreAzioni());
    std::size_t righe = 0;
    for (const auto& r : log->righe()) {
        if (r.messaggio.find("Notifiche non disponibili") != std::string::npos) ++righe;
    }
    EXPECT_EQ(righe, 1u);
    // The server starts later in the session: it is asked what it offers, and used.
    avviaServer();
    ASSERT_TRUE(aspetta([&] { return n.offreAzioni(); }));
    n.invia({QStringLiteral("dopo"), QStringLiteral("T"), QStringLiteral("C"), {}});
    ASSERT_TRUE(aspetta([&] { return server_->ricevute.size() == 1; }));
    Registro::impostaDestinazione(nullptr);
}

TEST_F(NotificheSulBus, TheControllersNotificationsAndQuestionsAsTheServerSeesThem) {
    avviaServer();
    NotificatoreDBus& n = notificatore();
    ASSERT_TRUE(aspetta([&] { return n.offreAzioni(); }));
    CartellaTemporanea cartella;
    VariabileAmbiente contenitore("OSTRALE_CONTENITORE", (cartella / "c").string());
    VariabileAmbiente socket("OSTRALE_SOCKET", (cartella / "nessuno.sock").string());
    std::filesystem::create_directories(cartella / "c");
    OrologioFinto orologio{Data::daUnix(static_cast<double>(std::time(nullptr)))};
    TemporizzatoreFinto tempo{orologio};
    GestoreEsterno gestore;
    ImpostazioniApp preferenze{QString::fromStdString((cartella / "ostrale.conf").string())};
    StatoApp s({orologio, tempo, gestore, preferenze, nullptr, {}, {}, &n});
    s.avvia();
    QStringList sezioni;
    QObject::connect(&s, &StatoApp::sezioneRichiesta, [&](const QString& v) { sezioni << v; });

    EventoFlusso a = evento(orologio.adesso(), "sconosciuta", false);
    a.attacco = TipoAttacco::forzaBruta;
    a.direzione = DirezioneFlusso::entrata;
    a.indirizzoIP = "198.51.100.7";
    for (int i = 0; i < 5; ++i) {
        s.nuovoFlusso(json::codifica(a));
        orologio.avanza(60);
    }
    ASSERT_TRUE(aspetta([&] { return server_->ricevute.size() == 1; }));
    gira(0.1);
    EXPECT_EQ(server_->ricevute.size(), 1u);
    EXPECT_EQ(s.attacchi().size(), 5u);
    EXPECT_EQ(server_->ricevute[0].titolo, QStringLiteral("Possibile attacco: Forza bruta"));
    server_->clicca(server_->ricevute[0].id, QStringLiteral("default"));
    ASSERT_TRUE(aspetta([&] { return !sezioni.isEmpty(); }));
    EXPECT_EQ(sezioni, QStringList{QStringLiteral("attacchi")});

    // A held flow, asked only as a notification: its button answers and makes the rule.
    EventoFlusso sospeso =
        evento(orologio.adesso(), "/opt/nuova/app", false, 0, MotivoDecisione::predefinita);
    s.chiediDecisione(json::codifica(sospeso));
    ASSERT_TRUE(aspetta([&] { return server_->ricevute.size() == 2; }));
    const auto domanda = server_->ricevute[1];
    EXPECT_EQ(domanda.titolo, QStringLiteral("Connessione sospesa: decidi tu"));
    EXPECT_TRUE(domanda.corpo.contains(QStringLiteral("non ha una regola e la politica blocca")));
    server_->clicca(domanda.id, QStringLiteral("blocca"));
    ASSERT_TRUE(aspetta([&] { return !s.regole().empty(); }));
    EXPECT_EQ(s.regole()[0].firmaApp, "/opt/nuova/app");
    EXPECT_EQ(s.regole()[0].azione, AzioneRegola::blocca);
    ASSERT_TRUE(aspetta([&] { return !server_->chiuse.empty(); }));
    EXPECT_EQ(server_->chiuse[0], domanda.id);
    s.attendiLavori();
}

}  // namespace
}  // namespace ostrale::test
