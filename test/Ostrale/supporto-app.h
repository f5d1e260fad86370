#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "Condiviso/evento-flusso.h"
#include "Ostrale/Stato/presentatore-domande.h"

namespace ostrale::test {

// Turns the event loop until `condizione` holds or `secondi` have passed; whether it holds.
bool aspetta(const std::function<bool()>& condizione, double secondi = 10);
// Turns the event loop for `secondi`.
void gira(double secondi);

// The real extension on the simulated source, in a container and on a socket of the test's.
class DemoneSimulato {
  public:
    DemoneSimulato(std::filesystem::path contenitore, std::filesystem::path socket,
                   std::vector<std::string> opzioni = {"--velocita", "0.001"});
    ~DemoneSimulato();
    DemoneSimulato(const DemoneSimulato&) = delete;
    DemoneSimulato& operator=(const DemoneSimulato&) = delete;

    // Starts it and returns once its socket accepts connections.
    void avvia();
    // SIGKILL: it ends without saving anything.
    void uccidi();
    // SIGTERM: it saves its memory and ends.
    void ferma();
    bool inEsecuzione() const { return pid_ > 0; }
    const std::filesystem::path& socket() const { return socket_; }

  private:
    void attendiFine();

    std::filesystem::path contenitore_, socket_;
    std::vector<std::string> opzioni_;
    pid_t pid_ = 0;
};

// The questions the controller asks, kept until the test answers them.
class PresentatoreRegistrato final : public PresentatoreDomande {
  public:
    struct Domanda {
        EventoFlusso evento;
        bool sospesa;  // the paused-flow question, else the one after a block
        Data scadenza;
        Risposta risposta;
    };

    void chiediSuBlocco(const EventoFlusso& evento, Risposta risposta) override {
        domande.push_back({evento, false, {}, std::move(risposta)});
    }
    void chiediDecisione(const EventoFlusso& evento, Data scadenza, Risposta risposta) override {
        domande.push_back({evento, true, scadenza, std::move(risposta)});
    }

    std::vector<Domanda> domande;
};

// An ordinary event of `firma`, `eta` seconds before `adesso`.
EventoFlusso evento(Data adesso, std::string firma, bool consentito, double eta = 0,
                    std::optional<MotivoDecisione> motivo = MotivoDecisione::predefinita);

// A program running beside the test, its output discarded; stopped with the object.
class ProcessoFiglio {
  public:
    explicit ProcessoFiglio(const std::vector<std::string>& argomenti);
    ~ProcessoFiglio();
    ProcessoFiglio(const ProcessoFiglio&) = delete;
    ProcessoFiglio& operator=(const ProcessoFiglio&) = delete;
    bool inEsecuzione();

  private:
    pid_t pid_;
};

// Runs a program to its end with its output discarded; its exit status.
int esegui(const std::vector<std::string>& argomenti);

}  // namespace ostrale::test
