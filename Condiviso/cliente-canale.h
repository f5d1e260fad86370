// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "Condiviso/connessione-canale.h"
#include "Condiviso/informazioni-estensione.h"
#include "Condiviso/modifica-regole.h"
#include "Condiviso/risposta-domanda.h"
#include "Condiviso/risultato.h"

namespace ostrale::canale {

// A client's end of the local channel, on threads of its own (ostralectl, tests, tools):
// connects to the extension's socket, registers when it plays the app, makes the calls and
// delivers the pushes.
class ClienteCanale {
  public:
    using Durata = std::chrono::milliseconds;
    static constexpr Durata attesaPredefinita{5000};
    static constexpr Durata pausaRiconnessione{3000};

    // Called on the connection's reading thread; they must not destroy the client.
    struct Richiami {
        std::function<void(std::string json)> suNuovoFlusso;
        std::function<void(std::string json)> suChiediDecisione;
        std::function<void(std::string json)> suRegole;
        std::function<void()> suRegistrato;
        std::function<void()> suPerso;
    };

    // nonRaggiungibile: no socket to connect to; nonAutorizzato: the extension closed the
    // connection (this user may not talk to it); altraApp: the app's registration was refused,
    // another app of this user holds it; senzaRisposta: connected, but no answer in time (a busy
    // or stuck extension).
    enum class Errore { nonRaggiungibile, nonAutorizzato, altraApp, senzaRisposta };
    // The app registers (and is asked about paused flows); an observer only looks and calls.
    enum class Ruolo { osservatore, app };

    explicit ClienteCanale(std::filesystem::path percorso, Richiami richiami = {},
                           Ruolo ruolo = Ruolo::osservatore);
    ~ClienteCanale();
    ClienteCanale(const ClienteCanale&) = delete;
    ClienteCanale& operator=(const ClienteCanale&) = delete;

    // Connects and, as the app, registers, waiting for the answer (an observer asks for the
    // extension's information instead). An error says why not.
    std::optional<Errore> connetti(Durata attesa = attesaPredefinita);
    // Keeps a connection: connects now and again every 3 seconds after a connection ends or
    // fails. Each attempt that does not reach a registered connection counts one failed link;
    // a registration resets the count.
    void mantieniConnessione();
    void disconnetti();

    bool connesso() const;
    int collegamentiFalliti() const { return falliti_; }

    // The calls; each answers absent without a connection or without an answer in time.
    std::optional<bool> aggiornaRegole(std::string json, Durata attesa = attesaPredefinita);
    std::optional<std::string> leggiStorico(Durata attesa = attesaPredefinita);
    std::optional<std::string> leggiFlussi(Durata attesa = attesaPredefinita);
    std::optional<std::int64_t> aggiornaBlocklistC2(std::string testo,
                                                    Durata attesa = attesaPredefinita);
    std::optional<InformazioniEstensione> informazioni(Durata attesa = attesaPredefinita);
    // One edit of the rules (absent without an answer), and the rules as the extension has them.
    std::optional<RispostaModifica> modificaRegole(const ModificaRegole& modifica,
                                                   Durata attesa = attesaPredefinita);
    std::optional<StatoRegole> leggiRegole(Durata attesa = attesaPredefinita);
    // Asks for the flow events as they are judged (an observer; the app has them anyway).
    std::optional<bool> segui(Durata attesa = attesaPredefinita);
    // No answer is expected; false without a connection.
    bool rispondiFlusso(const std::string& firma, bool consenti);
    bool rispondiSospesi(const RispostaSospesi& risposta);

  private:
    // A call that is answered by no reply: sent, never waited for.
    bool senzaRisposta(std::string_view nome, std::string carico);
    struct Attesa {
        std::optional<std::string> risposta;
        bool conclusa = false;
    };
    std::optional<std::string> chiama(std::string_view nome, std::string carico, Durata attesa);
    void ricevi(Cornice cornice);
    void perso(ConnessioneCanale& connessione);
    void ciclo();

    const std::filesystem::path percorso_;
    Richiami richiami_;
    const Ruolo ruolo_;
    mutable std::mutex mutex_;
    std::condition_variable risposte_;
    std::shared_ptr<ConnessioneCanale> connessione_;
    std::vector<std::shared_ptr<ConnessioneCanale>> vecchie_;
    std::map<std::uint32_t, std::shared_ptr<Attesa>> inAttesa_;
    std::uint32_t prossimoId_ = 1;
    bool registrato_ = false;
    std::atomic<int> falliti_ = 0;

    bool mantieni_ = false;
    bool fine_ = false;
    std::condition_variable sveglia_;
    std::thread ciclo_;
};

}  // namespace ostrale::canale
