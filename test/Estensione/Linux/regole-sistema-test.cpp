// SPDX-License-Identifier: GPL-3.0-or-later
// The system rules installed for real, in a network namespace of the test's own.
#include "Estensione/Linux/regole-sistema.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace ostrale {
namespace {

std::string esegui(const std::string& comando) {
    std::string uscita;
    FILE* f = ::popen((comando + " 2>&1").c_str(), "r");
    if (!f) return uscita;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) uscita.append(buffer, n);
    ::pclose(f);
    return uscita;
}

// Runs `prova` in a child process inside a new network namespace; answers its exit status.
template <typename F>
int inSpazioNuovo(F prova) {
    const pid_t figlio = ::fork();
    if (figlio == 0) {
        if (::unshare(CLONE_NEWNET) != 0) ::_exit(77);
        ::_exit(prova());
    }
    int stato = 0;
    ::waitpid(figlio, &stato, 0);
    return WIFEXITED(stato) ? WEXITSTATUS(stato) : 99;
}

TEST(RegoleSistema, RulesTextHasEveryPiece) {
    const RegoleSistema regole;
    const std::string v4 = regole.regole(false);
    EXPECT_NE(v4.find("-j NFQUEUE --queue-num 6130 --queue-bypass"), std::string::npos);
    // Several flow queues: a power of two of them, chosen by the source port.
    EXPECT_EQ(RegoleSistema(RegoleSistema::Code{6130, 3, 6129}).code().quanteFlussi, 2u);
    EXPECT_EQ(RegoleSistema(RegoleSistema::Code{6130, 0, 6129}).code().quanteFlussi, 1u);
    EXPECT_NE(
        v4.find(
            "-p udp --sport 53 -m conntrack --ctstate ESTABLISHED -m connmark --mark 0x100/0x300 "
            "-j NFQUEUE --queue-num 6129"),
        std::string::npos);
    EXPECT_NE(v4.find("-m connmark --mark 0x300/0x300 -j DROP"), std::string::npos);
    EXPECT_NE(v4.find("--reject-with tcp-reset"), std::string::npos);
    EXPECT_NE(v4.find("icmp-admin-prohibited"), std::string::npos);
    EXPECT_NE(v4.find("--dport 67:68 -j RETURN"), std::string::npos);
    const std::string v6 = regole.regole(true);
    EXPECT_NE(v6.find("icmp6-adm-prohibited"), std::string::npos);
    EXPECT_NE(v6.find("--icmpv6-type 135"), std::string::npos);
    EXPECT_EQ(v6.find("67:68"), std::string::npos);
    EXPECT_EQ(v4.find("-m bpf"), std::string::npos);
    // A connection waiting for its server's name: the opening leaves marked, and the rest of
    // its outbound packets come to the flow queue until one is judged; inbound never waits.
    for (bool sei : {false, true}) {
        const std::string testo = regole.regole(sei);
        EXPECT_NE(testo.find("-A OSTRALE_USCITA -m mark --mark 0x400/0x400 -g OSTRALE_ATTESA\n"
                             "-A OSTRALE_USCITA -p tcp -m connmark --mark 0x400/0x400 -j NFQUEUE"),
                  std::string::npos);
        EXPECT_EQ(testo.find("-A OSTRALE_ENTRATA -p tcp -m connmark --mark 0x400"),
                  std::string::npos);
        EXPECT_NE(testo.find("-A OSTRALE_ATTESA -j CONNMARK --save-mark --nfmask 0x400 --ctmask "
                             "0x400"),
                  std::string::npos);
    }

    // With the owner filter: outbound first packets only, both families.
    RegoleSistema conFiltro;
    conFiltro.usaFiltroTuple("/sys/fs/bpf/ostrale/tupla-7");
    for (bool sei : {false, true}) {
        const std::string testo = conFiltro.regole(sei);
        EXPECT_NE(testo.find("-A OSTRALE_USCITA -m conntrack --ctstate NEW -m bpf --object-pinned "
                             "/sys/fs/bpf/ostrale/tupla-7 -j NFQUEUE"),
                  std::string::npos);
        EXPECT_NE(testo.find("-A OSTRALE_ENTRATA -m conntrack --ctstate NEW -j NFQUEUE"),
                  std::string::npos);
    }
}

