// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>

#include "Condiviso/modifica-regole.h"
#include "Condiviso/stato-regole.h"
#include "ostralectl/comune.h"

namespace ostrale::ctl {

// Where the rules are read and edited: the daemon, whenever one answers (it stores them and
// tells every client); else "regole.json" in the container, as the daemon will read it when it
// starts. Never a file while a daemon answers, and never an empty set of rules for a file that
// cannot be read.
class FonteRegole {
  public:
    explicit FonteRegole(const Opzioni& o) : sessione_(o) {}

    // Connects, or finds the file; absent when ready, else the exit code (the reason said).
    // Not permitted to talk to the daemon: nothing is touched.
    std::optional<int> apri();
    bool viaDemone() const { return viaDemone_; }
    Sessione& sessione() { return sessione_; }

    // The rules as they stand; absent after saying why, with the exit code in `esito`.
    std::optional<StatoRegole> leggi(int& esito);
    // One edit; absent when the daemon did not answer (said here).
    std::optional<RispostaModifica> modifica(const ModificaRegole& m);

    // Without a daemon, says once on standard error that the file was read, or changed.
    void diciFile(bool cambiato);

  private:
    Sessione sessione_;
    bool viaDemone_ = false;
    std::filesystem::path file_;
    bool detto_ = false;
};

}  // namespace ostrale::ctl
