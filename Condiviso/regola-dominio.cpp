// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/regola-dominio.h"

#include <algorithm>
#include <iterator>

#include <arpa/inet.h>

#include "Condiviso/testo.h"

namespace ostrale {

std::string RegolaDominio::normalizza(std::string_view inserito) {
    const std::string s = testo::minuscole(testo::rifila(inserito));
    std::string_view resto = s;
    if (testo::iniziaCon(resto, "https://")) resto.remove_prefix(8);
    if (testo::iniziaCon(resto, "http://")) resto.remove_prefix(7);
    while (!resto.empty() && resto.front() == '/') resto.remove_prefix(1);
    // An IPv6 address in brackets, as in a URL.
    if (testo::iniziaCon(resto, "[") && resto.find(']') != std::string_view::npos) {
        resto = resto.substr(1, resto.find(']') - 1);
    }
    resto = resto.substr(0, resto.find('/'));
    if (auto indirizzo = indirizzoCanonico(resto)) return std::move(*indirizzo);
    if (testo::iniziaCon(resto, "www.")) resto.remove_prefix(4);
    return std::string(resto);
}

std::optional<std::string> RegolaDominio::indirizzoCanonico(std::string_view testo) {
    if (testo.empty() || testo.size() > INET6_ADDRSTRLEN) return std::nullopt;
    const std::string z(testo);
    unsigned char byte[16];
    char canonico[INET6_ADDRSTRLEN];
    if (::inet_pton(AF_INET, z.c_str(), byte) == 1 &&
        ::inet_ntop(AF_INET, byte, canonico, sizeof canonico)) {
        return std::string(canonico);
    }
    if (::inet_pton(AF_INET6, z.c_str(), byte) != 1) return std::nullopt;
    // An IPv4 address written as IPv6 is the IPv4 address its flows carry.
    static constexpr unsigned char mappato[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    const bool v4 = std::equal(std::begin(mappato), std::end(mappato), byte);
    if (!::inet_ntop(v4 ? AF_INET : AF_INET6, v4 ? byte + 12 : byte, canonico, sizeof canonico)) {
        return std::nullopt;
    }
    return std::string(canonico);
}

bool RegolaDominio::èIndirizzo(std::string_view testo) {
    return indirizzoCanonico(testo).has_value();
}

}  // namespace ostrale
