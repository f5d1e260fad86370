// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Condiviso/data.h"
#include "Ostrale/Stato/posizione-ip.h"

namespace ostrale {

// The offline city database: files in the MaxMind DB format, mapped read-only, answering one
// address at a time. Only what placing an address needs is read: the search tree, one record
// and its location, city and country. Two record layouts are understood: DB-IP's own (nested:
// "location" {latitude, longitude}, "city" {names}, "country" {names, iso_code}) and the flat one
// of the npm edition ("latitude", "longitude", "city", "country_code"). A database may be one
// file for both families or a pair (IPv4, IPv6). Every offset read from a file is checked, and
// nesting is bounded: a damaged file gives no answer, never a read outside it.
// Immutable once built; usable from any thread.
class GeoDB {
  public:
    // What one file's metadata said.
    struct Metadati {
        std::int64_t nodeCount = 0;
        std::int64_t recordSize = 0;
        std::int64_t treeSize = 0;
        std::int64_t ipv4Start = 0;
        std::int64_t ipVersion = 0;  // 0 when absent
        bool pronto = false;
        std::optional<Data> dataCostruzione;
    };

    // The files this machine uses, in the order that holds: GEODB_PERCORSO, explicit files used
    // instead of any edition (whether or not they exist; several separated by ':'; the updater
    // never writes them: the demonstration's database comes this way), else the copy the updater
    // installed, else the shipped copy (the resources directory, then the cache `make deps`
    // fills). Empty: none.
    static std::vector<std::filesystem::path> fileScelti();
    // Where the updater installs a download: $XDG_DATA_HOME/ostrale/dbip-city-lite.mmdb.
    static std::filesystem::path percorsoScaricato();

    // The shared reader, built on first use from `fileScelti()`; a lookup takes it once and
    // keeps using that instance. `sostituisci` puts a new one in its place (after an update).
    static std::shared_ptr<const GeoDB> condiviso();
    static void sostituisci(std::shared_ptr<const GeoDB> nuovo);

    GeoDB() : GeoDB(fileScelti()) {}
    explicit GeoDB(const std::vector<std::filesystem::path>& file);
    // A database held in memory (tests, fuzzing).
    static GeoDB daByte(std::string byte);
    ~GeoDB();
    GeoDB(GeoDB&&) noexcept;
    GeoDB& operator=(GeoDB&&) = delete;
    GeoDB(const GeoDB&) = delete;

    bool pronto() const;
    // The newest build date among the files, when one says it.
    std::optional<Data> dataCostruzione() const;
    const std::vector<Metadati>& metadati() const { return metadati_; }

    // The position of a textual IPv4 or IPv6 address; none when the database is not ready, the
    // text is not an address, or no record with a usable location covers it.
    std::optional<PosizioneIP> cerca(std::string_view ip) const;

  private:
    struct Archivio;
    explicit GeoDB(std::vector<std::unique_ptr<Archivio>> archivi);
    const Archivio* per(bool ipv6) const;

    std::vector<std::unique_ptr<Archivio>> archivi_;
    std::vector<Metadati> metadati_;
    const Archivio* perIPv4_ = nullptr;  // the file each family is looked up in
    const Archivio* perIPv6_ = nullptr;
};

}  // namespace ostrale
