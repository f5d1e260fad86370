// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/durata.h"

#include <fstream>

#include "Condiviso/testo.h"

namespace ostrale {

const std::string& idAvvio() {
    static const std::string id = [] {
        std::ifstream file("/proc/sys/kernel/random/boot_id");
        std::string riga;
        std::getline(file, riga);
        return std::string(testo::rifila(riga));
    }();
    return id;
}

}  // namespace ostrale
