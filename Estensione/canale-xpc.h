// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Condiviso/blocklist-c2.h"
#include "Condiviso/connessione-canale.h"
#include "Condiviso/informazioni-estensione.h"
#include "Condiviso/registro.h"
#include "Estensione/canale-estensione.h"

namespace ostrale {

// The extension's end of the local channel: a Unix stream socket that the app and other clients
// (ostralectl, scripts) connect to. Only root, the daemon's own user and members of the group
// "ostrale" are accepted. A connection that registers with `registra:` is an app, one per user:
// it is asked about the paused flows of its user's processes (and, in the active graphical
// session, of the system's) and sent their events; a second app of the same user is refused
// while the first lives, and the apps of different users never displace each other. Every other
// connection is an observer: it may call, and may ask to be sent every flow event too, but is
// never asked a question.
class CanaleXPC final : public CanaleEstensione {
  public:
    // OSTRALE_SOCKET when set, else /run/ostrale/ostrale.sock.
    static std::filesystem::path percorsoPredefinito();

    CanaleXPC(BlocklistC2& c2, std::filesystem::path percorso = percorsoPredefinito());
    ~CanaleXPC() override;
    CanaleXPC(const CanaleXPC&) = delete;
    CanaleXPC& operator=(const CanaleXPC&) = delete;

    void installaGestori(GestoriCanale gestori) override;
    // Creates the socket and starts accepting; later calls do nothing. A socket that cannot be
    // created is logged, and the filter runs on without the app.
    void avviaAscolto() override;
    bool inAscolto() const { return ascolto_ >= 0; }
    bool haConnessione() const override;
    // The app of the process's user, else the one of the active graphical session, else, when
    // no session is known and one app alone is connected, that one.
    std::optional<std::uint32_t> chiChiedere(std::optional<std::uint32_t> uid) const override;
    void nuovoFlusso(const EventoFlusso& evento) override;
    // Encoded by the connection's writing thread, in its next batch.
    void nuovoFlussoCondiviso(std::shared_ptr<const EventoFlusso> evento) override;
    void nuovoFlussoDi(std::optional<std::uint32_t> uid,
                       std::shared_ptr<const EventoFlusso> evento) override;
    // To the app asked by chiChiedere without a user.
    void chiediDecisione(const EventoFlusso& evento) override;
    void chiediDecisioneA(std::uint32_t app, const EventoFlusso& evento) override;
    // Who is in the active graphical session (the user), when known; logind's seat by default.
    void impostaSessioneAttiva(std::function<std::optional<std::uint32_t>()> sessione);
    void regoleCambiate(const StatoRegole& stato) override;

    // Notifications dropped because the app did not read them fast enough.
    std::uint64_t notificheScartate() const;

  private:
    void accetta();
    bool autorizzato(int fd);
    void ricevi(canale::ConnessioneCanale& connessione, canale::Cornice cornice);
    // The reply's payload to a call, once the call is carried out; absent for the calls that get
    // no reply (the answers about paused flows).
    std::optional<std::string> rispostaA(canale::ConnessioneCanale& connessione,
                                         const canale::Cornice& cornice,
                                         const GestoriCanale& gestori);
    // The calls' own work.
    bool registraApp(canale::ConnessioneCanale& connessione);
    InformazioniEstensione informazioni(const GestoriCanale& gestori) const;
    bool segui(const canale::ConnessioneCanale& connessione);
    std::vector<EventoFlusso> flussiPer(const canale::ConnessioneCanale& connessione,
                                        const GestoriCanale& gestori) const;
    std::int64_t aggiornaC2(const std::string& elenco);
    // The registered app of the user `uid`, if any.
    std::shared_ptr<canale::ConnessioneCanale> appDi(std::uint32_t uid) const;
    // The user of `c` when it is a registered app.
    std::optional<std::uint32_t> utenteApp(const canale::ConnessioneCanale& c) const;
    // The apps a flow of the user `uid` is sent to (every app when `tutte`), followed by the
    // observers that follow the flows.
    std::vector<std::shared_ptr<canale::ConnessioneCanale>> destinatariFlussi(
        std::optional<std::uint32_t> uid, bool tutte) const;
    std::shared_ptr<canale::ConnessioneCanale> cerca(const canale::ConnessioneCanale& c) const;

    BlocklistC2& c2_;
    const std::filesystem::path percorso_;
    Registro log_{"it.brelt.ostrale.estensione", "xpc"};

    mutable std::mutex mutex_;
    GestoriCanale gestori_;
    // The registered apps, by the user they run as.
    std::map<std::uint32_t, std::shared_ptr<canale::ConnessioneCanale>> app_;
    std::function<std::optional<std::uint32_t>()> sessioneAttiva_;
    std::vector<std::shared_ptr<canale::ConnessioneCanale>> seguaci_;
    std::vector<std::shared_ptr<canale::ConnessioneCanale>> connessioni_;
    std::uint64_t scartateChiuse_ = 0;
    std::shared_ptr<const std::string> regole_;  // the latest rules, encoded, for the pushes

    std::once_flag avviato_;
    int ascolto_ = -1;
    std::atomic<bool> fine_ = false;
    std::thread accettatore_;
};

}  // namespace ostrale
