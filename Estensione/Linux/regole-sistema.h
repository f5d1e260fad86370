// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ostrale {

// The netfilter rules that hand the first packet of every new flow to the daemon, for IPv4 and
// IPv6, in chains of our own. Judged flows carry bit 0x100 of the connection mark and skip the
// queue afterwards; refused ones also carry 0x200: outbound they are rejected at once (a TCP
// reset, else ICMP administratively prohibited), inbound they are dropped silently.
// A connection opened while waiting for its server's name carries 0x400 until judged.
// DHCP and IPv6 neighbour discovery never reach the queue. While no daemon listens, traffic
// flows (--queue-bypass). DNS answers go to a queue of their own, to learn host names.
class RegoleSistema {
  public:
    static constexpr unsigned segnoGiudicato = 0x100;
    static constexpr unsigned segnoRifiutato = 0x200;
    // An outbound TCP connection let through unjudged until its first data (which names its
    // server): its packets go to the flow queue until one carries a verdict.
    static constexpr unsigned segnoAttesa = 0x400;

    struct Code {
        // Flows are spread over [primaFlussi, primaFlussi + quanteFlussi) by their source port.
        unsigned primaFlussi = 6130;
        // A power of two (a smaller one is used otherwise). Each queue has a thread of its own:
        // the verdict's share of the work, the kernel carrying the reinjected packet on through
        // the stack (on a machine's own connections, the whole handshake), runs on that
        // thread, so one queue per core lets the cores share it.
        unsigned quanteFlussi = 1;
        unsigned dns = 6129;
    };

    RegoleSistema() = default;
    explicit RegoleSistema(Code code);

    // The input of iptables-restore (`v6` false) or ip6tables-restore (true).
    std::string regole(bool v6) const;

    // Removes leftovers of an earlier run, then installs the rules for both families.
    // Answers the error when the rules could not be installed (nothing is left half done).
    std::optional<std::string> installa() const;
    // Removes exactly what `installa` put in place; leftovers are tolerated.
    void rimuovi() const;

    const Code& code() const { return code_; }

    // The pinned socket filter run as an xt_bpf match by the rule that queues outbound first
    // packets (it notes each flow's socket); empty for none.
    void usaFiltroTuple(std::string percorso) { filtroTuple_ = std::move(percorso); }

  private:
    // The two tables of the rules, and the chains that queue new flows.
    std::string tabellaMangle(bool v6) const;
    std::string tabellaFilter(bool v6) const;
    // The chain `catena` of the mangle table, for inbound flows when `dns` (DNS answers have a
    // queue of their own), outbound otherwise.
    std::string catenaDiGiudizio(const std::string& catena, bool dns, bool v6) const;
    // `regola` once per flow queue, each queue taking the flows of its source ports.
    std::string accoda(const std::string& regola, bool v6) const;

    Code code_{};
    std::string filtroTuple_;
};

}  // namespace ostrale
