// SPDX-License-Identifier: GPL-3.0-or-later
// The geolocation service, the city database updater (against an HTTP server on loopback) and
// this computer's own position.
#include <gtest/gtest.h>

#include <zlib.h>
#include <QNetworkAccessManager>
#include <QTimeZone>
#include <algorithm>
#include <ctime>
#include <fstream>
#include <sstream>

#include "Ostrale/Dati/aggiornatore-geodb.h"
#include "Ostrale/Dati/geo-db.h"
#include "Ostrale/Dati/geo-localizzatore.h"
#include "Ostrale/Linux/posizione-locale.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "test/Ostrale/server-http.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

// `quanti` zero bytes, compressed piece by piece (a bomb: a few hundred KiB for 512 MiB).
QByteArray bomba(std::size_t quanti) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    const std::string zeri(1 << 20, '\0');
    QByteArray uscita;
    char buffer[1 << 16];
    std::size_t resto = quanti;
    int modo = Z_NO_FLUSH;
    do {
        const std::size_t pezzo = std::min(resto, zeri.size());
        resto -= pezzo;
        modo = resto == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeri.data()));
        z.avail_in = static_cast<uInt>(pezzo);
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, modo);
            uscita.append(buffer, static_cast<qsizetype>(sizeof buffer - z.avail_out));
        } while (z.avail_out == 0);
    } while (modo != Z_FINISH);
    deflateEnd(&z);
    return uscita;
}

QByteArray gzip(const std::string& dati) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    QByteArray uscita(static_cast<qsizetype>(deflateBound(&z, dati.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(dati.data()));
    z.avail_in = static_cast<uInt>(dati.size());
    z.next_out = reinterpret_cast<Bytef*>(uscita.data());
    z.avail_out = static_cast<uInt>(uscita.size());
    deflate(&z, Z_FINISH);
    uscita.resize(static_cast<qsizetype>(z.total_out));
    deflateEnd(&z);
    return uscita;
}

// Test databases written once by MaxMind's writer, and a home of the test's own.
class DatiGeo : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        scritti_ = new CartellaTemporanea();
        ASSERT_TRUE(scriviDatabaseDiProva(scritti_->percorso()));
    }
    static void TearDownTestSuite() {
        delete scritti_;
        scritti_ = nullptr;
    }
    static std::filesystem::path scritto(const char* nome) { return scritti_->percorso() / nome; }

    DatiGeo() {
        std::filesystem::create_directories(casa_ / "risorse");
        std::filesystem::copy_file(scritto("annidato-v4.mmdb"),
                                   casa_ / "risorse" / "dbip-city-lite.mmdb");
        ::unsetenv("GEODB_PERCORSO");
        GeoDB::sostituisci(std::make_shared<const GeoDB>());
        preferenze_.imposta(ImpostazioniApp::hostDBIP, server_.base());
    }
    ~DatiGeo() override { GeoDB::sostituisci(nullptr); }

    QString percorsoMese(const QString& mese) const {
        return QStringLiteral("/free/dbip-city-lite-") + mese + QStringLiteral(".mmdb.gz");
    }
    // Runs an update to its end; whether `dopo` ran.
    bool attendi(bool automatico) {
        bool dopo = false;
        if (automatico) {
            aggiornatore_.controllaAutomaticamente([&] { dopo = true; });
        } else {
            aggiornatore_.aggiorna([&] { dopo = true; });
        }
        EXPECT_TRUE(aspetta([&] { return !aggiornatore_.inCorso(); }, 30));
        return dopo;
    }

    static CartellaTemporanea* scritti_;
    CartellaTemporanea casa_;
    VariabileAmbiente dati_{"XDG_DATA_HOME", (casa_ / "dati").string()};
    VariabileAmbiente risorse_{"OSTRALE_RISORSE", (casa_ / "risorse").string()};
    VariabileAmbiente cache_{"OSTRALE_CACHE", (casa_ / "cache").string()};
    OrologioFinto orologio_{Data::daUnix(static_cast<double>(std::time(nullptr)))};
    ImpostazioniApp preferenze_{QString::fromStdString((casa_ / "ostrale.conf").string())};
    ServerHttp server_;
    QNetworkAccessManager rete_;
    AggiornatoreGeoDB aggiornatore_{preferenze_, orologio_, rete_};
};
CartellaTemporanea* DatiGeo::scritti_ = nullptr;

