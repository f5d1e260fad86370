// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>
#include <string_view>

#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "Condiviso/testo.h"
#include "Estensione/filter-data-provider.h"

namespace ostrale {
namespace {

bool haLettere(std::string_view host) {
    bool nonAscii = false;
    for (char c : host) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
        nonAscii |= static_cast<unsigned char>(c) >= 0x80;
    }
    if (!nonAscii) return false;
    const auto testo = icu::UnicodeString::fromUTF8(
        icu::StringPiece(host.data(), static_cast<int32_t>(host.size())));
    for (int32_t i = 0; i < testo.length(); i = testo.moveIndex32(i, 1)) {
        if (u_hasBinaryProperty(testo.char32At(i), UCHAR_ALPHABETIC)) return true;
    }
    return false;
}

}  // namespace

std::string dominioDi(std::string_view host) {
    if (host == "?" || !haLettere(host)) return {};
    const auto etichette = testo::etichette(host);
    if (etichette.size() >= 3) {
        const auto& penultima = etichette[etichette.size() - 2];
        const auto& ultima = etichette.back();
        return testo::minuscole(std::string(penultima) + "." + std::string(ultima));
    }
    return testo::minuscole(host);
}

}  // namespace ostrale
