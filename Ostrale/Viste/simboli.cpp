// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/simboli.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

namespace ostrale::simboli {
namespace {

QPainterPath stella(QPointF centro, qreal raggio) {
    // Four points, pinched sides.
    QPainterPath s;
    const qreal vita = raggio * 0.28;
    s.moveTo(centro.x(), centro.y() - raggio);
    s.quadTo(centro.x() + vita, centro.y() - vita, centro.x() + raggio, centro.y());
    s.quadTo(centro.x() + vita, centro.y() + vita, centro.x(), centro.y() + raggio);
    s.quadTo(centro.x() - vita, centro.y() + vita, centro.x() - raggio, centro.y());
    s.quadTo(centro.x() - vita, centro.y() - vita, centro.x(), centro.y() - raggio);
    return s;
}

// The square a sign is drawn in, on a 16-point grid.
struct Griglia {
    QRectF q;
    qreal u;  // one point of the grid
    QPointF a(qreal x, qreal y) const { return QPointF(q.left() + x * u, q.top() + y * u); }
    // The line of the signs that are drawn, not filled.
    QPen tratto(const QColor& colore) const {
        return QPen(colore, 1.6 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    }
};

void disegnaOcchio(QPainter& p, const Griglia& g, const QColor& colore) {
    const qreal u = g.u;
    QPainterPath occhio;
    occhio.moveTo(g.a(1, 7));
    occhio.quadTo(g.a(7, 0), g.a(13, 7));
    occhio.quadTo(g.a(7, 14), g.a(1, 7));
    p.setPen(g.tratto(colore));
    p.setBrush(Qt::NoBrush);
    p.drawPath(occhio);
    p.setPen(Qt::NoPen);
    p.setBrush(colore);
    p.drawEllipse(g.a(7, 7), 2 * u, 2 * u);
    // The warning triangle at the corner.
    QPainterPath triangolo;
    triangolo.moveTo(g.a(12, 8.5));
    triangolo.lineTo(g.a(16, 15.5));
    triangolo.lineTo(g.a(8, 15.5));
    triangolo.closeSubpath();
    p.drawPath(triangolo);
    p.setPen(QPen(Qt::white, 1.2 * u, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(g.a(12, 11), g.a(12, 13));
    p.drawPoint(g.a(12, 14.6));
}

void disegnaFulmine(QPainter& p, const Griglia& g, const QColor& colore) {
    QPainterPath f;
    f.moveTo(g.a(9.5, 1));
    f.lineTo(g.a(3.5, 9));
    f.lineTo(g.a(7.5, 9));
    f.lineTo(g.a(6, 15));
    f.lineTo(g.a(12.5, 6.5));
    f.lineTo(g.a(8.5, 6.5));
    f.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(colore);
    p.drawPath(f);
}

// A raised palm: four fingers, the thumb and the palm.
void disegnaMano(QPainter& p, const Griglia& g, const QColor& colore) {
    const qreal u = g.u;
    p.setPen(Qt::NoPen);
    p.setBrush(colore);
    const qreal dita[][2] = {{4.2, 5}, {6.6, 3}, {9, 3.4}, {11.4, 5.2}};
    for (const auto& d : dita) {
        p.drawRoundedRect(QRectF(g.a(d[0] - 1, d[1]), g.a(d[0] + 1.1, 10)), u, u);
    }
    QPainterPath palmo;
    palmo.addRoundedRect(QRectF(g.a(3.2, 8), g.a(12.5, 15)), 3 * u, 3 * u);
    p.drawPath(palmo);
    QPainterPath pollice;
    pollice.moveTo(g.a(3.5, 12));
    pollice.lineTo(g.a(1.2, 8.8));
    pollice.quadTo(g.a(1.4, 7.4), g.a(2.8, 8));
    pollice.lineTo(g.a(4.5, 10));
    pollice.closeSubpath();
    p.drawPath(pollice);
}

void disegnaSpunta(QPainter& p, const Griglia& g, const QColor& colore) {
    const qreal u = g.u;
    p.setPen(Qt::NoPen);
    p.setBrush(colore);
    p.drawEllipse(g.q.adjusted(u, u, -u, -u));
    p.setPen(QPen(Qt::white, 1.8 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath v;
    v.moveTo(g.a(4.8, 8.2));
    v.lineTo(g.a(7.1, 10.6));
    v.lineTo(g.a(11.4, 5.6));
    p.drawPath(v);
}

void disegnaDivieto(QPainter& p, const Griglia& g, const QColor& colore) {
    const qreal u = g.u;
    p.setPen(g.tratto(colore));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(g.q.adjusted(1.8 * u, 1.8 * u, -1.8 * u, -1.8 * u));
    p.drawLine(g.a(3.9, 12.1), g.a(12.1, 3.9));
}

void disegnaScintille(QPainter& p, const Griglia& g, const QColor& colore) {
    const qreal u = g.u;
    p.setPen(Qt::NoPen);
    p.setBrush(colore);
    p.drawPath(stella(g.a(6.5, 9), 6 * u));
    p.drawPath(stella(g.a(12.5, 3.5), 3 * u));
    p.drawPath(stella(g.a(13, 12.5), 2.2 * u));
}

void disegnaOrologio(QPainter& p, const Griglia& g, const QColor& colore) {
    const qreal u = g.u;
    p.setPen(g.tratto(colore));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(g.q.adjusted(1.5 * u, 1.5 * u, -1.5 * u, -1.5 * u));
    p.drawLine(g.a(8, 8), g.a(8, 4.5));
    p.drawLine(g.a(8, 8), g.a(10.8, 9.6));
}

void disegnaFrecce(QPainter& p, const Griglia& g, const QColor& colore) {
    p.setPen(g.tratto(colore));
    p.setBrush(Qt::NoBrush);
    p.drawLine(g.a(2, 5.5), g.a(14, 5.5));
    p.drawLine(g.a(2, 5.5), g.a(5, 2.5));
    p.drawLine(g.a(2, 5.5), g.a(5, 8.5));
    p.drawLine(g.a(2, 11.5), g.a(14, 11.5));
    p.drawLine(g.a(14, 11.5), g.a(11, 8.5));
    p.drawLine(g.a(14, 11.5), g.a(11, 14.5));
}

void disegnaPortatile(QPainter& p, const Griglia& g, const QColor& colore) {
    const qreal u = g.u;
    p.setPen(g.tratto(colore));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(g.a(3, 3.5), g.a(13, 10.5)), u, u);
    p.setPen(Qt::NoPen);
    p.setBrush(colore);
    p.drawRoundedRect(QRectF(g.a(0.8, 11.6), g.a(15.2, 13.4)), 0.8 * u, 0.8 * u);
}

void disegnaGlobo(QPainter& p, const Griglia& g, const QColor& colore) {
    const qreal u = g.u;
    p.setPen(g.tratto(colore));
    p.setBrush(Qt::NoBrush);
    const QRectF globo = g.q.adjusted(1.5 * u, 1.5 * u, -1.5 * u, -1.5 * u);
    p.drawEllipse(globo);
    p.drawEllipse(globo.adjusted(3.2 * u, 0, -3.2 * u, 0));
    p.drawLine(g.a(8, 1.5), g.a(8, 14.5));
    p.drawLine(g.a(1.5, 8), g.a(14.5, 8));
    p.drawLine(g.a(2.9, 4.8), g.a(13.1, 4.8));
    p.drawLine(g.a(2.9, 11.2), g.a(13.1, 11.2));
}

void disegnaSpillo(QPainter& p, const Griglia& g, const QColor& colore) {
    p.setPen(Qt::NoPen);
    p.setBrush(colore);
    QPainterPath goccia;
    goccia.moveTo(g.a(8, 15));
    goccia.cubicTo(g.a(4, 10.5), g.a(2.5, 8.5), g.a(2.5, 6.5));
    goccia.arcTo(QRectF(g.a(2.5, 1), g.a(13.5, 12)), 180, -180);
    goccia.cubicTo(g.a(13.5, 8.5), g.a(12, 10.5), g.a(8, 15));
    QPainterPath foro;
    foro.addEllipse(QRectF(g.a(5.8, 4.3), g.a(10.2, 8.7)));
    p.drawPath(goccia.subtracted(foro));
}

void disegnaSimbolo(QPainter& p, Simbolo simbolo, const Griglia& g, const QColor& colore) {
    switch (simbolo) {
        case Simbolo::occhio:
            return disegnaOcchio(p, g, colore);
        case Simbolo::fulmine:
            return disegnaFulmine(p, g, colore);
        case Simbolo::mano:
            return disegnaMano(p, g, colore);
        case Simbolo::spunta:
            return disegnaSpunta(p, g, colore);
        case Simbolo::divieto:
            return disegnaDivieto(p, g, colore);
        case Simbolo::scintille:
            return disegnaScintille(p, g, colore);
        case Simbolo::orologio:
            return disegnaOrologio(p, g, colore);
        case Simbolo::frecce:
            return disegnaFrecce(p, g, colore);
        case Simbolo::portatile:
            return disegnaPortatile(p, g, colore);
        case Simbolo::globo:
            return disegnaGlobo(p, g, colore);
        case Simbolo::spillo:
            return disegnaSpillo(p, g, colore);
    }
}

class MotoreSimbolo : public QIconEngine {
  public:
    MotoreSimbolo(Simbolo simbolo, QColor colore) : simbolo_(simbolo), colore_(colore) {}
    void paint(QPainter* p, const QRect& r, QIcon::Mode modo, QIcon::State) override {
        QColor c = colore_;
        if (modo == QIcon::Disabled) c.setAlphaF(0.35);
        disegna(*p, simbolo_, r, c);
    }
    QPixmap pixmap(const QSize& dimensione, QIcon::Mode modo, QIcon::State stato) override {
        return scaledPixmap(dimensione, modo, stato, 1.0);
    }
    QPixmap scaledPixmap(const QSize& dimensione, QIcon::Mode modo, QIcon::State stato,
                         qreal scala) override {
        QPixmap pm(dimensione * scala);
        pm.setDevicePixelRatio(scala);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), dimensione), modo, stato);
        return pm;
    }
    QIconEngine* clone() const override { return new MotoreSimbolo(simbolo_, colore_); }

  private:
    Simbolo simbolo_;
    QColor colore_;
};

}  // namespace

void disegna(QPainter& p, Simbolo simbolo, const QRectF& dove, const QColor& colore) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal l = std::min(dove.width(), dove.height());
    const QRectF q(dove.center().x() - l / 2, dove.center().y() - l / 2, l, l);
    disegnaSimbolo(p, simbolo, Griglia{q, l / 16}, colore);
    p.restore();
}

QIcon icona(Simbolo simbolo, const QColor& colore) {
    return QIcon(new MotoreSimbolo(simbolo, colore));
}

}  // namespace ostrale::simboli