TEST_F(DatiGeo, AddressesAreLookedUpOnceOffTheMainThreadAndAgainAfterAReset) {
    GeoLocalizzatore l;
    l.avvia();
    MappaPosizioni ricevute;
    int consegne = 0;
    QObject::connect(&l, &GeoLocalizzatore::risultati, [&](const MappaPosizioni& p) {
        ricevute.insert(p.begin(), p.end());
        ++consegne;
    });
    for (const char* ip : {"esempio.example", "192.168.1.10", "10.0.0.1", "81.2", "8.8.8.8",
                           "8.8.8.8", "81.2.69.160", "9.9.9.9"}) {
        l.cerca(ip);
    }
    l.attendi();
    gira(0.05);
    EXPECT_EQ(consegne, 2);  // 8.8.8.8 once; 9.9.9.9 has no usable location
    EXPECT_EQ(ricevute.at("81.2.69.160").citta, "Roma");
    l.cerca("8.8.8.8");
    l.attendi();
    gira(0.05);
    EXPECT_EQ(consegne, 2);
    l.azzera();
    l.cerca("8.8.8.8");
    l.attendi();
    gira(0.05);
    EXPECT_EQ(consegne, 3);
    EXPECT_TRUE(GeoLocalizzatore::èPrivato("fe80::1"));
    EXPECT_FALSE(GeoLocalizzatore::èPrivato("2001:4860::1"));
}

TEST_F(DatiGeo, AMissingMonthFallsBackToThePreviousOneWhichIsPickedUpWithoutARestart) {
    const QStringList mesi = AggiornatoreGeoDB::mesiDaProvare(orologio_.adesso());
    const QString questo = mesi[0], scorso = mesi[1];
    // The shipped copy is old (its build date is the writer's, today: make it older by using
    // the manual update, which does not compare).
    server_.imposta(percorsoMese(scorso), {200, gzip(leggiTutto(scritto("annidato-28.mmdb")))});
    EXPECT_FALSE(GeoDB::condiviso()->cerca("2001:db8:1::1"));  // the IPv4-only shipped copy
    EXPECT_TRUE(attendi(false));
    EXPECT_EQ(aggiornatore_.esito(), QStringLiteral("Database aggiornato (%1).").arg(scorso));
    EXPECT_EQ(server_.richieste(), (QStringList{percorsoMese(questo), percorsoMese(scorso)}));
    EXPECT_TRUE(std::filesystem::exists(GeoDB::percorsoScaricato()));
    EXPECT_EQ(GeoDB::condiviso()->cerca("2001:db8:1::1")->citta, "Berlino");
    // Built this month: the scheduled check downloads nothing.
    EXPECT_FALSE(attendi(true));
    EXPECT_EQ(server_.richieste().size(), 2);
}

TEST_F(DatiGeo, BadDownloadsKeepTheDatabaseInUse) {
    const QStringList mesi = AggiornatoreGeoDB::mesiDaProvare(orologio_.adesso());
    const QString questo = mesi[0], scorso = mesi[1];
    const auto prima = GeoDB::condiviso();
    auto prova = [&](ServerHttp::Risposta r, const QString& atteso) {
        server_.imposta(percorsoMese(questo), r);
        server_.imposta(percorsoMese(scorso), {404});
        EXPECT_FALSE(attendi(false));
        EXPECT_EQ(aggiornatore_.esito(), atteso);
        EXPECT_EQ(GeoDB::condiviso(), prima);
        EXPECT_FALSE(std::filesystem::exists(GeoDB::percorsoScaricato()));
        EXPECT_TRUE(GeoDB::condiviso()->cerca("81.2.69.1"));
    };
    const QByteArray buono = gzip(leggiTutto(scritto("annidato-28.mmdb")));
    // Truncated, not gzip at all, gzip of something that is not a database, a bomb past the
    // 512 MiB cap, and nothing published.
    prova({200, buono.left(buono.size() / 2)}, QStringLiteral("Spacchettamento non riuscito."));
    prova({200, "not gzip"}, QStringLiteral("Spacchettamento non riuscito."));
    prova({200, gzip(std::string(4096, 'x'))},
          QStringLiteral("Il database scaricato non è leggibile: tengo quello di prima."));
    prova({200, bomba((std::size_t{512} << 20) + 1)},
          QStringLiteral("Spacchettamento non riuscito."));
    prova({404}, QStringLiteral("Scaricamento non riuscito: riprova più tardi."));
    // A download that cannot be written: the update still ends, and the next one can run.
    server_.imposta(percorsoMese(questo), {200, buono});
    std::filesystem::create_directories(GeoDB::percorsoScaricato().string() + ".gz.parziale");
    EXPECT_FALSE(attendi(false));
    EXPECT_FALSE(aggiornatore_.inCorso());
    EXPECT_EQ(aggiornatore_.esito(),
              QStringLiteral("Scaricamento non riuscito: riprova più tardi."));
    std::filesystem::remove_all(GeoDB::percorsoScaricato().string() + ".gz.parziale");
    EXPECT_TRUE(attendi(false));
}

