// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Stato/risposta-decisione.h"

#include <charconv>

#include "Condiviso/modifica-regole.h"
#include "Condiviso/regola-dominio.h"

namespace ostrale {
namespace {

bool nominabile(const std::string& dominio) {
    StatoRegole prova;
    return applica(prova, ModificaRegole::nuovaRegolaDominio(dominio, AzioneRegola::blocca))
               .esito == EsitoModifica::cambiata;
}

}  // namespace

std::optional<std::string> destinazioneDomanda(const EventoFlusso& evento) {
    if (evento.host != "?") {
        std::string host = RegolaDominio::normalizza(evento.host);
        if (nominabile(host)) return host;
    }
    if (evento.indirizzoIP) {
        if (auto indirizzo = RegolaDominio::indirizzoCanonico(*evento.indirizzoIP))
            return indirizzo;
    }
    return std::nullopt;
}

std::optional<std::int64_t> portaDomanda(const EventoFlusso& evento) {
    const std::string& testo = evento.porta;
    std::int64_t porta = 0;
    const auto [fine, errore] = std::from_chars(testo.data(), testo.data() + testo.size(), porta);
    if (errore != std::errc() || fine != testo.data() + testo.size() || porta < 1 || porta > 65535)
        return std::nullopt;
    return porta;
}

AmbitoRisposta ambitoPossibile(AmbitoRisposta voluto, const EventoFlusso& evento) {
    if (voluto == AmbitoRisposta::app || !destinazioneDomanda(evento)) return AmbitoRisposta::app;
    if (voluto == AmbitoRisposta::hostPorta && !portaDomanda(evento)) return AmbitoRisposta::host;
    return voluto;
}

}  // namespace ostrale
