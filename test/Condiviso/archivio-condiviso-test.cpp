// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/archivio-regole.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "Condiviso/registro.h"
#include "test/supporto/cartella-temporanea.h"

extern char** environ;

namespace ostrale {
namespace {

TEST(ArchivioCondiviso, WithoutContainerNothingIsWrittenOrRead) {
    test::CartellaTemporanea cartella;
    test::VariabileAmbiente contenitore("OSTRALE_CONTENITORE", (cartella / "assente").string());
    EXPECT_FALSE(ArchivioCondiviso::url());
    EXPECT_FALSE(ArchivioCondiviso::urlContenitore("storico-ore.json"));
    ArchivioCondiviso::salva(StatoRegole{});
    ArchivioCondiviso::salvaJSON(StoricoOre{}, "storico-ore.json");
    EXPECT_FALSE(ArchivioCondiviso::leggi("regole.json"));
    EXPECT_TRUE(std::filesystem::is_empty(cartella.percorso()));
}

TEST(ArchivioCondiviso, SavedRulesReadBackWhole) {
    test::ContenitoreTemporaneo contenitore;
    StatoRegole stato;
    stato.regoleDominio.push_back({Uuid::genera(), "example.org", AzioneRegola::blocca, true});
    stato.impostazioni.bloccaTracker = true;
    ArchivioCondiviso::salva(stato);
    ASSERT_EQ(ArchivioCondiviso::url(), contenitore / "regole.json");
    const auto testo = ArchivioCondiviso::leggi("regole.json");
    ASSERT_TRUE(testo);
    EXPECT_EQ(json::decodifica<StatoRegole>(*testo).valore(), stato);

    struct stat info {};
    ASSERT_EQ(::stat((contenitore / "regole.json").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0660u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(contenitore.cartella().percorso()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ArchivioCondiviso, FailedWriteKeepsTheOldFileAndSaysWhy) {
    test::ContenitoreTemporaneo contenitore;
    auto memoria = std::make_shared<DestinazioneMemoria>();
    const auto precedente = Registro::impostaDestinazione(memoria);
    contenitore.cartella().scrivi("storico-ip.json", "{}");
    // The target is a directory: the rename fails after the data were written.
    std::filesystem::create_directory(contenitore / "storico-app.json");
    EXPECT_FALSE(ArchivioCondiviso::scriviAtomico(contenitore / "storico-app.json", "{}"));
    EXPECT_TRUE(std::filesystem::is_directory(contenitore / "storico-app.json"));
    EXPECT_FALSE(ArchivioCondiviso::scriviAtomico(contenitore / "manca" / "x.json", "{}"));
    EXPECT_EQ(contenitore.cartella().leggi("storico-ip.json"), "{}");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(contenitore.cartella().percorso()),
                            std::filesystem::directory_iterator()),
              2);
    EXPECT_TRUE(memoria->contiene("cannot write"));
    Registro::impostaDestinazione(precedente);
}

TEST(ArchivioCondiviso, OnlyRegularFilesOfTheContainerAreRead) {
    test::ContenitoreTemporaneo contenitore;
    std::filesystem::create_directory(contenitore / "regole.json");
    EXPECT_FALSE(ArchivioCondiviso::leggi("regole.json"));
    // A FIFO would block a plain open() for ever.
    ASSERT_EQ(::mkfifo((contenitore / "storico-ip.json").c_str(), 0600), 0);
    EXPECT_FALSE(ArchivioCondiviso::leggi("storico-ip.json"));
    // A link is not followed out of the container.
    contenitore.cartella().scrivi("altrove.txt", "segreto");
    std::filesystem::create_symlink(contenitore / "altrove.txt", contenitore / "c2-aggiornata.txt");
    EXPECT_FALSE(ArchivioCondiviso::leggi("c2-aggiornata.txt"));
    EXPECT_EQ(ArchivioCondiviso::leggiFile(contenitore / "c2-aggiornata.txt", true), "segreto");
    EXPECT_FALSE(ArchivioCondiviso::leggiFile("/dev/zero", true));
    // Writing replaces the link itself, never its target.
    ArchivioCondiviso::salvaFile("nuovo", "c2-aggiornata.txt");
    EXPECT_EQ(contenitore.cartella().leggi("altrove.txt"), "segreto");
    EXPECT_EQ(contenitore.cartella().leggi("c2-aggiornata.txt"), "nuovo");
}

pid_t avvia(const std::string& nome, int volte, const char* modo = nullptr) {
    const std::string programma = OSTRALE_SCRITTORE_REGOLE;
    const std::string conteggio = std::to_string(volte);
    char* argomenti[] = {const_cast<char*>(programma.c_str()), const_cast<char*>(nome.c_str()),
                         const_cast<char*>(conteggio.c_str()), const_cast<char*>(modo), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(::posix_spawn(&pid, programma.c_str(), nullptr, nullptr, argomenti, environ), 0);
    return pid;
}

bool terminato(pid_t pid, bool attendi) {
    int stato = 0;
    const pid_t r = ::waitpid(pid, &stato, attendi ? 0 : WNOHANG);
    if (r == 0) return false;
    EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 0);
    return true;
}

TEST(ArchivioCondiviso, TwoProcessesWritingNeverLeaveAHalfFile) {
    test::ContenitoreTemporaneo contenitore;
    const pid_t primo = avvia("uno", 2000);
    const pid_t secondo = avvia("due", 2000);
    ASSERT_GT(primo, 0);
    ASSERT_GT(secondo, 0);
    int letture = 0;
    std::set<std::string> autori;
    bool primoFinito = false, secondoFinito = false;
    while (!(primoFinito && secondoFinito)) {
        if (const auto testo = ArchivioCondiviso::leggi("regole.json")) {
            const auto stato = json::decodifica<StatoRegole>(*testo);
            ASSERT_TRUE(stato) << "read #" << letture << ": " << stato.motivo();
            ASSERT_EQ(stato->regole.size(), 200u);
            autori.insert(stato->regole.front().nomeApp);
            ++letture;
        }
        primoFinito = primoFinito || terminato(primo, false);
        secondoFinito = secondoFinito || terminato(secondo, false);
    }
    const auto finale = json::decodifica<StatoRegole>(contenitore.cartella().leggi("regole.json"));
    ASSERT_TRUE(finale);
    EXPECT_GT(letture, 0);
    EXPECT_FALSE(autori.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(contenitore.cartella().percorso()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(ArchivioRegole, EditsOfSeveralProcessesAreAllKept) {
    test::ContenitoreTemporaneo contenitore;
    const pid_t primo = avvia("uno", 150, "modifiche");
    const pid_t secondo = avvia("due", 150, "modifiche");
    ASSERT_GT(primo, 0);
    ASSERT_GT(secondo, 0);
    // This process edits too, between theirs.
    for (int i = 0; i < 50; ++i) {
        StatoRegole dopo;
        const auto risposta = ArchivioRegole::modifica(
            ModificaRegole::nuovaRegolaDominio("tre" + std::to_string(i) + ".example",
                                               AzioneRegola::blocca),
            StatoRegole{}, dopo);
        ASSERT_EQ(risposta.esito, EsitoModifica::cambiata);
    }
    terminato(primo, true);
    terminato(secondo, true);
    const auto finale = ArchivioRegole::leggi();
    ASSERT_TRUE(finale);
    std::set<std::string> firme;
    for (const Regola& r : finale->regole) firme.insert(r.firmaApp);
    EXPECT_EQ(firme.size(), 300u);
    EXPECT_TRUE(firme.contains("uno.149") && firme.contains("due.0"));
    EXPECT_EQ(finale->regoleDominio.size(), 50u);
}

TEST(ArchivioRegole, AnUnreadableFileIsKeptAsideNotLost) {
    test::ContenitoreTemporaneo contenitore;
    contenitore.cartella().scrivi("regole.json", "{\"regole\": [ troncato");
    StatoRegole base;
    base.impostazioni.bloccaTracker = true;
    StatoRegole dopo;
    const auto risposta = ArchivioRegole::modifica(
        ModificaRegole::nuovaRegola("/usr/bin/curl", AzioneRegola::blocca), base, dopo);
    EXPECT_EQ(risposta.esito, EsitoModifica::cambiata);
    EXPECT_EQ(contenitore.cartella().leggi("regole.json.illeggibile"), "{\"regole\": [ troncato");
    const auto letto = ArchivioRegole::leggi();
    ASSERT_TRUE(letto);
    EXPECT_EQ(*letto, dopo);
    EXPECT_TRUE(letto->impostazioni.bloccaTracker);
    EXPECT_EQ(letto->regole.size(), 1u);
}

}  // namespace
}  // namespace ostrale
