// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <deque>

#include "Condiviso/data.h"
#include "Condiviso/orologio.h"

namespace ostrale {

class StatoApp;

// The generator both pictures draw from: a 64-bit linear congruence, 31 bits a draw.
struct Caso {
    std::uint64_t seme = 0x2545F4914F6CDD1Dull;
    std::uint32_t prossimo() {
        seme = seme * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(seme >> 33);
    }
};

// What both pictures share: driven by the controller's two totals (one new mark per change, at
// most one of each colour per interval), redrawn on a timer only while the window shows and is
// not minimised.
class VistaFlussoAnimata : public QWidget {
    Q_OBJECT
  public:
    VistaFlussoAnimata(StatoApp& stato, const Orologio& orologio, QWidget* parent);

    // A new allowed (`bloccata` false) or blocked flow.
    virtual void genera(bool bloccata) = 0;
    bool anima() const { return timer_.isActive(); }

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void aggiornaAnimazione();

    const Orologio& orologio_;
    Caso caso_;
    QTimer timer_;
};

// The river: a band of particles drifting left to right, green allowed, red blocked.
class FlussoParticelle : public VistaFlussoAnimata {
    Q_OBJECT
  public:
    struct Particella {
        Data nascita;
        double y, ampiezza, fase, velocita;
        QColor colore;
        bool forte;
    };
    static constexpr std::size_t massimo = 60;

    FlussoParticelle(StatoApp& stato, const Orologio& orologio, QWidget* parent = nullptr);
    void genera(bool bloccata) override;
    const std::deque<Particella>& particelle() const { return particelle_; }
    QSize sizeHint() const override { return {260, 124}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    std::deque<Particella> particelle_;
    Data ultimaVerde_ = Data::daRiferimento(-1e12), ultimaRossa_ = Data::daRiferimento(-1e12);
};

// The radar: a sweep turning once every 4 s and a wave for each flow.
class RadarSonar : public VistaFlussoAnimata {
    Q_OBJECT
  public:
    struct Onda {
        Data nascita;
        QColor colore;
        bool forte;
        double angolo;
    };
    static constexpr std::size_t massimo = 28;
    static constexpr double durata = 2.4;

    RadarSonar(StatoApp& stato, const Orologio& orologio, QWidget* parent = nullptr);
    void genera(bool bloccata) override;
    const std::deque<Onda>& onde() const { return onde_; }
    QSize sizeHint() const override { return {134, 124}; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    std::deque<Onda> onde_;
    Data ultimaVerde_ = Data::daRiferimento(-1e12), ultimaRossa_ = Data::daRiferimento(-1e12);
};

}  // namespace ostrale
