// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the rules file N times in a row. Usage: scrittore-regole NAME COUNT [modifiche]
// The container comes from OSTRALE_CONTENITORE. Plainly, each write stores 200 rules named after
// NAME whole; with "modifiche", each write is one edit that adds the rule NAME.i.
#include <cstdlib>
#include <string>
#include <string_view>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/archivio-regole.h"

int main(int argc, char** argv) {
    using namespace ostrale;
    if (argc != 3 && argc != 4) return 2;
    const long volte = std::strtol(argv[2], nullptr, 10);
    if (argc == 4 && std::string_view(argv[3]) == "modifiche") {
        for (long i = 0; i < volte; ++i) {
            StatoRegole dopo;
            const auto m = ModificaRegole::nuovaRegola(
                std::string(argv[1]) + "." + std::to_string(i), AzioneRegola::blocca);
            if (ArchivioRegole::modifica(m, StatoRegole{}, dopo).esito != EsitoModifica::cambiata)
                return 1;
        }
        return 0;
    }
    StatoRegole stato;
    for (int i = 0; i < 200; ++i) {
        Regola regola;
        regola.firmaApp = std::string(argv[1]) + "." + std::to_string(i);
        regola.nomeApp = argv[1];
        stato.regole.push_back(regola);
    }
    for (long i = 0; i < volte; ++i) ArchivioCondiviso::salva(stato);
    return 0;
}
