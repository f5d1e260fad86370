// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/storico.h"

#include <array>
#include <ctime>

namespace ostrale::Storico {
namespace {

bool cifre(std::string_view s, std::size_t da, std::size_t quante, int& valore) {
    valore = 0;
    for (std::size_t i = da; i < da + quante; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        valore = valore * 10 + (s[i] - '0');
    }
    return true;
}

bool èBisestile(int anno) {
    return (anno % 4 == 0 && anno % 100 != 0) || anno % 400 == 0;
}

int giorniDelMese(int anno, int mese) {
    static constexpr std::array<int, 12> giorni{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return mese == 2 && èBisestile(anno) ? 29 : giorni[static_cast<std::size_t>(mese - 1)];
}

void scriviCifre(std::string& s, long valore, int quante) {
    std::array<char, 24> buffer{};
    int n = 0;
    const bool negativo = valore < 0;
    unsigned long resto =
        negativo ? 0UL - static_cast<unsigned long>(valore) : static_cast<unsigned long>(valore);
    do {
        buffer[static_cast<std::size_t>(n++)] = static_cast<char>('0' + resto % 10);
        resto /= 10;
    } while (resto > 0 && n < 23);
    while (n < quante) buffer[static_cast<std::size_t>(n++)] = '0';
    if (negativo) s.push_back('-');
    while (n > 0) s.push_back(buffer[static_cast<std::size_t>(--n)]);
}

// The fields of an hour key, read without the calendar's time zone rules.
struct CampiOra {
    int anno, mese, giorno, ora;
};

std::optional<CampiOra> campi(std::string_view chiave) {
    if (chiave.size() != 13 || chiave[4] != '-' || chiave[7] != '-' || chiave[10] != ' ') {
        return std::nullopt;
    }
    CampiOra c{};
    if (!cifre(chiave, 0, 4, c.anno) || !cifre(chiave, 5, 2, c.mese) ||
        !cifre(chiave, 8, 2, c.giorno) || !cifre(chiave, 11, 2, c.ora)) {
        return std::nullopt;
    }
    if (c.mese < 1 || c.mese > 12 || c.giorno < 1 || c.giorno > giorniDelMese(c.anno, c.mese) ||
        c.ora > 23) {
        return std::nullopt;
    }
    return c;
}

}  // namespace

std::string chiaveOra(Data momento) {
    const std::time_t secondi = momento.secondiUnixInteri();
    // Today's zones have offsets of whole quarters of an hour, and change them on a quarter:
    // within one UTC quarter the local hour is the same, so the last answer is kept (per
    // thread: this runs for every flow). Old offsets of odd minutes and seconds are computed
    // every time.
    thread_local std::time_t quartoNoto = -1;
    thread_local std::string chiaveNota;
    const std::time_t quarto = secondi >= 0 ? secondi / 900 : (secondi - 899) / 900;
    if (quarto == quartoNoto) return chiaveNota;
    std::tm locale{};
    if (localtime_r(&secondi, &locale) == nullptr) return {};
    const bool quartiInteri = locale.tm_min % 15 == static_cast<int>(secondi % 900 / 60 % 15) &&
                              locale.tm_sec == static_cast<int>(secondi % 60);
    std::string chiave;
    chiave.reserve(13);
    scriviCifre(chiave, static_cast<long>(locale.tm_year) + 1900, 4);
    chiave.push_back('-');
    scriviCifre(chiave, locale.tm_mon + 1, 2);
    chiave.push_back('-');
    scriviCifre(chiave, locale.tm_mday, 2);
    chiave.push_back(' ');
    scriviCifre(chiave, locale.tm_hour, 2);
    if (quartiInteri) {
        quartoNoto = quarto;
        chiaveNota = chiave;
    }
    return chiave;
}

bool èChiaveOra(std::string_view chiave) {
    return campi(chiave).has_value();
}

std::optional<Data> inizioOra(std::string_view chiave) {
    const auto letti = campi(chiave);
    if (!letti) return std::nullopt;
    const auto [anno, mese, giorno, ora] = *letti;
    // The hour repeated when clocks go back has two instants: the key names the first. Both
    // readings are tried, so the answer never depends on mktime's guess (which other threads move).
    std::optional<std::time_t> primo;
    for (const int estate : {1, 0, -1}) {
        std::tm locale{};
        locale.tm_year = anno - 1900;
        locale.tm_mon = mese - 1;
        locale.tm_mday = giorno;
        locale.tm_hour = ora;
        locale.tm_isdst = estate;
        const std::time_t secondi = std::mktime(&locale);
        if (secondi == static_cast<std::time_t>(-1) && !(anno == 1969 || anno == 1970)) continue;
        const bool stessaOra = locale.tm_year == anno - 1900 && locale.tm_mon == mese - 1 &&
                               locale.tm_mday == giorno && locale.tm_hour == ora;
        // The last reading (no preference) is kept only when no exact one exists (a skipped hour).
        if ((stessaOra || (estate == -1 && !primo)) && (!primo || secondi < *primo))
            primo = secondi;
    }
    if (!primo) return std::nullopt;
    return Data::daUnix(static_cast<double>(*primo));
}

StoricoOre pota(const StoricoOre& ore, Data adesso) {
    const Data limite = adesso.piùSecondi(-secondiConservati);
    StoricoOre tenute;
    for (const auto& [chiave, contatore] : ore) {
        const auto inizio = inizioOra(chiave);
        if (inizio && *inizio >= limite) tenute.emplace(chiave, contatore);
    }
    return tenute;
}

}  // namespace ostrale::Storico
