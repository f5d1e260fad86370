// SPDX-License-Identifier: GPL-3.0-or-later
// The command-and-control list updater against feeds served by an HTTP server on loopback:
// what is extracted, merged, stored and delivered, the bounds of a download, and the schedule.
#include <gtest/gtest.h>

#include <QNetworkAccessManager>
#include <algorithm>
#include <ctime>
#include <optional>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/blocklist-c2.h"
#include "Ostrale/Dati/aggiornatore-c2.h"
#include "Ostrale/Dati/feed-c2.h"
#include "Ostrale/Dati/scaricatore.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "test/Ostrale/server-http.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

TEST(FeedC2, WhatIsTakenFromEachKindOfLine) {
    const auto piano = feedC2::estrai(
        "# Feodo Tracker\n1.2.3.4\r\n  5.6.7.8  \n1.2.3.4 # comment\n1.2.3\n1.2.3.256\n1..2.3\n"
        "010.1.1.1\x0b"
        "9.9.9.9\xe2\x80\xa8"
        "8.8.4.4\n\n#9.9.9.8\n",
        false);
    EXPECT_EQ(piano,
              (std::set<std::string>{"1.2.3.4", "5.6.7.8", "010.1.1.1", "9.9.9.9", "8.8.4.4"}));
    const auto csv = feedC2::estrai(
        "# ThreatFox\n"
        "\"2026-12-07 10:00:00\",\"1234567\",\"185.1.2.3:443\",\"ip:port\",\"botnet_cc\"\n"
        "\"2026-12-07 10:00:01\",\"1234568\",\"no address here\",\"ip:port\"\n"
        "\"2026-12-07\",\"999.1.1.1:80\",\"x\",\"8.8.8.8:53\"\n",
        true);
    EXPECT_EQ(csv, (std::set<std::string>{"185.1.2.3", "8.8.8.8"}));
    EXPECT_EQ(feedC2::primoIPv4("1.2.3.4"), "1.2.3.4");
    EXPECT_FALSE(feedC2::primoIPv4("١.٢.٣.٤"));  // other numerals are collected, then refused
    EXPECT_EQ(feedC2::unisci({"9.9.9.9", "10.0.0.1", "1.1.1.1"}), "1.1.1.1\n10.0.0.1\n9.9.9.9");
    EXPECT_EQ(Scaricamento::base(QStringLiteral("feodotracker.abuse.ch")),
              QUrl(QStringLiteral("https://feodotracker.abuse.ch")));
}

class AggiornamentoC2 : public ::testing::Test {
  protected:
    AggiornamentoC2() {
        std::filesystem::create_directories(cartella_ / "contenitore");
        preferenze_.imposta(ImpostazioniApp::hostFeodo, server_.base());
        preferenze_.imposta(ImpostazioniApp::hostThreatFox, server_.base());
    }

    // `quanti` addresses from `da` in each line form.
    static QByteArray elenco(int quanti, int da = 0) {
        QByteArray t = "# Feodo Tracker IP block list\n# generated\n";
        for (int i = da; i < da + quanti; ++i) {
            t += "192.0." + QByteArray::number(i / 250) + "." + QByteArray::number(i % 250 + 1) +
                 "\n";
        }
        return t + "not an address\n";
    }
    static QByteArray csv(int quanti, int da = 0) {
        QByteArray t = "################\n# ThreatFox IOCs\n";
        for (int i = da; i < da + quanti; ++i) {
            t += "\"2026-12-07 0" + QByteArray::number(i % 10) + ":00:00\",\"" +
                 QByteArray::number(900000 + i) + "\",\"192.0." + QByteArray::number(i / 250) +
                 "." + QByteArray::number(i % 250 + 1) + ":443\",\"ip:port\",\"botnet_cc\"\n";
        }
        return t;
    }
    void feeds(ServerHttp::Risposta feodo, ServerHttp::Risposta threatfox) {
        server_.imposta(QLatin1String(AggiornatoreC2::percorsoFeodo), std::move(feodo));
        server_.imposta(QLatin1String(AggiornatoreC2::percorsoThreatFox), std::move(threatfox));
    }

    // Runs an update to its end; the delivered text, if any.
    std::optional<std::string> aggiorna(bool silenzioso = false) {
        std::optional<std::string> consegnato;
        int consegne = 0;
        aggiornatore_.aggiorna(silenzioso, [&](std::string t) {
            consegnato = std::move(t);
            ++consegne;
        });
        EXPECT_TRUE(aggiornatore_.inCorso());
        EXPECT_TRUE(aspetta([&] { return !aggiornatore_.inCorso(); }, 30));
        EXPECT_LE(consegne, 1);
        return consegnato;
    }

