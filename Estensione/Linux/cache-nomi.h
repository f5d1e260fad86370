#pragma once

#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "Condiviso/data.h"
#include "Estensione/Linux/risposta-dns.h"

namespace ostrale {

// Address → the name that was asked when DNS answered it, learnt from the answers that cross
// the machine. The latest answer for an address wins. Entries live max(TTL, 10 minutes); the
// least recently used give way past `capacità`. Safe from any thread.
class CacheNomi {
  public:
    static constexpr double durataMinima = 600;

    explicit CacheNomi(std::size_t capacità = 16384) : capacità_(capacità) {}

    void impara(const RispostaDns& risposta, Data adesso);
    std::optional<std::string> nome(std::string_view indirizzo, Data adesso);
    std::size_t dimensione() const;

  private:
    struct Voce {
        std::string nome;
        Data scadenza;
        std::list<std::string>::iterator posizione;
    };
    void rinnova(Voce& voce);

    const std::size_t capacità_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Voce> voci_;
    std::list<std::string> usate_;  // most recent first
};

}  // namespace ostrale
