// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Simulata/scenario.h"

#include <malloc.h>

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "Condiviso/archivio-condiviso.h"
#include "Estensione/filter-data-provider.h"
#include "test/supporto/cartella-temporanea.h"
#include "test/supporto/finti-estensione.h"

namespace ostrale {
namespace {

// Plays the scenario on the fake clock, second by second of scenario time.
class ScenarioTest : public ::testing::Test {
  protected:
    test::ContenitoreTemporaneo contenitore;
    test::VariabileAmbiente fuso{"TZ", "UTC0"};
    OrologioFinto orologio{Data::daUnix(1796472000.0 + 8 * 3600)};  // 20:00, before the night
    test::PianificatoreFinto pianificatore{orologio};
    test::CanaleFinto canale;
    BlocklistC2 c2{orologio};
    Scenario scenario;
    std::shared_ptr<DestinazioneRegistro> logPrecedente =
        Registro::impostaDestinazione(std::make_shared<DestinazioneMemoria>());
    std::shared_ptr<FilterDataProvider> provider = FilterDataProvider::crea(
        {orologio, pianificatore, scenario, canale, c2, Tracker::condiviso()});

    ScenarioTest() {
        ::tzset();
        ArchivioCondiviso::salva(Scenario::regoleDimostrative());
        ArchivioCondiviso::salvaJSON(Scenario::primeVisteDimostrative(orologio.adesso()),
                                     "prime-viste.json");
        c2.aggiorna(Scenario::elencoC2Dimostrativo());
        test::SorgenteFinta sorgente;
        provider->startFilter(sorgente, nullptr);
    }
    ~ScenarioTest() override {
        Registro::impostaDestinazione(logPrecedente);
        ::unsetenv("TZ");
        ::tzset();
    }

    void suona(double daSecondi, double aSecondi, double sfondo) {
        for (double t = daSecondi; t < aSecondi; t += 1) {
            for (const auto& flusso : scenario.flussi(t, t + 1, sfondo))
                riproduci(*provider, flusso);
            pianificatore.avanza(1);
        }
    }
};

TEST_F(ScenarioTest, EveryAttackPatternShowsUpAcrossTheScenario) {
    suona(0, 9 * 3600, 1);
    const std::set<TipoAttacco>& visti = canale.attacchiVisti;
    std::vector<std::string> mancanti;
    for (TipoAttacco tipo : tuttiICasi<TipoAttacco>()) {
        if (!visti.contains(tipo)) mancanti.emplace_back(valoreGrezzo(tipo));
    }
    EXPECT_TRUE(mancanti.empty()) << "never detected: " << ::testing::PrintToString(mancanti);

    // The everyday traffic shows every kind of verdict too.
    std::set<MotivoDecisione> motivi;
    for (const EventoFlusso& e : canale.flussiInviati()) {
        if (!e.attacco && e.motivo) motivi.insert(*e.motivo);
    }
    for (MotivoDecisione m :
         {MotivoDecisione::regola, MotivoDecisione::predefinita, MotivoDecisione::quarantena,
          MotivoDecisione::fascia, MotivoDecisione::tracker, MotivoDecisione::dominio,
          MotivoDecisione::sistema, MotivoDecisione::attacco}) {
        EXPECT_TRUE(motivi.contains(m)) << "no verdict for " << valoreGrezzo(m);
    }
}

TEST_F(ScenarioTest, MemoryStaysFlatOnceTheTablesAreFull) {
    canale.conserva = false;
    suona(0, 120, 2000);  // two minutes at 2,000 flows per second fill every bounded table
    const std::size_t dopoDueMinuti = mallinfo2().uordblks;
    suona(120, 300, 2000);
    const std::size_t allaFine = mallinfo2().uordblks;
    const double crescita =
        (static_cast<double>(allaFine) - static_cast<double>(dopoDueMinuti)) / (1 << 20);
    EXPECT_LT(crescita, 8.0) << "MiB grown between minute 2 and minute 5";
    EXPECT_EQ(provider->copiaMemoria().registro.size(), Memoria::eventiMassimi);
}

TEST_F(ScenarioTest, PausedFlowsWaitForTheAnswer) {
    StatoRegole regole = Scenario::regoleDimostrative();
    regole.impostazioni.chiediPrima = true;
    canale.gestori.suRegole(regole);
    canale.connetti(true);
    suona(0, 260, 1);  // the never-seen editor starts at 250 s, in quarantine
    const auto domande = canale.domandeInviate();
    const auto editor = std::find_if(domande.begin(), domande.end(), [](const EventoFlusso& e) {
        return e.firmaApp == "/opt/nuovo-editor/editor";
    });
    ASSERT_NE(editor, domande.end());
    EXPECT_EQ(editor->motivo, MotivoDecisione::quarantena);
    EXPECT_GT(provider->flussiSospesi("/opt/nuovo-editor/editor"), 0u);
    canale.gestori.suDecisione("/opt/nuovo-editor/editor", true, std::nullopt);
    EXPECT_EQ(provider->flussiSospesi("/opt/nuovo-editor/editor"), 0u);
}

}  // namespace
}  // namespace ostrale
