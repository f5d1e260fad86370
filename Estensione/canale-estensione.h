// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
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
    // An answer about held flows: `app` is the user of the registered app that answered, absent
    // when another client (the command line) did.
    std::function<void(const std::string& firma, bool consenti, std::optional<std::uint32_t> app)>
        suDecisione;
    std::function<void(const RispostaSospesi& risposta, std::optional<std::uint32_t> app)>
        suRisposta;
    // The applications whose flows wait for the user's answer (one per user asked).
    std::function<std::vector<std::string>()> fornitoreDomande;
};

// The extension's end of the channel to the app.
class CanaleEstensione {
  public:
    virtual ~CanaleEstensione() = default;

    // Replaces the handlers of every later message.
    virtual void installaGestori(GestoriCanale gestori) = 0;
    // Starts accepting the app; a second call does nothing.
    virtual void avviaAscolto() = 0;
    // Whether an app is connected right now: a connection that registered, the only kind that is
    // asked about paused flows.
    virtual bool haConnessione() const = 0;
    // The app asked about a held flow of a process of the user `uid` (absent: not known), by the
    // user it runs as; absent when none can answer, and then the flow is not held.
    virtual std::optional<std::uint32_t> chiChiedere(std::optional<std::uint32_t> uid) const {
        (void)uid;
        return haConnessione() ? std::optional<std::uint32_t>(0) : std::nullopt;
    }
    // Pushes to the app. They return at once, whatever the app does: without a connection the
    // event is dropped, never queued for later.
    virtual void nuovoFlusso(const EventoFlusso& evento) = 0;
    virtual void chiediDecisione(const EventoFlusso& evento) = 0;
    // The question to the app of the user `app` (as chiChiedere named it).
    virtual void chiediDecisioneA(std::uint32_t app, const EventoFlusso& evento) {
        (void)app;
        chiediDecisione(evento);
    }
    // nuovoFlusso for an event that stays as it is: a channel may encode it later, off the
    // caller's thread.
    virtual void nuovoFlussoCondiviso(std::shared_ptr<const EventoFlusso> evento) {
        nuovoFlusso(*evento);
    }
    // The same for a flow of a process of the user `uid` (absent: not known): an app is sent the
    // flows of its own user and of the system.
    virtual void nuovoFlussoDi(std::optional<std::uint32_t> uid,
                               std::shared_ptr<const EventoFlusso> evento) {
        (void)uid;
        nuovoFlussoCondiviso(std::move(evento));
    }
    // The user's rules changed (an edit, a replacement, the file changed by another program):
    // every client is told how they stand now.
    virtual void regoleCambiate(const StatoRegole& stato) { (void)stato; }
};

}  // namespace ostrale
