// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <vector>

#include "Ostrale/Viste/Mappa/punti-mappa.h"

class QFont;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableWidget;

namespace ostrale {

class StatoApp;

namespace mappa {

// The sheet of one map cell: its servers, as they were when the cell was chosen, each with the
// two buttons that allow or block its domain everywhere; a button is tinted when an active rule
// names exactly that domain.
class DettaglioPunto : public QDialog {
    Q_OBJECT
  public:
    DettaglioPunto(PuntoMappa punto, StatoApp& stato, QWidget* parent = nullptr);

    const PuntoMappa& punto() const { return punto_; }
    QTableWidget* tabella() const { return tabella_; }
    // The row's "Consenti" or "Blocca" button.
    QPushButton* pulsante(int riga, AzioneRegola azione) const;

  private:
    // The pin, the place with its counts, and "Chiudi".
    QHBoxLayout* costruisciIntestazione();
    void costruisciTabella();
    void costruisciRiga(int r, const QFont& mono);
    // The row's "Consenti" and "Blocca", in the rule's column.
    void costruisciPulsanti(int r, const ServerPunto& s);
    // The word about an edit that did not go through.
    void costruisciEsito();
    void aggiornaTinte();
    void decidi(const ServerPunto& server, AzioneRegola azione);

    PuntoMappa punto_;
    StatoApp& stato_;
    QTableWidget* tabella_;
    QLabel* esito_;
    std::vector<std::pair<QPushButton*, QPushButton*>> pulsanti_;  // per row: allow, block
};

}  // namespace mappa
}  // namespace ostrale
