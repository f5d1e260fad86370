// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include "Condiviso/enumerazioni.h"
#include "Condiviso/evento-flusso.h"
#include "Condiviso/modifica-regole.h"
#include "Ostrale/Stato/risposta-decisione.h"

class QCoreApplication;

// The app's texts that are looked up by an identifier rather than by their Italian wording, and
// the choice of the language at start. Every other text is the Italian source of a tr() call.
namespace ostrale::testi {

// The short label ("attacco_…") and the one-paragraph explanation ("spiega_…") of a pattern.
QString etichettaAttacco(TipoAttacco tipo);
QString spiegazioneAttacco(TipoAttacco tipo);
// The snake-case suffix of the pattern's keys ("forza_bruta").
const char* suffissoAttacco(TipoAttacco tipo);

// A direction's label: "Entrata" or "Uscita".
QString etichettaDirezione(DirezioneFlusso direzione);
// Why a flow was allowed or blocked, as the flow list says it.
QString testoMotivo(MotivoDecisione motivo);

// Why an application's flow was held or blocked, as the questions say it.
QString motivoSenzaRegola(const EventoFlusso& evento);
// The bodies of the two questions: application, host, port and reason.
QString corpoAvvisoBlocco(const EventoFlusso& evento);
QString corpoAvvisoSospeso(const EventoFlusso& evento);
// The choices of a held-flow answer: how long ("1 ora") and for what ("Tutta l'app", "Solo verso
// example.com", "Solo verso example.com, porta 443").
QString etichettaDurata(DurataRisposta durata);
QString etichettaAmbito(AmbitoRisposta ambito, const QString& host, std::int64_t porta);
// What an answer of that duration and scope holds for, as one line ("Vale per 1 ora, solo verso
// example.com").
QString validitàRisposta(const RispostaDecisione& risposta, const EventoFlusso& evento);
// The flow explainer's prompt, from its seven arguments in order.
QString promptSpiegami(const QString& firma, const QString& host, const QString& porta,
                       const QString& protocollo, const QString& direzione, const QString& tracker,
                       const QString& esito);

// What became of an edit of the rules, for the user.
QString esitoModifica(EsitoModifica esito);

// The language of the interface for the stored choice ("auto", "it", "en"): "auto" follows the
// system's locale, Italian for Italian and English otherwise.
QString linguaPer(const QString& scelta);
// Installs the app's table and Qt's own for `lingua` ("it" or "en") into the application.
// Returns false when the app's table could not be loaded (the Italian source texts then show).
bool installaTraduzioni(QCoreApplication& app, const QString& lingua);

}  // namespace ostrale::testi
