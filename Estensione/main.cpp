// SPDX-License-Identifier: GPL-3.0-or-later
// ostrale-estensione: the filter daemon. Builds the objects, starts the filter on the chosen
// source of flows, and stops it cleanly (memory saved) on SIGTERM or SIGINT.
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/blocco-file.h"
#include "Condiviso/blocklist-c2.h"
#include "Condiviso/fuso-orario.h"
#include "Condiviso/orologio.h"
#include "Condiviso/registro.h"
#include "Condiviso/tracker.h"
#include "Estensione/Linux/identita-processo.h"
#include "Estensione/Linux/sorgente-netfilter.h"
#include "Estensione/Simulata/scenario.h"
#include "Estensione/Simulata/sorgente-simulata.h"
#include "Estensione/canale-xpc.h"
#include "Estensione/filter-data-provider.h"
#include "Estensione/pianificatore.h"

namespace {

using namespace ostrale;

const char* const uso =
    "uso: ostrale-estensione [opzioni]\n"
    "     ostrale-estensione --help | --version\n"
    "  --sorgente netfilter     the machine's real traffic (default; needs root)\n"
    "  --sorgente simulata      a simulated desktop, for the demo and tests\n"
    "  --contenitore DIR        shared container directory (created if missing)\n"
    "  --verboso                one line per verdict on standard output\n"
    "  --senza-bpf              find flow owners by socket lookups only (no kernel programs)\n"
    "  --code N                 flow queues, each with a thread (default: one per processor,\n"
    "                           up to 4; rounded down to a power of two)\n"
    "  --velocita N             simulated ordinary flows per second (default 20)\n"
    "  --accelera N             simulated time runs N times faster (default 1)\n"
    "  --dal-passato S          simulated time starts S seconds ago and, accelerated, runs\n"
    "                           fast only until it reaches the present\n"
    "  --durata S               stop by itself after S seconds\n"
    "  -h, --help               this text\n"
    "  --version                the version\n"
    "The app's socket is OSTRALE_SOCKET, else /run/ostrale/ostrale.sock.\n"
    "Exit status: 0 stopped, or help shown; 1 the filter could not claim traffic; 2 bad\n"
    "arguments, or netfilter without root; 3 another ostrale-estensione serves the same\n"
    "container or socket.\n";

struct Opzioni {
    std::string sorgente = "netfilter";
    std::optional<std::string> contenitore;
    bool verboso = false;
    bool senzaBpf = false;
    std::optional<double> code;
    double velocità = 20;
    double accelerazione = 1;
    double ritardo = 0;
    std::optional<double> durata;
};

[[noreturn]] void errore(const std::string& messaggio) {
    std::cerr << "ostrale-estensione: " << messaggio << "\n" << uso;
    std::exit(2);
}

double numero(const char* opzione, const char* testo) {
    char* fine = nullptr;
    const double valore = std::strtod(testo, &fine);
    if (fine == testo || *fine != '\0' || !(valore > 0) || valore > 1e7) {
        errore(std::string(opzione) + " wants a positive number, not '" + testo + "'");
    }
    return valore;
}

Opzioni leggiOpzioni(int argc, char** argv) {
    Opzioni o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto valore = [&]() -> const char* {
            if (i + 1 >= argc) errore(a + " wants a value");
            return argv[++i];
        };
        if (a == "--sorgente") {
            o.sorgente = valore();
        } else if (a == "--contenitore") {
            o.contenitore = valore();
        } else if (a == "--verboso") {
            o.verboso = true;
        } else if (a == "--senza-bpf") {
            o.senzaBpf = true;
        } else if (a == "--code") {
            o.code = numero("--code", valore());
        } else if (a == "--velocita" || a == "--velocità") {
            o.velocità = numero("--velocita", valore());
        } else if (a == "--accelera") {
            o.accelerazione = numero("--accelera", valore());
        } else if (a == "--dal-passato") {
            o.ritardo = numero("--dal-passato", valore());
        } else if (a == "--durata") {
            o.durata = numero("--durata", valore());
        } else if (a == "--aiuto" || a == "--help" || a == "-h") {
            std::cout << uso;
            std::exit(0);
        } else if (a == "--version") {
            std::cout << "ostrale-estensione " OSTRALE_VERSIONE "\n";
            std::exit(0);
        } else {
            errore("unknown option '" + a + "'");
        }
    }
    if (o.ritardo > 0 && !(o.accelerazione > 1)) {
        errore("--dal-passato needs --accelera above 1 (the clock must catch up)");
    }
    if (o.sorgente != "simulata" && o.sorgente != "netfilter") {
        errore("unknown source '" + o.sorgente + "'");
    }
    if (o.sorgente == "netfilter" && ::geteuid() != 0) {
        std::cerr
            << "ostrale-estensione: filtering the machine's traffic needs root (CAP_NET_ADMIN); "
               "run it as a service, or try --sorgente simulata\n";
        std::exit(2);
    }
    return o;
}

