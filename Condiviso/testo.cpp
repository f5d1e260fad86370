// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/testo.h"

#include <algorithm>

#include <cstdint>

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace ostrale::testo {
namespace {

// Decodes the code point at `i`, returning its length in bytes. A malformed sequence counts as
// one byte holding U+FFFD, so any input can be walked safely.
std::size_t decodifica(std::string_view s, std::size_t i, char32_t& punto) {
    const std::size_t lunghezza = lunghezzaUtf8(s, i);
    if (lunghezza == 0) {
        punto = 0xFFFD;
        return 1;
    }
    const auto b0 = static_cast<unsigned char>(s[i]);
    punto = lunghezza == 1 ? b0 : b0 & (0x3F >> (lunghezza - 1));
    for (std::size_t k = 1; k < lunghezza; ++k) {
        punto = (punto << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    }
    return lunghezza;
}

bool èFineRiga(char32_t c) {
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool èSpazioOFineRiga(char32_t c) {
    return c == 0x09 || c == 0x20 || èFineRiga(c) || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

}  // namespace

std::size_t lunghezzaUtf8(std::string_view s, std::size_t i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) return 1;
    std::size_t lunghezza;
    char32_t minimo;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        lunghezza = 2;
        minimo = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        lunghezza = 3;
        minimo = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        lunghezza = 4;
        minimo = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - i < lunghezza) return 0;
    char32_t punto = b0 & (0x3F >> (lunghezza - 1));
    for (std::size_t k = 1; k < lunghezza; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        punto = (punto << 6) | (b & 0x3F);
    }
    if (punto < minimo || punto > 0x10FFFF || (punto >= 0xD800 && punto <= 0xDFFF)) return 0;
    return lunghezza;
}

bool èUtf8Valido(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t lunghezza = lunghezzaUtf8(s, i);
        if (lunghezza == 0) return false;
        i += lunghezza;
    }
    return true;
}

std::vector<std::string_view> righe(std::string_view s) {
    std::vector<std::string_view> risultato;
    std::size_t inizio = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        char32_t punto;
        const std::size_t lunghezza = decodifica(s, i, punto);
        if (èFineRiga(punto)) {
            if (i > inizio) risultato.push_back(s.substr(inizio, i - inizio));
            inizio = i + lunghezza;
        }
        i += lunghezza;
    }
    if (inizio < s.size()) risultato.push_back(s.substr(inizio));
    return risultato;
}

std::string_view rifila(std::string_view s) {
    std::size_t inizio = s.size();
    std::size_t fine = 0;
    for (std::size_t i = 0; i < s.size();) {
        char32_t punto;
        const std::size_t lunghezza = decodifica(s, i, punto);
        if (!èSpazioOFineRiga(punto)) {
            if (inizio == s.size()) inizio = i;
            fine = i + lunghezza;
        }
        i += lunghezza;
    }
    if (inizio == s.size()) return s.substr(0, 0);
    return s.substr(inizio, fine - inizio);
}

std::string minuscole(std::string_view s) {
    std::string risultato(s);
    bool soloAscii = true;
    for (char& c : risultato) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        soloAscii &= static_cast<unsigned char>(c) < 0x80;
    }
    if (soloAscii) return risultato;
    // Full Unicode case mapping, independent of the user's locale.
    icu::UnicodeString unicode =
        icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
    unicode.toLower(icu::Locale::getRoot());
    risultato.clear();
    unicode.toUTF8String(risultato);
    return risultato;
}

bool iniziaCon(std::string_view s, std::string_view prefisso) {
    return s.substr(0, prefisso.size()) == prefisso;
}

std::vector<std::string_view> etichette(std::string_view host) {
    std::vector<std::string_view> risultato;
    std::size_t inizio = 0;
    while (inizio <= host.size()) {
        std::size_t fine = host.find('.', inizio);
        if (fine == std::string_view::npos) fine = host.size();
        if (fine > inizio) risultato.push_back(host.substr(inizio, fine - inizio));
        inizio = fine + 1;
    }
    return risultato;
}

std::string nomeNormalizzato(std::string_view host, std::size_t& quante) {
    // Rare: a host with non-ASCII letters is lower-cased by the full Unicode mapping first.
    const bool ascii = std::all_of(host.begin(), host.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::string unicode = ascii ? std::string() : minuscole(host);
    const std::string_view sorgente = ascii ? host : std::string_view(unicode);
    std::string nome;
    nome.reserve(sorgente.size());
    quante = 0;
    bool inEtichetta = false;
    for (char c : sorgente) {
        if (c == '.') {
            inEtichetta = false;
            continue;
        }
        if (!inEtichetta) {
            if (quante > 0) nome.push_back('.');
            ++quante;
            inEtichetta = true;
        }
        nome.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return nome;
}

std::vector<std::string_view> vociElenco(std::string_view s) {
    std::vector<std::string_view> voci;
    for (std::string_view riga : righe(s)) {
        riga = rifila(riga);
        if (riga.empty() || riga.front() == '#') continue;
        voci.push_back(riga);
    }
    return voci;
}

}  // namespace ostrale::testo
