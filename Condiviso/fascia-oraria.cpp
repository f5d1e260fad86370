// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/fascia-oraria.h"

#include <cstdio>
#include <ctime>

#include "Condiviso/fuso-orario.h"

namespace ostrale {

bool FasciaOraria::contiene(std::int64_t minuto) const {
    if (inizio < fine) return minuto >= inizio && minuto < fine;
    if (fine < inizio) return minuto >= inizio || minuto < fine;
    return false;
}

int minutoDelGiorno(Data momento) {
    const std::time_t secondi = momento.secondiUnixInteri();
    // Today's zones have offsets of whole quarters of an hour, and change them on a quarter:
    // within one UTC quarter local time runs with UTC, so the local minute at the quarter's
    // start is kept (per thread: this runs for every flow). Old offsets of odd minutes and
    // seconds are computed every time.
    thread_local std::time_t quartoNoto = -1;
    thread_local int minutoInizioQuarto = 0;
    thread_local std::uint64_t fusoNoto = 0;
    const std::time_t quarto = secondi >= 0 ? secondi / 900 : (secondi - 899) / 900;
    const std::uint64_t fuso = generazioneFusoOrario();
    if (quarto != quartoNoto || fuso != fusoNoto) {
        fusoNoto = fuso;
        const std::time_t inizio = quarto * 900;
        std::tm locale{};
        if (localtime_r(&inizio, &locale) == nullptr) return 0;
        if (locale.tm_min % 15 != 0 || locale.tm_sec != 0) {
            if (localtime_r(&secondi, &locale) == nullptr) return 0;
            return locale.tm_hour * 60 + locale.tm_min;
        }
        quartoNoto = quarto;
        minutoInizioQuarto = locale.tm_hour * 60 + locale.tm_min;
    }
    return minutoInizioQuarto + static_cast<int>((secondi - quarto * 900) / 60);
}

std::string FasciaOraria::testo() const {
    char t[96];
    std::snprintf(t, sizeof t, "%02lld:%02lld-%02lld:%02lld", static_cast<long long>(inizio / 60),
                  static_cast<long long>(inizio % 60), static_cast<long long>(fine / 60),
                  static_cast<long long>(fine % 60));
    return t;
}

}  // namespace ostrale
