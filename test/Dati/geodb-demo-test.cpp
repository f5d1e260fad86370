// SPDX-License-Identifier: GPL-3.0-or-later
// The demonstration's city database (written by the build, handed to the app by `make demo`),
// read with the app's own reader: every remote address the simulated desktop reaches or is
// reached from is placed in a city, the points spread over the world, and the attackers and the
// command-and-control server each stand apart.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "Condiviso/rete-locale.h"
#include "Estensione/Simulata/scenario.h"
#include "Ostrale/Dati/geo-db.h"

namespace ostrale {
namespace {

// The map's cell of a position: a tenth of a degree each way.
std::pair<long, long> cella(const PosizioneIP& p) {
    return {std::lround(std::floor(p.latitudine * 10)),
            std::lround(std::floor(p.longitudine * 10))};
}

// The scenario's remote addresses over seven cycles (its crawler's sites change with the cycle
// over seven), the ones it is reached from, and the ones it reaches that are on its own C2 list.
struct IndirizziScenario {
    std::set<std::string> tutti, entrata, c2;
};

const IndirizziScenario& indirizziScenario() {
    static const IndirizziScenario indirizzi = [] {
        IndirizziScenario r;
        std::set<std::string> elencoC2;
        std::istringstream elenco(Scenario::elencoC2Dimostrativo());
        for (std::string riga; std::getline(elenco, riga);) {
            if (!riga.empty() && riga[0] != '#') elencoC2.insert(riga);
        }
        Scenario scenario;
        for (const auto& f : scenario.flussi(0, 7 * Scenario::ciclo, 2)) {
            const auto remoto = f->remoto();
            // The app never looks local addresses up.
            if (!remoto || ReteLocale::èLocale(remoto->indirizzo)) continue;
            r.tutti.insert(remoto->indirizzo);
            if (f->èInEntrata()) r.entrata.insert(remoto->indirizzo);
            if (elencoC2.count(remoto->indirizzo)) r.c2.insert(remoto->indirizzo);
        }
        return r;
    }();
    return indirizzi;
}

class GeoDBDemo : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::string(OSTRALE_GEODB_DEMO).empty()) {
            GTEST_SKIP() << "no demonstration city database: MaxMind's writer was missing";
        }
        ASSERT_TRUE(db_.pronto()) << OSTRALE_GEODB_DEMO;
    }

    PosizioneIP posizione(const std::string& ip) const {
        const auto p = db_.cerca(ip);
        EXPECT_TRUE(p) << ip << " is not placed";
        return p.value_or(PosizioneIP{});
    }

    GeoDB db_{std::vector<std::filesystem::path>{OSTRALE_GEODB_DEMO}};
};

TEST_F(GeoDBDemo, EveryRemoteAddressOfTheScenarioIsPlacedInACity) {
    const auto& indirizzi = indirizziScenario().tutti;
    ASSERT_GE(indirizzi.size(), 50u);  // the scenario reaches many hosts
    for (const std::string& ip : indirizzi) {
        const auto p = db_.cerca(ip);
        ASSERT_TRUE(p) << ip << " is not placed";
        EXPECT_TRUE(std::isfinite(p->latitudine) && std::isfinite(p->longitudine)) << ip;
        EXPECT_TRUE(p->latitudine >= -90 && p->latitudine <= 90) << ip << ": " << p->latitudine;
        EXPECT_TRUE(p->longitudine >= -180 && p->longitudine <= 180)
            << ip << ": " << p->longitudine;
        EXPECT_FALSE(p->citta.empty()) << ip;
        EXPECT_FALSE(p->paese.empty() || p->paese == "?") << ip;
    }
}

TEST_F(GeoDBDemo, TheAddressesSpreadOverCitiesOnSeveralContinents) {
    std::set<std::pair<long, long>> celle;
    std::set<std::string> paesi;
    bool nord = false, sud = false, est = false, ovest = false;
    for (const std::string& ip : indirizziScenario().tutti) {
        const PosizioneIP p = posizione(ip);
        celle.insert(cella(p));
        paesi.insert(p.paese);
        nord |= p.latitudine > 0;
        sud |= p.latitudine < 0;
        est |= p.longitudine > 0;
        ovest |= p.longitudine < 0;
    }
    EXPECT_GE(celle.size(), 12u);
    EXPECT_GE(paesi.size(), 8u);
    EXPECT_TRUE(nord && sud && est && ovest);
}

TEST_F(GeoDBDemo, TheAttackersAndTheCommandAndControlServerEachStandApart) {
    const auto& scenario = indirizziScenario();
    ASSERT_GE(scenario.entrata.size(), 2u);  // a port scan and a password guesser
    ASSERT_FALSE(scenario.c2.empty());
    std::map<std::pair<long, long>, std::string> celle;
    for (const auto* gruppo : {&scenario.entrata, &scenario.c2}) {
        for (const std::string& ip : *gruppo) {
            const auto [dove, nuova] = celle.emplace(cella(posizione(ip)), ip);
            EXPECT_TRUE(nuova) << ip << " shares its point with " << dove->second;
        }
    }
}

TEST_F(GeoDBDemo, OnlyDocumentationAddressesArePlaced) {
    for (const char* ip : {"8.8.8.8", "1.1.1.1", "81.2.69.160", "192.0.3.1", "203.0.114.1",
                           "2606:4700:4700::1111", "2001:db9::1"}) {
        EXPECT_FALSE(db_.cerca(ip)) << ip;
    }
    EXPECT_EQ(db_.cerca("2001:db8::1")->paese, "Germania");
    EXPECT_EQ(db_.cerca("192.0.2.1")->citta, "Londra");
}

}  // namespace
}  // namespace ostrale
