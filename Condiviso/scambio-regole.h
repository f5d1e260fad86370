// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Condiviso/modifica-regole.h"
#include "Condiviso/risultato.h"
#include "Condiviso/stato-regole.h"

// The rules and settings as one file to carry to other machines: written by `esporta`, read
// back whole or not at all by `leggi`, and turned by `pianifica` into the edits that make the
// rules in force match it, which every client sends as it sends any other edit. Importing the
// same file twice changes nothing the second time.
namespace ostrale::scambio {

inline constexpr std::int64_t versioneFormato = 1;
// Far above any real set of rules (a rule is ~150 bytes): a larger file is refused unread.
inline constexpr std::size_t dimensioneMassima = 4 * 1024 * 1024;

// A domain rule in words: "example.com", "example.com port 443 for /usr/bin/curl".
std::string nomeRegola(const RegolaDominio& r);

// The file: the rules' own JSON with "formato" and "versione" in front, ending with a newline.
std::string esporta(const StatoRegole& stato);

// The rules of a file, or why it is refused: a syntax error with its line and column, another
// format or version, a value the rules cannot hold, two rules with one id, two rules for one
// application, or two for one domain (and application and port).
Risultato<StatoRegole> leggi(std::string_view testo);

struct Piano {
    // Each names its rule by id or, for a rule added whole, by its application or domain.
    std::vector<ModificaRegole> passi;
    // What the edits do, a line each, for the user to read before they are sent.
    std::vector<std::string> aggiunte, cambiate, rimosse;
    // The same by name only (an application or a domain), for a client that words it itself;
    // the settings are not among them.
    std::vector<std::string> nomiAggiunti, nomiCambiati, nomiRimossi;
    bool impostazioniCambiate = false;
    bool vuoto() const { return passi.empty(); }
};

// The edits that bring `attuali` to `importate`: a rule of the file replaces the rule with its
// id or, failing that, the one of the same application (or domain); the others are added; with
// `sostituisci`, rules the file does not have are removed. Settings are set to the file's. The
// plan is tried on a copy of `attuali` first: a plan that some edit would refuse is refused
// whole, with the reason.
Risultato<Piano> pianifica(const StatoRegole& attuali, const StatoRegole& importate,
                           bool sostituisci);

// What the edits of `piano` give when applied to `stato` (the same rules an extension makes).
StatoRegole applicato(StatoRegole stato, const Piano& piano);

}  // namespace ostrale::scambio
