// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>

namespace ostrale {

// An advisory lock (flock) on a file, held until the object goes, and released by the kernel
// however the process ends. A lock file is only ever locked, never written, unless it is this
// process's own.
class BloccoFile {
  public:
    enum class Modo {
        // A lock of this user alone (one daemon per container, one app per user): the file is
        // made mode 0600; one that is somebody else's, or a link, is replaced first, so that no
        // other user can hold it. The holder's process id is written in it.
        proprio,
        // A lock shared by the group (the rules file's writers): made mode 0660, and used as it
        // is when another member made it; never written, never one with other names (a link).
        condiviso,
    };

    // Takes the lock, waiting at most `attesa` for another holder to let go; absent when it is
    // held still, or when the file cannot be opened as the mode wants it.
    static std::optional<BloccoFile> prendi(const std::filesystem::path& percorso, Modo modo,
                                            std::chrono::milliseconds attesa = {});
    // The process id its holder wrote (0 when it wrote none), while somebody holds it; absent
    // when nobody does or the file cannot be read.
    static std::optional<pid_t> titolare(const std::filesystem::path& percorso);

    BloccoFile(BloccoFile&& altro) noexcept;
    BloccoFile& operator=(BloccoFile&& altro) noexcept;
    BloccoFile(const BloccoFile&) = delete;
    BloccoFile& operator=(const BloccoFile&) = delete;
    ~BloccoFile();

  private:
    explicit BloccoFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

}  // namespace ostrale
