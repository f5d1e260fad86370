#include "Condiviso/fascia-oraria.h"

#include <ctime>

namespace ostrale {

bool FasciaOraria::contiene(std::int64_t minuto) const {
    if (inizio < fine) return minuto >= inizio && minuto < fine;
    if (fine < inizio) return minuto >= inizio || minuto < fine;
    return false;
}

int minutoDelGiorno(Data momento) {
    const std::time_t secondi = momento.secondiUnixInteri();
    std::tm locale{};
    localtime_r(&secondi, &locale);
    return locale.tm_hour * 60 + locale.tm_min;
}

}  // namespace ostrale
