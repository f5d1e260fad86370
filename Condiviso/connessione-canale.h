// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <sys/types.h>

#include "Condiviso/cornice.h"

namespace ostrale::canale {

// One end of a connected stream socket carrying frames: a thread reads and hands each frame to
// `suCornice`; another writes from a bounded queue, so that a sender never waits on the peer.
// `suFine` runs once, on the reading thread, when the connection ends for any reason. Both get
// the connection itself; it must not be destroyed from inside them.
class ConnessioneCanale {
  public:
    // Queued bytes above which notifications are dropped rather than queued.
    static constexpr std::size_t limiteNotifiche = 8u << 20;
    // Queued bytes above which the peer is taken for dead and the connection closed.
    static constexpr std::size_t limiteCoda = 96u << 20;

    using SuCornice = std::function<void(ConnessioneCanale&, Cornice)>;
    using SuFine = std::function<void(ConnessioneCanale&)>;

    // Takes ownership of `fd`.
    ConnessioneCanale(int fd, SuCornice suCornice, SuFine suFine);
    ~ConnessioneCanale();
    ConnessioneCanale(const ConnessioneCanale&) = delete;
    ConnessioneCanale& operator=(const ConnessioneCanale&) = delete;

    void avvia();
    // Queues a frame. A notification is dropped (answer false) when the queue is over
    // `limiteNotifiche`; anything else closes the connection when it is over `limiteCoda`.
    bool invia(const Cornice& cornice);
    // Queues a frame ahead of every frame still waiting, and never drops it for the queue's
    // size (only a peer over `limiteCoda` loses it, with the connection).
    bool inviaPrima(const Cornice& cornice);
    // Queues a notification whose payload the writing thread makes (`carico`, about `stima`
    // bytes), so that the sender spends nothing on encoding it. Dropped like any notification.
    bool notifica(std::string nome, std::function<std::string()> carico, std::size_t stima);
    // Queues a notification whose payload the writer makes when it sends it, unless one of that
    // name still waits (that one will carry the newest payload): state that only its latest
    // value matters for, pushed as often as it changes, never dropped for the queue's size.
    bool notificaUltima(std::string nome, std::function<std::string()> carico);
    // Ends the connection: both threads stop soon after.
    void chiudi();
    // Waits for both threads; never call it from them.
    void attendi();
    bool finita() const;
    // The peer's user, as the kernel saw it connect.
    std::optional<uid_t> uidPari() const;
    // Whether the peer has closed its end (the reading thread may not have seen it yet).
    bool pariChiuso() const;
    std::uint64_t notificheScartate() const;

  private:
    void leggi();
    void scrivi();

    const int fd_;
    SuCornice suCornice_;
    SuFine suFine_;
    mutable std::mutex mutex_;
    std::condition_variable sveglia_;
    // A frame ready to go, or a notification to be made by the writer.
    struct Uscente {
        std::string byte;
        std::string nome;
        std::function<std::string()> carico;
        std::size_t conto = 0;  // what it counts in byteInCoda_
    };
    std::deque<Uscente> coda_;
    bool accoda(Uscente uscente, bool notifica, bool prima = false);
    std::size_t byteInCoda_ = 0;
    bool chiusa_ = false;
    bool urgente_ = false;       // a frame other than a notification waits
    bool giàSvegliato_ = false;  // the writer was woken for what waits

    bool finita_ = false;
    std::uint64_t scartate_ = 0;
    std::thread lettore_;
    std::thread scrittore_;
};

}  // namespace ostrale::canale