std::string ora(Data d) {
    const std::time_t t = d.secondiUnixInteri();
    std::tm locale{};
    localtime_r(&t, &locale);
    char testo[16];
    std::strftime(testo, sizeof testo, "%H:%M:%S", &locale);
    return testo;
}

void stampa(const EventoFlusso& e, Verdetto v) {
    static std::mutex mutex;
    std::string riga = ora(e.data) + "  ";
    if (e.attacco) {
        riga += "ATTACCO   " + std::string(valoreGrezzo(*e.attacco)) + "  " + e.firmaApp +
                (e.direzione == DirezioneFlusso::entrata ? " ← " : " → ") + e.host + " porta " +
                e.porta + (v == Verdetto::blocca ? "  (bloccato)" : "");
    } else {
        const char* verdetto = v == Verdetto::consenti ? "consenti"
                               : v == Verdetto::blocca ? "blocca  "
                                                       : "sospeso ";
        riga += std::string(verdetto) + "  " + e.firmaApp +
                (e.direzione == DirezioneFlusso::entrata ? " ← " : " → ") + e.host + ":" + e.porta +
                " " + e.protocollo + "  (" + std::string(e.motivo ? valoreGrezzo(*e.motivo) : "?") +
                ")" + (e.anomala.value_or(false) ? "  anomalo" : "");
    }
    std::lock_guard blocco(mutex);
    std::fputs((riga + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// A fresh container gets what an established machine would have: rules, first sightings and
// habits of the everyday applications, and a command-and-control list. Existing files are never
// replaced.
void preparaContenitoreDimostrativo(const Orologio& orologio, BlocklistC2& c2) {
    if (!ArchivioCondiviso::urlContenitore("regole.json")) return;
    if (!ArchivioCondiviso::leggi("regole.json")) {
        ArchivioCondiviso::salva(Scenario::regoleDimostrative());
    }
    if (!ArchivioCondiviso::leggi("prime-viste.json")) {
        ArchivioCondiviso::salvaJSON(Scenario::primeVisteDimostrative(orologio.adesso()),
                                     "prime-viste.json");
    }
    if (!ArchivioCondiviso::leggi("abitudini.json")) {
        ArchivioCondiviso::salvaJSON(Scenario::abitudiniDimostrative(), "abitudini.json");
    }
    if (!BlocklistC2::dataFileAggiornato()) c2.aggiorna(Scenario::elencoC2Dimostrativo());
}

// One daemon per container and per socket, for its whole life: a second one would answer the
// same clients and write the same files. The locks end with the process, however it ends.
std::vector<BloccoFile> prendiBlocchi() {
    std::vector<std::pair<std::filesystem::path, std::string>> risorse;  // lock, what it guards
    if (const auto contenitore = ArchivioCondiviso::urlContenitore(".ostrale-estensione.lock")) {
        risorse.emplace_back(*contenitore, "the container " + contenitore->parent_path().string());
    }
    const auto socket = CanaleXPC::percorsoPredefinito();
    if (socket.has_parent_path()) {
        std::error_code e;
        if (std::filesystem::create_directories(socket.parent_path(), e)) {
            ::chmod(socket.parent_path().c_str(), 0750);
        }
    }
    risorse.emplace_back(socket.string() + ".lock", "the socket " + socket.string());
    std::vector<BloccoFile> blocchi;
    for (const auto& [percorso, cosa] : risorse) {
        auto blocco = BloccoFile::prendi(percorso, BloccoFile::Modo::proprio);
        if (!blocco) {
            const auto chi = BloccoFile::titolare(percorso);
            std::cerr << "ostrale-estensione: another ostrale-estensione"
                      << (chi && *chi > 0 ? " (pid " + std::to_string(*chi) + ")" : "")
                      << " serves " << cosa << "; stop it first\n";
            std::exit(3);
        }
        blocchi.push_back(std::move(*blocco));
    }
    return blocchi;
}

}  // namespace

int main(int argc, char** argv) {
    const Opzioni opzioni = leggiOpzioni(argc, argv);
    if (opzioni.contenitore) {
        std::error_code e;
        std::filesystem::create_directories(*opzioni.contenitore, e);
        if (e) errore("cannot create the container " + *opzioni.contenitore + ": " + e.message());
        ::setenv("OSTRALE_CONTENITORE", opzioni.contenitore->c_str(), 1);
    }
    Registro::impostaSottosistema("it.brelt.ostrale.estensione");
    const auto blocchi = prendiBlocchi();
    preparaFusoOrario();

    // Signals are taken by this thread alone, with sigwait, once everything runs.
    sigset_t segnali;
    sigemptyset(&segnali);
    sigaddset(&segnali, SIGTERM);
    sigaddset(&segnali, SIGINT);
    if (opzioni.durata) sigaddset(&segnali, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &segnali, nullptr);

    std::unique_ptr<Orologio> orologio;
    if (opzioni.accelerazione != 1 || opzioni.ritardo > 0) {
        orologio = std::make_unique<OrologioAccelerato>(opzioni.accelerazione, opzioni.ritardo);
    } else {
        orologio = std::make_unique<OrologioDiSistema>();
    }
    PianificatoreDiSistema pianificatore;
    // Time windows and the hours of the history follow a change of the machine's time zone.
    pianificatore.ogni(30, rileggiFusoOrario);
    BlocklistC2 c2(*orologio);
    CanaleXPC canale(c2);
    const bool simulata = opzioni.sorgente == "simulata";
    Scenario scenario;
    RisolutoreLinux identitàLinux;
    std::unique_ptr<SorgenteSimulata> sorgenteSimulata;
    std::unique_ptr<SorgenteNetfilter> sorgenteNetfilter;
    if (simulata) {
        preparaContenitoreDimostrativo(*orologio, c2);
        sorgenteSimulata =
            std::make_unique<SorgenteSimulata>(scenario, opzioni.velocità, opzioni.accelerazione);
    } else {
        RegoleSistema::Code code;
        code.quanteFlussi = opzioni.code ? static_cast<unsigned>(std::min(*opzioni.code, 64.0))
                                         : std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
        sorgenteNetfilter = std::make_unique<SorgenteNetfilter>(*orologio, RegoleSistema(code),
                                                                &identitàLinux, !opzioni.senzaBpf);
    }
    RisolutoreIdentità& identità =
        simulata ? static_cast<RisolutoreIdentità&>(scenario) : identitàLinux;
    FilterDataProvider::Dipendenze dipendenze{*orologio, pianificatore,       identità, canale,
                                              c2,        Tracker::condiviso()};
    if (opzioni.verboso) dipendenze.osservatore = stampa;
    const auto provider = FilterDataProvider::crea(std::move(dipendenze));
    SorgenteFlussi& sorgente =
        simulata ? static_cast<SorgenteFlussi&>(*sorgenteSimulata) : *sorgenteNetfilter;
    bool avviato = true;
    provider->startFilter(sorgente, [&](std::optional<std::string> e) {
        if (!e) return;
        std::cerr << "ostrale-estensione: the filter could not claim traffic: " << *e << "\n";
        avviato = false;
    });
    if (!avviato) return 1;

    if (opzioni.durata) alarm(static_cast<unsigned>(std::max(1.0, *opzioni.durata)));
    int segnale = 0;
    sigwait(&segnali, &segnale);
    if (sorgenteSimulata) sorgenteSimulata->ferma();
    if (sorgenteNetfilter) sorgenteNetfilter->ferma();
    // The last save is the last change: no timer (a question's, the save's own) runs after it.
    pianificatore.ferma();
    provider->stopFilter();
    std::cerr << "ostrale-estensione: stopped\n";
    return 0;
}
