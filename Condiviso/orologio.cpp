// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/orologio.h"

#include <chrono>

namespace ostrale {

Data OrologioDiSistema::adesso() const {
    return Data::daSistema(std::chrono::system_clock::now());
}

OrologioAccelerato::OrologioAccelerato(double fattore, double ritardo)
    : fattore_(fattore), ritardo_(ritardo), inizio_(OrologioDiSistema().adesso()) {}

Data OrologioAccelerato::adesso() const {
    const Data reale = OrologioDiSistema().adesso();
    const Data veloce = inizio_.piùSecondi(reale.secondiDa(inizio_) * fattore_ - ritardo_);
    if (ritardo_ > 0 && veloce.secondiDa(reale) > 0) return reale;
    return veloce;
}

Data OrologioFinto::adesso() const {
    std::lock_guard blocco(mutex_);
    return adesso_;
}

void OrologioFinto::imposta(Data d) {
    std::lock_guard blocco(mutex_);
    adesso_ = d;
}

void OrologioFinto::avanza(double secondi) {
    std::lock_guard blocco(mutex_);
    adesso_ = adesso_.piùSecondi(secondi);
}

}  // namespace ostrale
