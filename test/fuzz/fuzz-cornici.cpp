// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the frame reader in pieces of varying size: it must never crash,
// and every frame it hands out must encode back to the bytes it came from.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Condiviso/cornice.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
    using namespace ostrale::canale;
    if (dimensione == 0) return 0;
    const std::string_view tutto(reinterpret_cast<const char*>(dati), dimensione);
    // The first byte chooses the size of the pieces.
    const std::size_t pezzo = static_cast<std::uint8_t>(tutto[0]) % 17 + 1;
    const std::string_view flusso = tutto.substr(1);
    LettoreCornici lettore;
    std::string ricostruito;
    for (std::size_t i = 0; i < flusso.size(); i += pezzo) {
        lettore.aggiungi(flusso.substr(i, pezzo));
        while (auto c = lettore.prossima()) ricostruito += codifica(*c);
        if (lettore.rotto()) return 0;
    }
    if (flusso.substr(0, ricostruito.size()) != ricostruito) std::abort();
    if (ricostruito.size() + lettore.inAttesa() != flusso.size()) std::abort();
    return 0;
}
