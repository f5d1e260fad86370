// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Storico/calcoli-storico.h"

#include <algorithm>
#include <ctime>
#include <limits>
#include <map>
#include <string>
#include <string_view>

#include "Condiviso/storico.h"

namespace ostrale::CalcoliStorico {
namespace {

std::int64_t somma(std::int64_t a, std::int64_t b) {
    std::int64_t risultato = 0;
    if (!__builtin_add_overflow(a, b, &risultato)) return risultato;
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

template <typename T>
void aggiungi(T& a, const ContatoreOra& c) {
    a.consentiti = somma(a.consentiti, c.consentiti);
    a.bloccati = somma(a.bloccati, c.bloccati);
    a.tracker = somma(a.tracker, c.tracker);
}

std::tm locale(Data momento) {
    const std::time_t secondi = momento.secondiUnixInteri();
    std::tm t{};
    if (localtime_r(&secondi, &t) == nullptr) return {};
    return t;
}

// The start of the local hour holding `momento`: its minutes and seconds back.
Data inizioDellOra(Data momento) {
    const std::tm t = locale(momento);
    const double frazione =
        momento.secondiUnix() - static_cast<double>(momento.secondiUnixInteri());
    return momento.piùSecondi(-(t.tm_min * 60 + t.tm_sec) - frazione);
}

}  // namespace

std::vector<PuntoOra> ultime24(const StoricoOre& ore, Data adesso) {
    std::vector<std::string> chiavi;
    std::vector<PuntoOra> punti;
    punti.reserve(24);
    // A repeated hour costs one step more, a moment without a key (out of the calendar's range)
    // one more; the bound only stops a walk through such moments.
    for (int passo = 0; passo < 48 && punti.size() < 24; ++passo) {
        const Data momento = adesso.piùSecondi(-3600.0 * passo);
        std::string chiave = Storico::chiaveOra(momento);
        if (chiave.empty() || std::find(chiavi.begin(), chiavi.end(), chiave) != chiavi.end())
            continue;
        PuntoOra p;
        p.data = inizioDellOra(momento);
        if (const auto c = ore.find(chiave); c != ore.end()) aggiungi(p, c->second);
        punti.push_back(p);
        chiavi.push_back(std::move(chiave));
    }
    std::reverse(punti.begin(), punti.end());
    return punti;
}

std::vector<PuntoOra> ultimi30Giorni(const StoricoOre& ore, Data adesso) {
    const Data limite = adesso.piùSecondi(-secondiGiorni);
    // Keys sort as their hours do: one sorting before the limit's own is an earlier hour, one
    // after it a later hour; only the limit's own needs its instant. So the time zone rules are
    // read for that key and for each day's midnight, not for every key.
    const std::string chiaveLimite = Storico::chiaveOra(limite);
    struct Giorno {
        PuntoOra somme;
        std::string_view primaOra;
    };
    std::map<std::string_view, Giorno> giorni;  // by "yyyy-MM-dd", which sorts by date
    for (const auto& [chiave, contatore] : ore) {
        if (chiave < chiaveLimite || !Storico::èChiaveOra(chiave)) continue;
        if (chiave == chiaveLimite) {
            const auto inizio = Storico::inizioOra(chiave);
            if (!inizio || *inizio < limite) continue;
        }
        Giorno& g = giorni[std::string_view(chiave).substr(0, 10)];
        if (g.primaOra.empty() || chiave < g.primaOra) g.primaOra = chiave;
        aggiungi(g.somme, contatore);
    }
    std::vector<PuntoOra> punti;
    punti.reserve(giorni.size());
    for (auto& [testo, g] : giorni) {
        // The day begins at its midnight, or where midnight was skipped, at its first hour.
        const QDate data = QDate::fromString(QLatin1String(testo), QStringLiteral("yyyy-MM-dd"));
        const auto mezzanotte = Storico::inizioOra(std::string(testo) + " 00");
        const auto inizio =
            mezzanotte && giorno(*mezzanotte) == data ? mezzanotte : Storico::inizioOra(g.primaOra);
        if (!inizio) continue;
        g.somme.data = *inizio;
        punti.push_back(g.somme);
    }
    return punti;
}

TotaliStorico totali(const StoricoOre& ore) {
    TotaliStorico t;
    for (const auto& [chiave, contatore] : ore) aggiungi(t, contatore);
    return t;
}

QDate giorno(Data momento) {
    const std::tm t = locale(momento);
    return QDate(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
}

int ora(Data momento) {
    return locale(momento).tm_hour;
}

double secondiAlCambioOra(Data adesso) {
    return 3600.0 - adesso.secondiDa(inizioDellOra(adesso));
}

}  // namespace ostrale::CalcoliStorico
