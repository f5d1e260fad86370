// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

#include "Ostrale/Stato/stato-app.h"

namespace ostrale {

// This computer's own position, the origin of the map's lines: GeoClue2 on the system bus when
// it answers within a few seconds, else an approximation from the time zone (none outside the
// table). Later positions from GeoClue2 come through `aggiornata`.
class PosizioneLocale : public QObject {
    Q_OBJECT
  public:
    using Risposta = std::function<void(PosizioneFacoltativa)>;
    static constexpr int attesaMs = 4000;

    explicit PosizioneLocale(QDBusConnection bus = QDBusConnection::systemBus(),
                             QObject* parent = nullptr);

    // One answer, on the main thread, within `attesaMs` at most.
    void richiedi(Risposta risposta);

    // The approximation for a time zone (the system's when empty).
    static PosizioneFacoltativa ripiegoFuso(QString fuso = {});

  signals:
    void aggiornata(const ostrale::PosizioneIP& posizione);

  private slots:
    void suPosizione(const QDBusObjectPath& vecchia, const QDBusObjectPath& nuova);

  private:
    void consegna(PosizioneFacoltativa p);

    QDBusConnection bus_;
    Risposta risposta_;
    QTimer scadenza_;
    QString client_;
};

}  // namespace ostrale
