// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/uuid.h"

#include <random>

namespace ostrale {
namespace {

int valoreEsadecimale(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool èPosizioneTrattino(std::size_t i) {
    return i == 8 || i == 13 || i == 18 || i == 23;
}

}  // namespace

Uuid Uuid::genera() {
    thread_local std::mt19937_64 generatore{[] {
        std::random_device sorgente;
        std::seed_seq seme{sorgente(), sorgente(), sorgente(), sorgente()};
        return std::mt19937_64(seme);
    }()};
    std::array<std::uint8_t, 16> byte{};
    for (std::size_t i = 0; i < byte.size(); i += 8) {
        std::uint64_t caso = generatore();
        for (std::size_t j = 0; j < 8; ++j)
            byte[i + j] = static_cast<std::uint8_t>(caso >> (8 * j));
    }
    byte[6] = static_cast<std::uint8_t>((byte[6] & 0x0F) | 0x40);
    byte[8] = static_cast<std::uint8_t>((byte[8] & 0x3F) | 0x80);
    return Uuid(byte);
}

std::optional<Uuid> Uuid::daTesto(std::string_view testo) {
    if (testo.size() != 36) return std::nullopt;
    std::array<std::uint8_t, 16> byte{};
    std::size_t n = 0;
    for (std::size_t i = 0; i < testo.size();) {
        if (èPosizioneTrattino(i)) {
            if (testo[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        const int alto = valoreEsadecimale(testo[i]);
        const int basso = valoreEsadecimale(testo[i + 1]);
        if (alto < 0 || basso < 0 || èPosizioneTrattino(i + 1)) return std::nullopt;
        byte[n++] = static_cast<std::uint8_t>(alto * 16 + basso);
        i += 2;
    }
    return Uuid(byte);
}

std::string Uuid::testo() const {
    static constexpr char cifre[] = "0123456789ABCDEF";
    std::string risultato;
    risultato.reserve(36);
    for (std::size_t i = 0; i < byte_.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) risultato.push_back('-');
        risultato.push_back(cifre[byte_[i] >> 4]);
        risultato.push_back(cifre[byte_[i] & 0x0F]);
    }
    return risultato;
}

}  // namespace ostrale
