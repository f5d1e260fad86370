// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

// Reading the two public command-and-control feeds: a plain list of IPv4 addresses (Feodo
// Tracker) and a CSV export whose lines carry "address:port" (ThreatFox). No Qt: the benchmark
// uses it as it is.
namespace ostrale::feedC2 {

// Whether `testo` is a dotted quad: four non-empty parts of decimal digits, each 0–255.
bool èQuartetto(std::string_view testo);
// The first dotted IPv4 address in a line, as written (leading zeros stay).
std::optional<std::string> primoIPv4(std::string_view riga);
// The addresses of one feed's text: every line trimmed, comments ("#") and empty lines
// skipped; a plain list keeps lines that are a dotted quad, a CSV the first address of a line.
std::set<std::string> estrai(std::string_view testo, bool csv);
// The list as stored: ascending string order, one per line, no newline at the end.
std::string unisci(const std::set<std::string>& indirizzi);

}  // namespace ostrale::feedC2
