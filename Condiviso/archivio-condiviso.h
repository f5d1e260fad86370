// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/codifica-json.h"
#include "Condiviso/stato-regole.h"

// The directory both processes share for their durable files, and its writers.
// The directory is OSTRALE_CONTENITORE when set, else /var/lib/ostrale; when it does not exist
// there is no container: every write is skipped and every read gives the reader's default.
namespace ostrale::ArchivioCondiviso {

inline constexpr std::string_view nomeRegole = "regole.json";

// Files larger than this are refused on reading: nothing the system writes comes near it.
inline constexpr std::size_t dimensioneMassimaLettura = 64u << 20;

// `nome` inside the container; absent without a container. Looked up anew at every call.
std::optional<std::filesystem::path> urlContenitore(std::string_view nome);
std::optional<std::filesystem::path> url();

// Stores `byte` atomically as `nome` in the container. Without a container nothing happens;
// a failure leaves the previous file and returns false.
bool salvaFile(std::string_view byte, std::string_view nome);

// Encodes `valore` and stores it as `nome`, like salvaFile.
template <typename T>
bool salvaJSON(const T& valore, std::string_view nome) {
    return !urlContenitore(nome) || salvaFile(json::codifica(valore), nome);
}

inline void salva(const StatoRegole& stato) {
    salvaJSON(stato, nomeRegole);
}

// Writes `byte` to `percorso` so that a reader sees either the old or the new file whole, even
// across a power cut: a temporary file in the same directory, fsync, rename, fsync of the
// directory. Returns false (and leaves the old file) on any failure.
bool scriviAtomico(const std::filesystem::path& percorso, std::string_view byte);

// The whole file `nome` of the container; absent without a container, without the file, on a read
// error, when it is not a regular file (a link is not followed) or when it is larger than
// `dimensioneMassimaLettura`.
std::optional<std::string> leggi(std::string_view nome);
// The same for any path; links are followed only when `seguiLink` (shipped, root-owned data).
std::optional<std::string> leggiFile(const std::filesystem::path& percorso, bool seguiLink);

}  // namespace ostrale::ArchivioCondiviso
