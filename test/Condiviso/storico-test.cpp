// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/storico.h"

#include <clocale>
#include <ctime>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "test/supporto/cartella-temporanea.h"

namespace ostrale {
namespace {

class StoricoTest : public ::testing::Test {
  protected:
    void SetUp() override { ::tzset(); }
    void TearDown() override {
        fuso_.reset();
        ::tzset();
    }
    void usaFuso(const std::string& tz) {
        fuso_.reset();
        fuso_.emplace("TZ", tz);
        ::tzset();
    }

  private:
    std::optional<test::VariabileAmbiente> fuso_;
};

constexpr double alle16UtcDel5Dicembre = 1796486400.0;  // 2026-12-05 16:00:00 UTC

TEST_F(StoricoTest, HourKeyIsLocalDateAndHour) {
    usaFuso("CET-1CEST,M3.5.0,M10.5.0/3");
    EXPECT_EQ(Storico::chiaveOra(Data::daUnix(alle16UtcDel5Dicembre + 42 * 60)), "2026-12-05 17");
    usaFuso("UTC0");
    EXPECT_EQ(Storico::chiaveOra(Data::daUnix(alle16UtcDel5Dicembre + 3599.9)), "2026-12-05 16");
    EXPECT_EQ(Storico::chiaveOra(Data::daRiferimento(0)), "2001-01-01 00");
    // The locale never changes digits or calendar.
    const char* precedente = std::setlocale(LC_ALL, "C.UTF-8");
    EXPECT_EQ(Storico::chiaveOra(Data::daUnix(alle16UtcDel5Dicembre)), "2026-12-05 16");
    if (precedente != nullptr) std::setlocale(LC_ALL, "C");
}

TEST_F(StoricoTest, KeysParseToTheFirstInstantOfTheirHour) {
    usaFuso("CET-1CEST,M3.5.0,M10.5.0/3");
    const auto inizio = Storico::inizioOra("2026-12-05 17");
    ASSERT_TRUE(inizio);
    EXPECT_DOUBLE_EQ(inizio->secondiUnix(), alle16UtcDel5Dicembre);
    for (const char* nonChiave :
         {"", "2026-12-05", "2026-12-05 17:00", "2026-13-05 17", "2026-02-29 10", "2026-12-05 24",
          "2026-12-5 17", "abcd-ef-gh ij", "2026/12/05 17", " 2026-12-05 1", "+026-12-05 17"}) {
        EXPECT_FALSE(Storico::inizioOra(nonChiave)) << nonChiave;
        EXPECT_FALSE(Storico::èChiaveOra(nonChiave)) << nonChiave;
    }
    EXPECT_TRUE(Storico::inizioOra("2028-02-29 10"));
    EXPECT_TRUE(Storico::èChiaveOra("2028-02-29 10"));
    EXPECT_TRUE(Storico::èChiaveOra("2026-03-29 02"));  // skipped by the clocks, still a key
}

TEST_F(StoricoTest, PruningKeepsSixtyDaysOfHours) {
    usaFuso("UTC0");
    const Data ore17 = Data::daUnix(alle16UtcDel5Dicembre + 3600);
    StoricoOre ore{{"2026-12-05 17", {1, 0, 0}}, {"testo libero", {2, 0, 0}}, {"", {3, 0, 0}}};
    const auto alLimite = Storico::pota(ore, ore17.piùSecondi(Storico::secondiConservati));
    EXPECT_EQ(alLimite.size(), 1u);
    EXPECT_EQ(alLimite.count("2026-12-05 17"), 1u);
    EXPECT_TRUE(Storico::pota(ore, ore17.piùSecondi(Storico::secondiConservati + 0.001)).empty());
    // An hour that began before the limit is dropped even though it ended after it.
    EXPECT_TRUE(Storico::pota(ore, ore17.piùSecondi(Storico::secondiConservati + 1800)).empty());
}

TEST_F(StoricoTest, KeysCanBeMadeFromManyThreads) {
    usaFuso("CET-1CEST,M3.5.0,M10.5.0/3");
    std::vector<std::thread> fili;
    std::atomic<int> errori = 0;
    for (int f = 0; f < 4; ++f) {
        fili.emplace_back([&errori, f] {
            for (int i = 0; i < 2000; ++i) {
                const Data d = Data::daUnix(alle16UtcDel5Dicembre + 3600.0 * (i + f * 2000));
                const auto chiave = Storico::chiaveOra(d);
                const auto inizio = Storico::inizioOra(chiave);
                // The hour repeated when clocks go back has one key: its first instant.
                if (!inizio || *inizio > d || Storico::chiaveOra(*inizio) != chiave) ++errori;
            }
        });
    }
    for (auto& filo : fili) filo.join();
    EXPECT_EQ(errori, 0);
}

}  // namespace
}  // namespace ostrale
