// Stores a rules file N times in a row. Usage: scrittore-regole NAME COUNT
// The container comes from OSTRALE_CONTENITORE; each writer's rules carry its NAME.
#include <cstdlib>
#include <string>

#include "Condiviso/archivio-condiviso.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    ostrale::StatoRegole stato;
    for (int i = 0; i < 200; ++i) {
        ostrale::Regola regola;
        regola.firmaApp = std::string(argv[1]) + "." + std::to_string(i);
        regola.nomeApp = argv[1];
        stato.regole.push_back(regola);
    }
    const long volte = std::strtol(argv[2], nullptr, 10);
    for (long i = 0; i < volte; ++i) ostrale::ArchivioCondiviso::salva(stato);
    return 0;
}
