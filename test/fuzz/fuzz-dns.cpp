// SPDX-License-Identifier: GPL-3.0-or-later
// DNS answers from the network: the reader must never crash, whatever the bytes.
#include <cstdint>
#include <string_view>

#include "Estensione/Linux/risposta-dns.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
    const std::string_view byte(reinterpret_cast<const char*>(dati), dimensione);
    if (const auto r = ostrale::leggiRispostaDns(byte, false)) {
        for (const auto& i : r->indirizzi) (void)i.testo.size();
    }
    (void)ostrale::leggiRispostaDns(byte, true);
    return 0;
}
