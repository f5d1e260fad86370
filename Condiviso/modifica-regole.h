#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/stato-regole.h"

// Edits of the user's rules, done the same way by every client (the app, ostralectl). Each
// answers whether the state changed; a change is then stored and sent to the extension.
namespace ostrale::ModificaRegole {

// Creates or updates the rule of `firma` (made active; name and window kept). Refuses an empty
// identity and "sconosciuta".
bool aggiungiRegola(StatoRegole& stato, std::string_view firma, AzioneRegola azione);
// Creates or updates the rule of a domain as typed by the user (normalised first). Refuses what
// is not a domain: no dot, or fewer than 4 characters.
bool aggiungiRegolaDominio(StatoRegole& stato, std::string_view dominio, AzioneRegola azione);
// Sets or removes the time window of the rule of `firma`; false when there is no such rule.
bool impostaFascia(StatoRegole& stato, std::string_view firma, std::optional<FasciaOraria> fascia);
bool impostaAttiva(StatoRegole& stato, std::string_view firma, bool attiva);
bool rimuoviRegola(StatoRegole& stato, std::string_view firma);
bool rimuoviRegolaDominio(StatoRegole& stato, std::string_view dominio);

// Sets one setting by its name ("bloccaTracker", "giorniQuarantena", …) from text ("sì"/"no",
// "true"/"false", "on"/"off", or a number of days). An error says what is wrong.
std::optional<std::string> imposta(ImpostazioniFiltro& impostazioni, std::string_view chiave,
                                   std::string_view valore);

}  // namespace ostrale::ModificaRegole
