// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the rules of the benchmark's Ostrale into the container OSTRALE_CONTENITORE names:
// every setting that adds work on a flow's path turned on, RULES application rules (the
// client's own among them, allowed) and a hundred domain rules; with "spoglio", every such
// setting off and no rule (what the filter costs before any feature).
//   latenza-prepara-regole CLIENT_EXECUTABLE RULES [spoglio]
#include <cstdlib>
#include <iostream>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/stato-regole.h"

int main(int argc, char** argv) {
    using namespace ostrale;
    if (argc != 3 && argc != 4) {
        std::cerr << "uso: latenza-prepara-regole CLIENT_EXECUTABLE RULES [spoglio]\n";
        return 2;
    }
    StatoRegole stato;
    if (argc == 4) {
        stato.impostazioni.registraConsentiti = false;
        stato.impostazioni.rilevaAttacchi = false;
        stato.impostazioni.fidatiApple = false;
        ArchivioCondiviso::salva(stato);
        return 0;
    }
    auto& imp = stato.impostazioni;
    imp.bloccaSconosciute = true;
    imp.quarantenaAttiva = true;
    imp.avvisaAnomalie = true;
    imp.bloccaTracker = true;
    imp.rilevaAttacchi = true;
    imp.registraConsentiti = true;
    Regola cliente;
    cliente.firmaApp = argv[1];
    cliente.nomeApp = "latenza-cliente";
    stato.regole.push_back(cliente);
    const int quante = std::atoi(argv[2]);
    for (int i = 1; i < quante; ++i) {
        Regola r;
        r.firmaApp = "/opt/app" + std::to_string(i) + "/bin/app" + std::to_string(i);
        r.nomeApp = "app" + std::to_string(i);
        r.azione = i % 3 == 0 ? AzioneRegola::blocca : AzioneRegola::consenti;
        if (i % 7 == 0) r.fascia = FasciaOraria{8 * 60, 18 * 60};
        stato.regole.push_back(r);
    }
    for (int i = 0; i < 100; ++i) {
        RegolaDominio d;
        d.dominio = "blocked" + std::to_string(i) + ".example.net";
        stato.regoleDominio.push_back(d);
    }
    try {
        ArchivioCondiviso::salva(stato);
    } catch (const std::exception& e) {
        std::cerr << "latenza-prepara-regole: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
