// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Condiviso/codifica-json.h"
#include "Condiviso/pacchetto-storico.h"
#include "Condiviso/stato-regole.h"
#include "Estensione/flusso-di-rete.h"
#include "Estensione/risolutore-identita.h"

namespace ostrale {

// A flow of the scenario. It remembers its verdict when it was paused and later resumed.
class FilterDataProvider;

class FlussoSimulato final : public FlussoDiRete {
  public:
    std::optional<TokenApp> tokenApp;
    bool entrata = false;
    std::optional<std::string> nome;
    std::optional<Estremo> estremoRemoto;
    std::optional<Estremo> estremoLocale;
    int numeroProtocollo = 6;
    // For a lookup: the question (name, type) whose answer comes back on this flow.
    std::optional<std::pair<std::string, std::uint16_t>> domandaDns;

    std::optional<TokenApp> token() const override { return tokenApp; }
    bool èInEntrata() const override { return entrata; }
    std::optional<std::string> nomeHost() const override { return nome; }
    std::optional<Estremo> remoto() const override { return estremoRemoto; }
    std::optional<Estremo> locale() const override { return estremoLocale; }
    int protocollo() const override { return numeroProtocollo; }
    void riprendi(bool consenti) override;

    // The verdict given on resumption, once resumed.
    std::optional<bool> ripreso() const;

  private:
    mutable std::mutex mutex_;
    std::optional<bool> ripreso_;
};

// Hands `flusso` to `provider` as a packet source does: the flow, then the answer to its
// question when it is a lookup.
void riproduci(FilterDataProvider& provider, const std::shared_ptr<FlussoSimulato>& flusso);

// A day in the life of a desktop, played as flows: browsers and everyday applications reaching
// real-looking hosts (some of them trackers), the system resolver, a never-seen application
// during its quarantine, and, at fixed moments of every cycle, the episodes that every part of
// the product reacts to: scans and password guessing from outside, a DNS tunnel, bursts, floods,
// look-alike and machine-generated names, a known command-and-control address, lateral movement
// in the local network, a beacon, a channel kept open for hours and a slow exfiltration.
// Deterministic for a given seed; addresses come from the documentation ranges.
class Scenario final : public RisolutoreIdentità {
  public:
    // Length of one cycle of episodes, in scenario seconds.
    static constexpr double ciclo = 900;

    explicit Scenario(std::uint64_t seme = 1);

    // The flows due in the scenario's time range [da, a), in order, with `sfondo` ordinary flows
    // per second besides the episodes.
    std::vector<std::shared_ptr<FlussoSimulato>> flussi(double da, double a, double sfondo);

    // The identity behind a scenario token.
    std::optional<std::string> firma(const TokenApp& token) override;

    // Rules a user of this machine could have set: quarantine and tracker blocking on, an
    // application and a domain blocked, the browser allowed.
    static StatoRegole regoleDimostrative();
    // First sightings of an established machine: the everyday applications were first seen a
    // month before `adesso`, so only the scenario's newcomers are in quarantine.
    static PrimeViste primeVisteDimostrative(Data adesso);
    // Habits of an established machine: the domains of the everyday applications, learnt
    // before today (those of the scenario's other programs are not).
    static json::Abitudini abitudiniDimostrative();
    // A command-and-control list for the scenario's own address (and documentation addresses).
    static std::string elencoC2Dimostrativo();

  private:
    struct App {
        std::string firma;
        TokenApp token;
    };
    std::shared_ptr<FlussoSimulato> uscita(int app, const std::string& host, const std::string& ip,
                                           const std::string& porta, int protocollo = 6);
    std::shared_ptr<FlussoSimulato> entrata(const std::string& ip, const std::string& portaLocale);
    int app(const std::string& firma);
    // Flows with the moment each is due.
    using Programmati = std::vector<std::pair<double, std::shared_ptr<FlussoSimulato>>>;
    struct Raccolta;
    // The flows of the episodes due in [da, a), in the order they are made (the random draws
    // follow it).
    void episodi(double da, double a, Programmati& out);
    // A beacon, a channel kept open and a slow trickle of uploads, over hours.
    void compagniCostanti(Raccolta& r);
    // The episodes of the cycle that starts at `base`: scans and password guessing from outside;
    void attacchiDaFuori(Raccolta& r, double base);
    // a DNS tunnel, a crawler's burst (its sites change with the cycle `k`), a scan, a remote
    // shell's port and a flood;
    void abusiRumorosi(Raccolta& r, double base, int k);
    // a look-alike name, bare addresses, a command-and-control address, QUIC to an address,
    // lateral movement, machine-generated names and a newcomer.
    void destinazioniSospette(Raccolta& r, double base);

    std::mt19937_64 caso_;
    std::vector<App> app_;
};

}  // namespace ostrale
