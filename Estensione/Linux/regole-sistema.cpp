// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/regole-sistema.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>

extern char** environ;

namespace ostrale {
namespace {

// Runs a command, feeding `ingresso` to its standard input; answers its exit status and output.
int esegui(const std::vector<std::string>& argomenti, const std::string& ingresso,
           std::string& uscita) {
    int dentro[2], fuori[2];
    if (::pipe2(dentro, O_CLOEXEC) != 0) return -1;
    if (::pipe2(fuori, O_CLOEXEC) != 0) {
        ::close(dentro[0]);
        ::close(dentro[1]);
        return -1;
    }
    posix_spawn_file_actions_t azioni;
    posix_spawn_file_actions_init(&azioni);
    posix_spawn_file_actions_adddup2(&azioni, dentro[0], 0);
    posix_spawn_file_actions_adddup2(&azioni, fuori[1], 1);
    posix_spawn_file_actions_adddup2(&azioni, fuori[1], 2);
    std::vector<char*> argv;
    for (const auto& a : argomenti) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int avvio = ::posix_spawnp(&pid, argv[0], &azioni, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&azioni);
    ::close(dentro[0]);
    ::close(fuori[1]);
    if (avvio == 0) {
        std::string_view resto = ingresso;
        while (!resto.empty()) {
            const ssize_t n = ::write(dentro[1], resto.data(), resto.size());
            if (n <= 0) break;
            resto.remove_prefix(static_cast<std::size_t>(n));
        }
    }
    ::close(dentro[1]);
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fuori[0], buffer, sizeof buffer)) > 0)
        uscita.append(buffer, static_cast<std::size_t>(n));
    ::close(fuori[0]);
    if (avvio != 0) return -1;
    int stato = 0;
    ::waitpid(pid, &stato, 0);
    return WIFEXITED(stato) ? WEXITSTATUS(stato) : -1;
}

std::string esadecimale(unsigned v) {
    char testo[16];
    std::snprintf(testo, sizeof testo, "0x%x", v);
    return testo;
}

struct Aggancio {
    const char* tabella;
    const char* catena;
    const char* nostra;
};
constexpr Aggancio agganci[] = {
    {"mangle", "OUTPUT", "OSTRALE_USCITA"},
    {"mangle", "INPUT", "OSTRALE_ENTRATA"},
    {"filter", "OUTPUT", "OSTRALE_RIFIUTA"},
    {"filter", "INPUT", "OSTRALE_SCARTA"},
};
constexpr const char* catenaGiudicato = "OSTRALE_GIUDICATO";
constexpr const char* catenaAttesa = "OSTRALE_ATTESA";

}  // namespace

RegoleSistema::RegoleSistema(Code code) : code_(code) {
    code_.quanteFlussi = std::bit_floor(std::clamp(code_.quanteFlussi, 1u, 64u));
}

std::string RegoleSistema::regole(bool v6) const {
    return tabellaMangle(v6) + tabellaFilter(v6);
}

std::string RegoleSistema::accoda(const std::string& regola, bool v6) const {
    // Flows are spread over the flow queues by their source port's low bits above the lowest
    // (connect() picks even ports first) (the first half-word of the transport header, which
    // iptables' balance does not look at: it hashes the addresses only, and many flows to one
    // server would all share a queue). Every packet of
    // a flow carries the same port, so a flow stays on one queue, in order; what has no such
    // field, or lies beyond the packet, goes to the first.
    const unsigned quante = code_.quanteFlussi;
    std::string righe;
    for (unsigned k = 1; k < quante; ++k) {
        righe += regola + " -m u32 --u32 " + (v6 ? "40" : "0>>22&0x3C@0") + ">>17&" +
                 esadecimale(quante - 1) + "=" + esadecimale(k) + " -j NFQUEUE --queue-num " +
                 std::to_string(code_.primaFlussi + k) + " --queue-bypass\n";
    }
    return righe + regola + " -j NFQUEUE --queue-num " + std::to_string(code_.primaFlussi) +
           " --queue-bypass\n";
}

