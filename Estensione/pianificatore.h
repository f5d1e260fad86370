// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace ostrale {

// Delayed and periodic work. Tasks that reach an object hold it weakly and do nothing once it
// is gone; the scheduler only promises to run each task once its time has come.
class Pianificatore {
  public:
    virtual ~Pianificatore() = default;
    // Runs `compito` once, `secondi` from now.
    virtual void dopo(double secondi, std::function<void()> compito) = 0;
    // Runs `compito` every `secondi`, the first time `secondi` from now.
    virtual void ogni(double secondi, std::function<void()> compito) = 0;
};

// A scheduler with one worker thread on the monotonic clock. Destruction stops the thread;
// tasks not yet due are dropped.
class PianificatoreDiSistema final : public Pianificatore {
  public:
    PianificatoreDiSistema();
    ~PianificatoreDiSistema() override;
    // No task runs after this returns (one running is waited for); later ones are dropped.
    void ferma();

    void dopo(double secondi, std::function<void()> compito) override;
    void ogni(double secondi, std::function<void()> compito) override;

  private:
    using Istante = std::chrono::steady_clock::time_point;
    struct Compito {
        std::function<void()> azione;
        double periodo;  // 0 for a task that runs once
    };
    void aggiungi(double secondi, double periodo, std::function<void()> compito);
    void esegui();

    std::mutex mutex_;
    std::condition_variable sveglia_;
    std::multimap<Istante, Compito> coda_;
    bool fine_ = false;
    std::thread filo_;
};

}  // namespace ostrale
