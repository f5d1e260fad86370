// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDBusConnection>
#include <QProcess>
#include <QStringList>

#include "Condiviso/evento-flusso.h"
#include "Condiviso/orologio.h"
#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/notificatore.h"
#include "Ostrale/Stato/presentatore-domande.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/temporizzatore.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {

// Turns the event loop until `condizione` holds or `secondi` have passed; whether it holds.
bool aspetta(const std::function<bool()>& condizione, double secondi = 10);
// Turns the event loop for `secondi`.
void gira(double secondi);

// A controller with no extension behind it (its socket names nothing) on a fake clock, in a
// container of the test's own: the test hands it what to show; its rules go to "regole.json"
// there. Made at the first `stato()`, so that a test can prepare files and settings first.
class ControlloreSenzaEstensione {
  public:
    ControlloreSenzaEstensione();
    StatoApp& stato();

  protected:
    CartellaTemporanea cartella_;
    VariabileAmbiente contenitore_{"OSTRALE_CONTENITORE", (cartella_ / "c").string()};
    OrologioFinto orologio_;
    TemporizzatoreFinto tempo_{orologio_};
    GestoreEsterno gestore_;
    ImpostazioniApp preferenze_{QString::fromStdString((cartella_ / "ostrale.conf").string())};
    std::unique_ptr<StatoApp> stato_;
};

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

// A controller beside the real extension on the simulated source (started with `opzioni`), in a
// container of the test's own; both are started by the constructor, the daemon stopped at the end.
class ControlloreConEstensione {
  public:
    explicit ControlloreConEstensione(std::vector<std::string> opzioni = {"--velocita", "0.001"});
    ~ControlloreConEstensione();

  protected:
    CartellaTemporanea cartella_;
    VariabileAmbiente contenitore_{"OSTRALE_CONTENITORE", (cartella_ / "c").string()};
    DemoneSimulato demone_;
    OrologioDiSistema orologio_;
    TemporizzatoreQt tempo_;
    GestoreEsterno gestore_;
    ImpostazioniApp preferenze_{QString::fromStdString((cartella_ / "ostrale.conf").string())};
    StatoApp stato_{{orologio_,
                     tempo_,
                     gestore_,
                     preferenze_,
                     nullptr,
                     QString::fromStdString((cartella_ / "ostrale.sock").string()),
                     {}}};
};

// The questions the controller asks, kept until the test answers them.
class PresentatoreRegistrato final : public PresentatoreDomande {
  public:
    struct Domanda {
        EventoFlusso evento;
        bool sospesa;  // the paused-flow question, else the one after a block
        Data scadenza;
        // The verdict alone; a paused-flow question's with the duration and scope offered.
        Risposta risposta;
        std::uint64_t id = 0;
        bool ritirata = false;
        RispostaDecisione ultima;  // what a paused-flow question offered first
        RispostaSospesa decidi;    // a paused-flow question's whole answer
    };

    void chiediSuBlocco(const EventoFlusso& evento, Risposta risposta) override {
        domande.push_back({evento, false, {}, std::move(risposta), 0, false, {}, {}});
    }
    void chiediDecisione(std::uint64_t id, const EventoFlusso& evento, Data scadenza,
                         const RispostaDecisione& ultima, RispostaSospesa risposta) override {
        auto solo = [ultima, risposta](bool consenti) {
            RispostaDecisione r = ultima;
            r.consenti = consenti;
            risposta(r);
        };
        domande.push_back({evento, true, scadenza, solo, id, false, ultima, std::move(risposta)});
    }
    void ritira(std::uint64_t id) override {
        for (Domanda& d : domande) {
            if (d.sospesa && d.id == id) d.ritirata = true;
        }
    }

    std::vector<Domanda> domande;
};

// Notifications as posted, kept for the test; a test plays the user with `scegli`.
class NotificatoreRegistrato final : public Notificatore {
  public:
    void invia(const Notifica& notifica) override { inviate.push_back(notifica); }
    void ritira(const QString& identificatore) override { ritirate.push_back(identificatore); }
    bool offreAzioni() const override { return azioni; }
    void scegli(const QString& identificatore, const QString& chiave) {
        emit azioneScelta(identificatore, chiave);
    }

    bool azioni = true;
    std::vector<Notifica> inviate;
    std::vector<QString> ritirate;
};

// A message bus of the test's own (`dbus-daemon --session`), stopped with the object.
class BusPrivato {
  public:
    BusPrivato();
    ~BusPrivato();
    BusPrivato(const BusPrivato&) = delete;
    BusPrivato& operator=(const BusPrivato&) = delete;
    // Empty when the bus could not be started.
    const QString& indirizzo() const { return indirizzo_; }
    // A connection of its own to the bus, named `nome` (closed with the bus).
    QDBusConnection connessione(const QString& nome);

  private:
    QProcess processo_;
    QString indirizzo_;
    QStringList nomi_;
};

// A whole file's bytes (empty when it cannot be read).
std::string leggiTutto(const std::filesystem::path& percorso);
// Writes the test city databases (MaxMind's writer, test/Dati/scrivi-mmdb.pl) into `cartella`.
bool scriviDatabaseDiProva(const std::filesystem::path& cartella);

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
