// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Condiviso/evento-flusso.h"
#include "Condiviso/modifica-regole.h"
#include "Condiviso/pacchetto-storico.h"
#include "Condiviso/risposta-domanda.h"
#include "Condiviso/stato-regole.h"

namespace ostrale {

// What the provider serves to the app over the local channel.
struct GestoriCanale {
    // The rules replaced whole (the app's old message): whether they were stored and applied.
    std::function<bool(const StatoRegole&)> suRegole;
    // One edit of the rules, stored and applied; and the rules as they stand.
    std::function<RispostaModifica(const ModificaRegole&)> suModifica;
    std::function<StatoRegole()> fornitoreRegole;
    std::function<PacchettoStorico()> fornitoreStorico;
    std::function<std::vector<EventoFlusso>()> fornitoreFlussi;
    std::function<void(const std::string& firma, bool consenti)> suDecisione;
    std::function<void(const RispostaSospesi& risposta)> suRisposta;
    // How many applications have flows waiting for the user's answer.
    std::function<std::size_t()> fornitoreDomande;
};

// The extension's end of the channel to the app.
class CanaleEstensione {
  public:
    virtual ~CanaleEstensione() = default;

    // Replaces the handlers of every later message.
    virtual void installaGestori(GestoriCanale gestori) = 0;
    // Starts accepting the app; a second call does nothing.
    virtual void avviaAscolto() = 0;
    // Whether an app is connected right now: a connection that registered, the only one that is
    // asked about paused flows.
    virtual bool haConnessione() const = 0;
    // Pushes to the app. They return at once, whatever the app does: without a connection the
    // event is dropped, never queued for later.
    virtual void nuovoFlusso(const EventoFlusso& evento) = 0;
    virtual void chiediDecisione(const EventoFlusso& evento) = 0;
    // nuovoFlusso for an event that stays as it is: a channel may encode it later, off the
    // caller's thread.
    virtual void nuovoFlussoCondiviso(std::shared_ptr<const EventoFlusso> evento) {
        nuovoFlusso(*evento);
    }
    // The user's rules changed (an edit, a replacement, the file changed by another program):
    // every client is told how they stand now.
    virtual void regoleCambiate(const StatoRegole& stato) { (void)stato; }
};

}  // namespace ostrale
