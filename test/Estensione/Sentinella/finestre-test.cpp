// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Sentinella/finestre.h"

#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace ostrale::sentinella {
namespace {

// The windows keep only what a threshold test needs. Against a plain list of every event in
// the window they must give the same answer to "at least `soglia`?" for any sequence of events,
// including a clock that jumps back.
struct ListaCompleta {
    std::vector<std::pair<Data, std::string>> voci;

    std::size_t eventi(Data adesso, double secondi, const std::string& valore) {
        std::erase_if(voci, [&](const auto& v) { return !inFinestra(v.first, adesso, secondi); });
        voci.emplace_back(adesso, valore);
        return voci.size();
    }
    std::size_t distinti(Data adesso, double secondi, const std::string& valore) {
        eventi(adesso, secondi, valore);
        std::set<std::string> diversi;
        for (const auto& v : voci) diversi.insert(v.second);
        return diversi.size();
    }
};

std::vector<std::pair<double, std::string>> sequenza(std::uint64_t seme, int valori) {
    std::mt19937_64 caso(seme);
    std::vector<std::pair<double, std::string>> eventi;
    double adesso = 1000;
    for (int i = 0; i < 4000; ++i) {
        const auto salto = caso() % 100;
        if (salto < 1) {
            adesso -= static_cast<double>(caso() % 120);  // the clock goes back
        } else if (salto < 3) {
            adesso += static_cast<double>(caso() % 90);
        } else {
            adesso += static_cast<double>(caso() % 1000) / 1000.0;
        }
        eventi.emplace_back(adesso,
                            "v" + std::to_string(caso() % static_cast<std::uint64_t>(valori)));
    }
    return eventi;
}

TEST(Finestre, BoundedWindowsAnswerLikeTheFullList) {
    for (std::uint64_t seme = 1; seme <= 20; ++seme) {
        for (std::size_t soglia : {3u, 10u, 40u}) {
            FinestraTempi tempi;
            FinestraDistinti distinti;
            ListaCompleta tuttiTempi, tuttiDistinti;
            std::size_t scatti = 0;
            for (const auto& [t, valore] : sequenza(seme, static_cast<int>(soglia * 3 / 2))) {
                const Data adesso = Data::daRiferimento(t);
                const bool atteso = tuttiTempi.eventi(adesso, 60, valore) >= soglia;
                ASSERT_EQ(tempi.aggiorna(adesso, 60, soglia) >= soglia, atteso)
                    << "seed " << seme << " at " << t;
                ASSERT_LE(tempi.dimensione(), soglia);
                const bool attesoDistinti = tuttiDistinti.distinti(adesso, 60, valore) >= soglia;
                ASSERT_EQ(distinti.aggiorna(adesso, 60, valore, soglia) >= soglia, attesoDistinti)
                    << "seed " << seme << " at " << t;
                ASSERT_LE(distinti.dimensione(), soglia);
                scatti += attesoDistinti;
            }
            EXPECT_GT(scatti, 0u) << "the sequence never reaches the threshold " << soglia;
        }
    }
}

TEST(Finestre, FirstSightingsKeepTheirFirstTime) {
    FinestraPrimeViste viste;
    const Data t0 = Data::daRiferimento(1000);
    EXPECT_EQ(viste.aggiorna(t0, 300, "a"), 1u);
    EXPECT_EQ(viste.aggiorna(t0.piùSecondi(200), 300, "a"), 1u);  // not refreshed
    EXPECT_EQ(viste.aggiorna(t0.piùSecondi(250), 300, "b"), 2u);
    EXPECT_EQ(viste.aggiorna(t0.piùSecondi(300), 300, "c"), 2u);  // "a" is 300 s old: gone
    for (int i = 0; i < 2000; ++i) viste.aggiorna(t0.piùSecondi(301), 300, std::to_string(i));
    EXPECT_EQ(viste.dimensione(), FinestraPrimeViste::massimo);
}

}  // namespace
}  // namespace ostrale::sentinella
