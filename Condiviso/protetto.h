// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>
#include <utility>

namespace ostrale {

// A value reachable only while its lock is held.
template <typename T>
class Protetto {
  public:
    template <typename... Argomenti>
    explicit Protetto(Argomenti&&... argomenti) : valore_(std::forward<Argomenti>(argomenti)...) {}

    Protetto(const Protetto&) = delete;
    Protetto& operator=(const Protetto&) = delete;

    // A locked view: the lock is held for as long as the view lives.
    class Vista {
      public:
        T* operator->() const { return valore_; }
        T& operator*() const { return *valore_; }

      private:
        friend class Protetto;
        Vista(std::mutex& mutex, T& valore) : blocco_(mutex), valore_(&valore) {}
        std::unique_lock<std::mutex> blocco_;
        T* valore_;
    };

    Vista blocca() { return Vista(mutex_, valore_); }

    // Runs `visita(valore)` under the lock and returns what it returns.
    template <typename Funzione>
    decltype(auto) visita(Funzione&& visita) {
        std::lock_guard blocco(mutex_);
        return std::forward<Funzione>(visita)(valore_);
    }

  private:
    std::mutex mutex_;
    T valore_;
};

}  // namespace ostrale
