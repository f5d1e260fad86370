// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Stato/coda-seriale.h"

namespace ostrale {

CodaSeriale::CodaSeriale() : filo_([this] { esegui(); }) {}

CodaSeriale::~CodaSeriale() {
    {
        std::lock_guard blocco(mutex_);
        fine_ = true;
    }
    sveglia_.notify_all();
    filo_.join();
}

void CodaSeriale::accoda(std::function<void()> lavoro) {
    {
        std::lock_guard blocco(mutex_);
        lavori_.push_back(std::move(lavoro));
    }
    sveglia_.notify_one();
}

void CodaSeriale::svuota() {
    std::unique_lock blocco(mutex_);
    vuota_.wait(blocco, [this] { return lavori_.empty() && !occupata_; });
}

void CodaSeriale::esegui() {
    std::unique_lock blocco(mutex_);
    for (;;) {
        sveglia_.wait(blocco, [this] { return fine_ || !lavori_.empty(); });
        if (lavori_.empty()) return;  // and fine_
        auto lavoro = std::move(lavori_.front());
        lavori_.pop_front();
        occupata_ = true;
        blocco.unlock();
        lavoro();
        lavoro = nullptr;
        blocco.lock();
        occupata_ = false;
        if (lavori_.empty()) vuota_.notify_all();
    }
}

}  // namespace ostrale
