// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QString>
#include <cstdint>
#include <map>
#include <set>

#include "Condiviso/registro.h"
#include "Ostrale/Stato/notificatore.h"

class QDBusError;

namespace ostrale {

// Notifications through the desktop's notification server (org.freedesktop.Notifications on
// the session bus). Every call is asynchronous; the server's ids are remembered, so actions of
// other applications' notifications are ignored. Without a server the calls fail quietly: the
// first failure of an outage is logged, the rest are not.
class NotificatoreDBus final : public Notificatore {
    Q_OBJECT
  public:
    static constexpr const char* servizio = "org.freedesktop.Notifications";
    static constexpr const char* percorso = "/org/freedesktop/Notifications";
    static constexpr const char* interfaccia = "org.freedesktop.Notifications";
    static constexpr const char* nomeApp = "Ostrale";

    // `icona`: a file path or an icon-theme name.
    explicit NotificatoreDBus(QString icona, QDBusConnection bus = QDBusConnection::sessionBus(),
                              QObject* parent = nullptr);

    void invia(const Notifica& notifica) override;
    void ritira(const QString& identificatore) override;
    bool offreAzioni() const override { return azioni_; }

    // The icon the app ships (a path), else its theme name.
    static QString iconaPredefinita();

  private slots:
    void suAzione(uint id, const QString& chiave);
    void suChiusura(uint id, uint motivo);

  private:
    void leggiCapacità();
    void fallita(const QDBusError& errore);
    void chiudi(uint id);

    QDBusConnection bus_;
    QString icona_;
    bool azioni_ = false;
    bool markup_ = false;
    bool guasto_ = false;            // the last call failed (and was logged)
    std::map<uint, QString> perId_;  // the server's id → ours
    std::map<QString, uint> perNome_;
    std::set<QString> inViaggio_, daRitirare_;  // sent, not yet answered; withdrawn meanwhile
    Registro log_{"it.brelt.ostrale", "notifiche"};
};

}  // namespace ostrale