    CartellaTemporanea cartella_;
    VariabileAmbiente contenitore_{"OSTRALE_CONTENITORE", (cartella_ / "contenitore").string()};
    OrologioFinto orologio_{Data::daUnix(static_cast<double>(std::time(nullptr)))};
    ImpostazioniApp preferenze_{QString::fromStdString((cartella_ / "ostrale.conf").string())};
    BlocklistC2 blocklist_{orologio_};
    ServerHttp server_;
    QNetworkAccessManager rete_;
    AggiornatoreC2 aggiornatore_{preferenze_, blocklist_, orologio_, rete_};
};

TEST_F(AggiornamentoC2, BothFeedsAreMergedStoredAndDeliveredOnce) {
    feeds({200, elenco(60)}, {200, csv(60, 40)});  // 20 addresses in both
    const auto testo = aggiorna();
    ASSERT_TRUE(testo);
    EXPECT_EQ(std::count(testo->begin(), testo->end(), '\n'), 99);  // 100 addresses
    EXPECT_EQ(aggiornatore_.esito(), QStringLiteral("Lista aggiornata: 100 indirizzi"));
    EXPECT_EQ(ArchivioCondiviso::leggi(BlocklistC2::nomeFile), testo);
    EXPECT_TRUE(blocklist_.contiene("192.0.0.1"));
    EXPECT_TRUE(blocklist_.contiene("192.0.0.100"));
    EXPECT_EQ(server_.richieste(), (QStringList{QLatin1String(AggiornatoreC2::percorsoFeodo),
                                                QLatin1String(AggiornatoreC2::percorsoThreatFox)}));
    EXPECT_DOUBLE_EQ(preferenze_.comeDouble(ImpostazioniApp::c2UltimoTentativo),
                     orologio_.adesso().secondiUnix());
    // A second call while one runs changes nothing.
    aggiornatore_.aggiorna(false, [](std::string) {});
    aggiornatore_.aggiorna(false, [](std::string) { ADD_FAILURE() << "a second update ran"; });
    EXPECT_TRUE(aspetta([&] { return !aggiornatore_.inCorso(); }, 30));
    EXPECT_EQ(server_.richieste().size(), 4);
}

TEST_F(AggiornamentoC2, TooFewAddressesKeepThePreviousList) {
    feeds({200, elenco(60)}, {404, "no"});
    const auto prima = aggiorna();
    ASSERT_TRUE(prima);  // one feed is enough
    EXPECT_EQ(aggiornatore_.esito(), QStringLiteral("Lista aggiornata: 60 indirizzi"));
    feeds({200, elenco(30, 500)}, {200, csv(19, 600)});  // 49 in all
    EXPECT_FALSE(aggiorna());
    EXPECT_EQ(aggiornatore_.esito(),
              QStringLiteral("Scaricamento non riuscito: resta la lista precedente."));
    EXPECT_EQ(ArchivioCondiviso::leggi(BlocklistC2::nomeFile), prima);
    feeds({200, elenco(30, 500)}, {200, csv(20, 600)});  // 50
    const auto cinquanta = aggiorna();
    ASSERT_TRUE(cinquanta);
    EXPECT_EQ(aggiornatore_.esito(), QStringLiteral("Lista aggiornata: 50 indirizzi"));
}

TEST_F(AggiornamentoC2, BoundedDownloadsFailWithoutTouchingTheList) {
    feeds({200, elenco(60)}, {200, csv(60)});
    const auto prima = aggiorna();
    ASSERT_TRUE(prima);
    // A redirect loop and a body of 20 MiB.
    feeds(
        {302, {}, "Location: " + server_.base().toUtf8() + AggiornatoreC2::percorsoFeodo + "\r\n"},
        {200, QByteArray(20 << 20, '1'), {}, true});
    EXPECT_FALSE(aggiorna(true));
    EXPECT_EQ(aggiornatore_.esito(),
              QStringLiteral("Scaricamento non riuscito: resta la lista precedente."));
    EXPECT_EQ(ArchivioCondiviso::leggi(BlocklistC2::nomeFile), prima);
    EXPECT_EQ(server_.richieste().count(QLatin1String(AggiornatoreC2::percorsoFeodo)),
              1 + 1 + Scaricamento::redirezioniMassime);
    // Not UTF-8, and a server that is not there.
    feeds({200, "\xff\xfe" + elenco(60)}, {200, csv(10)});
    EXPECT_FALSE(aggiorna());
    preferenze_.imposta(ImpostazioniApp::hostThreatFox, QStringLiteral("http://127.0.0.1:1"));
    EXPECT_FALSE(aggiorna());
    EXPECT_EQ(ArchivioCondiviso::leggi(BlocklistC2::nomeFile), prima);
}

