// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/cornice.h"

#include <stdexcept>

#include "Condiviso/testo.h"

namespace ostrale::canale {
namespace {

void scrivi32(std::string& s, std::uint32_t v) {
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::uint32_t leggi32(std::string_view s, std::size_t da) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(s[da + i]);
    return v;
}

constexpr std::size_t busta = 1 + 4 + 1;  // kind, call id, name length

}  // namespace

std::string codifica(const Cornice& c) {
    if (c.nome.empty() || c.nome.size() > 255) throw std::invalid_argument("frame name length");
    const std::size_t lunghezza = busta + c.nome.size() + c.carico.size();
    if (lunghezza > dimensioneMassima) throw std::length_error("frame too large");
    std::string s;
    s.reserve(4 + lunghezza);
    scrivi32(s, static_cast<std::uint32_t>(lunghezza));
    s.push_back(static_cast<char>(c.tipo));
    scrivi32(s, c.id);
    s.push_back(static_cast<char>(c.nome.size()));
    s += c.nome;
    s += c.carico;
    return s;
}

void LettoreCornici::rompi(std::string motivo) {
    rotto_ = true;
    motivo_ = std::move(motivo);
    buffer_.clear();
    inizio_ = 0;
}

void LettoreCornici::aggiungi(std::string_view byte) {
    if (rotto_) return;
    // Drop what was already handed out before growing the buffer.
    if (inizio_ > 0 && inizio_ >= buffer_.size() / 2) {
        buffer_.erase(0, inizio_);
        inizio_ = 0;
    }
    buffer_.append(byte);
}

std::optional<Cornice> LettoreCornici::prossima() {
    if (rotto_) return std::nullopt;
    const std::string_view resto = std::string_view(buffer_).substr(inizio_);
    if (resto.size() < 4) return std::nullopt;
    const std::uint32_t lunghezza = leggi32(resto, 0);
    if (lunghezza > dimensioneMassima) {
        rompi("frame of " + std::to_string(lunghezza) + " bytes is over the limit");
        return std::nullopt;
    }
    if (lunghezza < busta + 1) {
        rompi("frame too short for its envelope");
        return std::nullopt;
    }
    if (resto.size() < 4 + static_cast<std::size_t>(lunghezza)) return std::nullopt;
    const std::string_view corpo = resto.substr(4, lunghezza);
    const auto tipo = static_cast<unsigned char>(corpo[0]);
    const std::size_t lunghezzaNome = static_cast<unsigned char>(corpo[5]);
    if (tipo > 2) {
        rompi("unknown frame kind " + std::to_string(tipo));
        return std::nullopt;
    }
    if (lunghezzaNome == 0 || busta + lunghezzaNome > corpo.size()) {
        rompi("malformed message name");
        return std::nullopt;
    }
    Cornice c;
    c.tipo = static_cast<TipoCornice>(tipo);
    c.id = leggi32(corpo, 1);
    c.nome.assign(corpo.substr(busta, lunghezzaNome));
    c.carico.assign(corpo.substr(busta + lunghezzaNome));
    inizio_ += 4 + lunghezza;
    return c;
}

std::string bool_(bool valore) {
    return std::string(1, valore ? '\1' : '\0');
}

std::optional<bool> leggiBool(std::string_view carico) {
    if (carico.size() != 1 || static_cast<unsigned char>(carico[0]) > 1) return std::nullopt;
    return carico[0] == '\1';
}

std::string intero(std::int64_t valore) {
    std::string s;
    const auto u = static_cast<std::uint64_t>(valore);
    for (int i = 7; i >= 0; --i) s.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
    return s;
}

std::optional<std::int64_t> leggiIntero(std::string_view carico) {
    if (carico.size() != 8) return std::nullopt;
    std::uint64_t u = 0;
    for (char c : carico) u = (u << 8) | static_cast<unsigned char>(c);
    return static_cast<std::int64_t>(u);
}

std::string risposta(std::string_view firma, bool consenti) {
    return bool_(consenti) + std::string(firma);
}

std::optional<std::pair<std::string, bool>> leggiRisposta(std::string_view carico) {
    if (carico.empty()) return std::nullopt;
    const auto consenti = leggiBool(carico.substr(0, 1));
    const std::string_view firma = carico.substr(1);
    if (!consenti || !testo::èUtf8Valido(firma)) return std::nullopt;
    return std::pair{std::string(firma), *consenti};
}

}  // namespace ostrale::canale
