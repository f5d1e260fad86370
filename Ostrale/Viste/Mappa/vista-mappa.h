// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>

#include "Ostrale/Viste/Mappa/dettaglio-punto.h"
#include "Ostrale/Viste/Mappa/punti-mappa.h"

class QButtonGroup;
class QLabel;

namespace ostrale {

class StatoApp;

namespace mappa {

class CartaMondo;

// The map section: every counted remote address placed on the world by the local city
// database, in cells of a tenth of a degree, with the direction filter, the legend, and the sheet
// of a chosen cell. It follows the history's counters and, between two of them, the live flows.
class VistaMappa : public QWidget {
    Q_OBJECT
  public:
    explicit VistaMappa(StatoApp& stato, QWidget* parent = nullptr);

    CartaMondo& carta() const { return *carta_; }
    FiltroDirezione filtro() const { return filtro_; }
    void impostaFiltro(FiltroDirezione filtro);
    // The legend's line of addresses waiting for a position (hidden when none wait).
    QLabel* attesa() const { return attesa_; }
    QWidget* vuota() const { return vuota_; }
    DettaglioPunto* dettaglio() const { return dettaglio_; }
    // Recomputes now what is pending (tests; the view does it by itself shortly after a change).
    void ricalcola();

  protected:
    void showEvent(QShowEvent* evento) override;

  private:
    QWidget* barra();
    QWidget* legenda();
    QWidget* statoVuoto();
    void pianifica();
    void contatoriNuovi();
    MappaContatoriIP flussiVivi() const;
    void disponiSopra();
    void apri(const PuntoMappa& punto);

    StatoApp& stato_;
    CartaMondo* carta_;
    QButtonGroup* direzioni_;
    QWidget* legenda_;
    QLabel* attesa_;
    QWidget* vuota_;
    QPointer<DettaglioPunto> dettaglio_;
    QTimer rinvio_;
    FiltroDirezione filtro_ = FiltroDirezione::tutte;
    bool sporca_ = true;
    // The live flows counted since the history's counters last changed: those in front of the
    // controller's list from this insertion count on, while the list is not replaced.
    std::uint64_t segnoFlussi_ = 0;
    std::uint64_t generazioneFlussi_ = 0;
};

}  // namespace mappa
}  // namespace ostrale
