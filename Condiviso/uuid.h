// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrale {

class Uuid {
  public:
    Uuid() = default;
    explicit Uuid(const std::array<std::uint8_t, 16>& byte) : byte_(byte) {}

    // A fresh random (version 4) identifier.
    static Uuid genera();
    // The canonical hyphenated form, in either case; anything else is refused.
    static std::optional<Uuid> daTesto(std::string_view testo);

    // Canonical hyphenated form, upper case.
    std::string testo() const;
    const std::array<std::uint8_t, 16>& byte() const { return byte_; }

    auto operator<=>(const Uuid&) const = default;

  private:
    std::array<std::uint8_t, 16> byte_{};
};

}  // namespace ostrale
