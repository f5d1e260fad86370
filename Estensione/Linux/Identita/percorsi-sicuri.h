// SPDX-License-Identifier: GPL-3.0-or-later
// Walking a path that a user or a process names without being led where the daemon could hang
// or be fooled: no symbolic link of theirs, no mount that is not a local filesystem.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Estensione/Linux/Identita/letture.h"

namespace ostrale::identita {

// Opens (O_PATH) `percorso` below the folder `da`, one name at a time: no symbolic link is
// followed, and nothing is looked up in, or opened on, a mount not in `sicuri`: a FUSE mount,
// whose server may never answer, or one made after the list was read. What a user names (an
// executable's path in a namespace of theirs, an AppImage, their home) may lead to such a mount.
//
// With `linkDiRoot` above 0, that many symbolic links are followed, where only root could have
// made them: the link and its folder root's, the folder writable by no one else (the system's
// own, as /home -> var/home).
Fd apriPasso(int da, std::string_view percorso, const std::unordered_set<std::uint64_t>& sicuri,
             int linkDiRoot = 0);

// An absolute path of this daemon's own namespace, walked as apriPasso does; `locali` are the
// daemon's mounts of local filesystems.
Fd apriQui(std::string_view percorso, const std::unordered_set<std::uint64_t>& locali,
           int linkDiRoot = 0);

// Whether `percorso` in this daemon's own namespace is the file `file`.
bool èQui(std::string_view percorso, const Attributi& file,
          const std::unordered_set<std::uint64_t>& locali);

// The start of the regular file behind an O_PATH descriptor (a FIFO never blocks, nothing else
// is opened).
std::string leggiDa(const Fd& fd, std::size_t massimo);

// A folder or file below `radice` (a descriptor), never crossing a mount or leaving it: what a
// user keeps in their own folders may lead anywhere, a FUSE server of theirs included.
int apriSotto(int radice, const std::string& relativo, std::uint64_t modo);

// The entries of a folder below `radice`, at most `massimo` of them (a user's own folders can
// hold any number).
std::vector<std::string> voci(int radice, const std::string& relativo, std::size_t massimo = 64);

// Whether the file below `radice` at `relativo` is `file`.
bool èSotto(int radice, const std::string& relativo, const Attributi& file);

}  // namespace ostrale::identita
