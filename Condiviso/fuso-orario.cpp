// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/fuso-orario.h"

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <string_view>

namespace ostrale {
namespace {

std::atomic<std::uint64_t> generazione{0};

}  // namespace

void preparaFusoOrario() {
    if (const char* tz = std::getenv("TZ")) {
        std::string_view v = tz;
        if (v.starts_with(':')) v.remove_prefix(1);
        if (v == "/etc/localtime") ::unsetenv("TZ");
    }
    ::tzset();
}

void rileggiFusoOrario() {
    // With TZ unset, tzset checks the file (inode and time) and reads it again when it changed.
    ::tzset();
    generazione.fetch_add(1, std::memory_order_release);
}

std::uint64_t generazioneFusoOrario() {
    return generazione.load(std::memory_order_acquire);
}

}  // namespace ostrale