std::string RegoleSistema::tabellaMangle(bool v6) const {
    const std::string entrambi = esadecimale(segnoGiudicato | segnoRifiutato);
    const std::string a = esadecimale(segnoAttesa);
    std::string s =
        "*mangle\n:OSTRALE_USCITA - [0:0]\n:OSTRALE_ENTRATA - [0:0]\n:OSTRALE_GIUDICATO - [0:0]\n"
        ":OSTRALE_ATTESA - [0:0]\n";
    s += catenaDiGiudizio("OSTRALE_USCITA", false, v6);
    s += catenaDiGiudizio("OSTRALE_ENTRATA", true, v6);
    // The connection keeps the verdict's bits and the packet loses them. An allowed packet goes
    // on through the rest of the table; a refused one ends it here, so that no later rule (a
    // `CONNMARK --save-mark` without a mask) can wipe the refusal before the filter table acts.
    s += "-A OSTRALE_GIUDICATO -j CONNMARK --save-mark --nfmask " + entrambi + " --ctmask " +
         entrambi + "\n";
    s += "-A OSTRALE_GIUDICATO -j MARK --and-mark " +
         esadecimale(~(segnoGiudicato | segnoRifiutato)) + "\n";
    s += "-A OSTRALE_GIUDICATO -m connmark --mark " + entrambi + "/" + entrambi + " -j ACCEPT\n";
    s += "-A OSTRALE_ATTESA -j CONNMARK --save-mark --nfmask " + a + " --ctmask " + a + "\n";
    s += "-A OSTRALE_ATTESA -j MARK --and-mark " + esadecimale(~segnoAttesa) + "\n";
    s += "-I OUTPUT 1 -j OSTRALE_USCITA\n-I INPUT 1 -j OSTRALE_ENTRATA\nCOMMIT\n";
    return s;
}

std::string RegoleSistema::catenaDiGiudizio(const std::string& catena, bool dns, bool v6) const {
    const std::string g = esadecimale(segnoGiudicato);
    const std::string entrambi = esadecimale(segnoGiudicato | segnoRifiutato);
    const std::string a = esadecimale(segnoAttesa);
    const std::string codaDns = "--queue-num " + std::to_string(code_.dns) + " --queue-bypass";
    std::string s;
    if (dns) {
        // Answers to a question that was judged and allowed: a reply of its connection.
        // Unsolicited "answers" and inbound flows from port 53 are judged like any flow.
        for (const char* proto : {"udp", "tcp"}) {
            s += "-A " + catena + " -p " + proto +
                 " --sport 53 -m conntrack --ctstate ESTABLISHED" + " -m connmark --mark " + g +
                 "/" + entrambi + " -j NFQUEUE " + codaDns + "\n";
        }
    }
    // A judged flow skips the queue; its refusal lives in the connection mark only.
    s += "-A " + catena + " -m connmark --mark " + g + "/" + g + " -j RETURN\n";
    // A packet coming back from the queue with its verdict: the connection keeps it, and an
    // allowed packet goes on through the rest of the table (other software's rules).
    s += "-A " + catena + " -m mark --mark " + g + "/" + g + " -g OSTRALE_GIUDICATO\n";
    if (!dns) {
        // An opening let through to wait for its server's name, and then every packet of
        // its connection until the one that gets the verdict.
        s += "-A " + catena + " -m mark --mark " + a + "/" + a + " -g OSTRALE_ATTESA\n";
        s += accoda("-A " + catena + " -p tcp -m connmark --mark " + a + "/" + a, v6);
    }
    if (v6) {
        s += "-A " + catena + " -p udp --dport 546:547 -j RETURN\n";
        for (int tipo = 133; tipo <= 137; ++tipo) {
            s += "-A " + catena + " -p ipv6-icmp --icmpv6-type " + std::to_string(tipo) +
                 " -j RETURN\n";
        }
    } else {
        s += "-A " + catena + " -p udp --dport 67:68 -j RETURN\n";
    }
    std::string nuovo = "-A " + catena + " -m conntrack --ctstate NEW";
    if (!dns && !filtroTuple_.empty()) nuovo += " -m bpf --object-pinned " + filtroTuple_;
    s += accoda(nuovo, v6);
    return s;
}

