// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/posizione-locale.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTimeZone>

#include "Condiviso/registro.h"

namespace ostrale {
namespace {

const QString servizio = QStringLiteral("org.freedesktop.GeoClue2");
const QString proprietà = QStringLiteral("org.freedesktop.DBus.Properties");

struct Fuso {
    const char* nome;
    double lat, lon;
};
constexpr Fuso fusi[] = {
    {"Europe/Rome", 41.9, 12.5},        {"Europe/Paris", 48.86, 2.35},
    {"Europe/Berlin", 52.52, 13.4},     {"Europe/Madrid", 40.42, -3.7},
    {"Europe/London", 51.51, -0.13},    {"Europe/Zurich", 47.38, 8.54},
    {"Europe/Vienna", 48.21, 16.37},    {"Europe/Amsterdam", 52.37, 4.9},
    {"Europe/Brussels", 50.85, 4.35},   {"Europe/Lisbon", 38.72, -9.14},
    {"Europe/Athens", 37.98, 23.73},    {"America/New_York", 40.71, -74.01},
    {"America/Chicago", 41.88, -87.63}, {"America/Los_Angeles", 34.05, -118.24},
};

}  // namespace

PosizioneFacoltativa PosizioneLocale::ripiegoFuso(QString fuso) {
    if (fuso.isEmpty()) fuso = QString::fromUtf8(QTimeZone::systemTimeZoneId());
    for (const Fuso& f : fusi) {
        if (fuso == QLatin1String(f.nome)) return PosizioneIP{f.lat, f.lon, "", ""};
    }
    return std::nullopt;
}

PosizioneLocale::PosizioneLocale(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {
    scadenza_.setSingleShot(true);
    connect(&scadenza_, &QTimer::timeout, this, [this] { consegna(ripiegoFuso()); });
}

void PosizioneLocale::richiedi(Risposta risposta) {
    risposta_ = std::move(risposta);
    scadenza_.start(attesaMs);
    if (!client_.isEmpty()) return;  // already asked: the next position answers
    // Manager.GetClient, then the client's identity and accuracy, then Start.
    auto chiama = [this](const QString& percorso, const QString& interfaccia, const QString& nome,
                         const QVariantList& argomenti) {
        auto m = QDBusMessage::createMethodCall(servizio, percorso, interfaccia, nome);
        m.setArguments(argomenti);
        return new QDBusPendingCallWatcher(bus_.asyncCall(m, attesaMs), this);
    };
    auto* c =
        chiama(QStringLiteral("/org/freedesktop/GeoClue2/Manager"),
               QStringLiteral("org.freedesktop.GeoClue2.Manager"), QStringLiteral("GetClient"), {});
    connect(c, &QDBusPendingCallWatcher::finished, this,
            [this, chiama](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusObjectPath> r = *w;
                if (r.isError()) {
                    Registro("it.brelt.ostrale", "geo")
                        .info("Posizione del computer non disponibile: " +
                              r.error().message().toStdString());
                    consegna(ripiegoFuso());
                    return;
                }
                client_ = r.value().path();
                const QString interfaccia = QStringLiteral("org.freedesktop.GeoClue2.Client");
                bus_.connect(servizio, client_, interfaccia, QStringLiteral("LocationUpdated"),
                             this, SLOT(suPosizione(QDBusObjectPath, QDBusObjectPath)));
                chiama(client_, proprietà, QStringLiteral("Set"),
                       {interfaccia, QStringLiteral("DesktopId"),
                        QVariant::fromValue(QDBusVariant(QStringLiteral("ostrale")))});
                chiama(client_, proprietà, QStringLiteral("Set"),
                       {interfaccia, QStringLiteral("RequestedAccuracyLevel"),
                        QVariant::fromValue(QDBusVariant(uint(4)))});  // city
                auto* avvio = chiama(client_, interfaccia, QStringLiteral("Start"), {});
                connect(avvio, &QDBusPendingCallWatcher::finished, this,
                        [this](QDBusPendingCallWatcher* a) {
                            a->deleteLater();
                            if (a->isError()) consegna(ripiegoFuso());
                        });
            });
}

void PosizioneLocale::suPosizione(const QDBusObjectPath&, const QDBusObjectPath& nuova) {
    auto m =
        QDBusMessage::createMethodCall(servizio, nuova.path(), proprietà, QStringLiteral("GetAll"));
    m << QStringLiteral("org.freedesktop.GeoClue2.Location");
    auto* w = new QDBusPendingCallWatcher(bus_.asyncCall(m, attesaMs), this);
    connect(w, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* a) {
        a->deleteLater();
        const QDBusPendingReply<QVariantMap> r = *a;
        if (r.isError()) return;
        const QVariantMap v = r.value();
        consegna(PosizioneIP{v.value(QStringLiteral("Latitude")).toDouble(),
                             v.value(QStringLiteral("Longitude")).toDouble(), "", ""});
    });
}

void PosizioneLocale::consegna(PosizioneFacoltativa p) {
    if (risposta_) {
        scadenza_.stop();
        auto r = std::move(risposta_);
        risposta_ = nullptr;
        r(std::move(p));
    } else if (p) {
        emit aggiornata(*p);
    }
}

}  // namespace ostrale
