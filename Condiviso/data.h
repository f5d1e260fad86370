// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <compare>
#include <ctime>

namespace ostrale {

// A moment in time, kept as seconds (with fraction) since 2001-01-01 00:00:00 UTC: the number
// that travels in every JSON document and file of the system.
class Data {
  public:
    // Seconds between 1970-01-01 and 2001-01-01 UTC.
    static constexpr double daUnixARiferimento = 978307200.0;

    constexpr Data() = default;
    static constexpr Data daRiferimento(double secondi) { return Data(secondi); }
    static constexpr Data daUnix(double secondiUnix) {
        return Data(secondiUnix - daUnixARiferimento);
    }
    static Data daSistema(std::chrono::system_clock::time_point istante);

    constexpr double secondiDalRiferimento() const { return secondi_; }
    constexpr double secondiUnix() const { return secondi_ + daUnixARiferimento; }

    // Whole Unix seconds (rounded down), clamped to a range the C time functions accept; a value
    // that is not a number gives the reference date.
    std::time_t secondiUnixInteri() const;

    constexpr Data piùSecondi(double s) const { return Data(secondi_ + s); }
    // Seconds from `prima` to this moment (negative when `prima` is later).
    constexpr double secondiDa(Data prima) const { return secondi_ - prima.secondi_; }

    constexpr auto operator<=>(const Data&) const = default;

  private:
    constexpr explicit Data(double secondi) : secondi_(secondi) {}
    double secondi_ = 0;
};

}  // namespace ostrale
