// SPDX-License-Identifier: GPL-3.0-or-later
// The decoding of a city database's data section (the MaxMind DB format): value heads, pointers,
// strings, numbers and maps, every read checked against the end of the bytes and bounded in
// depth and in steps, so that a damaged or hostile file gives no answer, never a read outside.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/testo.h"

namespace ostrale::mmdb {
// Maps, arrays and pointers nest at most this deep; deeper is a damaged file.
constexpr int profonditàMassima = 24;
// Steps (value heads read) of one lookup or of the metadata: a real record takes a few hundred.
constexpr std::size_t passiMassimi = 100'000;

enum Tipo : int {
    puntatore = 1,
    stringa = 2,
    doppio = 3,
    byte = 4,
    uint16 = 5,
    uint32 = 6,
    mappa = 7,
    int32 = 8,
    uint64 = 9,
    uint128 = 10,
    vettore = 11,
    booleano = 14,
    virgolaMobile = 15,
};

// The bytes of one file and the decoding of its data section. Every read is checked against
// the end of the bytes.
class Lettore {
  public:
    Lettore(const unsigned char* dati, std::size_t lunghezza) : d_(dati), n_(lunghezza) {}

    // A value's head: its type and, for everything but pointers, where its payload lies. A
    // pointer is followed (to any depth within the bound): `inizio` is then where the target's
    // head is, `fine` the end of the pointer itself.
    struct Testa {
        int tipo = 0;
        std::size_t dimensione = 0;  // payload size, or entries of a map or an array
        std::size_t carico = 0;      // where the payload (or the first entry) begins
        std::size_t fine = 0;        // where the value, as written here, ends
    };

    std::optional<Testa> testa(std::size_t off, std::size_t base, int profondità) const {
        // A damaged file can fan pointers out so that decoding never ends within the depth
        // bound: one reading does at most this many steps.
        if (++passi_ > passiMassimi) return std::nullopt;
        if (profondità > profonditàMassima || off >= n_) return std::nullopt;
        const unsigned c = d_[off];
        int t = static_cast<int>(c >> 5);
        std::size_t p = off + 1;
        if (t == 0) {
            if (p >= n_) return std::nullopt;
            t = 7 + d_[p];
            p = off + 2;
        }
        if (t == puntatore) {
            const unsigned ss = (c >> 3) & 3, v = c & 7;
            if (p + ss + 1 > n_) return std::nullopt;
            const unsigned char* b = d_ + p;
            std::uint64_t ptr = 0;
            switch (ss) {
                case 0:
                    ptr = (std::uint64_t{v} << 8) | b[0];
                    break;
                case 1:
                    ptr = ((std::uint64_t{v} << 16) | (b[0] << 8) | b[1]) + 2048;
                    break;
                case 2:
                    ptr = ((std::uint64_t{v} << 24) | (std::uint64_t{b[0]} << 16) | (b[1] << 8) |
                           b[2]) +
                          526336;
                    break;
                default:
                    ptr = (std::uint64_t{b[0]} << 24) | (std::uint64_t{b[1]} << 16) |
                          (std::uint64_t{b[2]} << 8) | b[3];
            }
            const std::size_t fine = p + ss + 1;
            if (ptr > n_ || base > n_ - ptr) return std::nullopt;
            auto bersaglio = testa(base + ptr, base, profondità + 1);
            if (!bersaglio) return std::nullopt;
            bersaglio->fine = fine;
            return bersaglio;
        }
        std::size_t s = c & 0x1F;
        if (s >= 29) {
            const std::size_t extra = s - 28;
            if (p + extra > n_) return std::nullopt;
            std::size_t v = 0;
            for (std::size_t i = 0; i < extra; ++i) v = (v << 8) | d_[p + i];
            s = (s == 29 ? 29 : s == 30 ? 285 : 65821) + v;
            p += extra;
        }
        Testa h{t, s, p, 0};
        switch (t) {
            case doppio:
                h.fine = p + 8;
                break;
            case virgolaMobile:
                h.fine = p + 4;
                break;
            case booleano:
                h.fine = p;
                break;
            case mappa:
            case vettore:
                h.fine = 0;
                break;  // known once the entries are walked
            default:
                h.fine = p + s;
        }
        if (h.fine > n_) return std::nullopt;
        return h;
    }

