// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/blocco-file.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ostrale {
namespace {

// Never through a symbolic link, never blocked on a FIFO somebody left there.
constexpr int opzioni = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;

// A regular file with no other name (a hard link to another file is not a lock file).
bool soloNome(int fd, struct stat& info) {
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
}

int apriProprio(const std::filesystem::path& percorso) {
    for (int prova = 0; prova < 3; ++prova) {
        const int nuovo = ::open(percorso.c_str(), O_RDWR | O_CREAT | O_EXCL | opzioni, 0600);
        if (nuovo >= 0) return nuovo;
        if (errno != EEXIST) return -1;
        const int fd = ::open(percorso.c_str(), O_RDWR | opzioni);
        struct stat info {};
        if (fd >= 0 && soloNome(fd, info) && info.st_uid == ::geteuid() &&
            (info.st_mode & 0077) == 0) {
            return fd;
        }
        if (fd >= 0) ::close(fd);
        // Somebody else's, or not a plain file: it goes, and ours takes its name.
        if (::unlink(percorso.c_str()) != 0 && errno != ENOENT) return -1;
    }
    return -1;
}

int apriCondiviso(const std::filesystem::path& percorso) {
    int fd = ::open(percorso.c_str(), O_RDWR | O_CREAT | O_EXCL | opzioni, 0660);
    if (fd >= 0) {
        ::fchmod(fd, 0660);  // the group's, whatever the umask
        return fd;
    }
    if (errno != EEXIST) return -1;
    fd = ::open(percorso.c_str(), O_RDONLY | opzioni);
    struct stat info {};
    if (fd >= 0 && !soloNome(fd, info)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::optional<BloccoFile> BloccoFile::prendi(const std::filesystem::path& percorso, Modo modo,
                                             std::chrono::milliseconds attesa) {
    const int fd = modo == Modo::proprio ? apriProprio(percorso) : apriCondiviso(percorso);
    if (fd < 0) return std::nullopt;
    const auto fine = std::chrono::steady_clock::now() + attesa;
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= fine) {
            ::close(fd);
            return std::nullopt;
        }
        // Short naps: a holder's turn ends in milliseconds, and a waiter that sleeps long loses
        // its turn to those that do not.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    if (modo == Modo::proprio) {
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd, 0) == 0) {
            [[maybe_unused]] const auto n = ::pwrite(fd, pid.data(), pid.size(), 0);
        }
    }
    return BloccoFile(fd);
}

std::optional<pid_t> BloccoFile::titolare(const std::filesystem::path& percorso) {
    const int fd = ::open(percorso.c_str(), O_RDONLY | opzioni);
    if (fd < 0) return std::nullopt;
    std::optional<pid_t> pid;
    if (::flock(fd, LOCK_SH | LOCK_NB) == 0) {
        ::flock(fd, LOCK_UN);  // nobody holds it
    } else {
        char testo[32] = {};
        const ssize_t n = ::pread(fd, testo, sizeof testo - 1, 0);
        pid = n > 0 ? static_cast<pid_t>(std::strtol(testo, nullptr, 10)) : 0;
    }
    ::close(fd);
    return pid;
}

BloccoFile::BloccoFile(BloccoFile&& altro) noexcept : fd_(std::exchange(altro.fd_, -1)) {}

BloccoFile& BloccoFile::operator=(BloccoFile&& altro) noexcept {
    if (this != &altro) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(altro.fd_, -1);
    }
    return *this;
}

BloccoFile::~BloccoFile() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

}  // namespace ostrale
