// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QComboBox;

namespace ostrale {

class StatoApp;

// The interface language: the system's, Italian or English. A choice is stored under
// "linguaScelta" and takes effect at the next start; then a note says so, with "Riapri adesso".
class SelettoreLingua : public QWidget {
    Q_OBJECT
  public:
    explicit SelettoreLingua(StatoApp& stato, QWidget* parent = nullptr);

  signals:
    // "Riapri adesso".
    void riavvioRichiesto();

  private:
    StatoApp& stato_;
    QComboBox* scelta_;
    QWidget* nota_;
};

}  // namespace ostrale
