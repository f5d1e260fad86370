// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>

#include "Condiviso/modifica-regole.h"
#include "Condiviso/stato-regole.h"

// "regole.json", changed by one writer at a time: the extension while it runs, any client while
// none answers. Each change reads the file, changes what it names and stores the result, all
// under one lock in the container that every process takes, so that nobody's change is lost.
namespace ostrale::ArchivioRegole {

// How long a writer waits for the others before it gives up (a change takes milliseconds; many
// writers at once on a loaded machine take turns for a while).
inline constexpr std::chrono::milliseconds attesaBlocco{10000};

// What the file holds; absent without a container, without the file, or when it does not
// decode (then logged).
std::optional<StatoRegole> leggi();

// Applies `modifica` to what the file holds (to `base` when there is no file, or it does not
// decode: that file is kept aside as "regole.json.illeggibile") and stores the result when it
// changed. `dopo` receives the rules as they stand afterwards. Without a container nothing is
// stored and the change applies to `base` alone. `nonSalvata` when the lock or the write fails:
// the file is then as it was.
RispostaModifica modifica(const ModificaRegole& modifica, const StatoRegole& base,
                          StatoRegole& dopo);

// Stores `stato` whole, under the same lock; false when it could not.
bool sostituisci(const StatoRegole& stato);

}  // namespace ostrale::ArchivioRegole
