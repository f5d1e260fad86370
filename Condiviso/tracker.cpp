// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/tracker.h"

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/registro.h"
#include "Condiviso/risorse.h"
#include "Condiviso/testo.h"

namespace ostrale {

namespace {

std::uint64_t impronta(std::string_view nome) {
    const std::uint64_t h = std::hash<std::string_view>{}(nome);
    return h == 0 ? 1 : h;
}

}  // namespace

Tracker::Tracker(InsiemeTesti domini) : domini_(std::move(domini)) {
    if (domini_.empty()) return;
    std::size_t posti = 16;
    while (posti < domini_.size() * 2) posti *= 2;
    impronte_.assign(posti, 0);
    for (const std::string& d : domini_) {
        std::size_t i = impronta(d) & (posti - 1);
        while (impronte_[i] != 0 && impronte_[i] != impronta(d)) i = (i + 1) & (posti - 1);
        impronte_[i] = impronta(d);
    }
}

bool Tracker::haDominio(std::string_view nome) const {
    const std::uint64_t h = impronta(nome);
    const std::size_t maschera = impronte_.size() - 1;
    for (std::size_t i = h & maschera;; i = (i + 1) & maschera) {
        if (impronte_[i] == 0) return false;
        // Equal hashes: the set says whether the name itself is there.
        if (impronte_[i] == h) return domini_.find(nome) != domini_.end();
    }
}

const Tracker& Tracker::condiviso() {
    static const Tracker elenco = [] {
        const auto percorso = Risorse::trova("tracker.txt");
        Tracker t = percorso ? carica(*percorso) : Tracker();
        // An installation without its data would count no tracker and say nothing.
        if (!percorso) {
            Registro("risorse").errore("the shipped tracker list is missing: " +
                                       (Risorse::cartella() / "tracker.txt").string());
        } else if (t.domini().empty()) {
            Registro("risorse").errore("the shipped tracker list is unreadable or empty: " +
                                       percorso->string());
        }
        return t;
    }();
    return elenco;
}

Tracker Tracker::carica(const std::filesystem::path& percorso) {
    const auto contenuto = ArchivioCondiviso::leggiFile(percorso, true);
    if (!contenuto || !testo::èUtf8Valido(*contenuto)) return Tracker();
    return daTesto(*contenuto);
}

Tracker Tracker::daTesto(std::string_view t) {
    InsiemeTesti domini;
    for (std::string_view voce : testo::vociElenco(t)) domini.insert(testo::minuscole(voce));
    return Tracker(std::move(domini));
}

bool Tracker::contiene(std::string_view host) const {
    if (domini_.empty() || host == "?") return false;
    std::size_t etichette;
    const std::string nome = testo::nomeNormalizzato(host, etichette);
    std::string_view resto = nome;
    while (etichette >= 2) {
        if (haDominio(resto)) return true;
        resto.remove_prefix(resto.find('.') + 1);
        --etichette;
    }
    return false;
}

}  // namespace ostrale
