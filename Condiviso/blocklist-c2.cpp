// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/blocklist-c2.h"

#include <sys/stat.h>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/registro.h"
#include "Condiviso/risorse.h"
#include "Condiviso/testo.h"

namespace ostrale {
namespace {

std::optional<InsiemeTesti> analizzaFile(const std::filesystem::path& percorso, bool seguiLink) {
    const auto contenuto = ArchivioCondiviso::leggiFile(percorso, seguiLink);
    if (!contenuto || !testo::èUtf8Valido(*contenuto)) return std::nullopt;
    return BlocklistC2::analizza(*contenuto);
}

}  // namespace

BlocklistC2::BlocklistC2(const Orologio& orologio) : orologio_(orologio) {
    if (!Risorse::trova("c2.txt")) {
        Registro("risorse").errore("the shipped command-and-control list is missing: " +
                                   (Risorse::cartella() / "c2.txt").string());
    }
}

InsiemeTesti BlocklistC2::analizza(std::string_view t) {
    InsiemeTesti voci;
    for (std::string_view voce : testo::vociElenco(t)) voci.emplace(voce);
    return voci;
}

InsiemeTesti BlocklistC2::carica() {
    if (const auto scaricato = ArchivioCondiviso::urlContenitore(nomeFile)) {
        if (auto voci = analizzaFile(*scaricato, false); voci && !voci->empty())
            return std::move(*voci);
    }
    if (const auto spedito = Risorse::trova("c2.txt")) {
        if (auto voci = analizzaFile(*spedito, true)) return std::move(*voci);
    }
    return {};
}

std::shared_ptr<const InsiemeTesti> BlocklistC2::insieme() {
    auto stato = stato_.blocca();
    if (!stato->cache) stato->cache = std::make_shared<const InsiemeTesti>(carica());
    return stato->cache;
}

std::optional<Data> BlocklistC2::dataCache() {
    auto stato = stato_.blocca();
    if (!stato->dataLetta) {
        stato->dataCache = dataFileAggiornato();
        stato->dataLetta = true;
    }
    return stato->dataCache;
}

std::optional<Data> BlocklistC2::dataFileAggiornato() {
    const auto percorso = ArchivioCondiviso::urlContenitore(nomeFile);
    if (!percorso) return std::nullopt;
    struct stat info {};
    if (::lstat(percorso->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    return Data::daUnix(static_cast<double>(info.st_mtim.tv_sec) +
                        static_cast<double>(info.st_mtim.tv_nsec) / 1e9);
}

std::int64_t BlocklistC2::aggiorna(std::string_view t) {
    if (!testo::èUtf8Valido(t)) return 0;
    auto voci = std::make_shared<const InsiemeTesti>(analizza(t));
    if (voci->size() < vociMinime) return 0;
    // Written before taking the lock: the lock is never held around file I/O.
    ArchivioCondiviso::salvaFile(t, nomeFile);
    const auto quante = static_cast<std::int64_t>(voci->size());
    auto stato = stato_.blocca();
    stato->cache = std::move(voci);
    stato->dataCache = orologio_.adesso();
    stato->dataLetta = true;
    return quante;
}

}  // namespace ostrale
