#include "Condiviso/sistema.h"

#include "Condiviso/testo.h"

namespace ostrale {

bool èDiSistema(std::string_view firma) {
    for (std::string_view prefisso :
         {"com.apple.", "/usr/lib/systemd/", "/lib/systemd/", "/usr/libexec/", "/usr/sbin/"}) {
        if (testo::iniziaCon(firma, prefisso)) return true;
    }
    return false;
}

}  // namespace ostrale
