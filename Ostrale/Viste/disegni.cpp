// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/disegni.h"

#include <QPainter>
#include <functional>

#include "Ostrale/Viste/icona-barra.h"

namespace ostrale::disegni {
namespace {

QPixmap disegna(int lato, qreal scala, const std::function<void(QPainter&)>& f) {
    QPixmap p(QSize(lato, lato) * scala);
    p.setDevicePixelRatio(scala);
    p.fill(Qt::transparent);
    QPainter q(&p);
    q.setRenderHint(QPainter::Antialiasing);
    q.setPen(Qt::NoPen);
    f(q);
    return p;
}

}  // namespace

QPixmap disco(const QColor& colore, int lato, qreal scala) {
    return disegna(lato, scala, [&](QPainter& q) {
        q.setBrush(colore);
        q.drawEllipse(QRectF(0.5, 0.5, lato - 1, lato - 1));
    });
}

QPixmap scudo(const QColor& colore, int lato, qreal scala) {
    return disegna(lato, scala, [&](QPainter& q) {
        q.setBrush(colore);
        q.drawPath(IconaBarra::scudo(QRectF(1, 1, lato - 2, lato - 2)));
    });
}

QPixmap divieto(const QColor& colore, int lato, qreal scala) {
    return disegna(lato, scala, [&](QPainter& q) {
        q.setBrush(colore);
        q.drawEllipse(QRectF(1, 1, lato - 2, lato - 2));
        q.setBrush(Qt::white);
        q.drawRoundedRect(QRectF(lato * 0.25, lato * 0.44, lato * 0.5, lato * 0.14), 1, 1);
    });
}

}  // namespace ostrale::disegni
