// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QWidget>
#include <vector>

#include "Condiviso/enumerazioni.h"
#include "Ostrale/Viste/Attacchi/dettaglio-attacco.h"

class QGridLayout;

namespace ostrale {

class BadgeAttacco;
class StatoApp;

// The "Attacchi" section: a badge for each of the patterns the sentinel watches, with how many
// attacks of it came since installation; a badge opens its sources.
class VistaAttacchi : public QWidget {
    Q_OBJECT
  public:
    explicit VistaAttacchi(StatoApp& stato, QWidget* parent = nullptr);

    BadgeAttacco* badge(TipoAttacco tipo) const;
    // The sheet open now, if any.
    DettaglioAttacco* dettaglio() const { return dettaglio_; }
    void apriDettaglio(TipoAttacco tipo);

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

  private:
    void aggiornaConteggi(bool subito);
    void disponi();

    StatoApp& stato_;
    std::vector<BadgeAttacco*> badge_;
    QGridLayout* griglia_;
    int colonne_ = 0;
    QPointer<DettaglioAttacco> dettaglio_;
};

}  // namespace ostrale
