// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace ostrale {

// The mount at `punto` in a mountinfo text (the one on top): its filesystem type, its source
// and its device ("MAJ:MIN").
struct Montaggio {
    std::string tipo;
    std::string sorgente;
    std::string dispositivo;
};
std::optional<Montaggio> puntoDiMontaggio(std::string_view mountinfo, std::string_view punto);
// The mounts of a mountinfo text: id -> filesystem type.
std::unordered_map<std::uint64_t, std::string> montaggi(std::string_view mountinfo);
// Whether a filesystem answers lookups from the kernel and a local disk or memory alone: not
// FUSE, whose server may never answer, nor a network filesystem, nor an overlay that may have
// either below it, nor procfs or sysfs, whose "files" are not files.
bool filesystemLocale(std::string_view tipo);
// The ids of the mounts in a mountinfo text that may be looked up in: the local filesystems.
std::unordered_set<std::uint64_t> montaggiSicuri(std::string_view mountinfo);

}  // namespace ostrale

namespace ostrale::identita {

// This daemon's mounts, by id: all of them, and those of local filesystems (the only ones a
// path a user names is walked into). Read again whenever the kernel says the table changed
// (poll on /proc/self/mountinfo). Safe from any thread.
class TabellaMontaggi {
  public:
    struct MontaggiQui {
        std::unordered_set<std::uint64_t> tutti;
        std::unordered_set<std::uint64_t> locali;
    };

    TabellaMontaggi() = default;
    ~TabellaMontaggi();
    TabellaMontaggi(const TabellaMontaggi&) = delete;
    TabellaMontaggi& operator=(const TabellaMontaggi&) = delete;
    std::shared_ptr<const MontaggiQui> qui() const;

  private:
    mutable std::mutex mutex_;
    mutable int tabella_ = -1;
    mutable std::shared_ptr<const MontaggiQui> qui_;
};

}  // namespace ostrale::identita
