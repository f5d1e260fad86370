// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <mutex>

#include "Condiviso/data.h"

namespace ostrale {

// The one source of the current time. Every part that tests or records time takes an Orologio,
// so tests can move time without sleeping.
class Orologio {
  public:
    virtual ~Orologio() = default;
    virtual Data adesso() const = 0;
};

class OrologioDiSistema final : public Orologio {
  public:
    Data adesso() const override;
};

// The system clock running `fattore` times faster from the moment of construction: hours of a
// scenario in minutes. With a `ritardo` it starts that many seconds in the past and runs fast
// only until it has caught up with the system clock, which it then follows: its times are never
// in the future, as an app beside it on the system clock expects.
class OrologioAccelerato final : public Orologio {
  public:
    explicit OrologioAccelerato(double fattore, double ritardo = 0);
    Data adesso() const override;

  private:
    double fattore_;
    double ritardo_;
    Data inizio_;
};

// A clock that stands still until told to move; safe to read and move from any thread.
class OrologioFinto final : public Orologio {
  public:
    explicit OrologioFinto(Data inizio = Data::daUnix(1'765'000'000.0)) : adesso_(inizio) {}
    Data adesso() const override;
    void imposta(Data d);
    void avanza(double secondi);

  private:
    mutable std::mutex mutex_;
    Data adesso_;
};

}  // namespace ostrale
