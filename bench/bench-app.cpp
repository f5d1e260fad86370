// SPDX-License-Identifier: GPL-3.0-or-later
// The app's intake of flow events: a stand-in extension on a Unix socket answers the app's
// calls and pushes `nuovoFlusso:` at a steady rate to a StatoApp on a real event loop, while a
// timer measures how late the loop runs. Prints the loop's lateness (p50, p99, max), the
// controller's processor time per event, and the resident memory over the run.
// Usage: bench-app [events per second] [seconds]   (default 2000 30)
#include <filesystem>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/temporizzatore.h"
#include "bench/estensione-finta.h"

namespace {
using namespace ostrale;
using namespace ostrale::bench;
}  // namespace

int main(int argc, char** argv) {
    const int perSecondo = argc > 1 ? std::atoi(argv[1]) : 2000;
    const double secondi = argc > 2 ? std::atof(argv[2]) : 30;
    if (perSecondo <= 0 || secondi <= 0) {
        std::fprintf(stderr, "usage: bench-app [events per second] [seconds]\n");
        return 2;
    }
    char modello[] = "/tmp/bench-app-XXXXXX";
    const std::filesystem::path cartella = ::mkdtemp(modello);
    ::setenv("OSTRALE_CONTENITORE", cartella.c_str(), 1);
    QCoreApplication app(argc, argv);

    const std::string socket = (cartella / "canale.sock").string();
    Estensione estensione(socket, perSecondo, secondi);

    OrologioDiSistema orologio;
    TemporizzatoreQt temporizzatore;
    GestoreEsterno gestore;
    ImpostazioniApp preferenze(QString::fromStdString((cartella / "ostrale.conf").string()));
    StatoApp stato({orologio,
                    temporizzatore,
                    gestore,
                    preferenze,
                    nullptr,
                    QString::fromStdString(socket),
                    {}});
    long ricevuti = 0;
    QObject::connect(&stato, &StatoApp::flussiCambiati, [&] { ++ricevuti; });

    // The probe: a 5 ms timer; how late each tick comes is how long the loop was busy.
    std::vector<double> ritardi;
    QElapsedTimer cronometro;
    qint64 ultimo = -1;
    QTimer sonda;
    sonda.setTimerType(Qt::PreciseTimer);
    sonda.setInterval(5);
    QObject::connect(&sonda, &QTimer::timeout, [&] {
        const qint64 ora = cronometro.nsecsElapsed();
        if (ultimo >= 0 && estensione.inizio && !estensione.fine) {
            ritardi.push_back(std::max(0.0, static_cast<double>(ora - ultimo) * 1e-6 - 5.0));
        }
        ultimo = ora;
    });

    std::vector<long> rss;  // one sample per second while events come
    QTimer memoria;
    memoria.setInterval(1000);
    QObject::connect(&memoria, &QTimer::timeout, [&] {
        if (estensione.inizio && !estensione.fine) rss.push_back(rssKiB());
    });

    double cpuMain0 = 0, cpuProc0 = 0;
    bool misura = false;
    QTimer controllo;
    controllo.setInterval(20);
    QObject::connect(&controllo, &QTimer::timeout, [&] {
        if (estensione.inizio && !misura) {
            misura = true;
            cpuMain0 = cpuThread();
            cpuProc0 = cpuProcesso();
        }
        if (estensione.fine && ricevuti >= estensione.inviati) app.quit();
    });
    QTimer::singleShot(static_cast<int>((secondi + 15) * 1000), &app, [&] { app.quit(); });

    cronometro.start();
    sonda.start();
    memoria.start();
    controllo.start();
    stato.avvia();
    app.exec();
    const double cpuMain = cpuThread() - cpuMain0;
    const double cpuProc = cpuProcesso() - cpuProc0;
    stato.attendiLavori();

    const long inviati = estensione.inviati;
    std::printf("app intake: %ld events pushed in %.0f s (%d/s), %ld taken in\n", inviati, secondi,
                perSecondo, ricevuti);
    std::printf("  loop lateness (5 ms probe, %zu ticks): p50 %.2f ms  p99 %.2f ms  max %.2f ms\n",
                ritardi.size(), percentile(ritardi, 0.5), percentile(ritardi, 0.99),
                ritardi.empty() ? 0.0 : *std::max_element(ritardi.begin(), ritardi.end()));
    std::printf("  main thread: %.1f µs per event (%.1f%% of a core); whole app: %.1f µs\n",
                cpuMain * 1e6 / std::max(1L, ricevuti), 100 * cpuMain / secondi,
                (cpuProc - estensione.cpu) * 1e6 / std::max(1L, ricevuti));
    if (!rss.empty()) {
        const long picco = *std::max_element(rss.begin(), rss.end());
        const long aMetà = rss[rss.size() / 2];
        std::printf(
            "  resident memory: %.1f MiB at 1 s, %.1f MiB halfway, %.1f MiB at the end, "
            "peak %.1f MiB\n",
            static_cast<double>(rss.front()) / 1024, static_cast<double>(aMetà) / 1024,
            static_cast<double>(rss.back()) / 1024, static_cast<double>(picco) / 1024);
    }
    std::filesystem::remove_all(cartella);
    const bool ok = ricevuti >= inviati && percentile(ritardi, 0.99) < 20;
    std::printf("  goal (every event taken in, p99 lateness < 20 ms): %s\n",
                ok ? "met" : "NOT met");
    return ok ? 0 : 1;
}
