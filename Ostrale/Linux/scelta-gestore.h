// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

#include "Ostrale/Stato/gestore-filtro.h"

namespace ostrale {

class ImpostazioniApp;

// The filter manager for this machine: `scelta` ("systemd", "locale", "esterno") when given,
// else OSTRALE_GESTORE, else systemd when it runs the machine and the local one otherwise.
// Absent for an unknown name. `comandoLocale` replaces the local manager's default command.
std::unique_ptr<GestoreFiltro> creaGestoreFiltro(QString scelta, ImpostazioniApp& preferenze,
                                                 QStringList comandoLocale = {});

}  // namespace ostrale
