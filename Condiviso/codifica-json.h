// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Condiviso/evento-flusso.h"
#include "Condiviso/informazioni-estensione.h"
#include "Condiviso/modifica-regole.h"
#include "Condiviso/pacchetto-storico.h"
#include "Condiviso/risposta-domanda.h"
#include "Condiviso/risultato.h"
#include "Condiviso/stato-regole.h"

// The JSON form of the shared records, as files and channel payloads carry it: keys are the member
// names, dates are seconds since 2001-01-01 UTC, UUIDs upper case, absent optionals left out,
// output compact. Decoding is strict: a missing required key, a wrong type or an unknown
// enumeration text refuses the whole document; keys nobody defines are ignored.
namespace ostrale::json {

using Abitudini = std::unordered_map<std::string, std::unordered_set<std::string>>;
// A log whose events are shared, not copied, between the live memory and a save.
using RegistroCondiviso = std::vector<std::shared_ptr<const EventoFlusso>>;
// Plain maps of the app's files: a count per key, a text per key.
using Conteggi = std::map<std::string, std::int64_t>;
using Testi = std::map<std::string, std::string>;

std::string codifica(const StatoRegole& valore);
std::string codifica(const ImpostazioniFiltro& valore);
std::string codifica(const Regola& valore);
std::string codifica(const RegolaDominio& valore);
std::string codifica(const EventoFlusso& valore);
std::string codifica(const std::vector<EventoFlusso>& valore);
std::string codifica(const PacchettoStorico& valore);
std::string codifica(const StoricoOre& valore);
std::string codifica(const StoricoApp& valore);
std::string codifica(const StoricoIP& valore);
std::string codifica(const PrimeViste& valore);
std::string codifica(const Abitudini& valore);
std::string codifica(const RegistroCondiviso& valore);
std::string codifica(const InformazioniEstensione& valore);
std::string codifica(const Conteggi& valore);
std::string codifica(const Testi& valore);
std::string codifica(const ModificaRegole& valore);
std::string codifica(const RispostaModifica& valore);
std::string codifica(const RispostaSospesi& valore);

// Defined for every type `codifica` accepts.
template <typename T>
Risultato<T> decodifica(std::string_view testo);

}  // namespace ostrale::json
