// SPDX-License-Identifier: GPL-3.0-or-later
// The daemon as a process: stopped by SIGTERM in the middle of heavy traffic, it saves its
// memory whole; one at a time per container and socket; a lost shipped list is in its log.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/cliente-canale.h"
#include "Condiviso/codifica-json.h"
#include "Estensione/memoria.h"
#include "test/supporto/cartella-temporanea.h"

extern char** environ;

namespace ostrale {
namespace {

// Standard error goes to `errore` (created), else nowhere.
pid_t avvia(const std::vector<std::string>& argomenti, const std::string& errore = "/dev/null") {
    std::vector<char*> argv;
    for (const auto& a : argomenti) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t azioni;
    posix_spawn_file_actions_init(&azioni);
    posix_spawn_file_actions_addopen(&azioni, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&azioni, 2, errore.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    const int esito = ::posix_spawn(&pid, argv[0], &azioni, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&azioni);
    return esito == 0 ? pid : -1;
}

// Flows the daemon on `socket` has counted in its history so far (0 while it does not answer).
std::int64_t flussiContati(const std::filesystem::path& socket) {
    canale::ClienteCanale cliente(socket);
    if (cliente.connetti(std::chrono::milliseconds(500))) return 0;
    const auto byte = cliente.leggiStorico();
    const auto pacchetto = json::decodifica<PacchettoStorico>(byte.value_or(""));
    std::int64_t totale = 0;
    if (pacchetto) {
        for (const auto& [firma, voce] : pacchetto->app) totale += voce.totale;
    }
    return totale;
}

// Waits for `condizione` up to a minute; whether it came.
bool attendi(const std::function<bool()>& condizione) {
    const auto fine = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!condizione()) {
        if (std::chrono::steady_clock::now() > fine) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

int fine(pid_t pid) {
    int stato = 0;
    if (::waitpid(pid, &stato, 0) != pid) return -1;
    return WIFEXITED(stato) ? WEXITSTATUS(stato) : 128 + WTERMSIG(stato);
}

TEST(Estensione, SigtermDuringHeavyTrafficSavesWholeFiles) {
    for (int prova = 0; prova < 3; ++prova) {
        test::CartellaTemporanea cartella;
        const auto contenitore = cartella / "contenitore";
        test::VariabileAmbiente socket("OSTRALE_SOCKET", (cartella / "ostrale.sock").string());
        const pid_t pid = avvia({OSTRALE_ESTENSIONE, "--sorgente", "simulata", "--contenitore",
                                 contenitore.string(), "--velocita", "2000", "--accelera", "3"});
        ASSERT_GT(pid, 0);
        // Signalled once traffic flows, at a different moment of it each round.
        const std::int64_t soglia = 200 + 400 * prova;
        const bool flussi =
            attendi([&] { return flussiContati(cartella / "ostrale.sock") > soglia; });
        ASSERT_EQ(::kill(pid, SIGTERM), 0);
        ASSERT_TRUE(flussi) << "no traffic counted in a minute";
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

TEST(Estensione, ASecondDaemonOfTheSameContainerOrSocketIsRefused) {
    test::CartellaTemporanea cartella;
    auto daemon = [&](const std::string& contenitore, const std::string& socket) {
        test::VariabileAmbiente variabile("OSTRALE_SOCKET", (cartella / socket).string());
        return avvia({OSTRALE_ESTENSIONE, "--sorgente", "simulata", "--contenitore",
                      (cartella / contenitore).string(), "--velocita", "1"});
    };
    const pid_t primo = daemon("a", "a.sock");
    ASSERT_GT(primo, 0);
    ASSERT_TRUE(attendi([&] { return std::filesystem::exists(cartella / "a.sock"); }));
    // The same container on another socket, another container on the same socket: both end
    // at once, and the first serves on.
    EXPECT_EQ(fine(daemon("a", "b.sock")), 3);
    EXPECT_EQ(fine(daemon("b", "a.sock")), 3);
    EXPECT_FALSE(std::filesystem::exists(cartella / "b.sock"));
    canale::ClienteCanale cliente(cartella / "a.sock");
    EXPECT_FALSE(cliente.connetti());
    ASSERT_EQ(::kill(primo, SIGTERM), 0);
    EXPECT_EQ(fine(primo), 0);
    // Once it has gone, the next one starts.
    const pid_t dopo = daemon("a", "b.sock");
    ASSERT_TRUE(attendi([&] { return std::filesystem::exists(cartella / "b.sock"); }));
    ::kill(dopo, SIGTERM);
    EXPECT_EQ(fine(dopo), 0);
}

// An installation that lost its data still filters, but its log says so from the start.
TEST(Estensione, AMissingOrEmptyShippedListIsAnErrorAtStart) {
    if (std::filesystem::exists("/run/systemd/journal/socket")) {
        GTEST_SKIP() << "the daemon logs to journald here";
    }
    test::CartellaTemporanea cartella;
    // The daemon's standard error from its start until it serves its socket.
    auto logAllAvvio = [&](const std::string& nome) {
        test::VariabileAmbiente socket("OSTRALE_SOCKET", (cartella / (nome + ".sock")).string());
        const pid_t pid = avvia({OSTRALE_ESTENSIONE, "--sorgente", "simulata", "--contenitore",
                                 (cartella / nome).string(), "--velocita", "1"},
                                (cartella / (nome + ".log")).string());
        EXPECT_GT(pid, 0);
        EXPECT_TRUE(attendi([&] { return std::filesystem::exists(cartella / (nome + ".sock")); }));
        ::kill(pid, SIGTERM);
        EXPECT_EQ(fine(pid), 0);
        return cartella.leggi(nome + ".log");
    };
    const auto trovato = [](const std::string& log, const std::string& riga) {
        return log.find(riga) != std::string::npos;
    };

    const std::string completa = logAllAvvio("completa");
    EXPECT_FALSE(trovato(completa, "shipped")) << completa;

    std::filesystem::create_directory(cartella / "vuota");
    {
        test::VariabileAmbiente risorse("OSTRALE_RISORSE", (cartella / "vuota").string());
        const std::string log = logAllAvvio("senza-dati");
        EXPECT_TRUE(trovato(log, "error: the shipped tracker list is missing: " +
                                     (cartella / "vuota" / "tracker.txt").string()))
            << log;
        EXPECT_TRUE(trovato(log, "error: the shipped command-and-control list is missing: " +
                                     (cartella / "vuota" / "c2.txt").string()))
            << log;
    }
    // A tracker list with no domain left counts as lost; an empty C2 edition is the shipped one.
    cartella.scrivi("vuota/tracker.txt", "# Advertising and tracking domains\n");
    cartella.scrivi("vuota/c2.txt", "# Command-and-control addresses\n");
    {
        test::VariabileAmbiente risorse("OSTRALE_RISORSE", (cartella / "vuota").string());
        const std::string log = logAllAvvio("dati-vuoti");
        EXPECT_TRUE(trovato(log, "error: the shipped tracker list is unreadable or empty: " +
                                     (cartella / "vuota" / "tracker.txt").string()))
            << log;
        EXPECT_FALSE(trovato(log, "command-and-control list is missing")) << log;
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
