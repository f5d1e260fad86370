// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/rete-locale.h"

#include <charconv>
#include <cstdint>

#include "Condiviso/testo.h"

namespace ostrale::ReteLocale {
namespace {

// A decimal integer with an optional sign; anything else (or an overflow) is not a number.
bool numero(std::string_view pezzo, std::int64_t& valore) {
    if (!pezzo.empty() && pezzo.front() == '+') {
        pezzo.remove_prefix(1);
        if (!pezzo.empty() && pezzo.front() == '-') return false;
    }
    const auto [fine, errore] = std::from_chars(pezzo.data(), pezzo.data() + pezzo.size(), valore);
    return errore == std::errc() && fine == pezzo.data() + pezzo.size();
}

}  // namespace

bool èLocale(std::string_view ip) {
    if (ip.find(':') != std::string_view::npos) {
        const std::string v6 = testo::minuscole(ip);
        if (v6 == "::1") return true;
        for (std::string_view prefisso : {"fe80", "fd", "fc", "::", "ff"}) {
            if (testo::iniziaCon(v6, prefisso)) return true;
        }
        return false;
    }
    std::int64_t numeri[4] = {};
    std::size_t quanti = 0;
    std::size_t inizio = 0;
    while (inizio <= ip.size()) {
        std::size_t fine = ip.find('.', inizio);
        if (fine == std::string_view::npos) fine = ip.size();
        std::int64_t valore;
        if (fine > inizio && numero(ip.substr(inizio, fine - inizio), valore)) {
            if (quanti == 4) return false;
            numeri[quanti++] = valore;
        }
        inizio = fine + 1;
    }
    if (quanti != 4) return false;
    const std::int64_t a = numeri[0];
    const std::int64_t b = numeri[1];
    return a == 10 || a == 127 || (a == 100 && b >= 64 && b <= 127) || (a == 169 && b == 254) ||
           (a == 172 && b >= 16 && b <= 31) || (a == 192 && b == 168) || a >= 224;
}

}  // namespace ostrale::ReteLocale
