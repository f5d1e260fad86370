// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "Estensione/Linux/pacchetto-ip.h"

namespace ostrale {

// The socket that owns a flow, found with an exact NETLINK_SOCK_DIAG lookup of its tuple
// (never a dump: that walks every socket of the machine).
struct ProprietarioSocket {
    std::uint32_t uid = 0;
    std::uint64_t inode = 0;
};

// `uscita`: the tuple's origin is this machine's end. For an inbound first packet the owner is
// the listening socket.
std::optional<ProprietarioSocket> cercaSocket(const TuplaPacchetto& tupla, bool uscita);

// The process holding socket `inode`: /proc is searched newest process first and what is
// found is remembered; a miss is remembered too, for a short while. Safe from any thread.
class IndiceSocket {
  public:
    std::optional<int> pid(std::uint64_t inode);

  private:
    std::mutex mutex_;
    std::unordered_map<std::uint64_t, int> noti_;
    // Sockets no process holds (kernel sockets, descriptors in flight): not searched again for
    // a few seconds.
    std::unordered_map<std::uint64_t, std::chrono::steady_clock::time_point> assenti_;
};

}  // namespace ostrale
