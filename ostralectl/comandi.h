// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

#include "ostralectl/comune.h"

// ostralectl's commands, one file each (stato.cpp, flussi.cpp, …), and their usage.
namespace ostrale::ctl {

int stato(const Opzioni& o);
int flussi(const Opzioni& o);
int attacchi(const Opzioni& o);
int storico(const Opzioni& o);
int regole(const Opzioni& o);
int rispondi(const Opzioni& o);
int c2(const Opzioni& o);

struct Comando {
    std::string_view nome;     // as the usage lists it
    std::string_view inglese;  // the English word accepted too (the same for c2)
    int (*esegui)(const Opzioni&);
    // Its lines of the usage, and what its arguments mean (empty when nothing needs saying).
    std::string_view sintassiEn, sintassiIt;
    std::string_view noteEn, noteIt;
};

// The command named by either of its words; null for none.
const Comando* trovaComando(std::string_view parola);
// The whole usage, and one command's.
std::string uso();
std::string uso(const Comando& c);

}  // namespace ostrale::ctl
