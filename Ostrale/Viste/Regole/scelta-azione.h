// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "Condiviso/enumerazioni.h"

class QToolButton;

namespace ostrale {

// The segmented picker of a rule's action: "Consenti" | "Blocca".
class SceltaAzione : public QWidget {
    Q_OBJECT
  public:
    explicit SceltaAzione(QWidget* parent = nullptr);

    AzioneRegola azione() const { return azione_; }
    // Shows `azione` without telling anyone.
    void mostra(AzioneRegola azione);

  signals:
    // The user picked another action.
    void scelta(ostrale::AzioneRegola azione);

  private:
    AzioneRegola azione_ = AzioneRegola::consenti;
    QToolButton* consenti_;
    QToolButton* blocca_;
};

}  // namespace ostrale