std::string RegoleSistema::tabellaFilter(bool v6) const {
    const std::string entrambi = esadecimale(segnoGiudicato | segnoRifiutato);
    std::string s = "*filter\n:OSTRALE_RIFIUTA - [0:0]\n:OSTRALE_SCARTA - [0:0]\n";
    // The reset or ICMP error that refuses a flow belongs to that flow's connection and so gets
    // its refusal bit: it must still reach the application, on the way out and back in.
    const std::string rifiutato = " -m connmark --mark " + entrambi + "/" + entrambi;
    for (const char* catena : {"OSTRALE_RIFIUTA", "OSTRALE_SCARTA"}) {
        // Every packet of the machine comes here: those of connections not refused leave at
        // once.
        s += std::string("-A ") + catena + " -m connmark ! --mark " + entrambi + "/" + entrambi +
             " -j RETURN\n";
        s += std::string("-A ") + catena + " -p tcp --tcp-flags RST RST -j RETURN\n";
        s += std::string("-A ") + catena +
             (v6 ? " -p ipv6-icmp --icmpv6-type destination-unreachable -j RETURN\n"
                 : " -p icmp --icmp-type destination-unreachable -j RETURN\n");
    }
    // Refused: judged with the refusal bit, read from the connection mark, so that marks set by
    // other software on packets never count.
    s += "-A OSTRALE_RIFIUTA -p tcp" + rifiutato + " -j REJECT --reject-with tcp-reset\n";
    s += "-A OSTRALE_RIFIUTA" + rifiutato + " -j REJECT --reject-with " +
         (v6 ? "icmp6-adm-prohibited" : "icmp-admin-prohibited") + "\n";
    s += "-A OSTRALE_SCARTA" + rifiutato + " -j DROP\n";
    s += "-I OUTPUT 1 -j OSTRALE_RIFIUTA\n-I INPUT 1 -j OSTRALE_SCARTA\nCOMMIT\n";
    return s;
}

void RegoleSistema::rimuovi() const {
    for (const char* comando : {"iptables", "ip6tables"}) {
        std::string uscita;
        for (const Aggancio& a : agganci) {
            // Every jump, however many times an earlier run left it.
            for (int i = 0; i < 16; ++i) {
                if (esegui({comando, "-w", "-t", a.tabella, "-D", a.catena, "-j", a.nostra}, "",
                           uscita) != 0)
                    break;
            }
        }
        for (const Aggancio& a : agganci) {
            esegui({comando, "-w", "-t", a.tabella, "-F", a.nostra}, "", uscita);
        }
        esegui({comando, "-w", "-t", "mangle", "-F", catenaGiudicato}, "", uscita);
        esegui({comando, "-w", "-t", "mangle", "-F", catenaAttesa}, "", uscita);
        for (const Aggancio& a : agganci) {
            esegui({comando, "-w", "-t", a.tabella, "-X", a.nostra}, "", uscita);
        }
        esegui({comando, "-w", "-t", "mangle", "-X", catenaGiudicato}, "", uscita);
        esegui({comando, "-w", "-t", "mangle", "-X", catenaAttesa}, "", uscita);
    }
}

std::optional<std::string> RegoleSistema::installa() const {
    // Without a flow queue every flow would pass unjudged (--queue-bypass).
    if (code_.quanteFlussi < 1) return std::string("no flow queue configured");
    rimuovi();
    for (const bool v6 : {false, true}) {
        std::string uscita;
        const int esito = esegui({v6 ? "ip6tables-restore" : "iptables-restore", "-w", "--noflush"},
                                 regole(v6), uscita);
        if (esito != 0) {
            rimuovi();
            return std::string(v6 ? "ip6tables-restore" : "iptables-restore") + " failed (" +
                   std::to_string(esito) + "): " + uscita;
        }
    }
    return std::nullopt;
}

}  // namespace ostrale
