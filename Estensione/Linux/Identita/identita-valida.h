// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrale {

// An identity as the system gives it (raw bytes of a path, a name read from a file) made into
// the one text used everywhere: in memory, on the channel, in rules and on disk. Bytes that are
// not valid UTF-8 become `\xHH` (upper-case hex), and a backslash followed by `x` becomes
// `\x5C`, so every `\x` of the result is an escape and the raw bytes can be told back exactly
// (`identitàGrezza`). Past `lunghezzaMassimaIdentità` bytes the text is cut, at a character
// boundary, and ends in "#" and 16 hex digits of a digest of the whole escaped text.
constexpr std::size_t lunghezzaMassimaIdentità = 1024;
std::string identitàValida(std::string_view grezza);
// The raw bytes behind an identity that was not cut.
std::string identitàGrezza(std::string_view valida);

}  // namespace ostrale
