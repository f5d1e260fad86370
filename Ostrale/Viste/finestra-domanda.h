// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <optional>

#include "Condiviso/data.h"
#include "Condiviso/evento-flusso.h"

class QLabel;
class QPushButton;

namespace ostrale {

// One of the two questions as a window of its own that floats above the others: after a block
// ("Accesso bloccato per sicurezza") or while a flow is held ("Connessione sospesa: decidi tu").
// It never blocks the event loop; the answer comes as `risposta`. It cannot be closed without an
// answer: the flows (or the question's throttle) wait for one.
class FinestraDomanda final : public QDialog {
    Q_OBJECT
  public:
    enum class Tipo { blocco, sospesa };

    FinestraDomanda(Tipo tipo, const EventoFlusso& evento, QWidget* parent = nullptr);

    Tipo tipo() const { return tipo_; }
    // The time left for a held flow, shown under the text; none after a block.
    void mostraTempo(double secondiRimasti);

    void reject() override {}

  signals:
    void risposta(bool consenti);

  protected:
    void closeEvent(QCloseEvent* evento) override;

  private:
    void rispondi(bool consenti);

    Tipo tipo_;
    QLabel* tempo_ = nullptr;
    bool risposto_ = false;
};

}  // namespace ostrale
