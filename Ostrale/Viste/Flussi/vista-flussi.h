// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include "Condiviso/evento-flusso.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QStackedWidget;
class QTableView;

namespace ostrale {

class DelegatoAzioni;
class FiltroFlussi;
class ModelloFlussi;
class StatoApp;

// The "Flussi" section: the flows the app received, newest first, with a search over
// application and host, "Solo bloccati", and on each row the buttons that make a rule on the
// spot or ask for an explanation.
class VistaFlussi : public QWidget {
    Q_OBJECT
  public:
    explicit VistaFlussi(StatoApp& stato, QWidget* parent = nullptr);

    ModelloFlussi& modello() { return *modello_; }
    FiltroFlussi& filtro() { return *filtro_; }
    QTableView& tabella() { return *tabella_; }

  signals:
    // "Spiegami questo flusso": the sheet for this flow is wanted.
    void spiegazioneRichiesta(const ostrale::EventoFlusso& evento);

  protected:
    bool eventFilter(QObject* oggetto, QEvent* evento) override;

  private:
    // The toolbar: "Solo bloccati", the last word about an edit, the search.
    QHBoxLayout* costruisciBarra();
    void costruisciTabella();
    // The rows' buttons and menu, the explanation's sheet, and the rows as they come and go.
    void collegaTabella();
    // The empty states.
    QWidget* costruisciVuoto();
    // `spazio`: the width the columns share.
    void adattaColonne(int spazio);
    void aggiornaVuoto();
    void suAzione(int azione, const QModelIndex& indice);
    void menuContestuale(const QPoint& punto);
    void mostraEsito(int esito);

    StatoApp& stato_;
    ModelloFlussi* modello_;
    FiltroFlussi* filtro_;
    DelegatoAzioni* delegato_;
    QCheckBox* soloBloccati_;
    QLineEdit* ricerca_;
    QLabel* messaggio_;
    QTableView* tabella_;
    QStackedWidget* pile_;
    QLabel* titoloVuoto_;
    QLabel* testoVuoto_;
};

}  // namespace ostrale