TEST_F(DatiGeo, TheEditionInUseIsReadFirstAndFollowsAnUpdate) {
    // No database at all.
    std::filesystem::remove(casa_ / "risorse" / "dbip-city-lite.mmdb");
    GeoDB::sostituisci(nullptr);
    const QStringList mesi = AggiornatoreGeoDB::mesiDaProvare(orologio_.adesso());
    ServerHttp::Risposta lenta{200, gzip(leggiTutto(scritto("annidato-28.mmdb")))};
    lenta.gocciaMs = 1;
    server_.imposta(percorsoMese(mesi[0]), lenta);
    int cambi = 0;
    std::vector<int> passi;
    QObject::connect(&aggiornatore_, &AggiornatoreGeoDB::databaseCambiato, [&] { ++cambi; });
    QObject::connect(&aggiornatore_, &AggiornatoreGeoDB::avanzamentoCambiato,
                     [&] { passi.push_back(aggiornatore_.avanzamento()); });
    // The scheduled check reads what is in use first (off the main thread): nothing, so this
    // month's edition comes.
    bool dopo = false;
    aggiornatore_.controllaAutomaticamente([&] { dopo = true; });
    EXPECT_FALSE(aggiornatore_.databaseLetto());
    ASSERT_TRUE(aspetta([&] { return aggiornatore_.inCorso(); }));
    EXPECT_TRUE(aggiornatore_.databaseLetto());
    EXPECT_FALSE(aggiornatore_.dataCostruzione());
    ASSERT_TRUE(aspetta([&] { return !aggiornatore_.inCorso(); }, 30));
    EXPECT_TRUE(dopo);
    ASSERT_TRUE(aggiornatore_.dataCostruzione());
    EXPECT_EQ(aggiornatore_.dataCostruzione(), GeoDB::condiviso()->dataCostruzione());
    EXPECT_EQ(cambi, 2);
    EXPECT_TRUE(std::is_sorted(passi.begin(), passi.end()));
    EXPECT_TRUE(std::any_of(passi.begin(), passi.end(), [](int p) { return p > 0 && p < 100; }));
    EXPECT_EQ(passi.back(), 100);
}

TEST(PosizioneDelComputer, WithoutALocationServiceTheTimeZoneDecides) {
    EXPECT_EQ(PosizioneLocale::ripiegoFuso(QStringLiteral("Europe/Rome")),
              (PosizioneIP{41.9, 12.5, "", ""}));
    EXPECT_FALSE(PosizioneLocale::ripiegoFuso(QStringLiteral("Asia/Tokyo")));
    // A bus without GeoClue: the answer comes at once, from the system's zone.
    BusPrivato bus;
    ASSERT_FALSE(bus.indirizzo().isEmpty());
    VariabileAmbiente fuso("TZ", "Europe/Rome");
    PosizioneLocale p(bus.connessione(QStringLiteral("posizione")));
    std::optional<PosizioneFacoltativa> risposta;
    p.richiedi([&](PosizioneFacoltativa v) { risposta = v; });
    ASSERT_TRUE(aspetta([&] { return risposta.has_value(); }, 10));
    if (QTimeZone::systemTimeZoneId() == "Europe/Rome") {
        EXPECT_EQ(*risposta, (PosizioneIP{41.9, 12.5, "", ""}));
    }
}

}  // namespace
}  // namespace ostrale::test
