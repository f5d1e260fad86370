// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/scambio-regole.h"

#include <gtest/gtest.h>

#include "Condiviso/codifica-json.h"

namespace ostrale {
namespace {

using scambio::leggi;
using scambio::pianifica;

StatoRegole esempio() {
    StatoRegole s;
    Regola git;
    git.firmaApp = "/usr/bin/git";
    git.nomeApp = "/usr/bin/git";
    git.azione = AzioneRegola::blocca;
    git.fascia = FasciaOraria{22 * 60, 7 * 60};
    Regola posta;
    posta.firmaApp = "org.mozilla.Thunderbird";
    posta.nomeApp = "org.mozilla.Thunderbird";
    posta.attiva = false;
    s.regole = {git, posta};
    s.regoleDominio = {{Uuid::genera(), "tracker.example", AzioneRegola::blocca, true},
                       {Uuid::genera(), "203.0.113.9", AzioneRegola::consenti, false}};
    s.impostazioni.bloccaTracker = true;
    s.impostazioni.giorniQuarantena = 7;
    return s;
}

TEST(ScambioRegole, AnExportedFileReadsBackAsTheSameRules) {
    const StatoRegole s = esempio();
    const std::string file = scambio::esporta(s);
    EXPECT_EQ(file.rfind("{\n  \"formato\": \"ostrale-regole\",\n  \"versione\": 1,", 0), 0u)
        << file;
    const auto letto = leggi(file);
    ASSERT_TRUE(letto) << letto.motivo();
    EXPECT_EQ(*letto, s);
}

TEST(ScambioRegole, ABadFileIsRefusedWholeAndSaysWhere) {
    const std::string buono = scambio::esporta(esempio());
    // A syntax error on the third line, where the "!" is.
    std::string rotto = buono;
    rotto.insert(rotto.find("\"versione\"") + 10, "!");
    EXPECT_EQ(leggi(rotto).motivo(), "not JSON at line 3, column 13");
    EXPECT_FALSE(leggi(R"({"formato": "ostrale-regole", "versione": 3e333})"));
    EXPECT_EQ(leggi("[1, 2]").motivo(),
              "not a file of exported rules (no \"formato\": \"ostrale-regole\")");
    std::string versione = buono;
    versione.replace(versione.find("\"versione\": 1"), 13, "\"versione\": 2");
    EXPECT_EQ(leggi(versione).motivo(), "version 2; this program reads version 1");
    // A rule the records cannot hold.
    std::string azione = buono;
    azione.replace(azione.find("\"blocca\""), 8, "\"forse\"");
    EXPECT_FALSE(leggi(azione));
    EXPECT_EQ(leggi(std::string(scambio::dimensioneMassima + 1, ' ')).motivo(),
              "the file is larger than 4 MiB");
    // Two rules of one id, of one application, of one domain (as the user would type it).
    StatoRegole doppia = esempio();
    doppia.regoleDominio[1].id = doppia.regole[0].id;
    EXPECT_EQ(leggi(scambio::esporta(doppia)).motivo(),
              "two rules have the id " + doppia.regole[0].id.testo());
    doppia = esempio();
    doppia.regole.push_back(doppia.regole[0]);
    doppia.regole.back().id = Uuid::genera();
    EXPECT_EQ(leggi(scambio::esporta(doppia)).motivo(),
              "two rules for the application /usr/bin/git");
    doppia = esempio();
    doppia.regoleDominio.push_back(
        {Uuid::genera(), "https://www.Tracker.example/x", AzioneRegola::consenti, true});
    EXPECT_EQ(leggi(scambio::esporta(doppia)).motivo(),
              "two rules for the domain https://www.Tracker.example/x");
}

TEST(ScambioRegole, ImportingMergesByIdOrIdentityAndTwiceChangesNothing) {
    // Another machine: its own ids, one rule in common by application, one by domain.
    StatoRegole qui;
    Regola git;
    git.firmaApp = "/usr/bin/git";
    git.azione = AzioneRegola::consenti;
    Regola curl;
    curl.firmaApp = "/usr/bin/curl";
    qui.regole = {git, curl};
    qui.regoleDominio = {{Uuid::genera(), "tracker.example", AzioneRegola::consenti, true}};
    const StatoRegole file = esempio();

    const auto piano = pianifica(qui, file, false);
    ASSERT_TRUE(piano) << piano.motivo();
    EXPECT_EQ(piano->aggiunte, (std::vector<std::string>{
                                   "app org.mozilla.Thunderbird: consenti, inactive, no window",
                                   "domain 203.0.113.9: consenti, inactive"}));
    EXPECT_EQ(piano->cambiate, (std::vector<std::string>{
                                   "app /usr/bin/git: consenti → blocca, no window → 22:00-07:00",
                                   "domain tracker.example: consenti → blocca",
                                   "settings: giorniQuarantena 3 → 7, bloccaTracker no → yes"}));
    EXPECT_TRUE(piano->rimosse.empty());
    const StatoRegole dopo = scambio::applicato(qui, *piano);
    ASSERT_EQ(dopo.regole.size(), 3u);
    EXPECT_EQ(dopo.regole[0].id, git.id);  // kept, changed in place
    EXPECT_EQ(dopo.regole[0].fascia, file.regole[0].fascia);
    EXPECT_EQ(dopo.regole[1].firmaApp, "/usr/bin/curl");  // not in the file: left alone
    EXPECT_FALSE(dopo.regole[2].attiva);
    EXPECT_EQ(dopo.impostazioni, file.impostazioni);
    // The same file again: nothing to do.
    const auto ancora = pianifica(dopo, file, false);
    ASSERT_TRUE(ancora);
    EXPECT_TRUE(ancora->vuoto());

    // Replacing: what the file lacks goes, and the result is the file's rules.
    const auto sostituzione = pianifica(dopo, file, true);
    ASSERT_TRUE(sostituzione);
    EXPECT_EQ(sostituzione->rimosse, std::vector<std::string>{"app /usr/bin/curl"});
    const StatoRegole sostituito = scambio::applicato(dopo, *sostituzione);
    EXPECT_EQ(sostituito.regole.size(), 2u);
    EXPECT_EQ(sostituito.regoleDominio.size(), 2u);
    EXPECT_TRUE(pianifica(sostituito, file, true)->vuoto());
    // Back on the machine it came from, every rule matches by id.
    EXPECT_TRUE(pianifica(file, file, true)->vuoto());
}

// Rules of one host narrowed to different applications or ports are different rules; a duration
// is carried and changed like anything else.
TEST(ScambioRegole, NarrowedAndTemporaryRulesTravelWithTheirScope) {
    StatoRegole file;
    RegolaDominio semplice{Uuid::genera(), "example.org", AzioneRegola::blocca, true};
    RegolaDominio curl{Uuid::genera(), "example.org", AzioneRegola::consenti, true};
    curl.firmaApp = "/usr/bin/curl";
    RegolaDominio ssh = curl;
    ssh.id = Uuid::genera();
    ssh.porta = 22;
    ssh.durata.scadenza = Data::daUnix(1796472000.0);
    file.regoleDominio = {semplice, curl, ssh};
    const auto letto = leggi(scambio::esporta(file));
    ASSERT_TRUE(letto) << letto.motivo();
    EXPECT_EQ(*letto, file);

    StatoRegole qui;
    RegolaDominio mia = ssh;
    mia.id = Uuid::genera();
    mia.durata = {};
    qui.regoleDominio = {mia};
    const auto piano = pianifica(qui, file, false);
    ASSERT_TRUE(piano) << piano.motivo();
    EXPECT_EQ(piano->aggiunte,
              (std::vector<std::string>{"domain example.org: blocca, active",
                                        "domain example.org for /usr/bin/curl: consenti, active"}));
    EXPECT_EQ(piano->cambiate,
              std::vector<std::string>{"domain example.org port 22 for /usr/bin/curl: for ever → "
                                       "until 2026-12-05 12:00 UTC"});
    const StatoRegole dopo = scambio::applicato(qui, *piano);
    ASSERT_EQ(dopo.regoleDominio.size(), 3u);
    EXPECT_EQ(dopo.regoleDominio[0].durata, ssh.durata);
    EXPECT_EQ(dopo.regoleDominio[2].firmaApp, "/usr/bin/curl");
    EXPECT_TRUE(pianifica(dopo, file, false)->vuoto());

    StatoRegole doppia = file;
    doppia.regoleDominio.push_back(curl);
    doppia.regoleDominio.back().id = Uuid::genera();
    EXPECT_EQ(leggi(scambio::esporta(doppia)).motivo(),
              "two rules for the domain example.org for /usr/bin/curl");
}

TEST(ScambioRegole, APlanAnEditWouldRefuseIsRefusedWhole) {
    StatoRegole file;
    Regola ignota;
    ignota.firmaApp = "sconosciuta";
    file.regole = {ignota};
    EXPECT_EQ(pianifica({}, file, false).motivo(),
              "application sconosciuta: the application could not be identified: no rule can "
              "name it");
    file = {};
    file.regoleDominio = {{Uuid::genera(), "x", AzioneRegola::blocca, true}};
    EXPECT_FALSE(pianifica({}, file, false));
    file = {};
    file.impostazioni.giorniQuarantena = 99999;
    EXPECT_FALSE(pianifica({}, file, false));
}

}  // namespace
}  // namespace ostrale
