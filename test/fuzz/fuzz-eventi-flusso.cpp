// SPDX-License-Identifier: GPL-3.0-or-later
// Decodes arbitrary bytes; whatever decodes must survive a round trip unchanged.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Condiviso/codifica-json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
    using namespace ostrale;
    const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
    const auto valore = json::decodifica<std::vector<EventoFlusso>>(testo);
    if (!valore) return 0;
    const auto ritorno = json::decodifica<std::vector<EventoFlusso>>(json::codifica(*valore));
    if (!ritorno || !(*ritorno == *valore)) std::abort();
    return 0;
}
