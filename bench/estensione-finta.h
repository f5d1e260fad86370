// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A stand-in extension for the app's benchmarks: one connection on a Unix socket, every call
// answered as the extension would with empty stores, then `nuovoFlusso:` at a steady rate once the
// app has registered; and the measuring helpers the benchmarks share.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include "Condiviso/codifica-json.h"
#include "Condiviso/cornice.h"
#include "Condiviso/orologio.h"

namespace ostrale::bench {

using namespace ostrale::canale;
using Cronometro = std::chrono::steady_clock;

inline double cpuThread() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline double cpuProcesso() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline long rssKiB() {
    std::ifstream f("/proc/self/status");
    std::string riga;
    while (std::getline(f, riga)) {
        if (riga.rfind("VmRSS:", 0) == 0) return std::atol(riga.c_str() + 6);
    }
    return 0;
}

inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    const auto k = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

// A varied mix: 40 applications, 300 hosts, one event in ten refused.
inline std::vector<std::string> preparaEventi() {
    std::vector<std::string> eventi;
    const Data adesso = OrologioDiSistema().adesso();
    for (int i = 0; i < 1000; ++i) {
        EventoFlusso e;
        e.data = adesso;
        e.firmaApp = "/usr/bin/programma-" + std::to_string(i % 40);
        e.host = "servizio-" + std::to_string(i % 300) + ".example.test";
        e.porta = i % 7 == 0 ? "80" : "443";
        e.protocollo = i % 5 == 0 ? "UDP" : "TCP";
        e.consentito = i % 10 != 0;
        e.motivo = e.consentito ? MotivoDecisione::predefinita : MotivoDecisione::regola;
        e.indirizzoIP = "198.51.100." + std::to_string(1 + i % 250);
        eventi.push_back(json::codifica(e));
    }
    return eventi;
}

// The stand-in extension: one connection, every call answered as the extension would with
// empty stores, then `nuovoFlusso:` at `perSecondo` for `secondi` once the app has registered.
class Estensione {
  public:
    Estensione(std::string percorso, int perSecondo, double secondi)
        : percorso_(std::move(percorso)), perSecondo_(perSecondo), secondi_(secondi) {
        ascolto_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un indirizzo{};
        indirizzo.sun_family = AF_UNIX;
        std::snprintf(indirizzo.sun_path, sizeof indirizzo.sun_path, "%s", percorso_.c_str());
        if (::bind(ascolto_, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) != 0 ||
            ::listen(ascolto_, 4) != 0) {
            std::perror("bench-app: socket");
            std::exit(1);
        }
        filo_ = std::thread([this] { gira(); });
    }
    ~Estensione() {
        filo_.join();
        ::close(ascolto_);
    }

    std::atomic<bool> inizio{false}, fine{false};
    // Answers of a full memory, when set (before the app connects): the flow log and the history.
    std::string registro, storico;
    std::atomic<long> inviati{0};
    double cpu = 0;  // this thread's processor time

  private:
    void scrivi(int fd, const Cornice& c) {
        const std::string byte = codifica(c);
        std::size_t fatto = 0;
        while (fatto < byte.size()) {
            const ssize_t n = ::send(fd, byte.data() + fatto, byte.size() - fatto, MSG_NOSIGNAL);
            if (n <= 0) return;
            fatto += static_cast<std::size_t>(n);
        }
    }

    void rispondi(int fd, const Cornice& c) {
        std::string carico;
        if (c.nome == messaggi::registra) {
            carico = bool_(true);
            registrato_ = true;
        } else if (c.nome == messaggi::leggiFlussi) {
            carico = registro.empty() ? json::codifica(std::vector<EventoFlusso>{}) : registro;
        } else if (c.nome == messaggi::leggiStorico) {
            carico = storico.empty() ? json::codifica(PacchettoStorico{}) : storico;
        } else if (c.nome == messaggi::informazioni) {
            InformazioniEstensione info;
            info.versione = OSTRALE_VERSIONE;
            info.appConnessa = true;
            carico = json::codifica(info);
        } else if (c.nome == messaggi::aggiornaBlocklistC2) {
            carico = intero(0);
        } else if (c.nome == messaggi::rispondiFlusso) {
            return;
        } else {
            carico = bool_(true);
        }
        scrivi(fd, Cornice{TipoCornice::risposta, c.id, c.nome, std::move(carico)});
    }

    // Answers the calls that come within `attesa` ms; false once the app has hung up.
    bool ascolta(int fd, LettoreCornici& lettore, int attesa) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, attesa) <= 0) return true;
        char buffer[65536];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        lettore.aggiungi(std::string_view(buffer, static_cast<std::size_t>(n)));
        while (auto c = lettore.prossima()) {
            if (c->tipo == TipoCornice::chiamata) rispondi(fd, *c);
        }
        return true;
    }

    void gira() {
        const int fd = ::accept4(ascolto_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        const auto eventi = preparaEventi();
        LettoreCornici lettore;
        const auto passo = std::chrono::milliseconds(5);
        const int perPasso = std::max(1, perSecondo_ / 200);
        Cronometro::time_point avvio{}, prossimo{};
        const double cpu0 = cpuThread();
        while (true) {
            int attesa = 50;
            if (registrato_) {
                if (avvio == Cronometro::time_point{}) {
                    avvio = prossimo = Cronometro::now() + std::chrono::seconds(1);
                }
                const auto ora = Cronometro::now();
                if (ora >= prossimo) {
                    if (!inizio) inizio = true;
                    for (int i = 0; i < perPasso; ++i) {
                        const auto& e = eventi[static_cast<std::size_t>(inviati++) % eventi.size()];
                        scrivi(fd, Cornice{TipoCornice::notifica, 0,
                                           std::string(messaggi::nuovoFlusso), e});
                    }
                    prossimo += passo;
                    if (ora - avvio >= std::chrono::duration<double>(secondi_)) break;
                }
                attesa = static_cast<int>(std::max<long>(
                    0,
                    std::chrono::duration_cast<std::chrono::milliseconds>(prossimo - ora).count()));
            }
            if (!ascolta(fd, lettore, attesa)) break;
        }
        cpu = cpuThread() - cpu0;
        fine = true;
        // Keeps answering until the app has taken everything in.
        for (int i = 0; i < 40 && ascolta(fd, lettore, 50); ++i) {
        }
        ::close(fd);
    }

    std::string percorso_;
    int perSecondo_;
    double secondi_;
    int ascolto_ = -1;
    bool registrato_ = false;
    std::thread filo_;
};

}  // namespace ostrale::bench
