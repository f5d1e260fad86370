#pragma once

#include <filesystem>
#include <string_view>

#include "Condiviso/insieme-testi.h"

namespace ostrale {

// The advertising and tracking domains shipped with the program, lower case.
class Tracker {
  public:
    Tracker() = default;
    explicit Tracker(InsiemeTesti domini) : domini_(std::move(domini)) {}

    // The list of the resource "tracker.txt", loaded once per process on first use (thread-safe)
    // and never changed afterwards. A missing or unreadable resource gives an empty list.
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
    // `host` with non-ASCII letters already lower case.
    bool contieneMinuscolo(std::string_view host) const;

    InsiemeTesti domini_;
};

}  // namespace ostrale
