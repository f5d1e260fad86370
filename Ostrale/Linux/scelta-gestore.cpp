// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/scelta-gestore.h"

#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Linux/gestore-locale.h"
#include "Ostrale/Linux/gestore-systemd.h"

namespace ostrale {

std::unique_ptr<GestoreFiltro> creaGestoreFiltro(QString scelta, ImpostazioniApp& preferenze,
                                                 QStringList comandoLocale) {
    if (scelta.isEmpty()) scelta = qEnvironmentVariable("OSTRALE_GESTORE");
    if (scelta.isEmpty()) {
        scelta =
            GestoreSystemd::disponibile() ? QStringLiteral("systemd") : QStringLiteral("locale");
    }
    if (scelta == QLatin1String("systemd")) return std::make_unique<GestoreSystemd>();
    if (scelta == QLatin1String("locale")) {
        return std::make_unique<GestoreLocale>(
            comandoLocale.isEmpty() ? GestoreLocale::comandoPredefinito() : comandoLocale,
            preferenze);
    }
    if (scelta == QLatin1String("esterno")) return std::make_unique<GestoreEsterno>();
    return nullptr;
}

}  // namespace ostrale
