// SPDX-License-Identifier: GPL-3.0-or-later
// The city database reader on arbitrary bytes taken as a whole file: it opens or refuses, and
// every lookup answers or does not, never reading outside the bytes (the sanitizers watch).
#include <cstdint>
#include <string>

#include "Ostrale/Dati/geo-db.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
    const ostrale::GeoDB db =
        ostrale::GeoDB::daByte(std::string(reinterpret_cast<const char*>(dati), dimensione));
    for (const char* ip :
         {"1.2.3.4", "81.2.69.160", "200.1.1.1", "2001:db8:1::7", "::1", "ffff:ffff::1"}) {
        (void)db.cerca(ip);
    }
    (void)db.dataCostruzione();
    return 0;
}
