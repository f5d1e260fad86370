// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace ostrale {

// The value of an operation at a boundary, or the reason it was refused.
template <typename T>
class Risultato {
  public:
    Risultato(T valore) : stato_(std::move(valore)) {}  // NOLINT(google-explicit-constructor)
    static Risultato rifiuto(std::string motivo) { return Risultato(Rifiuto{std::move(motivo)}); }

    bool ok() const { return std::holds_alternative<T>(stato_); }
    explicit operator bool() const { return ok(); }

    const T& valore() const& { return std::get<T>(stato_); }
    T& valore() & { return std::get<T>(stato_); }
    T&& valore() && { return std::get<T>(std::move(stato_)); }
    const T& operator*() const& { return valore(); }
    const T* operator->() const { return &valore(); }

    T valoreOppure(T alternativa) const& { return ok() ? valore() : std::move(alternativa); }
    T valoreOppure(T alternativa) && {
        return ok() ? std::move(*this).valore() : std::move(alternativa);
    }

    // Empty when the operation succeeded.
    const std::string& motivo() const {
        static const std::string nessuno;
        return ok() ? nessuno : std::get<Rifiuto>(stato_).motivo;
    }

  private:
    struct Rifiuto {
        std::string motivo;
    };
    explicit Risultato(Rifiuto r) : stato_(std::move(r)) {}
    std::variant<T, Rifiuto> stato_;
};

}  // namespace ostrale
