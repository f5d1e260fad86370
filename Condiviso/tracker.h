// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "Condiviso/insieme-testi.h"

namespace ostrale {

// The advertising and tracking domains shipped with the program, lower case.
class Tracker {
  public:
    Tracker() = default;
    explicit Tracker(InsiemeTesti domini);

    // The list of the resource "tracker.txt", loaded once per process on first use (thread-safe)
    // and never changed afterwards. A missing or unreadable resource gives an empty list, and
    // an error in the log.
    static const Tracker& condiviso();
    // Shorthand for condiviso().contiene(host).
    static bool èTracker(std::string_view host) { return condiviso().contiene(host); }

    // Reads a list file; a missing, unreadable or non-UTF-8 file gives an empty list.
    static Tracker carica(const std::filesystem::path& percorso);
    static Tracker daTesto(std::string_view testo);

    // Whether the host or one of its parent domains of at least two labels is on the list;
    // case-insensitive, empty labels ignored, "?" never.
    bool contiene(std::string_view host) const;

    const InsiemeTesti& domini() const { return domini_; }

  private:
    bool haDominio(std::string_view nome) const;

    InsiemeTesti domini_;
    // The hashes of the domains in an open-addressing table (0 marks a free slot), at least
    // twice as many slots as domains: a name that is not on the list (nearly every one asked)
    // costs one memory access instead of a walk through the set's buckets and nodes.
    std::vector<std::uint64_t> impronte_;
};

}  // namespace ostrale
