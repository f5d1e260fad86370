// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/notificatore-dbus.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QVariantMap>

#include "Condiviso/risorse.h"

namespace ostrale {
namespace {

QDBusMessage chiamata(const char* metodo) {
    return QDBusMessage::createMethodCall(QString::fromLatin1(NotificatoreDBus::servizio),
                                          QString::fromLatin1(NotificatoreDBus::percorso),
                                          QString::fromLatin1(NotificatoreDBus::interfaccia),
                                          QString::fromLatin1(metodo));
}

}  // namespace

QString NotificatoreDBus::iconaPredefinita() {
    if (const auto svg = Risorse::trova("icone/ostrale.svg"))
        return QString::fromStdString(svg->string());
    return QStringLiteral("ostrale");
}

NotificatoreDBus::NotificatoreDBus(QString icona, QDBusConnection bus, QObject* parent)
    : Notificatore(parent), bus_(std::move(bus)), icona_(std::move(icona)) {
    const QString s = QString::fromLatin1(servizio), p = QString::fromLatin1(percorso),
                  i = QString::fromLatin1(interfaccia);
    bus_.connect(s, p, i, QStringLiteral("ActionInvoked"), this, SLOT(suAzione(uint, QString)));
    bus_.connect(s, p, i, QStringLiteral("NotificationClosed"), this, SLOT(suChiusura(uint, uint)));
    // A server that starts later (the panel comes up after the app at login) is asked again.
    auto* osservatore =
        new QDBusServiceWatcher(s, bus_, QDBusServiceWatcher::WatchForRegistration, this);
    connect(osservatore, &QDBusServiceWatcher::serviceRegistered, this,
            &NotificatoreDBus::leggiCapacità);
    leggiCapacità();
}

void NotificatoreDBus::leggiCapacità() {
    auto* attesa = new QDBusPendingCallWatcher(bus_.asyncCall(chiamata("GetCapabilities")), this);
    connect(attesa, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* a) {
        a->deleteLater();
        const QDBusPendingReply<QStringList> risposta = *a;
        if (risposta.isError()) {
            azioni_ = markup_ = false;
            fallita(risposta.error());
            return;
        }
        const QStringList capacità = risposta.value();
        azioni_ = capacità.contains(QStringLiteral("actions"));
        markup_ = capacità.contains(QStringLiteral("body-markup"));
        guasto_ = false;
    });
}

void NotificatoreDBus::invia(const Notifica& n) {
    QStringList azioni;
    for (const Azione& a : n.azioni) azioni << a.chiave << a.etichetta;
    QVariantMap suggerimenti{
        {QStringLiteral("sound-name"), QStringLiteral("message-new-instant")},
        {QStringLiteral("desktop-entry"), QStringLiteral("it.brelt.ostrale")},
        {QStringLiteral("urgency"), QVariant::fromValue<uchar>(n.urgente ? 2 : 1)},
    };
    if (n.urgente) suggerimenti.insert(QStringLiteral("resident"), true);
    QDBusMessage m = chiamata("Notify");
    m << QString::fromLatin1(nomeApp) << uint(0) << icona_ << n.titolo
      << (markup_ ? n.corpo.toHtmlEscaped() : n.corpo) << azioni << suggerimenti
      << int(n.urgente ? 0 : -1);
    inViaggio_.insert(n.identificatore);
    auto* attesa = new QDBusPendingCallWatcher(bus_.asyncCall(m), this);
    connect(attesa, &QDBusPendingCallWatcher::finished, this,
            [this, nome = n.identificatore](QDBusPendingCallWatcher* a) {
                a->deleteLater();
                inViaggio_.erase(nome);
                const bool ritirata = daRitirare_.erase(nome) > 0;
                const QDBusPendingReply<uint> risposta = *a;
                if (risposta.isError()) {
                    fallita(risposta.error());
                    return;
                }
                guasto_ = false;
                const uint id = risposta.value();
                if (ritirata) {
                    chiudi(id);
                    return;
                }
                perId_[id] = nome;
                perNome_[nome] = id;
            });
}

void NotificatoreDBus::ritira(const QString& identificatore) {
    if (inViaggio_.contains(identificatore)) {
        daRitirare_.insert(identificatore);
        return;
    }
    const auto it = perNome_.find(identificatore);
    if (it == perNome_.end()) return;
    const uint id = it->second;
    perNome_.erase(it);
    perId_.erase(id);
    chiudi(id);
}

void NotificatoreDBus::chiudi(uint id) {
    QDBusMessage m = chiamata("CloseNotification");
    m << id;
    auto* attesa = new QDBusPendingCallWatcher(bus_.asyncCall(m), this);
    connect(attesa, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* a) {
        a->deleteLater();
        if (a->isError()) fallita(a->error());
    });
}

void NotificatoreDBus::suAzione(uint id, const QString& chiave) {
    const auto it = perId_.find(id);
    if (it == perId_.end()) return;  // another application's
    emit azioneScelta(it->second, chiave);
}

void NotificatoreDBus::suChiusura(uint id, uint /*motivo*/) {
    // Expired, dismissed or closed by us: its actions can no longer come.
    const auto it = perId_.find(id);
    if (it == perId_.end()) return;
    perNome_.erase(it->second);
    perId_.erase(it);
}

void NotificatoreDBus::fallita(const QDBusError& errore) {
    if (guasto_) return;
    guasto_ = true;
    log_.avviso("Notifiche non disponibili: " + errore.name().toStdString() + ": " +
                errore.message().toStdString());
}

}  // namespace ostrale
