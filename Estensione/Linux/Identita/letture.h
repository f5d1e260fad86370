// SPDX-License-Identifier: GPL-3.0-or-later
// What the pieces of a process's identity read, shared among them: files and /proc, never
// waiting on a FUSE server.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrale::identita {

// A descriptor, closed with it.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& altro) noexcept : fd_(std::exchange(altro.fd_, -1)) {}
    Fd& operator=(Fd&& altro) noexcept {
        if (this != &altro) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = std::exchange(altro.fd_, -1);
        }
        return *this;
    }
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

// An executable's facts, from the cached attributes only: a FUSE filesystem whose server
// stops answering cannot hold the daemon (AT_STATX_DONT_SYNC never asks the server).
struct Attributi {
    std::uint64_t dispositivo = 0;
    std::uint64_t inode = 0;
    std::uint32_t proprietario = 0;
    std::uint32_t gruppo = 0;
    std::uint32_t modo = 0;
    std::uint32_t collegamenti = 1;
    std::optional<std::uint64_t> montaggio;  // the mount's id
    bool stesso(const Attributi& a) const {
        return dispositivo == a.dispositivo && inode == a.inode;
    }
    // The mount's id as tokens keep it: 0 when not known.
    std::uint32_t idMontaggio() const {
        return montaggio ? static_cast<std::uint32_t>(*montaggio) : 0;
    }
};

std::optional<Attributi> attributi(const std::string& percorso);
std::optional<Attributi> attributiDi(int fd);

// A file only root may change: the system's own.
bool soloDiRoot(const Attributi& a);

// What `fd` reads from where it stands to its end, at most `massimo` bytes; a read error ends
// it.
std::string leggiFd(int fd, std::size_t massimo);

// The start of a file of /proc or /sys (at most 1 MiB), empty when it cannot be read: some
// refuse every read (an LSM's attribute file with no LSM behind it).
std::string leggiTesto(const std::string& percorso);

std::optional<std::string> leggiCollegamento(const std::string& percorso);

// The pieces of `s` between each `separatore`, empty ones kept.
std::vector<std::string_view> pezzi(std::string_view s, char separatore);

// The uid a process runs as (its real uid, as this daemon's user namespace sees it), from its
// folder `base` of /proc.
std::optional<std::uint32_t> uidDi(const std::string& base);

}  // namespace ostrale::identita
