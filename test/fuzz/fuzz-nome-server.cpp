// SPDX-License-Identifier: GPL-3.0-or-later
// First payloads of new flows: the server name readers must never crash, whatever the bytes.
#include <algorithm>
#include <cstdint>
#include <string_view>

#include "Estensione/Linux/nome-server.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
    const std::string_view byte(reinterpret_cast<const char*>(dati), dimensione);
    for (const auto& nome : {ostrale::nomeDaClientHello(byte), ostrale::nomeDaHttp(byte),
                             ostrale::nomeDaQuicInitial(byte)}) {
        // A name is never empty, longer than DNS allows, or in upper case.
        if (nome &&
            (nome->empty() || nome->size() > 253 ||
             std::any_of(nome->begin(), nome->end(), [](char c) { return c >= 'A' && c <= 'Z'; })))
            __builtin_trap();
    }
    return 0;
}
