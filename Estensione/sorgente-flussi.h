// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace ostrale {

class FilterDataProvider;

// Where flows come from: netfilter on a real machine, a scenario in the demo and in tests.
class SorgenteFlussi {
  public:
    virtual ~SorgenteFlussi() = default;

    // Claims every new flow of the machine for `provider` (default verdict: allow) and calls
    // `fatto` once that is in force, with the error text when it could not be applied.
    virtual void applicaImpostazioni(FilterDataProvider& provider,
                                     std::function<void(std::optional<std::string>)> fatto) = 0;
};

}  // namespace ostrale
