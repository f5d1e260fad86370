// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QTimer>
#include <cstdint>
#include <string>

namespace ostrale {

class GraficoBarre;
class StatoApp;

// The history section: the grand totals of the hourly counters the extension keeps (60 days),
// the last 24 hours by hour, their trackers, and the last 30 days by day. Computed from the
// controller's counters when they change while the section shows (else when it shows next), and
// again when the hour turns while it shows.
class VistaStorico : public QScrollArea {
    Q_OBJECT
  public:
    explicit VistaStorico(StatoApp& stato, QWidget* parent = nullptr);

    GraficoBarre& graficoOre() const { return *ore_; }
    GraficoBarre& graficoTracker() const { return *tracker_; }
    GraficoBarre& graficoGiorni() const { return *giorni_; }
    // How many times the section has been computed.
    std::uint64_t ricalcoli() const { return ricalcoli_; }
    // Fires at the next hour's start while the section shows.
    QTimer& cambioOra() { return cambioOra_; }

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    // A tile named `nome`: the value (its label returned) large in `colore`, the title under it.
    QLabel* riquadroTotale(const QString& titolo, const QString& nome, const QColor& colore,
                           QHBoxLayout* riga);
    void aggiorna();
    void programmaCambioOra();

    StatoApp& stato_;
    QLabel* totali_[3];  // allowed, blocked, trackers
    GraficoBarre* ore_;
    GraficoBarre* tracker_;
    GraficoBarre* giorni_;
    QLabel* attesaGiorni_;
    QTimer cambioOra_;
    std::string oraMostrata_;  // the hour key of the last computation
    bool sporca_ = true;
    std::uint64_t ricalcoli_ = 0;
};

}  // namespace ostrale
