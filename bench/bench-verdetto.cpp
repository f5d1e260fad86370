// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of one verdict of the filter, in process, over a realistic mix of flows with every
// detector on; and the time of one save of a full memory (10,000 log events, 5,000 addresses).
// Usage: bench-verdetto [flows]   (default 2,000,000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "Estensione/filter-data-provider.h"

namespace {

using namespace ostrale;
using Cronometro = std::chrono::steady_clock;

class Flusso final : public FlussoDiRete {
  public:
    std::optional<TokenApp> tokenApp;
    bool entrata = false;
    std::optional<std::string> nome;
    std::optional<Estremo> estremoRemoto;
    int numeroProtocollo = 6;
    std::optional<TokenApp> token() const override { return tokenApp; }
    bool èInEntrata() const override { return entrata; }
    std::optional<std::string> nomeHost() const override { return nome; }
    std::optional<Estremo> remoto() const override { return estremoRemoto; }
    std::optional<Estremo> locale() const override { return Estremo{"10.0.0.2", "51000"}; }
    int protocollo() const override { return numeroProtocollo; }
    void riprendi(bool) override {}
};

class Identità final : public RisolutoreIdentità {
  public:
    std::optional<std::string> firma(const TokenApp& t) override {
        return "/usr/bin/programma" + std::to_string(t[0] + 256 * t[1]);
    }
};

class CanaleMuto final : public CanaleEstensione {
  public:
    void installaGestori(GestoriCanale) override {}
    void avviaAscolto() override {}
    bool haConnessione() const override { return false; }
    void nuovoFlusso(const EventoFlusso&) override {}
    void chiediDecisione(const EventoFlusso&) override {}
};

double percentile(std::vector<double> v, double p) {
    const auto k = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1));
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(k), v.end());
    return v[k];
}

}  // namespace

