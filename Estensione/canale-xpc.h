// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Condiviso/blocklist-c2.h"
#include "Condiviso/connessione-canale.h"
#include "Condiviso/registro.h"
#include "Estensione/canale-estensione.h"

namespace ostrale {

// The extension's end of the local channel: a Unix stream socket that the app and other clients
// (ostralectl, scripts) connect to. Only root, the daemon's own user and members of the group
// "ostrale" are accepted. The connection that registers with `registra:` is the app's, the one
// that is asked about paused flows; a newer registration replaces it. Every other connection is
// an observer: it may call, and may ask to be sent the flow events too, but is never asked a
// question and never displaces the app.
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
    void nuovoFlusso(const EventoFlusso& evento) override;
    // Encoded by the connection's writing thread, in its next batch.
    void nuovoFlussoCondiviso(std::shared_ptr<const EventoFlusso> evento) override;
    void chiediDecisione(const EventoFlusso& evento) override;
    void regoleCambiate(const StatoRegole& stato) override;

    // Notifications dropped because the app did not read them fast enough.
    std::uint64_t notificheScartate() const;

  private:
    void accetta();
    bool autorizzato(int fd);
    void ricevi(canale::ConnessioneCanale& connessione, canale::Cornice cornice);
    std::shared_ptr<canale::ConnessioneCanale> corrente() const;
    // The app's connection followed by the observers that follow the flows.
    std::vector<std::shared_ptr<canale::ConnessioneCanale>> destinatariFlussi() const;
    std::shared_ptr<canale::ConnessioneCanale> cerca(const canale::ConnessioneCanale& c) const;

    BlocklistC2& c2_;
    const std::filesystem::path percorso_;
    Registro log_{"it.brelt.ostrale.estensione", "xpc"};

    mutable std::mutex mutex_;
    GestoriCanale gestori_;
    std::shared_ptr<canale::ConnessioneCanale> corrente_;  // the registered app, if any
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
