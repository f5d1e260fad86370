// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/memoria.h"

#include <gtest/gtest.h>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/storico.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale {
namespace {

const Data t0 = Data::daRiferimento(800'000'000.0);
constexpr double giorno = 86400;

EventoFlusso evento(int n) {
    EventoFlusso e;
    e.data = t0.piùSecondi(n);
    e.host = "h" + std::to_string(n);
    return e;
}

std::vector<EventoFlusso> eventi(const json::RegistroCondiviso& registro) {
    std::vector<EventoFlusso> copia;
    for (const auto& e : registro) copia.push_back(*e);
    return copia;
}

TEST(Memoria, TheLogKeepsTheNewestTenThousand) {
    Memoria m;
    for (int i = 1; i <= 10001; ++i) m.aggiungiAlRegistro(evento(i));
    ASSERT_EQ(m.registro().size(), 10000u);
    EXPECT_EQ(m.registro().front()->host, "h2");
    EXPECT_EQ(m.registro().back()->host, "h10001");
    const auto inviati = m.flussi();
    ASSERT_EQ(inviati.size(), 3000u);
    EXPECT_EQ(inviati.front().host, "h7002");
    EXPECT_EQ(inviati.back().host, "h10001");
}

TEST(Memoria, AddressTableStopsGrowingAtItsLimit) {
    Memoria m;
    for (int i = 0; i < 5000; ++i) {
        m.contabilizzaFlusso(evento(i), t0, true, false, false, "/usr/bin/a",
                             "10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256),
                             DirezioneFlusso::uscita, "h");
    }
    ASSERT_EQ(m.storicoIP().size(), 5000u);
    m.contabilizzaFlusso(evento(1), t0, false, false, false, "/usr/bin/b", "203.0.113.1",
                         DirezioneFlusso::entrata, "nuovo");
    EXPECT_EQ(m.storicoIP().size(), 5000u);
    m.contabilizzaFlusso(evento(2), t0, false, true, true, "/usr/bin/b", "10.1.0.7",
                         DirezioneFlusso::entrata, "noto");
    const VoceIPStorico& noto = m.storicoIP().at("10.1.0.7");
    EXPECT_EQ(noto, (VoceIPStorico{2, 1, 1, "noto", "/usr/bin/b"}));
    EXPECT_EQ(m.storicoApp().at("/usr/bin/b"), (VoceAppStorico{2, 1, 2, 1}));
    EXPECT_EQ(m.storicoOre().at(Storico::chiaveOra(t0)), (ContatoreOra{5000, 2, 1}));
    EXPECT_EQ(m.registro().size(), 5002u);
}

TEST(Memoria, HabitsAndAnomalies) {
    for (bool avvisa : {true, false}) {
        Memoria m;
        const Data primaVista = t0;
        const Data dopoDueGiorni = t0.piùSecondi(2 * giorno);
        for (const char* d : {"a.com", "b.com", "c.com"}) {
            EXPECT_FALSE(m.verificaAbitudine("/usr/bin/app", d, primaVista, t0, avvisa));
        }
        EXPECT_EQ(m.verificaAbitudine("/usr/bin/app", "d.com", primaVista, dopoDueGiorni, avvisa),
                  avvisa);
        EXPECT_TRUE(m.abitudini().at("/usr/bin/app").contains("d.com"));
        EXPECT_FALSE(
            m.verificaAbitudine("/usr/bin/app", "a.com", primaVista, dopoDueGiorni, avvisa));
    }
    Memoria m;
    for (int i = 0; i < 10; ++i) {
        m.verificaAbitudine("/usr/bin/young", "d" + std::to_string(i) + ".com", t0, t0, true);
    }
    EXPECT_FALSE(
        m.verificaAbitudine("/usr/bin/young", "new.com", t0, t0.piùSecondi(23 * 3600), true));
    EXPECT_FALSE(m.verificaAbitudine("/usr/bin/young", "", t0, t0.piùSecondi(3 * giorno), true));
    EXPECT_FALSE(m.verificaAbitudine("sconosciuta", "x.com", t0, t0.piùSecondi(3 * giorno), true));
    EXPECT_FALSE(m.abitudini().contains("sconosciuta"));

    for (int i = 0; i < 200; ++i) {
        m.verificaAbitudine("/usr/bin/full", "d" + std::to_string(i) + ".com", t0, t0, true);
    }
    ASSERT_TRUE(m.prendiDaSalvare());
    EXPECT_TRUE(
        m.verificaAbitudine("/usr/bin/full", "extra.com", t0, t0.piùSecondi(3 * giorno), true));
    EXPECT_FALSE(m.abitudini().at("/usr/bin/full").contains("extra.com"));
    EXPECT_FALSE(m.daSalvare());
}

TEST(Memoria, AHabitOfEarlierDaysSurvivesARestartAndANewOneWaitsADay) {
    test::ContenitoreTemporaneo contenitore;
    contenitore.cartella().scrivi("abitudini.json", R"({"/usr/bin/posta": ["posta.example"]})");
    Memoria m;
    m.assegna(Memoria::leggiFile(t0));
    // Learnt before the files say when: a habit of earlier days.
    EXPECT_TRUE(m.abitudineConsolidata("/usr/bin/posta", "posta.example", t0));
    EXPECT_FALSE(m.abitudineConsolidata("/usr/bin/posta", "nuovo.example", t0));
    EXPECT_FALSE(m.abitudineConsolidata("/usr/bin/posta", "", t0));
    // Learnt now: not a habit until a day has passed, and a restart in between changes nothing.
    m.verificaAbitudine("/usr/bin/posta", "nuovo.example", t0, t0, false);
    EXPECT_FALSE(m.abitudineConsolidata("/usr/bin/posta", "nuovo.example", t0.piùSecondi(3600)));
    Memoria::scriviFile(*m.prendiDaSalvare());
    Memoria riavviata;
    riavviata.assegna(Memoria::leggiFile(t0.piùSecondi(7200)));
    const Data dopo = t0.piùSecondi(7200);
    EXPECT_FALSE(riavviata.abitudineConsolidata("/usr/bin/posta", "nuovo.example", dopo));
    EXPECT_TRUE(riavviata.abitudineConsolidata("/usr/bin/posta", "posta.example", dopo));
    EXPECT_TRUE(
        riavviata.abitudineConsolidata("/usr/bin/posta", "nuovo.example", t0.piùSecondi(giorno)));
    // A day later the file no longer lists it, nor does the memory once it learns again.
    EXPECT_TRUE(Memoria::leggiFile(t0.piùSecondi(giorno)).abitudiniRecenti.empty());
    riavviata.verificaAbitudine("/usr/bin/posta", "altro.example", t0, t0.piùSecondi(giorno),
                                false);
    EXPECT_EQ(riavviata.copia().abitudiniRecenti.size(), 1u);
}

TEST(Memoria, DecisionsCountInTheHourOfTheAnswer) {
    Memoria m;
    m.contabilizzaDecisione("/usr/bin/app", false, 3, t0);
    m.contabilizzaDecisione("/usr/bin/app", true, 2, t0.piùSecondi(3600));
    EXPECT_EQ(m.storicoOre().at(Storico::chiaveOra(t0)), (ContatoreOra{0, 3, 0}));
    EXPECT_EQ(m.storicoOre().at(Storico::chiaveOra(t0.piùSecondi(3600))), (ContatoreOra{2, 0, 0}));
    EXPECT_EQ(m.storicoApp().at("/usr/bin/app"), (VoceAppStorico{5, 0, 3, 0}));
    EXPECT_TRUE(m.registro().empty());
    EXPECT_TRUE(m.storicoIP().empty());
}

TEST(Memoria, FilesRoundTripAndACorruptFileLoadsEmptyAlone) {
    test::ContenitoreTemporaneo contenitore;
    Memoria m;
    m.annotaPrimaVista("/usr/bin/app", t0);
    m.verificaAbitudine("/usr/bin/app", "example.org", t0, t0, false);
    m.contabilizzaFlusso(evento(1), t0, true, true, false, "/usr/bin/app", "203.0.113.9",
                         DirezioneFlusso::uscita, "www.example.org");
    const auto copia = m.prendiDaSalvare();
    ASSERT_TRUE(copia);
    EXPECT_FALSE(m.prendiDaSalvare());
    Memoria::scriviFile(*copia);
    for (const char* nome :
         {"prime-viste.json", "abitudini.json", "abitudini-recenti.json", "storico-ore.json",
          "storico-app.json", "storico-ip.json", "registro-flussi.json"}) {
        EXPECT_TRUE(std::filesystem::exists(contenitore / nome)) << nome;
    }

    const auto letta = Memoria::leggiFile(t0);
    EXPECT_EQ(letta.primeViste, copia->primeViste);
    EXPECT_EQ(letta.abitudini, copia->abitudini);
    EXPECT_EQ(letta.abitudiniRecenti, copia->abitudiniRecenti);
    EXPECT_EQ(letta.abitudiniRecenti.size(), 1u);
    EXPECT_EQ(letta.storicoOre, copia->storicoOre);
    EXPECT_EQ(letta.storicoApp, copia->storicoApp);
    EXPECT_EQ(letta.storicoIP, copia->storicoIP);
    EXPECT_EQ(eventi(letta.registro), eventi(copia->registro));

    contenitore.cartella().scrivi("storico-app.json", R"({"/usr/bin/app": {"totale": 1}})");
    contenitore.cartella().scrivi("storico-ip.json", "{\"203.0.113.9\": ");
    const auto parziale = Memoria::leggiFile(t0);
    EXPECT_TRUE(parziale.storicoApp.empty());
    EXPECT_TRUE(parziale.storicoIP.empty());
    EXPECT_EQ(parziale.primeViste, copia->primeViste);
    EXPECT_EQ(eventi(parziale.registro), eventi(copia->registro));

    // Hours older than 60 days are pruned on loading.
    EXPECT_TRUE(Memoria::leggiFile(t0.piùSecondi(61 * giorno)).storicoOre.empty());
    // Without a container everything is empty.
    test::VariabileAmbiente senza("OSTRALE_CONTENITORE", (contenitore / "assente").string());
    EXPECT_TRUE(Memoria::leggiFile(t0).primeViste.empty());
}

TEST(Memoria, ApplicationsAreBoundedAndTheFilesStayLoadable) {
    // Any user can make copies of a program under long paths: 20,000 identities of the longest
    // kind, each with its habits and counts, against an application in daily use.
    test::ContenitoreTemporaneo contenitore;
    Memoria m;
    const std::string inUso = "/usr/bin/editor";
    m.annotaPrimaVista(inUso, t0);
    m.verificaAbitudine(inUso, "example.org", t0, t0, false);
    const std::string lungo(1000, 'c');
    for (int i = 0; i < 20'000; ++i) {
        const Data quando = t0.piùSecondi(60.0 + i);
        const std::string copia = "/home/u/" + lungo + std::to_string(i);
        m.annotaPrimaVista(copia, quando);
        for (int d = 0; d < 3; ++d) {
            m.verificaAbitudine(copia, "d" + std::to_string(d) + std::string(200, 'x') + ".example",
                                quando, quando, false);
        }
        m.contabilizzaFlusso(evento(i), quando, true, false, false, copia, std::nullopt,
                             DirezioneFlusso::uscita, "h.example");
        if (i % 200 == 0) m.annotaPrimaVista(inUso, quando);  // still used now and then
    }
    EXPECT_LE(m.primeViste().size(), Memoria::applicazioniMassime);
    EXPECT_LE(m.abitudini().size(), Memoria::applicazioniMassime);
    EXPECT_LE(m.storico().app.size(), Memoria::applicazioniMassime);
    // The application in use keeps its first sighting (no second quarantine) and its habits.
    ASSERT_TRUE(m.primeViste().contains(inUso));
    EXPECT_EQ(m.primeViste().at(inUso), t0);
    EXPECT_TRUE(m.abitudini().at(inUso).contains("example.org"));

    const auto copia = m.prendiDaSalvare();
    ASSERT_TRUE(copia);
    Memoria::scriviFile(*copia);
    for (const char* nome : {"prime-viste.json", "abitudini.json", "storico-app.json"}) {
        EXPECT_LT(std::filesystem::file_size(contenitore / nome),
                  ArchivioCondiviso::dimensioneMassimaLettura)
            << nome;
    }
    const auto letta = Memoria::leggiFile(t0);
    EXPECT_EQ(letta.primeViste, copia->primeViste);
    EXPECT_EQ(letta.abitudini, copia->abitudini);
    EXPECT_EQ(letta.storicoApp, copia->storicoApp);
    // A file written by an earlier version with more applications is brought within the bound.
    Memoria ricaricata;
    Memoria::Contenuto grande;
    for (int i = 0; i < 3000; ++i) grande.primeViste["/opt/a" + std::to_string(i)] = t0;
    ricaricata.assegna(std::move(grande));
    EXPECT_LE(ricaricata.primeViste().size(), Memoria::applicazioniMassime);
}

}  // namespace
}  // namespace ostrale
