#include "Estensione/Linux/cache-nomi.h"

#include <algorithm>

namespace ostrale {
namespace {

// Answers that point at no real destination teach nothing (blocking resolvers answer these).
bool daIgnorare(std::string_view ip) {
    return ip.starts_with("127.") || ip == "::1" || ip == "0.0.0.0" || ip == "::";
}

}  // namespace

void CacheNomi::rinnova(Voce& voce) {
    usate_.splice(usate_.begin(), usate_, voce.posizione);
}

void CacheNomi::impara(const RispostaDns& risposta, Data adesso) {
    std::lock_guard blocco(mutex_);
    for (const auto& indirizzo : risposta.indirizzi) {
        if (daIgnorare(indirizzo.testo)) continue;
        const Data scadenza =
            adesso.piùSecondi(std::max(durataMinima, static_cast<double>(indirizzo.ttl)));
        const auto it = voci_.find(indirizzo.testo);
        if (it != voci_.end()) {
            it->second.nome = risposta.domanda;
            it->second.scadenza = scadenza;
            rinnova(it->second);
            continue;
        }
        if (voci_.size() >= capacità_) {
            voci_.erase(usate_.back());
            usate_.pop_back();
        }
        usate_.push_front(indirizzo.testo);
        voci_.emplace(indirizzo.testo, Voce{risposta.domanda, scadenza, usate_.begin()});
    }
}

std::optional<std::string> CacheNomi::nome(std::string_view indirizzo, Data adesso) {
    std::lock_guard blocco(mutex_);
    const auto it = voci_.find(std::string(indirizzo));
    if (it == voci_.end()) return std::nullopt;
    if (it->second.scadenza < adesso) {
        usate_.erase(it->second.posizione);
        voci_.erase(it);
        return std::nullopt;
    }
    rinnova(it->second);
    return it->second.nome;
}

std::size_t CacheNomi::dimensione() const {
    std::lock_guard blocco(mutex_);
    return voci_.size();
}

}  // namespace ostrale
