// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <vector>

#include "Condiviso/enumerazioni.h"
#include "Condiviso/evento-flusso.h"
#include "Condiviso/uuid.h"

class QLabel;
class QStackedWidget;
class QVBoxLayout;

namespace ostrale {

class StatoApp;

// The sheet of one attack pattern: its archived events with their sources, where the user
// allows or blocks each source, and "Pulisci", which clears this pattern from the archive.
class DettaglioAttacco : public QDialog {
    Q_OBJECT
  public:
    DettaglioAttacco(TipoAttacco tipo, StatoApp& stato, QWidget* parent = nullptr);

    TipoAttacco tipo() const { return tipo_; }
    // The events shown, newest first.
    const std::vector<EventoFlusso>& eventi() const { return eventi_; }
    // Why no rule can be made for the source of `evento` (empty when one can).
    static QString perchéNonDecidibile(const EventoFlusso& evento);

  private:
    void ricarica();
    void aggiornaDecisioni();
    void chiediPulizia();
    QWidget* riga(const EventoFlusso& evento);

    TipoAttacco tipo_;
    StatoApp& stato_;
    std::vector<EventoFlusso> eventi_;
    QLabel* icona_;
    QLabel* contatori_;
    QLabel* messaggio_;
    QStackedWidget* pile_;
    QVBoxLayout* elenco_;
    std::vector<QWidget*> righe_;  // in the order of eventi_
    std::vector<Uuid> idRighe_;    // the event each row shows
};

}  // namespace ostrale
