// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QDate>
#include <QRectF>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "Ostrale/Viste/Storico/calcoli-storico.h"

class QFontMetricsF;
class QPainter;

namespace ostrale {

// A bar chart of history points, drawn here: one bar per point, its series stacked from the
// baseline up, a y axis of a few round steps, x labels thinned so that they never overlap, a
// legend when there is more than one series. Hovering a bar tells its moment and its counts.
class GraficoBarre : public QWidget {
    Q_OBJECT
  public:
    // Hours: one slot per point. Days: one slot per calendar day of a range, some empty.
    enum class Scala { ore, giorni };

    struct Serie {
        QString nome;
        QColor colore;
        std::int64_t PuntoOra::*campo;
    };

    // The axes' titles, and the legend's (shown with more than one series).
    struct Titoli {
        QString x, y, legenda;
    };

    // An x label as drawn.
    struct Etichetta {
        QString testo;
        QRectF rettangolo;
    };

    GraficoBarre(Scala scala, Titoli titoli, std::vector<Serie> serie, int altezza,
                 QWidget* parent = nullptr);

    // Hours: the points in order. Days: the points in order, each drawn in the slot of its day
    // from `primo` to `ultimo` (one outside them is left out).
    void imposta(std::vector<PuntoOra> punti, QDate primo = {}, QDate ultimo = {});
    const std::vector<PuntoOra>& punti() const { return punti_; }

    // The values of the y axis's lines, from 0 up to a round top at or above `massimo`.
    static std::vector<std::int64_t> tacche(std::int64_t massimo);
    std::vector<std::int64_t> tacche() const;

    // Where things are, in widget coordinates, at the current size.
    QRectF areaGrafico() const;
    // The column of point `indice` (its slot, full height), and its drawn bar.
    QRectF colonna(int indice) const;
    QRectF barra(int indice) const;
    // The point whose column holds `dove`, or -1.
    int puntoIn(QPointF dove) const;
    // The hover text of point `indice`: its hour or day, then each series's count.
    QString suggerimento(int indice) const;
    std::vector<Etichetta> etichetteX() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;

  private:
    std::int64_t valore(const PuntoOra& p, const Serie& s) const;
    std::int64_t altezzaPunto(const PuntoOra& p) const;
    QString testoX(const PuntoOra& p) const;
    int fascia(int indice) const;  // the slot of point `indice`
    QFont piccolo() const;
    double larghezzaTacche() const;
    // The parts of the picture, drawn in this order with one painter.
    void disegnaTesta(QPainter& p, const QFontMetricsF& fm) const;
    void disegnaAsseY(QPainter& p, const QRectF& a, const QFontMetricsF& fm) const;
    void disegnaBarre(QPainter& p, const QRectF& a) const;
    void disegnaAsseX(QPainter& p, const QRectF& a, const QFontMetricsF& fm) const;

    Scala scala_;
    Titoli titoli_;
    std::vector<Serie> serie_;
    std::vector<PuntoOra> punti_;
    std::vector<int> fasce_;  // slot per point
    int numeroFasce_ = 1;
    QDate primo_;
    std::int64_t massimo_ = 0;
    int evidenziato_ = -1;
};

}  // namespace ostrale
