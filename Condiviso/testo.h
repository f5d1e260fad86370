// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ostrale::testo {

// Length in bytes of the well-formed UTF-8 sequence that starts at `i` (1 for ASCII), or 0 when
// the bytes there are malformed.
std::size_t lunghezzaUtf8(std::string_view testo, std::size_t i);

// Whether `byte` is well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool èUtf8Valido(std::string_view byte);

// Splits at every line break (LF, VT, FF, CR, CR LF, U+0085, U+2028, U+2029); empty pieces vanish.
// Malformed UTF-8 is kept as it is, never taken for a line break.
std::vector<std::string_view> righe(std::string_view testo);

// Removes Unicode white space and line breaks from both ends.
std::string_view rifila(std::string_view testo);

// Lower case by Unicode's full case mapping, whatever the locale; plain ASCII takes a fast path.
// Malformed UTF-8 comes out with U+FFFD in place of the bad bytes.
std::string minuscole(std::string_view testo);

bool iniziaCon(std::string_view testo, std::string_view prefisso);

// The labels of a host name: the pieces between dots, empty pieces dropped.
std::vector<std::string_view> etichette(std::string_view host);

// A host name as lists of domains compare it: lower case, its labels joined by single dots
// (empty labels dropped); `quante` gets the number of labels. Every ending of at least two
// labels is then a suffix that starts after a dot.
std::string nomeNormalizzato(std::string_view host, std::size_t& quante);

// The entries of a list file: lines trimmed, empty lines and lines beginning with "#" skipped.
// No other comment syntax exists: a "#" after an entry is part of it.
std::vector<std::string_view> vociElenco(std::string_view testo);

}  // namespace ostrale::testo
