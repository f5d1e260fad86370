// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/gestore-esterno.h"

#include <QMetaObject>

#include "Condiviso/registro.h"

namespace ostrale {

void GestoreEsterno::leggiStato(SuStato risposta) {
    QMetaObject::invokeMethod(
        this, [risposta = std::move(risposta)] { risposta(std::nullopt, true); },
        Qt::QueuedConnection);
}

void GestoreEsterno::imposta(bool attivo, SuFatto risposta) {
    if (!attivo) {
        Registro("it.brelt.ostrale", "filtro")
            .avviso("L'estensione è gestita da altri: il filtro resta com'è");
    }
    QMetaObject::invokeMethod(
        this,
        [risposta = std::move(risposta), attivo] {
            risposta(attivo ? std::nullopt
                            : GestoreFiltro::Errore(tr("l'estensione è gestita da altri")));
        },
        Qt::QueuedConnection);
}

void GestoreEsterno::leggiCopie(SuCopie risposta) {
    QMetaObject::invokeMethod(
        this,
        [risposta = std::move(risposta)] {
            risposta({Copia{true, false}});
        },
        Qt::QueuedConnection);
}

void GestoreEsterno::attiva(SuAttivazione risposta) {
    QMetaObject::invokeMethod(
        this, [risposta = std::move(risposta)] { risposta(Esito::completata, {}); },
        Qt::QueuedConnection);
}

}  // namespace ostrale
