// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/cache-nomi.h"

#include <algorithm>

namespace ostrale {
namespace {

// Answers that point at no real destination teach nothing (blocking resolvers answer these).
bool daIgnorare(std::string_view ip) {
    return ip.starts_with("127.") || ip == "::1" || ip == "0.0.0.0" || ip == "::";
}

}  // namespace

CacheNomi::Voce* CacheNomi::Tabella::trova(const std::string& chiave, Data adesso) {
    const auto it = voci.find(chiave);
    if (it == voci.end()) return nullptr;
    Nomi& nomi = it->second.nomi;
    std::erase_if(nomi, [&](const Nome& n) { return n.scadenza < adesso; });
    if (nomi.empty()) {
        usate.erase(it->second.posizione);
        voci.erase(it);
        return nullptr;
    }
    usate.splice(usate.begin(), usate, it->second.posizione);
    return &it->second;
}

CacheNomi::Voce& CacheNomi::Tabella::inserisci(const std::string& chiave, std::size_t capacità) {
    if (const auto it = voci.find(chiave); it != voci.end()) {
        usate.splice(usate.begin(), usate, it->second.posizione);
        return it->second;
    }
    if (voci.size() >= capacità && !usate.empty()) {
        voci.erase(usate.back());
        usate.pop_back();
    }
    usate.push_front(chiave);
    return voci.emplace(chiave, Voce{{}, usate.begin()}).first->second;
}

void CacheNomi::aggiungi(Nomi& nomi, const std::string& nome, Data scadenza, std::size_t quanti) {
    std::erase_if(nomi, [&](const Nome& n) { return n.nome == nome; });
    nomi.insert(nomi.begin(), Nome{nome, scadenza});
    if (nomi.size() > quanti) nomi.resize(quanti);
}

void CacheNomi::impara(const RispostaDns& risposta, Data adesso, std::string_view app) {
    if (!risposta.stampabile) return;
    std::lock_guard blocco(mutex_);
    for (const auto& indirizzo : risposta.indirizzi) {
        if (daIgnorare(indirizzo.testo)) continue;
        const Data scadenza =
            adesso.piùSecondi(std::max(durataMinima, static_cast<double>(indirizzo.ttl)));
        aggiungi(macchina_.inserisci(indirizzo.testo, capacità_).nomi, risposta.domanda, scadenza,
                 nomiPerIndirizzo);
        if (app.empty()) continue;
        chiave_.assign(app).append("\n").append(indirizzo.testo);
        aggiungi(perApp_.inserisci(chiave_, capacità_).nomi, risposta.domanda, scadenza, 1);
    }
}

std::optional<CacheNomi::NomeNoto> CacheNomi::nome(std::string_view indirizzo, std::string_view app,
                                                   Data adesso) {
    std::lock_guard blocco(mutex_);
    if (!app.empty()) {
        chiave_.assign(app).append("\n").append(indirizzo);
        if (const Voce* v = perApp_.trova(chiave_, adesso)) {
            return NomeNoto{v->nomi.front().nome, true, false};
        }
    }
    chiave_.assign(indirizzo);
    const Voce* v = macchina_.trova(chiave_, adesso);
    if (!v) return std::nullopt;
    return NomeNoto{v->nomi.front().nome, false, v->nomi.size() > 1};
}

std::optional<std::string> CacheNomi::nome(std::string_view indirizzo, Data adesso) {
    auto n = nome(indirizzo, {}, adesso);
    if (!n) return std::nullopt;
    return std::move(n->nome);
}

std::size_t CacheNomi::dimensione() const {
    std::lock_guard blocco(mutex_);
    return macchina_.voci.size();
}

std::size_t CacheNomi::dimensionePerApp() const {
    std::lock_guard blocco(mutex_);
    return perApp_.voci.size();
}

}  // namespace ostrale
