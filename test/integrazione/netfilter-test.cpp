// SPDX-License-Identifier: GPL-3.0-or-later
// The daemon filtering real traffic: inside a network namespace of the test's own, the real
// ostrale-estensione judges real curl and python3 connections through NFQUEUE.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/codifica-json.h"
#include "test/supporto/cartella-temporanea.h"

extern char** environ;

namespace ostrale {
namespace {

using namespace std::chrono_literals;

std::string esegui(const std::string& comando, int* esito = nullptr) {
    std::string uscita;
    FILE* f = ::popen((comando + " 2>&1").c_str(), "r");
    if (!f) return uscita;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) uscita.append(buffer, n);
    const int stato = ::pclose(f);
    if (esito) *esito = WIFEXITED(stato) ? WEXITSTATUS(stato) : -1;
    return uscita;
}

pid_t avvia(const std::vector<std::string>& argomenti, const std::string& registro) {
    std::vector<char*> argv;
    for (const auto& a : argomenti) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t azioni;
    posix_spawn_file_actions_init(&azioni);
    posix_spawn_file_actions_addopen(&azioni, 1, registro.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_addopen(&azioni, 2, registro.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    pid_t pid = -1;
    ::posix_spawn(&pid, argv[0], &azioni, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&azioni);
    return pid;
}

struct Processo {
    pid_t pid;
    ~Processo() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

// The whole scenario runs in a child that owns a fresh network namespace; its exit status
// names the first check that failed (0: all passed).
int scenario(const std::filesystem::path& cartella) {
    if (::unshare(CLONE_NEWNET) != 0) return 77;
    esegui("ip link set lo up");
    const auto contenitore = cartella / "contenitore";
    std::filesystem::create_directories(contenitore);
    ::setenv("OSTRALE_CONTENITORE", contenitore.c_str(), 1);
    ::setenv("OSTRALE_SOCKET", (cartella / "ostrale.sock").c_str(), 1);
    StatoRegole regole;
    regole.impostazioni.escludiLan = false;  // the namespace has only loopback
    Regola curl;
    curl.firmaApp = "/usr/bin/curl";
    curl.nomeApp = "curl";
    curl.azione = AzioneRegola::blocca;
    regole.regole.push_back(curl);
    ArchivioCondiviso::salva(regole);

    Processo server{avvia({"/usr/bin/python3", "-m", "http.server", "--bind", "127.0.0.1", "18080"},
                          (cartella / "server.log").string())};
    Processo demone{avvia({OSTRALE_ESTENSIONE, "--sorgente", "netfilter", "--verboso"},
                          (cartella / "estensione.log").string())};
    bool pronto = false;
    for (int i = 0; i < 100 && !pronto; ++i) {
        std::this_thread::sleep_for(50ms);
        pronto = esegui("iptables-save -t mangle").find("OSTRALE_USCITA") != std::string::npos &&
                 esegui(
                     "/usr/bin/python3 -c \"import socket; socket.create_connection(('127.0.0.1', "
                     "18080), 1)\"")
                     .empty();
    }
    if (!pronto) return 1;

    // curl is refused at once, not after a timeout.
    int esito = 0;
    const auto inizio = std::chrono::steady_clock::now();
    esegui("/usr/bin/curl -s -o /dev/null -m 10 http://127.0.0.1:18080/", &esito);
    const auto durata = std::chrono::steady_clock::now() - inizio;
    if (esito == 0) return 2;
    if (durata > 2s) return 3;
    // python3 reaches the same server.
    esegui(
        "/usr/bin/python3 -c \"import urllib.request; "
        "urllib.request.urlopen('http://127.0.0.1:18080/', timeout=5)\"",
        &esito);
    if (esito != 0) return 4;

    // The flows carry the right identities.
    const std::string flussi = esegui(std::string(OSTRALE_CTL) + " --json flussi");
    const auto eventi =
        json::decodifica<std::vector<EventoFlusso>>(flussi.substr(0, flussi.find('\n')));
    if (!eventi) return 5;
    bool curlBloccato = false, pythonConsentito = false;
    for (const auto& e : *eventi) {
        if (e.firmaApp == "/usr/bin/curl" && !e.consentito && e.motivo == MotivoDecisione::regola)
            curlBloccato = true;
        if (e.firmaApp.starts_with("/usr/bin/python3") && e.consentito && e.porta == "18080")
            pythonConsentito = true;
    }
    if (!curlBloccato) return 6;
    if (!pythonConsentito) return 7;

    // A clean stop removes every rule and lets traffic flow.
    ::kill(demone.pid, SIGTERM);
    ::waitpid(demone.pid, nullptr, 0);
    demone.pid = -1;
    if (esegui("iptables-save; ip6tables-save").find("OSTRALE") != std::string::npos) return 8;
    esegui("/usr/bin/curl -s -o /dev/null -m 5 http://127.0.0.1:18080/", &esito);
    if (esito != 0) return 9;
    return 0;
}

TEST(Netfilter, RealConnectionsAreJudgedByApplication) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root";
    for (const char* programma : {"/usr/bin/curl", "/usr/bin/python3", "/usr/sbin/iptables"}) {
        if (!std::filesystem::exists(programma)) GTEST_SKIP() << programma << " is missing";
    }
    test::CartellaTemporanea cartella;
    const pid_t figlio = ::fork();
    ASSERT_GE(figlio, 0);
    if (figlio == 0) ::_exit(scenario(cartella.percorso()));
    int stato = 0;
    ASSERT_EQ(::waitpid(figlio, &stato, 0), figlio);
    const int esito = WIFEXITED(stato) ? WEXITSTATUS(stato) : 99;
    if (esito == 77) GTEST_SKIP() << "network namespaces are not available";
    std::string registro;
    try {
        registro = cartella.leggi("estensione.log");
    } catch (...) {
    }
    EXPECT_EQ(esito, 0) << "daemon log:\n"
                        << registro.substr(registro.size() > 4000 ? registro.size() - 4000 : 0);
}

}  // namespace
}  // namespace ostrale
