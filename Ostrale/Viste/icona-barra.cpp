// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/icona-barra.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPen>

#include "Ostrale/Viste/colori.h"

namespace ostrale {
namespace {

constexpr QSizeF dimensione{22, 21};
const QRectF rettangoloScudo{4, 3.5, 14, 14};

// The filled shield of a colour, with a slightly darker rim, in `r`.
void scudoPieno(QPainter& p, const QRectF& r, const QColor& colore) {
    p.setPen(QPen(colore.darker(130), 0.8));
    p.setBrush(colore);
    p.drawPath(IconaBarra::scudo(r));
}

}  // namespace

QPainterPath IconaBarra::scudo(const QRectF& q) {
    // The design draws with y growing upwards: its (x, y + h) is the top edge here.
    const double x = q.x(), y = q.y(), w = q.width(), h = q.height(), r = 0.16 * w;
    auto su = [&](double yDesign) { return y + h - (yDesign - y); };  // design y → screen y
    QPainterPath p;
    p.moveTo(x + r, su(y + h));
    p.lineTo(x + w - r, su(y + h));
    p.arcTo(QRectF(x + w - 2 * r, su(y + h), 2 * r, 2 * r), 90, -90);
    p.lineTo(x + w, su(y + 0.32 * h));
    p.cubicTo(x + w, su(y + 0.12 * h), x + 0.72 * w, su(y), x + 0.5 * w, su(y));
    p.cubicTo(x + 0.28 * w, su(y), x, su(y + 0.12 * h), x, su(y + 0.32 * h));
    p.lineTo(x, su(y + h - r));
    p.arcTo(QRectF(x, su(y + h), 2 * r, 2 * r), 180, -90);
    p.closeSubpath();
    return p;
}

QImage IconaBarra::disegna(ColoreSemaforo luce, bool anello, double fase, bool richiesta,
                           qreal scala) {
    QImage immagine((dimensione * scala).toSize(), QImage::Format_ARGB32_Premultiplied);
    immagine.setDevicePixelRatio(scala);
    immagine.fill(Qt::transparent);
    QPainter p(&immagine);
    p.setRenderHint(QPainter::Antialiasing);
    if (richiesta) {
        scudoPieno(p, rettangoloScudo, colori::rosso);
        // The exclamation mark of a request.
        p.setPen(QPen(Qt::white, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 7.2), QPointF(11, 11.6));
        p.drawPoint(QPointF(11, 14.2));
        return immagine;
    }
    scudoPieno(p, rettangoloScudo, colori::semaforo(luce));
    if (anello) {
        QPen tratto(Qt::white, 1.3, Qt::CustomDashLine, Qt::RoundCap, Qt::RoundJoin);
        // Qt counts dashes in line widths; the design's are in points.
        tratto.setDashPattern({22.4 / 1.3, 33.6 / 1.3});
        tratto.setDashOffset(fase / 1.3);
        p.setPen(tratto);
        p.setBrush(Qt::NoBrush);
        p.drawPath(scudo(rettangoloScudo.adjusted(0.4, 0.4, -0.4, -0.4)));
    }
    return immagine;
}

QString IconaBarra::descrizione(ColoreSemaforo luce) {
    switch (luce) {
        case ColoreSemaforo::verde:
            return QCoreApplication::translate("ostrale::IconaBarra", "Tutto regolare", "semaforo");
        case ColoreSemaforo::arancio:
            return QCoreApplication::translate("ostrale::IconaBarra", "Flussi bloccati di recente",
                                               "semaforo");
        case ColoreSemaforo::rosso:
            return QCoreApplication::translate("ostrale::IconaBarra", "Molti flussi bloccati",
                                               "semaforo");
        case ColoreSemaforo::spento:
            break;
    }
    return QCoreApplication::translate("ostrale::IconaBarra", "Firewall spento", "semaforo");
}

}  // namespace ostrale
