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

bool copreHost(std::string_view dominio, std::string_view host,
               const std::optional<std::string>& ip) {
    if (ip && dominio == *ip) return true;
    if (dominio.empty()) return false;
    if (RegolaDominio::èIndirizzo(dominio)) return host == dominio;
    std::size_t etichette;
    const std::string nome = testo::nomeNormalizzato(host, etichette);
    if (nome.size() < dominio.size() ||
        std::string_view(nome).substr(nome.size() - dominio.size()) != dominio)
        return false;
    return nome.size() == dominio.size() || nome[nome.size() - dominio.size() - 1] == '.';
}

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
