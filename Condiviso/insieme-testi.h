// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace ostrale {

struct HashTesto {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// A hash set of texts that can be searched with a string_view, without building a string.
using InsiemeTesti = std::unordered_set<std::string, HashTesto, std::equal_to<>>;

}  // namespace ostrale
