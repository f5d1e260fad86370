// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "Condiviso/orologio.h"

class QObject;

namespace ostrale {

// Repeated and delayed work of the app, on the main thread. Tests move time with a fake one.
class Temporizzatore {
  public:
    using Id = std::uint64_t;

    virtual ~Temporizzatore() = default;
    // Runs `compito` once, `secondi` from now.
    virtual Id dopo(double secondi, std::function<void()> compito) = 0;
    // Runs `compito` every `secondi`, the first time `secondi` from now.
    virtual Id ogni(double secondi, std::function<void()> compito) = 0;
    // Forgets a task; an id that already ran or was cancelled is ignored.
    virtual void annulla(Id id) = 0;
};

// QTimers on the thread that creates it (the main thread).
class TemporizzatoreQt final : public Temporizzatore {
  public:
    TemporizzatoreQt();
    ~TemporizzatoreQt() override;

    Id dopo(double secondi, std::function<void()> compito) override;
    Id ogni(double secondi, std::function<void()> compito) override;
    void annulla(Id id) override;

  private:
    Id aggiungi(double secondi, bool ripeti, std::function<void()> compito);

    std::unique_ptr<QObject> radice_;  // parent of every timer
    std::map<Id, QObject*> timer_;
    Id prossimo_ = 1;
};

// Runs tasks when the fake clock is moved past their time, in time order.
class TemporizzatoreFinto final : public Temporizzatore {
  public:
    explicit TemporizzatoreFinto(OrologioFinto& orologio) : orologio_(orologio) {}

    Id dopo(double secondi, std::function<void()> compito) override;
    Id ogni(double secondi, std::function<void()> compito) override;
    void annulla(Id id) override;

    // Moves the clock forward by `secondi`, running every task due on the way.
    void avanza(double secondi);
    // Tasks waiting, repeating ones included.
    std::size_t inAttesa() const { return compiti_.size(); }
    // Repeating tasks with this period.
    std::size_t ripetuti(double periodo) const;

  private:
    struct Compito {
        Data quando;
        std::uint64_t ordine;  // tasks due at the same moment run in the order they were added
        double periodo;        // 0 for a task that runs once
        std::function<void()> azione;
    };
    Id aggiungi(double secondi, double periodo, std::function<void()> compito);

    OrologioFinto& orologio_;
    std::map<Id, Compito> compiti_;
    Id prossimo_ = 1;
    std::uint64_t sequenza_ = 0;
};

}  // namespace ostrale