int main(int argc, char** argv) {
    const long quanti = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 2'000'000;
    const auto cartella = std::filesystem::temp_directory_path() / "ostrale-bench-verdetto";
    std::filesystem::remove_all(cartella);
    std::filesystem::create_directories(cartella);
    ::setenv("OSTRALE_CONTENITORE", cartella.c_str(), 1);
    Registro::impostaDestinazione(std::make_shared<DestinazioneMemoria>());

    OrologioFinto orologio;
    PianificatoreDiSistema pianificatore;
    Identità identità;
    CanaleMuto canale;
    BlocklistC2 c2(orologio);
    std::string elenco;
    for (int i = 0; i < 1000; ++i)
        elenco += "198.51." + std::to_string(i / 256) + "." + std::to_string(i % 256) + "\n";
    c2.aggiorna(elenco);
    const Tracker& tracker = Tracker::condiviso();
    auto provider =
        FilterDataProvider::crea({orologio, pianificatore, identità, canale, c2, tracker});
    StatoRegole regole;
    regole.impostazioni.bloccaTracker = true;
    regole.impostazioni.avvisaAnomalie = true;
    for (int i = 0; i < 50; ++i) {
        Regola r;
        r.firmaApp = "/usr/bin/programma" + std::to_string(i);
        r.azione = i % 2 ? AzioneRegola::consenti : AzioneRegola::blocca;
        regole.regole.push_back(r);
    }
    provider->applicaRegole(regole);

    std::vector<std::string> host;
    const std::vector<std::string> tracciatori(tracker.domini().begin(),
                                               std::next(tracker.domini().begin(), 2000));
    for (int i = 0; i < 30000; ++i) {
        host.push_back(
            i % 10 == 0
                ? "px." + tracciatori[static_cast<std::size_t>(i / 10) % tracciatori.size()]
                : "s" + std::to_string(i) + ".sito" + std::to_string(i % 3000) + ".example");
    }
    std::mt19937_64 caso(7);
    std::geometric_distribution<std::size_t> popolarità(0.002);
    std::vector<double> costi;
    costi.reserve(static_cast<std::size_t>(quanti));
    for (long i = 0; i < quanti; ++i) {
        orologio.avanza(0.001);
        auto f = std::make_shared<Flusso>();
        const auto tipo = caso() % 100;
        const int app = static_cast<int>(caso() % 300);
        f->tokenApp = TokenApp{};
        (*f->tokenApp)[0] = static_cast<std::uint8_t>(app % 256);
        (*f->tokenApp)[1] = static_cast<std::uint8_t>(app / 256);
        const std::size_t h = std::min(popolarità(caso), host.size() - 1);
        if (tipo < 80) {
            f->nome = host[h];
            f->estremoRemoto = Estremo{
                "203.0." + std::to_string(h / 256 % 256) + "." + std::to_string(h % 256), "443"};
            if (tipo % 9 == 0) f->numeroProtocollo = 17;
        } else if (tipo < 88) {
            f->estremoRemoto = Estremo{"192.0.2.53", "53"};
            f->numeroProtocollo = 17;
        } else if (tipo < 95) {
            f->entrata = true;
            f->tokenApp.reset();
            f->estremoRemoto = Estremo{"198.18." + std::to_string(i / 3000 % 200) + ".1", "40000"};
        } else {
            f->estremoRemoto = Estremo{"192.168.1." + std::to_string(caso() % 250 + 1), "445"};
        }
        const auto inizio = Cronometro::now();
        provider->handleNewFlow(f);
        costi.push_back(
            std::chrono::duration<double, std::micro>(Cronometro::now() - inizio).count());
    }
    std::printf("%ld verdicts: median %.2f us, p90 %.2f us, p99 %.2f us\n", quanti,
                percentile(costi, 0.5), percentile(costi, 0.9), percentile(costi, 0.99));

    // A full memory: 10,000 events in the log and 5,000 addresses.
    for (int i = 0; i < 12000; ++i) {
        auto f = std::make_shared<Flusso>();
        f->tokenApp = TokenApp{};
        f->nome = "pieno" + std::to_string(i) + ".example";
        f->estremoRemoto =
            Estremo{"100.200." + std::to_string(i / 250) + "." + std::to_string(i % 250), "443"};
        provider->handleNewFlow(f);
    }
    const auto memoria = provider->copiaMemoria();
    std::printf("memory: %zu log events, %zu addresses, %zu applications\n",
                memoria.registro.size(), memoria.storicoIP.size(), memoria.storicoApp.size());
    std::vector<double> salvataggi;
    for (int i = 0; i < 9; ++i) {
        orologio.avanza(1);
        auto f = std::make_shared<Flusso>();
        f->estremoRemoto = Estremo{"203.0.113.1", "443"};
        provider->handleNewFlow(f);  // something to save
        const auto inizio = Cronometro::now();
        provider->salvaMemoriaSeServe();
        salvataggi.push_back(
            std::chrono::duration<double, std::milli>(Cronometro::now() - inizio).count());
    }
    {
        const auto a = Cronometro::now();
        const auto copia = provider->copiaMemoria();
        const auto b = Cronometro::now();
        std::string testo = json::codifica(copia.registro);
        const auto c = Cronometro::now();
        Memoria::scriviFile(copia);
        const auto d = Cronometro::now();
        std::printf("copy %.1f ms, encode log %.1f ms, write six files %.1f ms\n",
                    std::chrono::duration<double, std::milli>(b - a).count(),
                    std::chrono::duration<double, std::milli>(c - b).count(),
                    std::chrono::duration<double, std::milli>(d - c).count());
    }
    std::uintmax_t byte = 0;
    for (const auto& voce : std::filesystem::directory_iterator(cartella)) byte += voce.file_size();
    std::printf(
        "one save of the full memory: median %.1f ms, max %.1f ms (%.1f MiB in six files)\n",
        percentile(salvataggi, 0.5), *std::max_element(salvataggi.begin(), salvataggi.end()),
        static_cast<double>(byte) / (1 << 20));
    std::filesystem::remove_all(cartella);
    return 0;
}
