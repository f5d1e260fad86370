// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/tracker.h"

#include <gtest/gtest.h>

#include "Condiviso/testo.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale {
namespace {

TEST(Tracker, HostOrParentDomainMatches) {
    const Tracker elenco = Tracker::daTesto("doubleclick.net\nmetrics.example.co.uk\ncom\n");
    EXPECT_TRUE(elenco.contiene("doubleclick.net"));
    EXPECT_TRUE(elenco.contiene("ad.doubleclick.net"));
    EXPECT_TRUE(elenco.contiene("a.b.c.d.e.f.g.h.doubleclick.net"));
    EXPECT_TRUE(elenco.contiene("AD.DoubleClick.NET"));
    EXPECT_TRUE(elenco.contiene("ad..doubleclick.net."));  // empty labels are ignored
    EXPECT_TRUE(elenco.contiene("x.metrics.example.co.uk"));
    EXPECT_FALSE(elenco.contiene("example.co.uk"));
    EXPECT_FALSE(elenco.contiene("net"));
    EXPECT_FALSE(elenco.contiene("com"));  // a one-label entry never matches
    EXPECT_FALSE(elenco.contiene("example.com"));
    EXPECT_FALSE(elenco.contiene("notdoubleclick.net"));
    EXPECT_FALSE(elenco.contiene("doubleclick.network"));
    EXPECT_FALSE(elenco.contiene("?"));
    EXPECT_FALSE(elenco.contiene(""));
    EXPECT_FALSE(Tracker().contiene("doubleclick.net"));
    // Letters beyond ASCII are compared case-insensitively too.
    const Tracker unicode = Tracker::daTesto("ÄDS.example\n");
    EXPECT_TRUE(unicode.contiene("x.äds.EXAMPLE"));
    EXPECT_TRUE(unicode.contiene("ÄDS.example"));
}

TEST(Tracker, ListFileFormat) {
    const Tracker elenco = Tracker::daTesto(
        "# header\r\n"
        "  Ads.Example  \r\n"
        "\tcrlf.example\r\n"
        "vt.example\vff.example\fnel.example\u0085ls.example\u2028ps.example\u2029"
        "\u00a0nbsp.example\u3000\n"
        "\n\n"
        "hash.example # not a comment\n"
        "  # indented comment\n"
        "dup.example\nDUP.example\n");
    const InsiemeTesti atteso{"ads.example", "crlf.example", "vt.example",
                              "ff.example",  "nel.example",  "ls.example",
                              "ps.example",  "nbsp.example", "hash.example # not a comment",
                              "dup.example"};
    EXPECT_EQ(elenco.domini(), atteso);
}

TEST(Tracker, UnreadableFilesGiveAnEmptyList) {
    test::CartellaTemporanea cartella;
    EXPECT_TRUE(Tracker::carica(cartella / "assente.txt").domini().empty());
    cartella.scrivi("latin1.txt", "ads.example\n\xe9t\xe9.example\n");
    EXPECT_TRUE(Tracker::carica(cartella / "latin1.txt").domini().empty());
    cartella.scrivi("buono.txt", "ads.example\n");
    EXPECT_EQ(Tracker::carica(cartella / "buono.txt").domini().size(), 1u);
    EXPECT_TRUE(Tracker::carica(cartella.percorso()).domini().empty());  // a directory
}

TEST(Tracker, ShippedListIsARealList) {
    const auto& domini = Tracker::condiviso().domini();
    EXPECT_GE(domini.size(), 20000u);
    for (const auto& dominio : domini) {
        ASSERT_EQ(dominio, testo::minuscole(dominio));
        ASSERT_NE(dominio.find('.'), std::string::npos) << dominio;
    }
    EXPECT_TRUE(Tracker::èTracker("stats.g.doubleclick.net"));
    EXPECT_TRUE(Tracker::èTracker("www.GoogleTagManager.com"));
    EXPECT_FALSE(Tracker::èTracker("deb.debian.org"));
}

}  // namespace
}  // namespace ostrale
