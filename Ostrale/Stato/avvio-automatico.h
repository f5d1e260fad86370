// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <functional>

namespace ostrale {

// Whether the app starts when the user logs in, and the switch that changes it. Nothing here
// waits: every answer comes later, on the thread that asked, with the state as it then stands
// (an answer may outlive its asker, which guards what it captures).
class AvvioAutomatico {
  public:
    struct Esito {
        bool attivo = false;  // the app starts at login
        QString errore;       // for the user, when the change asked for did not happen
    };
    using Risposta = std::function<void(Esito)>;

    virtual ~AvvioAutomatico() = default;

    virtual void leggi(Risposta risposta) = 0;
    // Registers the app (`attivo`) or unregisters it.
    virtual void imposta(bool attivo, Risposta risposta) = 0;
};

}  // namespace ostrale
