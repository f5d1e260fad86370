// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "Condiviso/data.h"
#include "Condiviso/insieme-testi.h"
#include "Condiviso/orologio.h"
#include "Condiviso/protetto.h"

namespace ostrale {

// The known command-and-control addresses: the downloaded list "c2-aggiornata.txt" of the
// container when it has entries, else the shipped edition "c2.txt". One instance per process,
// created by main and handed to its users.
class BlocklistC2 {
  public:
    // A delivered list with fewer distinct entries is refused.
    static constexpr std::size_t vociMinime = 50;
    static constexpr std::string_view nomeFile = "c2-aggiornata.txt";

    // Logs an error when the shipped edition is missing: an installation without its data.
    explicit BlocklistC2(const Orologio& orologio);

    // The current set, loaded from disk on first use. The returned set never changes: a new
    // list replaces the reference.
    std::shared_ptr<const InsiemeTesti> insieme();
    bool contiene(std::string_view indirizzo) { return insieme()->contains(indirizzo); }

    // The date of the list in use: the downloaded file's modification date, or the moment the
    // last accepted list arrived; absent when no downloaded list exists.
    std::optional<Data> dataCache();

    // Installs a new list and stores the text as received; answers the number of distinct
    // entries, or 0 when the text was refused (too few entries, or not UTF-8).
    std::int64_t aggiorna(std::string_view testo);

    // The modification date of "c2-aggiornata.txt" in the container.
    static std::optional<Data> dataFileAggiornato();
    static InsiemeTesti analizza(std::string_view testo);

  private:
    struct Stato {
        std::shared_ptr<const InsiemeTesti> cache;
        bool dataLetta = false;
        std::optional<Data> dataCache;
    };
    static InsiemeTesti carica();

    const Orologio& orologio_;
    Protetto<Stato> stato_;
};

}  // namespace ostrale
