// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Condiviso/data.h"
#include "Condiviso/enumerazioni.h"
#include "Condiviso/uuid.h"

namespace ostrale {

// One judged flow, or one attack detection.
struct EventoFlusso {
    Uuid id = Uuid::genera();
    Data data;
    std::string firmaApp;    // "sconosciuta" when the application has no identity
    std::string host;        // name, else address, else "?"
    std::string porta;       // remote port in decimal (local port for inbound attacks), or "?"
    std::string protocollo;  // "TCP", "UDP", another protocol number, or "—" for attack events
    DirezioneFlusso direzione = DirezioneFlusso::uscita;
    bool consentito = true;  // for an attack event: the detection did not block
    std::optional<MotivoDecisione> motivo;
    std::optional<bool> anomala;
    std::optional<std::string> indirizzoIP;
    std::optional<TipoAttacco> attacco;
    // The user the flow's process ran as, when known: an app is shown its own user's flows and
    // the system's.
    std::optional<std::int64_t> utente;

    bool operator==(const EventoFlusso&) const = default;
};

}  // namespace ostrale
