// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "Estensione/Simulata/scenario.h"
#include "Estensione/sorgente-flussi.h"

namespace ostrale {

// Plays the scenario through the real pipeline from a thread of its own, at a given rate of
// ordinary flows per second of scenario time; `accelerazione` scenario seconds pass per real
// second. Paused flows are held until the provider resumes them.
class SorgenteSimulata final : public SorgenteFlussi {
  public:
    SorgenteSimulata(Scenario& scenario, double flussiAlSecondo, double accelerazione = 1);
    ~SorgenteSimulata() override;

    void applicaImpostazioni(FilterDataProvider& provider,
                             std::function<void(std::optional<std::string>)> fatto) override;
    // Stops playing; returns once the thread is gone.
    void ferma();

    std::uint64_t flussiInviati() const { return inviati_; }

  private:
    void suona(FilterDataProvider& provider);

    Scenario& scenario_;
    const double flussiAlSecondo_;
    const double accelerazione_;
    std::atomic<std::uint64_t> inviati_ = 0;
    std::mutex mutex_;
    std::condition_variable sveglia_;
    bool fine_ = false;
    std::thread filo_;
};

}  // namespace ostrale
