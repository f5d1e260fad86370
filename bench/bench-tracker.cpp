// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one tracker test against the shipped list, for hosts of one to ten labels, beside a
// single lookup of a ready-made string in the same set (the floor of any suffix walk).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "Condiviso/tracker.h"

namespace {

using ostrale::Tracker;

void Base_UnaRicerca(benchmark::State& stato) {
    const auto& domini = Tracker::condiviso().domini();
    const std::string chiave = "example-not-listed.org";
    for (auto _ : stato) benchmark::DoNotOptimize(domini.find(chiave));
}
BENCHMARK(Base_UnaRicerca);

std::string host(int etichette, const std::string& dominio) {
    std::string nome = dominio;
    for (int i = 2; i < etichette; ++i) nome = "l" + std::to_string(i) + "." + nome;
    return nome;
}

void Tracker_NonInElenco(benchmark::State& stato) {
    const auto& elenco = Tracker::condiviso();
    const std::string nome = host(static_cast<int>(stato.range(0)), "example-not-listed.org");
    for (auto _ : stato) benchmark::DoNotOptimize(elenco.contiene(nome));
    stato.counters["etichette"] = static_cast<double>(stato.range(0));
}
BENCHMARK(Tracker_NonInElenco)->Arg(2)->Arg(4)->Arg(10);

void Tracker_InElenco(benchmark::State& stato) {
    const auto& elenco = Tracker::condiviso();
    const std::string nome = host(10, "G.Doubleclick.NET");
    if (!elenco.contiene(nome)) stato.SkipWithError("g.doubleclick.net is not on the shipped list");
    for (auto _ : stato) benchmark::DoNotOptimize(elenco.contiene(nome));
}
BENCHMARK(Tracker_InElenco);

// Median nanoseconds per call of `chiamata`, over 31 rounds of 20,000 calls.
template <typename Funzione>
double medianaNs(Funzione chiamata) {
    std::vector<double> giri;
    for (int giro = 0; giro < 31; ++giro) {
        const auto inizio = std::chrono::steady_clock::now();
        for (int i = 0; i < 20000; ++i) benchmark::DoNotOptimize(chiamata());
        const std::chrono::duration<double, std::nano> durata =
            std::chrono::steady_clock::now() - inizio;
        giri.push_back(durata.count() / 20000);
    }
    std::nth_element(giri.begin(), giri.begin() + 15, giri.end());
    return giri[15];
}

void riepilogo() {
    const auto& elenco = Tracker::condiviso();
    const auto& domini = elenco.domini();
    const std::string base = "example-not-listed.org";
    const std::string dieci = host(10, "example-not-listed.org");
    const double nsBase = medianaNs([&] { return domini.find(base) != domini.end(); });
    const double nsDieci = medianaNs([&] { return elenco.contiene(dieci); });
    std::printf("summary: ten-label host %.1f ns per test, %.1f x one set lookup (%.1f ns)\n",
                nsDieci, nsDieci / nsBase, nsBase);
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::printf("tracker list: %zu domains\n", Tracker::condiviso().domini().size());
    benchmark::RunSpecifiedBenchmarks();
    riepilogo();
    benchmark::Shutdown();
    return 0;
}
