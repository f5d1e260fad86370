// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one sentinel call over a realistic mix of traffic, and the memory the sentinel holds
// as calls accumulate. Usage: bench-sentinella [calls]   (default 10,000,000)
//
// The mix: a few hundred applications (browsers, system services, ordinary programs) reaching
// tens of thousands of hosts, DNS lookups in bursts, QUIC, uncommon ports and bare addresses,
// inbound port scans and password guessing, and lateral movement in the local network, at about
// a thousand flows per simulated second. The baseline is the same loop calling an empty function.
#include <malloc.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "Condiviso/blocklist-c2.h"
#include "Estensione/Sentinella/sentinella.h"

#include "Condiviso/blocklist-c2.h"

namespace {

using namespace ostrale;
using Cronometro = std::chrono::steady_clock;

struct Traffico {
    std::vector<std::string> app, host, ipPubblici, ipLocali, porteLocali, porteRare;
};

Traffico preparaTraffico(std::mt19937_64& caso) {
    Traffico t;
    const char* browser[] = {"/usr/lib/firefox-esr/firefox-esr", "org.mozilla.firefox",
                             "/usr/lib/chromium/chromium", "com.google.Chrome"};
    for (const char* b : browser) t.app.emplace_back(b);
    for (int i = 0; i < 40; ++i) t.app.push_back("/usr/libexec/servizio" + std::to_string(i));
    for (int i = 0; i < 256; ++i) t.app.push_back("/usr/bin/programma" + std::to_string(i));
    const char* sillabe[] = {"cdn", "api", "img", "static", "edge", "mail", "sync", "news"};
    for (int i = 0; i < 30000; ++i) {
        if (i % 50 == 0) {
            std::string dga;
            for (int k = 0; k < 14; ++k) dga.push_back("bcdfghjklmnpqrstvwxz"[caso() % 20]);
            t.host.push_back(dga + ".com");
        } else {
            t.host.push_back(std::string(sillabe[i % 8]) + std::to_string(i) + ".sito" +
                             std::to_string(i % 3000) + ".example");
        }
    }
    for (int i = 0; i < 20000; ++i) {
        t.ipPubblici.push_back("203." + std::to_string(i / 65536 % 256) + "." +
                               std::to_string(i / 256 % 256) + "." + std::to_string(i % 256));
    }
    for (int i = 1; i < 255; ++i) t.ipLocali.push_back("192.168.1." + std::to_string(i));
    for (int p = 1; p < 1100; ++p) t.porteLocali.push_back(std::to_string(p));
    for (int p : {8080, 8443, 5900, 6881, 25565, 3478, 9000, 1883}) {
        t.porteRare.push_back(std::to_string(p));
    }
    return t;
}

std::string dominioDi(const std::string& host) {
    const auto ultimo = host.rfind('.');
    const auto penultimo =
        ultimo == std::string::npos ? std::string::npos : host.rfind('.', ultimo - 1);
    return penultimo == std::string::npos ? host : host.substr(penultimo + 1);
}

std::size_t memoriaInUso() {
    return mallinfo2().uordblks;
}

double percentile(std::vector<double>& v, double p) {
    const auto k = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

}  // namespace

[[gnu::noinline]] void nulla(const Sentinella::Flusso& f) {
    asm volatile("" : : "r"(&f) : "memory");
}

int main(int argc, char** argv) {
    const long chiamate = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 10'000'000;
    ::setenv("OSTRALE_CONTENITORE", "/nonexistent/ostrale-bench", 1);
    ::setenv("OSTRALE_RISORSE", "/nonexistent/ostrale-bench", 1);

    std::mt19937_64 caso(42);
    const Traffico t = preparaTraffico(caso);
    std::vector<std::string> domini;
    for (const auto& h : t.host) domini.push_back(dominioDi(h));

    OrologioFinto orologio;
    BlocklistC2 c2(orologio);
    std::string elenco;
    for (int i = 0; i < 1000; ++i)
        elenco += "198.51." + std::to_string(i / 256) + "." + std::to_string(i % 256) + "\n";
    c2.aggiorna(elenco);

    const std::size_t memoriaIniziale = memoriaInUso();
    Sentinella sentinella;
    const auto indirizziC2 = c2.insieme();
    std::vector<double> costi;
    std::vector<double> costiBase;
    costi.reserve(static_cast<std::size_t>(chiamate / 8 + 1));
    std::size_t rilevazioni = 0;
    std::size_t memoriaMassima = 0;
    Data adesso = Data::daRiferimento(800'000'000.0);
    auto scegli = [&](const auto& v) -> const std::string& { return v[caso() % v.size()]; };
    // Host popularity: a few hosts get most flows.
    std::geometric_distribution<std::size_t> popolarità(0.002);

    std::printf("calls      held memory   tables (porteDaIP hostDaApp giàSegnalato)\n");
    for (long i = 0; i < chiamate; ++i) {
        adesso = adesso.piùSecondi(0.001);
        Sentinella::Flusso f;
        f.adesso = adesso;
        f.indirizziC2 = indirizziC2.get();
        f.portaLocale = "51000";
        f.protocollo = "TCP";
        const std::uint64_t tipo = caso() % 100;
        bool lan = false;
        const std::size_t h = std::min(popolarità(caso), t.host.size() - 1);
        if (tipo < 62) {  // ordinary outbound web traffic
            f.firma = scegli(t.app);
            f.host = t.host[h];
            f.dominio = domini[h];
            f.ip = t.ipPubblici[h % t.ipPubblici.size()];
            f.portaRemota = tipo < 55 ? "443" : "80";
            if (tipo % 7 == 0) f.protocollo = "UDP";
        } else if (tipo < 74) {  // name lookups, in bursts from one application
            f.firma =
                (i / 4000) % 5 == 0 ? t.app[4 + (i / 4000) % 40] : std::string_view(t.app[44]);
            f.ip = "192.0.2.53";
            f.host = "192.0.2.53";
            f.portaRemota = "53";
            f.protocollo = "UDP";
        } else if (tipo < 84) {  // inbound: scans and guessing from a rotating set of sources
            f.direzione = DirezioneFlusso::entrata;
            f.firma = "sconosciuta";
            f.ip = t.ipPubblici[(i / 2000) % 500];
            f.host = *f.ip;
            f.portaLocale = tipo < 80 ? std::string_view(scegli(t.porteLocali)) : "22";
            f.portaRemota = "40000";
        } else if (tipo < 92) {  // uncommon ports and bare addresses
            f.firma = scegli(t.app);
            f.ip = scegli(t.ipPubblici);
            f.host = *f.ip;
            f.portaRemota = scegli(t.porteRare);
            f.appNuova = tipo % 2 == 0;
        } else if (tipo < 96) {  // local network
            lan = true;
            f.firma = scegli(t.app);
            f.ip = scegli(t.ipLocali);
            f.portaRemota = tipo % 2 ? "445" : "22";
        } else {  // the command-and-control list and notorious ports
            f.firma = scegli(t.app);
            f.ip =
                tipo % 2 ? std::string_view("198.51.0.7") : std::string_view(scegli(t.ipPubblici));
            f.host = *f.ip;
            f.portaRemota = tipo % 3 ? "4444" : "8080";
        }

        const bool misura = i % 8 == 0;
        const auto inizio = Cronometro::now();
        if (lan) {
            rilevazioni += sentinella.osservaLan(f.adesso, f.firma, *f.ip, f.portaRemota).size();
        } else {
            rilevazioni += sentinella.osserva(f).size();
            if (f.ip) sentinella.èBloccato(*f.ip, f.adesso);
            if (f.direzione == DirezioneFlusso::uscita) sentinella.èContenuta(f.firma, f.adesso);
        }
        if (misura) {
            costi.push_back(
                std::chrono::duration<double, std::nano>(Cronometro::now() - inizio).count());
            const auto inizioBase = Cronometro::now();
            nulla(f);
            costiBase.push_back(
                std::chrono::duration<double, std::nano>(Cronometro::now() - inizioBase).count());
        }
        if ((i + 1) % 1'000'000 == 0 || i + 1 == chiamate) {
            const std::size_t memoria = memoriaInUso() - memoriaIniziale;
            memoriaMassima = std::max(memoriaMassima, memoria);
            const auto d = sentinella.dimensioni();
            std::printf("%9ld  %8.2f MiB   %zu %zu %zu\n", i + 1,
                        static_cast<double>(memoria) / (1 << 20), d.porteDaIP, d.hostDaApp,
                        d.giàSegnalato);
        }
    }
    const double p50 = percentile(costi, 0.50);
    const double p99 = percentile(costi, 0.99);
    const double base = percentile(costiBase, 0.50);
    std::printf("\n%ld calls, %zu detections\n", chiamate, rilevazioni);
    std::printf(
        "cost per call: median %.0f ns, p99 %.0f ns (timer baseline %.0f ns; median %.1f x "
        "baseline)\n",
        p50, p99, base, p50 / base);
    std::printf("memory held by the sentinel: peak %.2f MiB\n",
                static_cast<double>(memoriaMassima) / (1 << 20));
    return 0;
}
