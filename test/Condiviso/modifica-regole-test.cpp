// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/modifica-regole.h"

#include <gtest/gtest.h>

#include "Condiviso/codifica-json.h"

namespace ostrale {
namespace {

constexpr auto blocca = AzioneRegola::blocca;
constexpr auto consenti = AzioneRegola::consenti;

TEST(ModificaRegole, ARuleAddedWholeComesInactiveOrWithItsWindowInOneEdit) {
    StatoRegole s;
    ModificaRegole m = ModificaRegole::nuovaRegola("/usr/bin/git", blocca);
    m.attiva = false;
    m.fascia = FasciaOraria{22 * 60, 7 * 60};
    ASSERT_EQ(applica(s, m).esito, EsitoModifica::cambiata);
    ASSERT_EQ(s.regole.size(), 1u);
    EXPECT_FALSE(s.regole[0].attiva);
    EXPECT_EQ(s.regole[0].fascia, m.fascia);
    EXPECT_EQ(applica(s, m).esito, EsitoModifica::invariata);
    m.fascia = FasciaOraria{0, 1441};
    EXPECT_EQ(applica(s, m).esito, EsitoModifica::fasciaNonValida);
    ModificaRegole d = ModificaRegole::nuovaRegolaDominio("ads.example", blocca);
    d.attiva = false;
    ASSERT_EQ(applica(s, d).esito, EsitoModifica::cambiata);
    EXPECT_FALSE(s.regoleDominio[0].attiva);
    d.fascia = FasciaOraria{0, 60};
    EXPECT_EQ(applica(s, d).esito, EsitoModifica::senzaFascia);
}

TEST(ModificaRegole, AddingARuleMakesOneOrUpdatesTheExistingOne) {
    StatoRegole s;
    const auto prima = applica(s, ModificaRegole::nuovaRegola("/usr/bin/git", blocca));
    ASSERT_EQ(prima.esito, EsitoModifica::cambiata);
    ASSERT_EQ(s.regole.size(), 1u);
    EXPECT_EQ(prima.id, s.regole[0].id);
    // An inactive blocking rule with a window and a name of its own becomes an active allowing
    // rule: one rule still, name and window kept.
    s.regole[0].attiva = false;
    s.regole[0].nomeApp = "Git";
    s.regole[0].fascia = FasciaOraria{60, 120};
    const auto seconda = applica(s, ModificaRegole::nuovaRegola("/usr/bin/git", consenti));
    EXPECT_EQ(seconda.esito, EsitoModifica::cambiata);
    EXPECT_EQ(seconda.id, prima.id);
    ASSERT_EQ(s.regole.size(), 1u);
    EXPECT_EQ(s.regole[0].azione, consenti);
    EXPECT_TRUE(s.regole[0].attiva);
    EXPECT_EQ(s.regole[0].nomeApp, "Git");
    EXPECT_EQ(s.regole[0].fascia, (FasciaOraria{60, 120}));
    const StatoRegole fermo = s;
    EXPECT_EQ(applica(s, ModificaRegole::nuovaRegola("/usr/bin/git", consenti)).esito,
              EsitoModifica::invariata);
    EXPECT_EQ(s, fermo);
}

// A domain rule is one per host, application and port; a duration is what the last edit says,
// and an edit of its own makes a rule permanent.
TEST(ModificaRegole, NarrowedAndTemporaryRules) {
    StatoRegole s;
    ASSERT_EQ(applica(s, ModificaRegole::nuovaRegolaDominio("example.org", blocca)).esito,
              EsitoModifica::cambiata);
    ModificaRegole curl = ModificaRegole::nuovaRegolaDominio("www.Example.org", consenti);
    curl.firma = "/usr/bin/curl";
    curl.durata.scadenza = Data::daRiferimento(1000);
    const auto ristretta = applica(s, curl);
    ASSERT_EQ(ristretta.esito, EsitoModifica::cambiata);
    ModificaRegole porta = curl;
    porta.porta = 22;
    ASSERT_EQ(applica(s, porta).esito, EsitoModifica::cambiata);
    ASSERT_EQ(s.regoleDominio.size(), 3u);
    EXPECT_EQ(s.regoleDominio[1].dominio, "example.org");
    EXPECT_EQ(s.regoleDominio[1].firmaApp, "/usr/bin/curl");
    EXPECT_FALSE(s.regoleDominio[1].porta);
    EXPECT_EQ(s.regoleDominio[2].porta, 22);
    EXPECT_EQ(applica(s, curl).esito, EsitoModifica::invariata);
    // The same scope again for ever: the rule loses its end.
    curl.durata = {};
    EXPECT_EQ(applica(s, curl), (RispostaModifica{EsitoModifica::cambiata, ristretta.id}));
    EXPECT_TRUE(s.regoleDominio[1].durata.perSempre());

    ModificaRegole app = ModificaRegole::nuovaRegola("/usr/bin/git", consenti);
    app.durata.avvio = "questo-avvio";
    const auto git = applica(s, app);
    EXPECT_EQ(s.regole[0].durata.avvio, "questo-avvio");
    EXPECT_EQ(applica(s, ModificaRegole::cambioDurata(*git.id, {})).esito, EsitoModifica::cambiata);
    EXPECT_TRUE(s.regole[0].durata.perSempre());
    EXPECT_EQ(applica(s, ModificaRegole::cambioDurata(*git.id, {})).esito,
              EsitoModifica::invariata);

    const StatoRegole fermo = s;
    for (const std::int64_t sbagliata : {0, -1, 65536}) {
        porta.porta = sbagliata;
        EXPECT_EQ(applica(s, porta).esito, EsitoModifica::portaNonValida);
    }
    curl.firma = "sconosciuta";
    EXPECT_EQ(applica(s, curl).esito, EsitoModifica::appSconosciuta);
    EXPECT_EQ(s, fermo);

    // The edit travels with its new fields.
    ModificaRegole m = ModificaRegole::nuovaRegolaDominio("example.org", blocca);
    m.firma = "/usr/bin/curl";
    m.porta = 443;
    m.durata.scadenza = Data::daRiferimento(42.5);
    EXPECT_EQ(json::decodifica<ModificaRegole>(json::codifica(m)).valore(), m);
}

TEST(ModificaRegole, WhatNoRuleCanNameIsRefusedAndChangesNothing) {
    StatoRegole s;
    s.regole.push_back(Regola{});
    const StatoRegole fermo = s;
    EXPECT_EQ(applica(s, ModificaRegole::nuovaRegola("", blocca)).esito, EsitoModifica::nomeVuoto);
    EXPECT_EQ(applica(s, ModificaRegole::nuovaRegola("sconosciuta", blocca)).esito,
              EsitoModifica::appSconosciuta);
    for (const char* dominio : {"localhost", "a.b", "https://www./", "", "2001:db8::1%eth0",
                                "10.0.0.0/8", "2001:db8::/32"}) {
        EXPECT_EQ(applica(s, ModificaRegole::nuovaRegolaDominio(dominio, blocca)).esito,
                  EsitoModifica::dominioNonValido)
            << dominio;
    }
    EXPECT_EQ(applica(s, ModificaRegole::rimozione(Uuid::genera())).esito,
              EsitoModifica::regolaInesistente);
    ModificaRegole senzaAzione = ModificaRegole::nuovaRegola("/usr/bin/a", blocca);
    senzaAzione.azione.reset();
    EXPECT_EQ(applica(s, senzaAzione).esito, EsitoModifica::incompleta);
    ImpostazioniParziali troppi;
    troppi.giorniQuarantena = 4000;
    EXPECT_EQ(applica(s, ModificaRegole::cambioImpostazioni(troppi)).esito,
              EsitoModifica::valoreNonValido);
    EXPECT_EQ(applica(s, ModificaRegole::cambioFascia(s.regole[0].id, FasciaOraria{-1, 60})).esito,
              EsitoModifica::fasciaNonValida);
    EXPECT_EQ(s, fermo);
}

TEST(ModificaRegole, AddressesBecomeRulesInTheirCanonicalForm) {
    StatoRegole s;
    for (const char* scritto : {"[2001:DB8:0::1]", "http://[2001:db8::1]/x", "2001:db8::0:1"}) {
        applica(s, ModificaRegole::nuovaRegolaDominio(scritto, blocca));
    }
    applica(s, ModificaRegole::nuovaRegolaDominio(" 198.51.100.7 ", consenti));
    applica(s, ModificaRegole::nuovaRegolaDominio("::ffff:198.51.100.7", blocca));
    applica(s, ModificaRegole::nuovaRegolaDominio("WWW.Example.COM/path", blocca));
    ASSERT_EQ(s.regoleDominio.size(), 3u);
    EXPECT_EQ(s.regoleDominio[0].dominio, "2001:db8::1");
    EXPECT_EQ(s.regoleDominio[1].dominio, "198.51.100.7");  // one rule, written both ways
    EXPECT_EQ(s.regoleDominio[1].azione, blocca);
    EXPECT_EQ(s.regoleDominio[2].dominio, "example.com");
}

TEST(ModificaRegole, RulesOfBothKindsAreEditedByIdAndKeepWhatTheEditDoesNotName) {
    StatoRegole s;
    const Uuid app = *applica(s, ModificaRegole::nuovaRegola("/usr/bin/curl", blocca)).id;
    const Uuid dominio = *applica(s, ModificaRegole::nuovaRegolaDominio("ads.example", blocca)).id;
    EXPECT_EQ(applica(s, ModificaRegole::attivazione(dominio, false)).esito,
              EsitoModifica::cambiata);
    EXPECT_EQ(applica(s, ModificaRegole::attivazione(dominio, false)).esito,
              EsitoModifica::invariata);
    // A new action keeps the rule off.
    EXPECT_EQ(applica(s, ModificaRegole::cambioAzione(dominio, consenti)).esito,
              EsitoModifica::cambiata);
    EXPECT_FALSE(s.regoleDominio[0].attiva);
    EXPECT_EQ(s.regoleDominio[0].azione, consenti);
    EXPECT_EQ(applica(s, ModificaRegole::cambioFascia(app, FasciaOraria{1320, 420})).esito,
              EsitoModifica::cambiata);
    EXPECT_EQ(s.regole[0].fascia, (FasciaOraria{1320, 420}));
    EXPECT_EQ(applica(s, ModificaRegole::cambioFascia(dominio, FasciaOraria{0, 60})).esito,
              EsitoModifica::senzaFascia);
    EXPECT_EQ(applica(s, ModificaRegole::cambioFascia(app, std::nullopt)).esito,
              EsitoModifica::cambiata);
    EXPECT_FALSE(s.regole[0].fascia);
    EXPECT_EQ(applica(s, ModificaRegole::rimozione(app)).esito, EsitoModifica::cambiata);
    EXPECT_TRUE(s.regole.empty());
    EXPECT_EQ(s.regoleDominio.size(), 1u);
}

TEST(ModificaRegole, ASettingsEditChangesTheNamedFieldsOnly) {
    StatoRegole s;
    s.impostazioni.bloccaTracker = true;
    s.impostazioni.giorniQuarantena = 9;
    ImpostazioniParziali campi;
    EXPECT_FALSE(campi.impostaDaTesto("chiediPrima", "yes"));
    EXPECT_FALSE(campi.impostaDaTesto("giorniQuarantena", "3"));
    EXPECT_TRUE(campi.impostaDaTesto("bloccaTracker", "forse"));
    EXPECT_TRUE(campi.impostaDaTesto("nonEsiste", "sì"));
    EXPECT_EQ(applica(s, ModificaRegole::cambioImpostazioni(campi)).esito, EsitoModifica::cambiata);
    EXPECT_TRUE(s.impostazioni.chiediPrima);
    EXPECT_EQ(s.impostazioni.giorniQuarantena, 3);
    EXPECT_TRUE(s.impostazioni.bloccaTracker);
    EXPECT_TRUE(s.impostazioni.registraConsentiti);
    EXPECT_EQ(applica(s, ModificaRegole::cambioImpostazioni(campi)).esito,
              EsitoModifica::invariata);
    // As the channel carries it: only what is named.
    EXPECT_EQ(json::codifica(ModificaRegole::cambioImpostazioni(campi)),
              R"({"operazione":"impostazioni","impostazioni":{"giorniQuarantena":3,)"
              R"("chiediPrima":true}})");
}

}  // namespace
}  // namespace ostrale
