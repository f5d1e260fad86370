// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Ostrale/Stato/gestore-filtro.h"

namespace ostrale {

// The filter when somebody else runs the extension (a script, a test, a service manager the
// app does not know): always on and installed; switching it is not ours to do and only logged.
class GestoreEsterno final : public GestoreFiltro {
    Q_OBJECT
  public:
    using GestoreFiltro::GestoreFiltro;

    void leggiStato(SuStato risposta) override;
    void imposta(bool attivo, SuFatto risposta) override;
    void leggiCopie(SuCopie risposta) override;
    void attiva(SuAttivazione risposta) override;
};

}  // namespace ostrale
