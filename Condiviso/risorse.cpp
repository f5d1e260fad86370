// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/risorse.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

namespace ostrale::Risorse {
namespace {

bool èSotto(const std::filesystem::path& percorso, const std::filesystem::path& cartella) {
    const auto [fineCartella, _] =
        std::mismatch(cartella.begin(), cartella.end(), percorso.begin(), percorso.end());
    return fineCartella == cartella.end();
}

}  // namespace

std::filesystem::path cartella() {
    if (const char* variabile = std::getenv("OSTRALE_RISORSE"); variabile && *variabile) {
        return variabile;
    }
    std::error_code errore;
    const auto eseguibile = std::filesystem::read_symlink("/proc/self/exe", errore);
    if (errore) return OSTRALE_DIR_RISORSE_INSTALLATE;
    if (èSotto(eseguibile, OSTRALE_DIR_BUILD)) return OSTRALE_DIR_RISORSE_SORGENTI;
    // An installation given another prefix at install time keeps its data beside its programs.
    for (const char* relativa : {OSTRALE_DIR_RISORSE_DA_BIN, OSTRALE_DIR_RISORSE_DA_SBIN}) {
        auto accanto = (eseguibile.parent_path() / relativa).lexically_normal();
        if (std::filesystem::is_directory(accanto, errore)) return accanto;
    }
    return OSTRALE_DIR_RISORSE_INSTALLATE;
}

std::optional<std::filesystem::path> trova(std::string_view nome) {
    auto percorso = cartella() / nome;
    std::error_code errore;
    if (!std::filesystem::is_regular_file(percorso, errore)) return std::nullopt;
    return percorso;
}

}  // namespace ostrale::Risorse
