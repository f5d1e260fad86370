// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/blocklist-c2.h"

#include <atomic>
#include <string>
#include <thread>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "Condiviso/archivio-condiviso.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale {
namespace {

std::string elencoDi(int quanti, const std::string& prefisso = "198.51.100.") {
    std::string testo = "# Command-and-control addresses\n\n";
    for (int i = 0; i < quanti; ++i) testo += prefisso + std::to_string(i) + "\r\n";
    testo += "# end\n" + prefisso + "0\n";  // a duplicate does not count twice
    return testo;
}

class BlocklistC2Test : public ::testing::Test {
  protected:
    test::ContenitoreTemporaneo contenitore;
    test::CartellaTemporanea risorse;
    test::VariabileAmbiente variabileRisorse{"OSTRALE_RISORSE", risorse.percorso().string()};
    OrologioFinto orologio{Data::daRiferimento(800'000'000.0)};
};

TEST_F(BlocklistC2Test, FewerThanFiftyEntriesAreRefused) {
    BlocklistC2 c2(orologio);
    EXPECT_EQ(c2.aggiorna(elencoDi(49)), 0);
    EXPECT_FALSE(std::filesystem::exists(contenitore / "c2-aggiornata.txt"));
    EXPECT_TRUE(c2.insieme()->empty());
    EXPECT_FALSE(c2.dataCache());

    const std::string testo = elencoDi(50);
    EXPECT_EQ(c2.aggiorna(testo), 50);
    EXPECT_EQ(contenitore.cartella().leggi("c2-aggiornata.txt"), testo);
    EXPECT_TRUE(c2.contiene("198.51.100.49"));
    EXPECT_FALSE(c2.contiene("198.51.100.50"));
    EXPECT_EQ(c2.dataCache(), orologio.adesso());

    // A later refusal keeps both the installed list and the file.
    EXPECT_EQ(c2.aggiorna(elencoDi(10, "203.0.113.")), 0);
    EXPECT_TRUE(c2.contiene("198.51.100.0"));
    EXPECT_EQ(contenitore.cartella().leggi("c2-aggiornata.txt"), testo);
    EXPECT_EQ(c2.aggiorna("\xff" + elencoDi(60)), 0);  // not UTF-8
}

TEST_F(BlocklistC2Test, DownloadedListWinsOverTheShippedEdition) {
    risorse.scrivi("c2.txt", "# shipped\n192.0.2.1\n192.0.2.2\n");
    {
        BlocklistC2 c2(orologio);
        EXPECT_TRUE(c2.contiene("192.0.2.1"));
        EXPECT_FALSE(c2.dataCache());
    }
    contenitore.cartella().scrivi("c2-aggiornata.txt", elencoDi(3));
    {
        BlocklistC2 c2(orologio);
        EXPECT_TRUE(c2.contiene("198.51.100.2"));
        EXPECT_FALSE(c2.contiene("192.0.2.1"));
    }
    // Only comments: the shipped edition is used, yet the file's date is reported.
    contenitore.cartella().scrivi("c2-aggiornata.txt", "# nothing today\n");
    const timespec tempi[2] = {{1'700'000'000, 0}, {1'700'000'000, 500'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (contenitore / "c2-aggiornata.txt").c_str(), tempi, 0), 0);
    BlocklistC2 c2(orologio);
    EXPECT_TRUE(c2.contiene("192.0.2.2"));
    ASSERT_TRUE(c2.dataCache());
    EXPECT_DOUBLE_EQ(c2.dataCache()->secondiUnix(), 1'700'000'000.5);
}

TEST_F(BlocklistC2Test, WithoutContainerTheListLivesInMemory) {
    test::VariabileAmbiente senza("OSTRALE_CONTENITORE", (contenitore / "assente").string());
    BlocklistC2 c2(orologio);
    EXPECT_FALSE(BlocklistC2::dataFileAggiornato());
    EXPECT_EQ(c2.aggiorna(elencoDi(50)), 50);
    EXPECT_TRUE(c2.contiene("198.51.100.7"));
    EXPECT_EQ(c2.dataCache(), orologio.adesso());
}

TEST_F(BlocklistC2Test, ReadersSeeWholeListsWhileANewOneArrives) {
    BlocklistC2 c2(orologio);
    ASSERT_EQ(c2.aggiorna(elencoDi(100, "198.51.100.")), 100);
    std::atomic<bool> fine = false;
    std::atomic<int> incoerenze = 0;
    std::thread lettore([&] {
        while (!fine) {
            const auto insieme = c2.insieme();
            const bool vecchia = insieme->contains("198.51.100.99");
            const bool nuova = insieme->contains("203.0.113.99");
            if (vecchia == nuova || insieme->size() != 100) ++incoerenze;
        }
    });
    for (int i = 0; i < 50; ++i) {
        c2.aggiorna(elencoDi(100, i % 2 ? "198.51.100." : "203.0.113."));
    }
    fine = true;
    lettore.join();
    EXPECT_EQ(incoerenze, 0);
}

}  // namespace
}  // namespace ostrale