TEST_F(AggiornamentoC2, TheScheduleWaitsAnHourWithoutAListAndADayWithOne) {
    feeds({200, elenco(60)}, {200, csv(60)});
    auto controlla = [&] {
        bool partito = false;
        aggiornatore_.controllaAutomaticamente([](std::string) {});
        partito = aggiornatore_.inCorso();
        EXPECT_TRUE(aspetta([&] { return !aggiornatore_.inCorso(); }, 30));
        return partito;
    };
    // No list yet: an hour.
    preferenze_.imposta(ImpostazioniApp::c2UltimoTentativo,
                        orologio_.adesso().secondiUnix() - 1800);
    EXPECT_FALSE(controlla());
    preferenze_.imposta(ImpostazioniApp::c2UltimoTentativo,
                        orologio_.adesso().secondiUnix() - 3660);
    EXPECT_TRUE(controlla());
    // A list stored: a day.
    orologio_.avanza(7200);
    EXPECT_FALSE(controlla());
    orologio_.avanza(86400);
    EXPECT_TRUE(controlla());
}

TEST_F(AggiornamentoC2, TheListInUseAndTheDownloadsProgressArePublished) {
    CartellaTemporanea risorse;
    risorse.scrivi("c2.txt", "# shipped\n198.51.100.1\n198.51.100.2\n198.51.100.3\n");
    VariabileAmbiente spedita("OSTRALE_RISORSE", risorse.percorso().string());
    int cambi = 0;
    std::vector<int> passi;
    QObject::connect(&aggiornatore_, &AggiornatoreC2::listaCambiata, [&] { ++cambi; });
    QObject::connect(&aggiornatore_, &AggiornatoreC2::avanzamentoCambiato,
                     [&] { passi.push_back(aggiornatore_.avanzamento()); });
    // The shipped edition, read off the main thread: its size, and no date.
    aggiornatore_.leggiLista();
    EXPECT_FALSE(aggiornatore_.listaLetta());
    ASSERT_TRUE(aspetta([&] { return aggiornatore_.listaLetta(); }));
    EXPECT_EQ(aggiornatore_.indirizzi(), 3);
    EXPECT_FALSE(aggiornatore_.dataLista());
    EXPECT_EQ(cambi, 1);

    // Both feeds told a byte at a time: the progress climbs through each half to the end.
    ServerHttp::Risposta feodo{200, elenco(60)}, threatfox{200, csv(60, 40)};
    feodo.gocciaMs = threatfox.gocciaMs = 1;
    feeds(feodo, threatfox);
    ASSERT_TRUE(aggiorna());
    EXPECT_TRUE(std::is_sorted(passi.begin(), passi.end()));
    EXPECT_TRUE(std::any_of(passi.begin(), passi.end(), [](int p) { return p > 0 && p < 50; }));
    EXPECT_TRUE(std::any_of(passi.begin(), passi.end(), [](int p) { return p > 50 && p < 100; }));
    EXPECT_EQ(passi.back(), 100);
    EXPECT_EQ(aggiornatore_.indirizzi(), 100);
    EXPECT_EQ(aggiornatore_.dataLista(), orologio_.adesso());
    EXPECT_EQ(cambi, 2);

    // A feed without a length has no known progress.
    feeds({404}, {200, csv(10), {}, true});
    passi.clear();
    EXPECT_FALSE(aggiorna());
    EXPECT_NE(std::find(passi.begin(), passi.end(), -1), passi.end());

    // Another reader of the container finds the stored list and its file's date.
    BlocklistC2 altra(orologio_);
    AggiornatoreC2 secondo(preferenze_, altra, orologio_, rete_);
    secondo.leggiLista();
    ASSERT_TRUE(aspetta([&] { return secondo.listaLetta(); }));
    EXPECT_EQ(secondo.indirizzi(), 100);
    ASSERT_TRUE(secondo.dataLista());
    EXPECT_NEAR(secondo.dataLista()->secondiUnix(), static_cast<double>(std::time(nullptr)), 60);
}

}  // namespace
}  // namespace ostrale::test
