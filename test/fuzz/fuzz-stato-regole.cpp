// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes arbitrary bytes; whatever decodes must survive a round trip unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Condiviso/scambio-regole.h"
#include "test/fuzz/andata-e-ritorno.h"

// The rules, the edits of the rules with their answers, and the answers about held flows: the same
// bytes are tried as each.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
    using namespace ostrale;
    using test::andataERitorno;
    const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
    andataERitorno<StatoRegole>(testo);
    andataERitorno<ModificaRegole>(testo);
    andataERitorno<RispostaModifica>(testo);
    andataERitorno<RispostaSospesi>(testo);
    // Whatever an edit says, applying it leaves rules that still encode and decode.
    if (const auto modifica = json::decodifica<ModificaRegole>(testo)) {
        StatoRegole stato;
        applica(stato, *modifica);
        applica(stato, *modifica);
        if (!json::decodifica<StatoRegole>(json::codifica(stato))) std::abort();
    }
    // An exported file read back: whatever is accepted imports onto nothing and onto itself,
    // and once imported, importing it again has nothing to do.
    if (const auto importate = scambio::leggi(testo)) {
        for (const StatoRegole& base : {StatoRegole{}, *importate}) {
            const auto piano = scambio::pianifica(base, *importate, true);
            if (!piano)
                continue;  // an edit would refuse it (a rule the records hold, but not an edit)
            const StatoRegole dopo = scambio::applicato(base, *piano);
            const auto ancora = scambio::pianifica(dopo, *importate, true);
            if (!ancora || !ancora->vuoto()) std::abort();
        }
    }
    return 0;
}
