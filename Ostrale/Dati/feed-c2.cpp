// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Dati/feed-c2.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace ostrale::feedC2 {
namespace {

// The code point at `i` (advancing it); U+FFFD for a malformed sequence.
UChar32 prossimo(std::string_view t, std::size_t& i) {
    UChar32 c = 0;
    auto indice = static_cast<int32_t>(i);
    U8_NEXT(reinterpret_cast<const uint8_t*>(t.data()), indice, static_cast<int32_t>(t.size()), c);
    i = static_cast<std::size_t>(indice);
    return c < 0 ? 0xFFFD : c;
}

bool èFineRiga(UChar32 c) {
    return c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x85 || c == 0x2028 ||
           c == 0x2029;
}

bool èSpazio(UChar32 c) {
    return èFineRiga(c) || u_isUWhiteSpace(c);
}

bool èNumero(UChar32 c) {
    const auto tipo = u_charType(c);
    return tipo == U_DECIMAL_DIGIT_NUMBER || tipo == U_LETTER_NUMBER || tipo == U_OTHER_NUMBER;
}

// Trims white space at both ends (whole code points).
std::string_view rifila(std::string_view riga) {
    std::size_t inizio = 0;
    while (inizio < riga.size()) {
        std::size_t j = inizio;
        if (!èSpazio(prossimo(riga, j))) break;
        inizio = j;
    }
    std::size_t fine = riga.size();
    while (fine > inizio) {
        // Back to the start of the last code point.
        std::size_t k = fine - 1;
        while (k > inizio && (static_cast<unsigned char>(riga[k]) & 0xC0) == 0x80) --k;
        std::size_t j = k;
        if (!èSpazio(prossimo(riga, j)) || j != fine) break;
        fine = k;
    }
    return riga.substr(inizio, fine - inizio);
}

// Four parts split at '.', each ASCII decimal digits of value below 256 (a token of other
// numerals parses as nothing).
bool quattroParti(std::string_view t) {
    int parti = 0;
    std::size_t i = 0;
    while (true) {
        const std::size_t punto = t.find('.', i);
        const std::string_view parte =
            t.substr(i, punto == std::string_view::npos ? t.npos : punto - i);
        if (parte.empty() || ++parti > 4) return false;
        unsigned valore = 0;
        for (const char c : parte) {
            if (c < '0' || c > '9') return false;
            valore = valore * 10 + static_cast<unsigned>(c - '0');
            if (valore > 255) return false;
        }
        if (punto == std::string_view::npos) break;
        i = punto + 1;
    }
    return parti == 4;
}

}  // namespace

bool èQuartetto(std::string_view testo) {
    return quattroParti(testo);
}

std::optional<std::string> primoIPv4(std::string_view riga) {
    std::size_t inizio = 0, i = 0;
    while (i < riga.size()) {
        const std::size_t qui = i;
        const UChar32 c = prossimo(riga, i);
        if (c == '.' || èNumero(c)) continue;
        if (qui > inizio && quattroParti(riga.substr(inizio, qui - inizio)))
            return std::string(riga.substr(inizio, qui - inizio));
        inizio = i;
    }
    if (riga.size() > inizio && quattroParti(riga.substr(inizio)))
        return std::string(riga.substr(inizio));
    return std::nullopt;
}

std::set<std::string> estrai(std::string_view testo, bool csv) {
    std::set<std::string> indirizzi;
    std::size_t inizio = 0, i = 0;
    auto riga = [&](std::string_view r) {
        r = rifila(r);
        if (r.empty() || r.front() == '#') return;
        if (!csv) {
            if (quattroParti(r)) indirizzi.emplace(r);
        } else if (auto ip = primoIPv4(r)) {
            indirizzi.insert(std::move(*ip));
        }
    };
    while (i < testo.size()) {
        const std::size_t qui = i;
        const UChar32 c = prossimo(testo, i);
        if (!èFineRiga(c)) continue;
        riga(testo.substr(inizio, qui - inizio));
        inizio = i;
    }
    if (inizio < testo.size()) riga(testo.substr(inizio));
    return indirizzi;
}

std::string unisci(const std::set<std::string>& indirizzi) {
    std::string testo;
    for (const std::string& ip : indirizzi) {
        if (!testo.empty()) testo += '\n';
        testo += ip;
    }
    return testo;
}

}  // namespace ostrale::feedC2
