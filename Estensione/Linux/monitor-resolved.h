// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "Condiviso/orologio.h"
#include "Estensione/Linux/cache-nomi.h"

namespace ostrale {

// Follows the lookups answered by systemd-resolved through its query monitor (varlink), which
// sees names that never cross port 53 (nss-resolve, DNS over TLS upstream), and teaches them to
// the name cache. Without resolved it waits quietly and tries again every few seconds.
class MonitorResolved {
  public:
    static constexpr std::string_view percorsoPredefinito =
        "/run/systemd/resolve/io.systemd.Resolve.Monitor";

    MonitorResolved(CacheNomi& nomi, const Orologio& orologio,
                    std::filesystem::path percorso = std::string(percorsoPredefinito));
    ~MonitorResolved();
    MonitorResolved(const MonitorResolved&) = delete;
    MonitorResolved& operator=(const MonitorResolved&) = delete;

    void avvia();

    // One monitor message (a JSON object) read as a DNS answer; absent for anything else.
    static std::optional<RispostaDns> leggiMessaggio(std::string_view json);

  private:
    void segui();

    CacheNomi& nomi_;
    const Orologio& orologio_;
    const std::filesystem::path percorso_;
    std::atomic<bool> fine_ = false;
    std::atomic<int> fd_ = -1;
    std::thread filo_;
};

}  // namespace ostrale
