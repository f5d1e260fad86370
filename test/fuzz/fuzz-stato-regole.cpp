// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes arbitrary bytes; whatever decodes must survive a round trip unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "test/fuzz/andata-e-ritorno.h"

// The rules, and the edits of the rules with their answers: the same bytes are tried as each.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
    using namespace ostrale;
    using test::andataERitorno;
    const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
    andataERitorno<StatoRegole>(testo);
    andataERitorno<ModificaRegole>(testo);
    andataERitorno<RispostaModifica>(testo);
    // Whatever an edit says, applying it leaves rules that still encode and decode.
    if (const auto modifica = json::decodifica<ModificaRegole>(testo)) {
        StatoRegole stato;
        applica(stato, *modifica);
        applica(stato, *modifica);
        if (!json::decodifica<StatoRegole>(json::codifica(stato))) std::abort();
    }
    return 0;
}
