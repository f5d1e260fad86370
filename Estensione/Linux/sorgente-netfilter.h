// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Condiviso/orologio.h"
#include "Estensione/Linux/attribuzione-bpf.h"
#include "Estensione/Linux/cache-nomi.h"
#include "Estensione/Linux/identita-processo.h"
#include "Estensione/Linux/monitor-resolved.h"
#include "Estensione/Linux/regole-sistema.h"
#include "Estensione/sorgente-flussi.h"

namespace ostrale {

// The machine's real traffic: the first packet of every new flow arrives on NFQUEUE (one
// thread and one netlink socket per queue), is turned into a flow for the provider, and gets
// its verdict on the socket that received it. DNS answers arrive on a queue of their own and
// teach host names. Needs root (CAP_NET_ADMIN).
class SorgenteNetfilter final : public SorgenteFlussi {
  public:
    // `identità`, when given, learns of processes that exec or end. `conBpf` false keeps to
    // socket lookups even where the kernel programs could be loaded.
    SorgenteNetfilter(const Orologio& orologio, RegoleSistema regole = RegoleSistema(),
                      RisolutoreLinux* identità = nullptr, bool conBpf = true);
    ~SorgenteNetfilter() override;

    void applicaImpostazioni(FilterDataProvider& provider,
                             std::function<void(std::optional<std::string>)> fatto) override;
    // Removes the system rules and stops reading; held packets are dropped by the kernel.
    void ferma();

    CacheNomi& nomi() { return nomi_; }

    class Coda;

  private:
    void preparaAttribuzione();
    // The application that asked a DNS question, noted when its question was judged, so that
    // its answer (`risposta`'s tuple) teaches that application's names.
    void notaDomanda(const TuplaPacchetto& domanda, const TokenApp& token);
    std::optional<TokenApp> chiHaChiesto(const TuplaPacchetto& risposta);
    void inviaReset(const TuplaPacchetto& tupla) const;
    // The owner of the socket of `tupla` by an exact socket lookup, then the /proc index.
    std::optional<TokenApp> tokenDelSocket(const TuplaPacchetto& tupla, bool uscita);
    void apriSocketGrezzi();

    const Orologio& orologio_;
    RegoleSistema regole_;
    CacheNomi nomi_;
    MonitorResolved monitor_{nomi_, orologio_};
    IndiceSocket indice_;
    RisolutoreLinux* identità_;
    const bool conBpf_;
    std::unique_ptr<AttribuzioneBpf> bpf_;
    std::vector<std::shared_ptr<Coda>> code_;
    std::atomic<bool> attiva_ = false;
    static constexpr std::size_t massimoDomande = 4096;
    static constexpr std::chrono::seconds durataDomanda{30};
    std::mutex domandeMutex_;
    std::unordered_map<ChiaveTupla, std::pair<TokenApp, std::chrono::steady_clock::time_point>,
                       ChiaveTupla::Hash>
        domande_;
    // For the resets sent to servers of refused connections that were already open.
    int grezzo4_ = -1, grezzo6_ = -1;
};

}  // namespace ostrale
