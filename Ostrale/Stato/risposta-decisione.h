// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Condiviso/evento-flusso.h"
#include "Condiviso/risposta-domanda.h"

namespace ostrale {

// The user's answer to a held-flow question: the verdict, how long it holds and what it covers.
struct RispostaDecisione {
    bool consenti = false;
    DurataRisposta durata = DurataRisposta::perSempre;
    AmbitoRisposta ambito = AmbitoRisposta::app;

    bool operator==(const RispostaDecisione&) const = default;
};

// The host an answer about `evento` can be narrowed to, as a domain rule names it: its host name
// normalised, else its address; absent when no domain rule could name either.
std::optional<std::string> destinazioneDomanda(const EventoFlusso& evento);
// Its remote port; absent when it is not a port number.
std::optional<std::int64_t> portaDomanda(const EventoFlusso& evento);
// `voluto` where `evento` allows it, else the nearest wider scope it allows (the application's
// always is).
AmbitoRisposta ambitoPossibile(AmbitoRisposta voluto, const EventoFlusso& evento);

}  // namespace ostrale
