#include "Condiviso/regola-dominio.h"

#include "Condiviso/testo.h"

namespace ostrale {

std::string RegolaDominio::normalizza(std::string_view inserito) {
    const std::string s = testo::minuscole(testo::rifila(inserito));
    std::string_view resto = s;
    if (testo::iniziaCon(resto, "https://")) resto.remove_prefix(8);
    if (testo::iniziaCon(resto, "http://")) resto.remove_prefix(7);
    while (!resto.empty() && resto.front() == '/') resto.remove_prefix(1);
    resto = resto.substr(0, resto.find('/'));
    if (testo::iniziaCon(resto, "www.")) resto.remove_prefix(4);
    return std::string(resto);
}

}  // namespace ostrale
