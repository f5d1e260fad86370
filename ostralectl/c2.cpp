// SPDX-License-Identifier: GPL-3.0-or-later
// `c2 FILE`: a command-and-control list delivered to the daemon.
#include <iostream>
#include <string>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/blocklist-c2.h"
#include "ostralectl/comandi.h"

namespace ostrale::ctl {

int c2(const Opzioni& o) {
    if (o.argomenti.size() != 2) return argomentiSbagliati("c2", t("c2 FILE", "c2 FILE"));
    const std::string& file = o.argomenti[1];
    const auto testo = ArchivioCondiviso::leggiFile(file, true);
    if (!testo) {
        dici(t("cannot read " + file, "non posso leggere " + file));
        return esitoArgomenti;
    }
    Sessione s(o);
    if (const auto esito = s.connetti()) return *esito;
    const auto quanti = s.cliente().aggiornaBlocklistC2(*testo);
    if (!quanti) return s.senzaRisposta();
    if (o.json) {
        std::cout << "{\"indirizzi\":" << *quanti << "}" << std::endl;
    } else if (*quanti == 0) {
        const std::string minimo = std::to_string(BlocklistC2::vociMinime);
        dici(t("the list was refused (fewer than " + minimo +
                   " addresses, or not UTF-8): the current one stays",
               "l'elenco è stato rifiutato (meno di " + minimo +
                   " indirizzi, o non UTF-8): resta quello attuale"));
    } else {
        std::cout << t(std::to_string(*quanti) + " addresses installed",
                       std::to_string(*quanti) + " indirizzi installati")
                  << "\n";
    }
    return *quanti == 0 ? esitoFallito : esitoOk;
}

}  // namespace ostrale::ctl
