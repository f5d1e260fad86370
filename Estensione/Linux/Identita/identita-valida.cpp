// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/identita-valida.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace ostrale {
namespace {

// The length of the valid UTF-8 sequence at the start of `b`, or 0.
std::size_t sequenzaUtf8(std::string_view b) {
    const auto u = [&](std::size_t i) { return static_cast<unsigned char>(b[i]); };
    const unsigned char c = u(0);
    std::size_t n;
    unsigned char minimo = 0x80, massimo = 0xBF;  // bounds of the second byte
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) minimo = 0xA0;   // no overlong forms
        if (c == 0xED) massimo = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) minimo = 0x90;
        if (c == 0xF4) massimo = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (b.size() < n || u(1) < minimo || u(1) > massimo) return 0;
    for (std::size_t i = 2; i < n; ++i) {
        if (u(i) < 0x80 || u(i) > 0xBF) return 0;
    }
    return n;
}

std::uint64_t fnv1a(std::string_view testo) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : testo) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

int valoreEsadecimale(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string identitàValida(std::string_view grezza) {
    static constexpr char cifre[] = "0123456789ABCDEF";
    std::string v;
    v.reserve(grezza.size());
    // Where each character of the result starts, for a cut that splits none.
    std::vector<std::size_t> confini;
    for (std::size_t i = 0; i < grezza.size();) {
        confini.push_back(v.size());
        const std::size_t n = sequenzaUtf8(grezza.substr(i));
        if (n == 0 || (grezza[i] == '\\' && i + 1 < grezza.size() && grezza[i + 1] == 'x')) {
            const auto c = static_cast<unsigned char>(grezza[i]);
            v.append("\\x").push_back(cifre[c >> 4]);
            v.push_back(cifre[c & 0xF]);
            ++i;
        } else {
            v.append(grezza.substr(i, n));
            i += n;
        }
    }
    if (v.size() <= lunghezzaMassimaIdentità) return v;
    char digest[18];
    std::snprintf(digest, sizeof digest, "#%016llx", static_cast<unsigned long long>(fnv1a(v)));
    const std::size_t spazio = lunghezzaMassimaIdentità - 17;
    std::size_t taglio = 0;
    for (const std::size_t c : confini) {
        if (c > spazio) break;
        taglio = c;
    }
    v.resize(taglio);
    return v + digest;
}

std::string identitàGrezza(std::string_view valida) {
    std::string g;
    g.reserve(valida.size());
    for (std::size_t i = 0; i < valida.size(); ++i) {
        if (valida[i] == '\\' && i + 3 < valida.size() && valida[i + 1] == 'x') {
            const int alto = valoreEsadecimale(valida[i + 2]);
            const int basso = valoreEsadecimale(valida[i + 3]);
            if (alto >= 0 && basso >= 0) {
                g.push_back(static_cast<char>(alto * 16 + basso));
                i += 3;
                continue;
            }
        }
        g.push_back(valida[i]);
    }
    return g;
}

}  // namespace ostrale
