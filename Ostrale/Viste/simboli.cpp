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
    const qreal u = l / 16;  // the drawings are made on a 16-point grid
    auto a = [&](qreal x, qreal y) { return QPointF(q.left() + x * u, q.top() + y * u); };
    QPen tratto(colore, 1.6 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    switch (simbolo) {
        case Simbolo::occhio: {
            QPainterPath occhio;
            occhio.moveTo(a(1, 7));
            occhio.quadTo(a(7, 0), a(13, 7));
            occhio.quadTo(a(7, 14), a(1, 7));
            p.setPen(tratto);
            p.setBrush(Qt::NoBrush);
            p.drawPath(occhio);
            p.setPen(Qt::NoPen);
            p.setBrush(colore);
            p.drawEllipse(a(7, 7), 2 * u, 2 * u);
            // The warning triangle at the corner.
            QPainterPath triangolo;
            triangolo.moveTo(a(12, 8.5));
            triangolo.lineTo(a(16, 15.5));
            triangolo.lineTo(a(8, 15.5));
            triangolo.closeSubpath();
            p.drawPath(triangolo);
            p.setPen(QPen(Qt::white, 1.2 * u, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(a(12, 11), a(12, 13));
            p.drawPoint(a(12, 14.6));
            break;
        }
        case Simbolo::fulmine: {
            QPainterPath f;
            f.moveTo(a(9.5, 1));
            f.lineTo(a(3.5, 9));
            f.lineTo(a(7.5, 9));
            f.lineTo(a(6, 15));
            f.lineTo(a(12.5, 6.5));
            f.lineTo(a(8.5, 6.5));
            f.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(colore);
            p.drawPath(f);
            break;
        }
        case Simbolo::mano: {
            // A raised palm: four fingers, the thumb and the palm.
            p.setPen(Qt::NoPen);
            p.setBrush(colore);
            const qreal dita[][2] = {{4.2, 5}, {6.6, 3}, {9, 3.4}, {11.4, 5.2}};
            for (const auto& d : dita) {
                p.drawRoundedRect(QRectF(a(d[0] - 1, d[1]), a(d[0] + 1.1, 10)), u, u);
            }
            QPainterPath palmo;
            palmo.addRoundedRect(QRectF(a(3.2, 8), a(12.5, 15)), 3 * u, 3 * u);
            p.drawPath(palmo);
            QPainterPath pollice;
            pollice.moveTo(a(3.5, 12));
            pollice.lineTo(a(1.2, 8.8));
            pollice.quadTo(a(1.4, 7.4), a(2.8, 8));
            pollice.lineTo(a(4.5, 10));
            pollice.closeSubpath();
            p.drawPath(pollice);
            break;
        }
        case Simbolo::spunta: {
            p.setPen(Qt::NoPen);
            p.setBrush(colore);
            p.drawEllipse(q.adjusted(u, u, -u, -u));
            p.setPen(QPen(Qt::white, 1.8 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            QPainterPath v;
            v.moveTo(a(4.8, 8.2));
            v.lineTo(a(7.1, 10.6));
            v.lineTo(a(11.4, 5.6));
            p.drawPath(v);
            break;
        }
        case Simbolo::divieto:
            p.setPen(tratto);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(q.adjusted(1.8 * u, 1.8 * u, -1.8 * u, -1.8 * u));
            p.drawLine(a(3.9, 12.1), a(12.1, 3.9));
            break;
        case Simbolo::scintille:
            p.setPen(Qt::NoPen);
            p.setBrush(colore);
            p.drawPath(stella(a(6.5, 9), 6 * u));
            p.drawPath(stella(a(12.5, 3.5), 3 * u));
            p.drawPath(stella(a(13, 12.5), 2.2 * u));
            break;
        case Simbolo::orologio:
            p.setPen(tratto);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(q.adjusted(1.5 * u, 1.5 * u, -1.5 * u, -1.5 * u));
            p.drawLine(a(8, 8), a(8, 4.5));
            p.drawLine(a(8, 8), a(10.8, 9.6));
            break;
        case Simbolo::frecce: {
            p.setPen(tratto);
            p.setBrush(Qt::NoBrush);
            p.drawLine(a(2, 5.5), a(14, 5.5));
            p.drawLine(a(2, 5.5), a(5, 2.5));
            p.drawLine(a(2, 5.5), a(5, 8.5));
            p.drawLine(a(2, 11.5), a(14, 11.5));
            p.drawLine(a(14, 11.5), a(11, 8.5));
            p.drawLine(a(14, 11.5), a(11, 14.5));
            break;
        }
        case Simbolo::portatile: {
            p.setPen(tratto);
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(QRectF(a(3, 3.5), a(13, 10.5)), u, u);
            p.setPen(Qt::NoPen);
            p.setBrush(colore);
            p.drawRoundedRect(QRectF(a(0.8, 11.6), a(15.2, 13.4)), 0.8 * u, 0.8 * u);
            break;
        }
        case Simbolo::globo: {
            p.setPen(tratto);
            p.setBrush(Qt::NoBrush);
            const QRectF globo = q.adjusted(1.5 * u, 1.5 * u, -1.5 * u, -1.5 * u);
            p.drawEllipse(globo);
            p.drawEllipse(globo.adjusted(3.2 * u, 0, -3.2 * u, 0));
            p.drawLine(a(8, 1.5), a(8, 14.5));
            p.drawLine(a(1.5, 8), a(14.5, 8));
            p.drawLine(a(2.9, 4.8), a(13.1, 4.8));
            p.drawLine(a(2.9, 11.2), a(13.1, 11.2));
            break;
        }
        case Simbolo::spillo: {
            p.setPen(Qt::NoPen);
            p.setBrush(colore);
            QPainterPath goccia;
            goccia.moveTo(a(8, 15));
            goccia.cubicTo(a(4, 10.5), a(2.5, 8.5), a(2.5, 6.5));
            goccia.arcTo(QRectF(a(2.5, 1), a(13.5, 12)), 180, -180);
            goccia.cubicTo(a(13.5, 8.5), a(12, 10.5), a(8, 15));
            QPainterPath foro;
            foro.addEllipse(QRectF(a(5.8, 4.3), a(10.2, 8.7)));
            p.drawPath(goccia.subtracted(foro));
            break;
        }
    }
    p.restore();
}

QIcon icona(Simbolo simbolo, const QColor& colore) {
    return QIcon(new MotoreSimbolo(simbolo, colore));
}

}  // namespace ostrale::simboli
