// The daemon as a process: stopped by SIGTERM in the middle of heavy traffic, it saves its
// memory whole.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "Condiviso/archivio-condiviso.h"
#include "Estensione/memoria.h"
#include "test/supporto/cartella-temporanea.h"

extern char** environ;

namespace ostrale {
namespace {

pid_t avvia(const std::vector<std::string>& argomenti) {
    std::vector<char*> argv;
    for (const auto& a : argomenti) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t azioni;
    posix_spawn_file_actions_init(&azioni);
    posix_spawn_file_actions_addopen(&azioni, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&azioni, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int esito = ::posix_spawn(&pid, argv[0], &azioni, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&azioni);
    return esito == 0 ? pid : -1;
}

TEST(Estensione, SigtermDuringHeavyTrafficSavesWholeFiles) {
    for (int prova = 0; prova < 3; ++prova) {
        test::CartellaTemporanea cartella;
        const auto contenitore = cartella / "contenitore";
        const pid_t pid = avvia({OSTRALE_ESTENSIONE, "--sorgente", "simulata", "--contenitore",
                                 contenitore.string(), "--velocita", "2000", "--accelera", "3"});
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1500 + 300 * prova));
        ASSERT_EQ(::kill(pid, SIGTERM), 0);
        int stato = 0;
        ASSERT_EQ(::waitpid(pid, &stato, 0), pid);
        ASSERT_TRUE(WIFEXITED(stato)) << "the daemon did not exit by itself";
        EXPECT_EQ(WEXITSTATUS(stato), 0);

        test::VariabileAmbiente variabile("OSTRALE_CONTENITORE", contenitore.string());
        for (const char* nome : {"prime-viste.json", "abitudini.json", "storico-ore.json",
                                 "storico-app.json", "storico-ip.json", "registro-flussi.json"}) {
            const auto testo = ArchivioCondiviso::leggi(nome);
            ASSERT_TRUE(testo) << nome;
        }
        const auto memoria = Memoria::leggiFile(Data::daUnix(1796472000.0));
        EXPECT_FALSE(memoria.registro.empty());
        EXPECT_FALSE(memoria.storicoApp.empty());
        EXPECT_FALSE(memoria.storicoIP.empty());
        EXPECT_FALSE(memoria.abitudini.empty());
        std::int64_t totale = 0;
        for (const auto& [firma, voce] : memoria.storicoApp) totale += voce.totale;
        EXPECT_GT(totale, 100);  // traffic was flowing when the signal came
    }
}

TEST(Estensione, BadArgumentsAreRefusedClearly) {
    for (const std::vector<std::string>& argomenti :
         {std::vector<std::string>{OSTRALE_ESTENSIONE, "--velocita", "molti"},
          std::vector<std::string>{OSTRALE_ESTENSIONE, "--sconosciuta"},
          std::vector<std::string>{OSTRALE_ESTENSIONE, "--sorgente", "pacchetti"}}) {
        const pid_t pid = avvia(argomenti);
        ASSERT_GT(pid, 0);
        int stato = 0;
        ASSERT_EQ(::waitpid(pid, &stato, 0), pid);
        EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 2) << argomenti[1];
    }
}

}  // namespace
}  // namespace ostrale
