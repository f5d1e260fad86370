// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/stato-regole.h"

// One edit of the user's rules or settings: what every client (the app, ostralectl) sends to the
// extension, and what a client applies to "regole.json" itself when no extension answers. An
// edit names what it changes and nothing else, so edits of several clients never undo each
// other's. Rules are named by their id, whichever list holds them.
namespace ostrale {

// The settings an edit changes: those present.
struct ImpostazioniParziali {
    std::optional<bool> bloccaSconosciute;
    std::optional<bool> filtraEntrata;
    std::optional<bool> registraConsentiti;
    std::optional<bool> quarantenaAttiva;
    std::optional<std::int64_t> giorniQuarantena;
    std::optional<bool> avvisaAnomalie;
    std::optional<bool> bloccaTracker;
    std::optional<bool> chiediPrima;
    std::optional<bool> fidatiApple;
    std::optional<bool> escludiLan;
    std::optional<bool> rilevaAttacchi;

    // Sets one by its name ("bloccaTracker", "giorniQuarantena", …) from text ("sì"/"no",
    // "yes", "true"/"false", "on"/"off", or a number of days). An error says what is wrong.
    std::optional<std::string> impostaDaTesto(std::string_view chiave, std::string_view valore);

    // Every setting in the record's order: f(name, member here, member of ImpostazioniFiltro).
    template <typename F>
    static void perOgniCampo(F&& f);

    bool operator==(const ImpostazioniParziali&) const = default;
};

template <typename F>
void ImpostazioniParziali::perOgniCampo(F&& f) {
    using P = ImpostazioniParziali;
    using I = ImpostazioniFiltro;
    f("bloccaSconosciute", &P::bloccaSconosciute, &I::bloccaSconosciute);
    f("filtraEntrata", &P::filtraEntrata, &I::filtraEntrata);
    f("registraConsentiti", &P::registraConsentiti, &I::registraConsentiti);
    f("quarantenaAttiva", &P::quarantenaAttiva, &I::quarantenaAttiva);
    f("giorniQuarantena", &P::giorniQuarantena, &I::giorniQuarantena);
    f("avvisaAnomalie", &P::avvisaAnomalie, &I::avvisaAnomalie);
    f("bloccaTracker", &P::bloccaTracker, &I::bloccaTracker);
    f("chiediPrima", &P::chiediPrima, &I::chiediPrima);
    f("fidatiApple", &P::fidatiApple, &I::fidatiApple);
    f("escludiLan", &P::escludiLan, &I::escludiLan);
    f("rilevaAttacchi", &P::rilevaAttacchi, &I::rilevaAttacchi);
}

enum class OperazioneRegole {
    aggiungiRegola,         // `firma`, `azione`: a rule of the application, made active
                            // (or as `attiva` says), with `fascia` when given, lasting as
                            // `durata` says
    aggiungiRegolaDominio,  // `dominio` as typed (or an address), `azione`, made active (or as
                            // `attiva` says), for the application `firma` and the port `porta`
                            // when given, lasting as `durata` says
    rimuovi,                // `id`
    attiva,                 // `id`, `attiva`
    azione,                 // `id`, `azione` (whether it is active stays)
    fascia,                 // `id` of an application rule, `fascia` (absent: none)
    impostazioni,           // `impostazioni`
    durata,                 // `id`, `durata` (absent: for ever)
};

template <>
struct ValoriGrezzi<OperazioneRegole> {
    static constexpr std::array<std::string_view, 8> valori{
        "aggiungiRegola", "aggiungiRegolaDominio", "rimuovi", "attiva", "azione",
        "fascia",         "impostazioni",          "durata"};
};

struct ModificaRegole {
    OperazioneRegole operazione = OperazioneRegole::impostazioni;
    std::optional<Uuid> id;
    std::string firma;
    std::string dominio;
    std::optional<AzioneRegola> azione;
    std::optional<bool> attiva;
    std::optional<FasciaOraria> fascia;
    std::optional<std::int64_t> porta;
    Durata durata;
    ImpostazioniParziali impostazioni;

    static ModificaRegole nuovaRegola(std::string firma, AzioneRegola azione);
    static ModificaRegole nuovaRegolaDominio(std::string dominio, AzioneRegola azione);
    static ModificaRegole rimozione(Uuid id);
    static ModificaRegole attivazione(Uuid id, bool attiva);
    static ModificaRegole cambioAzione(Uuid id, AzioneRegola azione);
    static ModificaRegole cambioFascia(Uuid id, std::optional<FasciaOraria> fascia);
    static ModificaRegole cambioImpostazioni(ImpostazioniParziali impostazioni);
    static ModificaRegole cambioDurata(Uuid id, Durata durata);

    bool operator==(const ModificaRegole&) const = default;
};

// What became of an edit: changed, nothing to change, or why not.
enum class EsitoModifica {
    cambiata,
    invariata,
    nomeVuoto,          // an application rule without an identity
    appSconosciuta,     // the application could not be identified: no rule can name it
    dominioNonValido,   // neither a domain (a dot, at least 4 characters) nor an address
    regolaInesistente,  // no rule has the id
    fasciaNonValida,    // a window's ends are minutes of the day, 0 to 1440
    senzaFascia,        // domain rules have no time window
    valoreNonValido,    // a setting out of its range
    incompleta,         // the edit lacks what its operation needs
    nonSalvata,         // the rules file could not be written: nothing changed
    nonInviata,         // no answer came (the extension went away)
    portaNonValida,     // a rule's port is outside 1-65535
};

template <>
struct ValoriGrezzi<EsitoModifica> {
    static constexpr std::array<std::string_view, 13> valori{
        "cambiata",         "invariata",         "nomeVuoto",       "appSconosciuta",
        "dominioNonValido", "regolaInesistente", "fasciaNonValida", "senzaFascia",
        "valoreNonValido",  "incompleta",        "nonSalvata",      "nonInviata",
        "portaNonValida"};
};

// Anything but `cambiata` and `invariata`: the edit did not happen.
constexpr bool èRifiuto(EsitoModifica e) {
    return e != EsitoModifica::cambiata && e != EsitoModifica::invariata;
}
// In English, for the command line and the logs.
std::string_view descrizione(EsitoModifica esito);

// The answer to an edit: its outcome and the rule it concerns (the one added or changed).
struct RispostaModifica {
    EsitoModifica esito = EsitoModifica::invariata;
    std::optional<Uuid> id;

    bool operator==(const RispostaModifica&) const = default;
};

// Applies `modifica` to `stato`, which changes only when the answer is `cambiata`.
RispostaModifica applica(StatoRegole& stato, const ModificaRegole& modifica);

}  // namespace ostrale
