// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QWidget>

class QHBoxLayout;

namespace ostrale {

class StatoApp;

// The tray's popup: the light and its description with the filter switch, the two totals, the
// last eight flows, "Apri Ostrale" and "Esci".
class VistaBarraMenu : public QWidget {
    Q_OBJECT
  public:
    static constexpr int righeFlussi = 8;

    explicit VistaBarraMenu(StatoApp& stato, QWidget* parent = nullptr);

  signals:
    void apriRichiesto();
    void esciRichiesto();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    // The light, its description and the filter switch.
    QHBoxLayout* costruisciIntestazione();
    QHBoxLayout* costruisciContatori();
    // The last flows, or the word that there are none.
    void costruisciElenco();
    // "Apri Ostrale" and "Esci".
    QHBoxLayout* costruisciBottoni();
    void collegaStato();
    void aggiornaLuce();
    void aggiornaFlussi();

    StatoApp& stato_;
    QLabel* pallino_;
    QLabel* descrizione_;
    QCheckBox* interruttore_;
    QLabel* consentiti_;
    QLabel* bloccati_;
    QListWidget* flussi_;
    QLabel* vuoto_;
    bool flussiDaRifare_ = true;
    bool luceDaRifare_ = false;
};

}  // namespace ostrale
