// SPDX-License-Identifier: GPL-3.0-or-later
// ostralectl: the firewall from the command line, over the same local channel as the app.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "Condiviso/registro.h"
#include "ostralectl/comandi.h"
#include "ostralectl/comune.h"

int main(int argc, char** argv) {
    using namespace ostrale::ctl;
    impostaLingua(linguaDa(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG")));
    Opzioni o;
    o.socket = [] {
        if (const char* v = std::getenv("OSTRALE_SOCKET"); v && *v) return std::filesystem::path(v);
        return std::filesystem::path("/run/ostrale/ostrale.sock");
    }();
    bool aiuto = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json") {
            o.json = true;
        } else if (a == "--socket" || a == "--contenitore") {
            if (i + 1 >= argc)
                return argomentiSbagliati("", t(a + " wants a value", a + " vuole un valore"));
            if (a == "--socket") {
                o.socket = argv[++i];
            } else {
                ::setenv("OSTRALE_CONTENITORE", argv[++i], 1);
            }
        } else if (a == "-h" || a == "--help" || a == "--aiuto") {
            // Before a command the whole usage, after one that command's.
            if (o.argomenti.empty()) {
                std::cout << uso();
                return esitoOk;
            }
            aiuto = true;
        } else if (a == "--version") {
            std::cout << "ostralectl " OSTRALE_VERSIONE "\n";
            return esitoOk;
        } else if (o.argomenti.empty() && a.size() > 1 && a.front() == '-') {
            // An unknown option before the command is a mistake; after it, the command judges it.
            return argomentiSbagliati(
                "", t("unknown option '" + a + "'", "opzione sconosciuta '" + a + "'"));
        } else {
            o.argomenti.push_back(a);
        }
    }
    if (o.argomenti.empty()) return argomentiSbagliati("", t("which command?", "quale comando?"));
    const Comando* comando = trovaComando(o.argomenti[0]);
    if (!comando) {
        return argomentiSbagliati("", t("unknown command '" + o.argomenti[0] + "'",
                                        "comando sconosciuto '" + o.argomenti[0] + "'"));
    }
    if (aiuto) {
        std::cout << uso(*comando);
        return esitoOk;
    }
    // Without a reader a broken pipe must not kill us; the channel uses MSG_NOSIGNAL anyway.
    std::signal(SIGPIPE, SIG_IGN);
    ostrale::Registro::impostaDestinazione(std::make_shared<ostrale::DestinazioneMemoria>());
    return comando->esegui(o);
}
