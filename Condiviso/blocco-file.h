#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>

namespace ostrale {

// An advisory lock (flock) on a file, held until the object goes, and released by the kernel
// however the process ends. The file is made when it is missing (mode 0660, for the group that
// shares the directory); a path that is not a regular file is refused.
class BloccoFile {
  public:
    // Takes the lock, waiting at most `attesa` for another holder to let go; absent when it is
    // held still, or when the file cannot be opened. The holder's process id is written in it.
    static std::optional<BloccoFile> prendi(const std::filesystem::path& percorso,
                                            std::chrono::milliseconds attesa = {});
    // The process id its holder wrote, while somebody holds it; absent when nobody does.
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
