// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <vector>

namespace ostrale {

// The desktop's notifications, as the controller posts them. Posting never waits and never
// fails loudly: without a notification server a notification is simply not seen.
class Notificatore : public QObject {
    Q_OBJECT
  public:
    // The key of the action the server reports when the notification itself is clicked.
    static constexpr const char* azionePredefinita = "default";

    struct Azione {
        QString chiave;
        QString etichetta;
    };
    struct Notifica {
        QString identificatore;  // the poster's own name for it (a fresh UUID)
        QString titolo;
        QString corpo;
        std::vector<Azione> azioni;  // buttons, where the server shows them
        bool urgente = false;        // a question waiting: stays until it is answered
    };

    using QObject::QObject;

    virtual void invia(const Notifica& notifica) = 0;
    // Withdraws a notification still on screen; an unknown one is ignored.
    virtual void ritira(const QString& identificatore) = 0;
    // Whether the server shows buttons (as far as is known now).
    virtual bool offreAzioni() const = 0;

  signals:
    // The user chose an action of one of our notifications (`azionePredefinita`: clicked it).
    void azioneScelta(const QString& identificatore, const QString& chiave);
};

}  // namespace ostrale
