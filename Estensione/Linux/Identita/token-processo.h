// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "Estensione/Linux/attribuzione-bpf.h"
#include "Estensione/flusso-di-rete.h"

namespace ostrale {

// The token of a process: pid, start time, uid and the executable's inode packed into 32 bytes, so
// that a reused pid or a process that has since run another program never inherits an identity.
std::optional<TokenApp> tokenDi(int pid, std::uint32_t uid);
TokenApp tokenDi(const ProprietarioFlusso& proprietario);

// A process's start time, from the contents of its /proc/PID/stat.
std::optional<std::uint64_t> inizioProcesso(std::string_view stat);

}  // namespace ostrale

// The fields of a token, for the resolver that names it.
namespace ostrale::identita {

// Whether `t` is a token of this back end (made by tokenDi).
bool èTokenLinux(const TokenApp& t);
int pidDi(const TokenApp& t);
std::uint64_t inizioDi(const TokenApp& t);
std::uint32_t utenteDi(const TokenApp& t);
// The executable of a token: its inode and the id of the mount it is on (0: not known).
std::uint64_t inodeDi(const TokenApp& t);
std::uint32_t montaggioDi(const TokenApp& t);

// A process image: pid, start and executable (inode and mount), the uid (the socket's) aside.
std::string chiaveImmagine(const TokenApp& token);
bool stessaImmagine(const TokenApp& a, const TokenApp& b);

}  // namespace ostrale::identita
