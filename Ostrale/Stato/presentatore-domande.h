// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>

#include "Condiviso/data.h"
#include "Condiviso/evento-flusso.h"
#include "Ostrale/Stato/risposta-decisione.h"

namespace ostrale {

// Shows the two questions the controller asks the user and hands back the answer, later, on
// the main thread; never waits inside the call. The window version lives with the views; tests
// and the headless runner answer by themselves.
class PresentatoreDomande {
  public:
    using Risposta = std::function<void(bool consenti)>;
    using RispostaSospesa = std::function<void(const RispostaDecisione& risposta)>;

    virtual ~PresentatoreDomande() = default;

    // "Accesso bloccato per sicurezza", after a block of an application without a rule:
    // true for "Consenti l'app", false for "Continua a bloccare".
    virtual void chiediSuBlocco(const EventoFlusso& evento, Risposta risposta) = 0;
    // "Connessione sospesa: decidi tu", while the application's flows are held: "Consenti" or
    // "Blocca", for how long and for what. `ultima` holds the duration and the scope the user
    // chose last, offered first (its verdict means nothing); `scadenza` is when the extension
    // gives up waiting; `domanda` names the question for `ritira`.
    virtual void chiediDecisione(std::uint64_t domanda, const EventoFlusso& evento, Data scadenza,
                                 const RispostaDecisione& ultima, RispostaSospesa risposta) = 0;
    // The question was answered elsewhere (a notification's button): it goes away unanswered.
    virtual void ritira(std::uint64_t domanda) = 0;
};

}  // namespace ostrale
