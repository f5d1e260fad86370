// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace ostrale::ReteLocale {

// Whether an address text belongs to the local network: private, link-local, loopback,
// carrier-grade NAT or multicast. Host names are never local.
bool èLocale(std::string_view ip);

}  // namespace ostrale::ReteLocale
