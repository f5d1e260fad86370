// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

#include "Ostrale/Stato/avvio-automatico.h"

namespace ostrale::test {

// Launch at login as the test sets it: answers on the next turn of the event loop, like the real
// one, and counts what it was asked. With `errore` set, every change fails and says so.
class AvvioAutomaticoFinto final : public AvvioAutomatico {
  public:
    void leggi(Risposta risposta) override {
        ++letture;
        rispondi(std::move(risposta), {attivo, {}});
    }
    void imposta(bool valore, Risposta risposta) override {
        ++(valore ? registrazioni : rimozioni);
        if (errore.isEmpty()) attivo = valore;
        rispondi(std::move(risposta), {attivo, errore});
    }

    bool attivo = false;
    QString errore;
    int letture = 0;
    int registrazioni = 0;
    int rimozioni = 0;

  private:
    void rispondi(Risposta risposta, Esito esito) {
        QTimer::singleShot(0, &contesto_,
                           [risposta = std::move(risposta), esito] { risposta(esito); });
    }

    QObject contesto_;
};

}  // namespace ostrale::test
