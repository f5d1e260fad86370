#include "Condiviso/regola-dominio.h"

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
    for (const int famiglia : {AF_INET, AF_INET6}) {
        if (::inet_pton(famiglia, z.c_str(), byte) == 1 &&
            ::inet_ntop(famiglia, byte, canonico, sizeof canonico)) {
            return std::string(canonico);
        }
    }
    return std::nullopt;
}

bool RegolaDominio::èIndirizzo(std::string_view testo) {
    return indirizzoCanonico(testo).has_value();
}

}  // namespace ostrale
