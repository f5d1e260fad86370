// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/token-processo.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "Estensione/Linux/Identita/letture.h"

namespace ostrale {

namespace {

constexpr std::uint8_t marcaToken = 0x4C;

TokenApp componiToken(int pid, std::uint64_t inizio, std::uint32_t uid, std::uint64_t inode,
                      std::uint32_t montaggio) {
    TokenApp t{};
    std::memcpy(t.data(), &pid, sizeof pid);
    std::memcpy(t.data() + 4, &inizio, sizeof inizio);
    std::memcpy(t.data() + 12, &uid, sizeof uid);
    std::memcpy(t.data() + 16, &inode, sizeof inode);
    std::memcpy(t.data() + 24, &montaggio, sizeof montaggio);
    t[31] = marcaToken;
    return t;
}

// The field of type T at `posizione` in `t`.
template <typename T>
T campoDi(const TokenApp& t, std::size_t posizione) {
    T valore;
    std::memcpy(&valore, t.data() + posizione, sizeof valore);
    return valore;
}

}  // namespace

std::optional<std::uint64_t> inizioProcesso(std::string_view stat) {
    // The command name is in parentheses and may hold spaces: fields follow the last ')'.
    const auto chiusa = stat.rfind(')');
    if (chiusa == std::string_view::npos) return std::nullopt;
    std::istringstream campi{std::string(stat.substr(chiusa + 1))};
    std::string campo;
    // After ')' come field 3 (state) onwards; the start time is field 22.
    for (int i = 3; i <= 22; ++i) {
        if (!(campi >> campo)) return std::nullopt;
    }
    char* fine = nullptr;
    const auto valore = std::strtoull(campo.c_str(), &fine, 10);
    if (fine == campo.c_str() || *fine != '\0') return std::nullopt;
    return valore;
}

std::optional<TokenApp> tokenDi(int pid, std::uint32_t uid) {
    const std::string base = "/proc/" + std::to_string(pid);
    const auto inizio = inizioProcesso(identita::leggiTesto(base + "/stat"));
    const auto eseguibile = identita::attributi(base + "/exe");
    if (!inizio || !eseguibile) return std::nullopt;
    return componiToken(pid, *inizio, uid, eseguibile->inode, eseguibile->idMontaggio());
}

TokenApp tokenDi(const ProprietarioFlusso& p) {
    return componiToken(p.pid, p.inizio, p.uid, p.inode, p.montaggio);
}

namespace identita {

bool èTokenLinux(const TokenApp& t) {
    return t[31] == marcaToken;
}

int pidDi(const TokenApp& t) {
    return campoDi<int>(t, 0);
}

std::uint64_t inizioDi(const TokenApp& t) {
    return campoDi<std::uint64_t>(t, 4);
}

std::uint32_t utenteDi(const TokenApp& t) {
    return campoDi<std::uint32_t>(t, 12);
}

std::uint64_t inodeDi(const TokenApp& t) {
    return campoDi<std::uint64_t>(t, 16);
}

std::uint32_t montaggioDi(const TokenApp& t) {
    return campoDi<std::uint32_t>(t, 24);
}

std::string chiaveImmagine(const TokenApp& token) {
    std::string chiave(reinterpret_cast<const char*>(token.data()), 12);
    chiave.append(reinterpret_cast<const char*>(token.data()) + 16, 12);
    return chiave;
}

bool stessaImmagine(const TokenApp& a, const TokenApp& b) {
    return std::memcmp(a.data(), b.data(), 12) == 0 &&
           std::memcmp(a.data() + 16, b.data() + 16, 12) == 0;
}

}  // namespace identita
}  // namespace ostrale
