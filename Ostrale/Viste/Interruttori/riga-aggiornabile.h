// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace ostrale {

// One updatable defence: its title and status line, at the trailing edge the button "Aggiorna
// adesso" or, while its download runs, a progress bar captioned "Scarico…", and under the row
// the last outcome. Widgets are named after `nome` ("c2" gives "c2Stato", "c2Aggiorna", …).
class RigaAggiornabile : public QWidget {
    Q_OBJECT
  public:
    RigaAggiornabile(const QString& nome, const QString& titolo, QWidget* parent = nullptr);

    // `avanzamento` 0 to 100, or -1 when unknown; `disponibile` false: the button is off.
    void mostra(const QString& stato, bool inCorso, int avanzamento, const QString& esito,
                bool disponibile = true);

  signals:
    void aggiornaRichiesto();

  private:
    QLabel* stato_;
    QWidget* scarico_;
    QProgressBar* avanzamento_;
    QPushButton* aggiorna_;
    QLabel* esito_;
};

}  // namespace ostrale
