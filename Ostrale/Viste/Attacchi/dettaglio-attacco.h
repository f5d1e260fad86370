// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <utility>
#include <vector>

#include "Condiviso/enumerazioni.h"
#include "Condiviso/evento-flusso.h"
#include "Condiviso/uuid.h"

class QFont;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QScrollArea;
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
    // The pattern's sign, name and counters, "Pulisci" and "Chiudi". `grande` and `titolo` get
    // the fonts of the sign and of the name.
    QHBoxLayout* costruisciIntestazione(QFont& grande, QFont& titolo);
    QWidget* costruisciVuoto(const QFont& grande, const QFont& titolo);
    // The sources, one row each, in a scrolling column.
    QScrollArea* costruisciElenco();
    void costruisciMessaggio();
    void collegaStato();
    void ricarica();
    void aggiornaDecisioni();
    void chiediPulizia();
    QWidget* riga(const EventoFlusso& evento);
    // A row's left side: its first line above when and where.
    QVBoxLayout* costruisciDescrizione(QWidget* r, const EventoFlusso& e, const QString& sorgente);
    QHBoxLayout* costruisciPrimaRiga(QWidget* r, const EventoFlusso& e, const QString& sorgente);
    // A row's "Consenti" and "Blocca", disabled with the reason when no rule can name the source.
    std::pair<QPushButton*, QPushButton*> costruisciDecisioni(QWidget* r, const EventoFlusso& e);
    QPushButton* costruisciSilenzia(QWidget* r, const EventoFlusso& e);

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
