#include "Condiviso/orologio.h"

#include <chrono>

namespace ostrale {

Data OrologioDiSistema::adesso() const {
    return Data::daSistema(std::chrono::system_clock::now());
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
