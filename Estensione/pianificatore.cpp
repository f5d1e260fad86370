// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/pianificatore.h"

namespace ostrale {

PianificatoreDiSistema::PianificatoreDiSistema() : filo_([this] { esegui(); }) {}

PianificatoreDiSistema::~PianificatoreDiSistema() {
    ferma();
}

void PianificatoreDiSistema::ferma() {
    {
        std::lock_guard blocco(mutex_);
        fine_ = true;
    }
    sveglia_.notify_all();
    if (filo_.joinable()) filo_.join();
}

void PianificatoreDiSistema::dopo(double secondi, std::function<void()> compito) {
    aggiungi(secondi, 0, std::move(compito));
}

void PianificatoreDiSistema::ogni(double secondi, std::function<void()> compito) {
    aggiungi(secondi, secondi, std::move(compito));
}

void PianificatoreDiSistema::aggiungi(double secondi, double periodo,
                                      std::function<void()> compito) {
    const auto quando = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(secondi));
    {
        std::lock_guard blocco(mutex_);
        coda_.emplace(quando, Compito{std::move(compito), periodo});
    }
    sveglia_.notify_all();
}

void PianificatoreDiSistema::esegui() {
    std::unique_lock blocco(mutex_);
    while (!fine_) {
        if (coda_.empty()) {
            sveglia_.wait(blocco);
            continue;
        }
        const auto prossimo = coda_.begin()->first;
        if (std::chrono::steady_clock::now() < prossimo) {
            sveglia_.wait_until(blocco, prossimo);
            continue;
        }
        auto nodo = coda_.extract(coda_.begin());
        blocco.unlock();
        nodo.mapped().azione();
        blocco.lock();
        if (nodo.mapped().periodo > 0) {
            nodo.key() += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(nodo.mapped().periodo));
            coda_.insert(std::move(nodo));
        }
    }
}

}  // namespace ostrale
