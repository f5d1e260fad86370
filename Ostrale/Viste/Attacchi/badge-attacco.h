// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFrame>
#include <QVariantAnimation>

#include "Condiviso/enumerazioni.h"

class QLabel;

namespace ostrale {

// One attack pattern's badge: its sign, label and explanation, and how many attacks of it came
// since installation (the number runs to a new count), red once any came, green before. A click
// asks for its sources.
class BadgeAttacco : public QFrame {
    Q_OBJECT
  public:
    explicit BadgeAttacco(TipoAttacco tipo, QWidget* parent = nullptr);

    TipoAttacco tipo() const { return tipo_; }
    std::int64_t conteggio() const { return conteggio_; }
    // The count to show; it runs there from the one shown unless `subito`.
    void mostra(std::int64_t conteggio, bool subito = false);
    // The pattern's colour for a count: red with attacks, green without.
    static QColor accento(std::int64_t conteggio);
    // The sign of a pattern (a character of the interface's font).
    static QString segno(TipoAttacco tipo);

  signals:
    void scelto(ostrale::TipoAttacco tipo);

  protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

  private:
    void colora();

    TipoAttacco tipo_;
    std::int64_t conteggio_ = 0;
    QLabel* icona_;
    QLabel* numero_;
    QLabel* stato_;
    QVariantAnimation corsa_;
};

}  // namespace ostrale
