// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Condiviso/data.h"
#include "Estensione/Linux/risposta-dns.h"

namespace ostrale {

// Address → the names that were asked when DNS answered it, learnt from the answers that cross
// the machine: machine-wide, and per application (the one whose socket the answer reached).
// Many names share an address (every CDN): a flow takes the latest name its own application
// resolved for the address, else the machine-wide latest, which is then ambiguous if other
// names answered for that address recently. Entries live max(TTL, 10 minutes); the least
// recently used give way past `capacità` (in each of the two tables). Safe from any thread.
class CacheNomi {
  public:
    static constexpr double durataMinima = 600;
    // Distinct recent names kept per address, to tell whether it is shared.
    static constexpr std::size_t nomiPerIndirizzo = 4;

    struct NomeNoto {
        std::string nome;
        bool dellApp = false;  // the flow's own application resolved it
        bool ambiguo = false;  // not the app's, and other names answered for the address
    };

    explicit CacheNomi(std::size_t capacità = 16384) : capacità_(capacità) {}

    // `app`, when not empty, is the identity of the application the answer was delivered to.
    void impara(const RispostaDns& risposta, Data adesso, std::string_view app = {});
    std::optional<NomeNoto> nome(std::string_view indirizzo, std::string_view app, Data adesso);
    // The machine-wide latest name.
    std::optional<std::string> nome(std::string_view indirizzo, Data adesso);
    std::size_t dimensione() const;
    std::size_t dimensionePerApp() const;

  private:
    struct Nome {
        std::string nome;
        Data scadenza;
    };
    // Most recent first; expired names are dropped when met.
    using Nomi = std::vector<Nome>;
    struct Voce {
        Nomi nomi;
        std::list<std::string>::iterator posizione;
    };
    // A table of least recently used entries.
    struct Tabella {
        std::unordered_map<std::string, Voce> voci;
        std::list<std::string> usate;  // most recent first
        Voce* trova(const std::string& chiave, Data adesso);
        Voce& inserisci(const std::string& chiave, std::size_t capacità);
    };
    static void aggiungi(Nomi& nomi, const std::string& nome, Data scadenza, std::size_t quanti);

    const std::size_t capacità_;
    mutable std::mutex mutex_;
    Tabella macchina_;
    Tabella perApp_;  // by application "\n" address
    std::string chiave_;
};

}  // namespace ostrale