    // The end of the value at `off` once it has been decoded whole (every entry of a map or an
    // array, every pointer's target); none when any part fails.
    std::optional<std::size_t> salta(std::size_t off, std::size_t base, int profondità) const {
        const auto h = testa(off, base, profondità);
        if (!h) return std::nullopt;
        if (h->tipo != mappa && h->tipo != vettore) return h->fine;
        // A map or an array reached through a pointer still ends where the pointer does.
        const auto fine = saltaVoci(*h, base, profondità);
        if (!fine) return std::nullopt;
        return h->fine ? h->fine : *fine;
    }

    // Walks a map's entries: `voce(key, offset of the value)` for each; none when an entry fails.
    template <typename F>
    std::optional<std::size_t> perVoce(const Testa& h, std::size_t base, int profondità,
                                       F&& voce) const {
        std::size_t p = h.carico;
        for (std::size_t i = 0; i < h.dimensione; ++i) {
            const auto chiave = testa(p, base, profondità + 1);
            if (!chiave || chiave->tipo != stringa) return std::nullopt;
            const std::size_t dopoChiave = chiave->fine;
            const auto dopoValore = salta(dopoChiave, base, profondità + 1);
            if (!dopoValore) return std::nullopt;
            voce(std::string_view(reinterpret_cast<const char*>(d_ + chiave->carico),
                                  chiave->dimensione),
                 dopoChiave);
            p = *dopoValore;
        }
        return p;
    }

    // The bytes of a string value (through pointers); none when it is not a string.
    std::optional<std::string_view> stringaGrezza(std::size_t off, std::size_t base,
                                                  int profondità) const {
        const auto h = testa(off, base, profondità);
        if (!h || h->tipo != stringa) return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(d_ + h->carico), h->dimensione);
    }

    // A string as text: invalid UTF-8 reads as empty.
    std::optional<std::string> testo(std::size_t off, std::size_t base, int profondità) const {
        const auto v = stringaGrezza(off, base, profondità);
        if (!v) return std::nullopt;
        const bool ascii = std::all_of(v->begin(), v->end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        return ascii || testo::èUtf8Valido(*v) ? std::string(*v) : std::string();
    }

    // A double or a float, widened.
    std::optional<double> numero(std::size_t off, std::size_t base, int profondità) const {
        const auto h = testa(off, base, profondità);
        if (!h) return std::nullopt;
        if (h->tipo == doppio) {
            std::uint64_t v = 0;
            for (int i = 0; i < 8; ++i) v = (v << 8) | d_[h->carico + i];
            return std::bit_cast<double>(v);
        }
        if (h->tipo == virgolaMobile) {
            std::uint32_t v = 0;
            for (int i = 0; i < 4; ++i) v = (v << 8) | d_[h->carico + i];
            return static_cast<double>(std::bit_cast<float>(v));
        }
        return std::nullopt;
    }

    // An unsigned integer (uint16 to uint128: the first 8 payload bytes).
    std::optional<std::uint64_t> intero(std::size_t off, std::size_t base, int profondità) const {
        const auto h = testa(off, base, profondità);
        if (!h ||
            !(h->tipo == uint16 || h->tipo == uint32 || h->tipo == uint64 || h->tipo == uint128))
            return std::nullopt;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < std::min<std::size_t>(h->dimensione, 8); ++i) {
            v = (v << 8) | d_[h->carico + i];
        }
        return v;
    }

    std::size_t lunghezza() const { return n_; }
    const unsigned char* dati() const { return d_; }

  private:
    std::optional<std::size_t> saltaVoci(const Testa& h, std::size_t base, int profondità) const {
        std::size_t p = h.carico;
        const std::size_t voci = h.tipo == mappa ? 2 * h.dimensione : h.dimensione;
        for (std::size_t i = 0; i < voci; ++i) {
            if (h.tipo == mappa && i % 2 == 0 && !stringaGrezza(p, base, profondità + 1))
                return std::nullopt;
            const auto dopo = salta(p, base, profondità + 1);
            if (!dopo) return std::nullopt;
            p = *dopo;
        }
        return p;
    }

    const unsigned char* d_;
    std::size_t n_;
    mutable std::size_t passi_ = 0;
};

}  // namespace ostrale::mmdb
