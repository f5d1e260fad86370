// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/risposta-domanda.h"

#include <charconv>

namespace ostrale {

Durata durataPer(DurataRisposta durata, Data adesso) {
    Durata d;
    switch (durata) {
        case DurataRisposta::quindiciMinuti:
            d.scadenza = adesso.piùSecondi(15 * 60);
            break;
        case DurataRisposta::unOra:
            d.scadenza = adesso.piùSecondi(3600);
            break;
        case DurataRisposta::dodiciOre:
            d.scadenza = adesso.piùSecondi(12 * 3600);
            break;
        case DurataRisposta::finoAlRiavvio:
            d.avvio = idAvvio();
            break;
        case DurataRisposta::unaVolta:
        case DurataRisposta::perSempre:
            break;
    }
    return d;
}

std::optional<Durata> durataDaTesto(std::string_view testo, Data adesso) {
    if (testo == "riavvio" || testo == "restart")
        return durataPer(DurataRisposta::finoAlRiavvio, adesso);
    if (testo.size() < 2) return std::nullopt;
    std::int64_t quanti = 0;
    const char* fine = testo.data() + testo.size() - 1;
    const auto [dove, errore] = std::from_chars(testo.data(), fine, quanti);
    if (errore != std::errc() || dove != fine || quanti <= 0) return std::nullopt;
    double unità;
    switch (testo.back()) {
        case 's':
            unità = 1;
            break;
        case 'm':
            unità = 60;
            break;
        case 'h':
            unità = 3600;
            break;
        case 'd':
            unità = 86400;
            break;
        default:
            return std::nullopt;
    }
    // Beyond ten years it is for ever in all but name: refused as a mistake.
    if (quanti > 10 * 366 * 86400 / static_cast<std::int64_t>(unità)) return std::nullopt;
    Durata d;
    d.scadenza = adesso.piùSecondi(static_cast<double>(quanti) * unità);
    return d;
}

}  // namespace ostrale
