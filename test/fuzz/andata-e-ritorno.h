// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <string_view>

#include "Condiviso/codifica-json.h"

namespace ostrale::test {

// Arbitrary bytes decode as a T or are refused; whatever decodes survives a round trip
// unchanged (else the target aborts, which the fuzzer reports).
template <typename T>
void andataERitorno(std::string_view testo) {
    const auto valore = json::decodifica<T>(testo);
    if (!valore) return;
    const auto ritorno = json::decodifica<T>(json::codifica(*valore));
    if (!ritorno || !(*ritorno == *valore)) std::abort();
}

}  // namespace ostrale::test