TEST(RegoleSistema, InstallAndRemoveExactlyTheirOwn) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace";
    const int esito = inSpazioNuovo([] {
        // Somebody else's rule must survive us.
        esegui("iptables -w -t mangle -A OUTPUT -p tcp --dport 9 -j MARK --set-mark 0x7");
        const RegoleSistema regole;
        if (const auto errore = regole.installa()) {
            std::fprintf(stderr, "%s\n", errore->c_str());
            return 1;
        }
        const std::string dopo = esegui("iptables-save") + esegui("ip6tables-save");
        if (dopo.find("-A OUTPUT -j OSTRALE_USCITA") == std::string::npos) return 2;
        if (dopo.find("-A INPUT -j OSTRALE_SCARTA") == std::string::npos) return 3;
        // A second installation (a restart after a crash) leaves one copy of each jump.
        if (regole.installa()) return 4;
        const std::string ancora = esegui("iptables-save -t mangle");
        if (ancora.find("-A OUTPUT -j OSTRALE_USCITA") !=
            ancora.rfind("-A OUTPUT -j OSTRALE_USCITA"))
            return 5;
        regole.rimuovi();
        const RegoleSistema quattro(RegoleSistema::Code{6130, 4, 6129});
        if (quattro.installa()) return 8;
        quattro.rimuovi();
        const std::string via = esegui("iptables-save") + esegui("ip6tables-save");
        if (via.find("OSTRALE") != std::string::npos) return 6;
        if (via.find("--set-xmark 0x7") == std::string::npos &&
            via.find("0x7") == std::string::npos)
            return 7;
        return 0;
    });
    if (esito == 77) GTEST_SKIP() << "network namespaces are not available";
    EXPECT_EQ(esito, 0);
}

// Flows are spread over several queues by their source port, every packet of a flow to the
// same queue: datagrams sent for real from chosen ports, counted by the rule that queued them
// (nobody listens: the queue is bypassed and they pass).
TEST(RegoleSistema, FlowsSpreadOverTheQueuesByTheirSourcePort) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a network namespace";
    const int esito = inSpazioNuovo([] {
        esegui("ip link set lo up");
        const RegoleSistema regole(RegoleSistema::Code{6130, 4, 6129});
        if (const auto errore = regole.installa()) {
            std::fprintf(stderr, "%s\n", errore->c_str());
            return 1;
        }
        // connect() takes even ports first: the port's lowest bit tells nothing.
        for (const bool sei : {false, true}) {
            for (const int porta : {1000, 1002, 1004, 1006, 1007}) {
                const int s = ::socket(sei ? AF_INET6 : AF_INET, SOCK_DGRAM, 0);
                sockaddr_storage da{}, a{};
                socklen_t lunghezza;
                if (sei) {
                    auto* d = reinterpret_cast<sockaddr_in6*>(&da);
                    d->sin6_family = AF_INET6;
                    d->sin6_addr = in6addr_loopback;
                    d->sin6_port = htons(static_cast<std::uint16_t>(porta));
                    auto* b = reinterpret_cast<sockaddr_in6*>(&a);
                    *b = *d;
                    b->sin6_port = htons(9);
                    lunghezza = sizeof(sockaddr_in6);
                } else {
                    auto* d = reinterpret_cast<sockaddr_in*>(&da);
                    d->sin_family = AF_INET;
                    d->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
                    d->sin_port = htons(static_cast<std::uint16_t>(porta));
                    auto* b = reinterpret_cast<sockaddr_in*>(&a);
                    *b = *d;
                    b->sin_port = htons(9);
                    lunghezza = sizeof(sockaddr_in);
                }
                if (::bind(s, reinterpret_cast<sockaddr*>(&da), lunghezza) != 0) return 2;
                // Two datagrams of one flow: both still new, both to the same queue.
                for (int i = 0; i < 2; ++i) {
                    ::sendto(s, "x", 1, 0, reinterpret_cast<sockaddr*>(&a), lunghezza);
                }
                ::close(s);
            }
        }
        // Per queue, the packets its outbound rule took: [packets:bytes] ahead of each rule.
        int errori = 0;
        for (const char* comando : {"iptables-save -c -t mangle", "ip6tables-save -c -t mangle"}) {
            const std::string testo = esegui(comando);
            // 1000 → 0, 1002 → 1, 1004 → 2, 1006 and 1007 → 3.
            const std::pair<int, int> attesi[] = {{6130, 2}, {6131, 2}, {6132, 2}, {6133, 4}};
            for (const auto& [coda, pacchetti] : attesi) {
                const std::string fine = "--queue-num " + std::to_string(coda);
                bool trovata = false;
                std::size_t inizio = 0;
                while (inizio < testo.size()) {
                    std::size_t a = testo.find('\n', inizio);
                    if (a == std::string::npos) a = testo.size();
                    const std::string riga = testo.substr(inizio, a - inizio);
                    inizio = a + 1;
                    if (riga.find("-A OSTRALE_USCITA") == std::string::npos ||
                        riga.find("--ctstate NEW") == std::string::npos ||
                        riga.find(fine + " ") == std::string::npos)
                        continue;
                    trovata = true;
                    const int contati = std::atoi(riga.c_str() + 1);
                    if (contati != pacchetti) {
                        std::fprintf(stderr, "%s: queue %d took %d packets, not %d\n", comando,
                                     coda, contati, pacchetti);
                        ++errori;
                    }
                }
                if (!trovata) ++errori;
            }
        }
        regole.rimuovi();
        return errori == 0 ? 0 : 3;
    });
    if (esito == 77) GTEST_SKIP() << "network namespaces are not available";
    EXPECT_EQ(esito, 0);
}

}  // namespace
}  // namespace ostrale
