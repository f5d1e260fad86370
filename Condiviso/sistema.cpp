// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/sistema.h"

#include "Condiviso/testo.h"

namespace ostrale {

bool èDiSistema(std::string_view firma) {
    // Only paths: the daemon names a path under these folders only for a root-owned file that
    // no one else may write, and an application id from a sandbox is never a path.
    for (std::string_view prefisso :
         {"/usr/lib/systemd/", "/lib/systemd/", "/usr/libexec/", "/usr/sbin/"}) {
        if (testo::iniziaCon(firma, prefisso)) return true;
    }
    return false;
}

}  // namespace ostrale
