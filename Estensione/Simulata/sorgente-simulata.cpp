// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Simulata/sorgente-simulata.h"

#include <chrono>

#include "Estensione/filter-data-provider.h"

namespace ostrale {

SorgenteSimulata::SorgenteSimulata(Scenario& scenario, double flussiAlSecondo, double accelerazione)
    : scenario_(scenario), flussiAlSecondo_(flussiAlSecondo), accelerazione_(accelerazione) {}

SorgenteSimulata::~SorgenteSimulata() {
    ferma();
}

void SorgenteSimulata::applicaImpostazioni(FilterDataProvider& provider,
                                           std::function<void(std::optional<std::string>)> fatto) {
    {
        std::lock_guard blocco(mutex_);
        if (!filo_.joinable()) filo_ = std::thread([this, &provider] { suona(provider); });
    }
    if (fatto) fatto(std::nullopt);
}

void SorgenteSimulata::ferma() {
    {
        std::lock_guard blocco(mutex_);
        fine_ = true;
    }
    sveglia_.notify_all();
    if (filo_.joinable() && filo_.get_id() != std::this_thread::get_id()) filo_.join();
}

void SorgenteSimulata::suona(FilterDataProvider& provider) {
    using Cronometro = std::chrono::steady_clock;
    constexpr auto passo = std::chrono::milliseconds(10);
    const auto inizio = Cronometro::now();
    double finora = 0;  // scenario seconds already played
    for (auto prossimo = inizio + passo;; prossimo += passo) {
        {
            std::unique_lock blocco(mutex_);
            if (sveglia_.wait_until(blocco, prossimo, [this] { return fine_; })) return;
        }
        const double adesso =
            std::chrono::duration<double>(Cronometro::now() - inizio).count() * accelerazione_;
        for (const auto& flusso : scenario_.flussi(finora, adesso, flussiAlSecondo_)) {
            riproduci(provider, flusso);
            ++inviati_;
        }
        finora = adesso;
        // Behind by more than a second: skip ahead rather than flood.
        if (Cronometro::now() - prossimo > std::chrono::seconds(1)) prossimo = Cronometro::now();
    }
}

}  // namespace ostrale
