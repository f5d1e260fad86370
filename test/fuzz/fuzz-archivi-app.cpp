// SPDX-License-Identifier: GPL-3.0-or-later
// The app's attack counters and decisions: arbitrary bytes decode or are refused; whatever
// decodes survives a round trip unchanged. (The archive itself is a list of flow events.)
#include <cstdint>
#include <string_view>

#include "test/fuzz/andata-e-ritorno.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
    const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
    ostrale::test::andataERitorno<ostrale::json::Conteggi>(testo);
    ostrale::test::andataERitorno<ostrale::json::Testi>(testo);
    return 0;
}
