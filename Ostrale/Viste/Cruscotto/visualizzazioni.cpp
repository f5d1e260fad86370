// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Cruscotto/visualizzazioni.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

#include "Ostrale/Stato/stato-app.h"

namespace ostrale {
namespace {

constexpr double pi = std::numbers::pi;
constexpr int intervalloFotogramma = 33;  // ms: 30 frames a second

QColor conOpacità(QColor c, double a) {
    c.setAlphaF(static_cast<float>(std::clamp(a, 0.0, 1.0)));
    return c;
}

}  // namespace

VistaFlussoAnimata::VistaFlussoAnimata(StatoApp& stato, const Orologio& orologio, QWidget* parent)
    : QWidget(parent), orologio_(orologio) {
    timer_.setInterval(intervalloFotogramma);
    connect(&timer_, &QTimer::timeout, this, [this] {
        aggiornaAnimazione();
        if (timer_.isActive()) update();
    });
    connect(&stato, &StatoApp::totaleConsentitiCambiato, this, [this] { genera(false); });
    connect(&stato, &StatoApp::totaleBloccatiCambiato, this, [this] { genera(true); });
}

void VistaFlussoAnimata::aggiornaAnimazione() {
    QWidget* finestra = window();
    const bool serve = isVisible() && !(finestra && finestra->isMinimized());
    if (serve && !timer_.isActive()) timer_.start();
    if (!serve && timer_.isActive()) timer_.stop();
}

void VistaFlussoAnimata::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (QWidget* finestra = window(); finestra && finestra != this) {
        finestra->removeEventFilter(this);
        finestra->installEventFilter(this);
    }
    aggiornaAnimazione();
}

void VistaFlussoAnimata::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    timer_.stop();
}

bool VistaFlussoAnimata::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::WindowStateChange || e->type() == QEvent::Hide ||
        e->type() == QEvent::Show) {
        QMetaObject::invokeMethod(
            this, [this] { aggiornaAnimazione(); }, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(o, e);
}

// ---- the river ----

FlussoParticelle::FlussoParticelle(StatoApp& stato, const Orologio& orologio, QWidget* parent)
    : VistaFlussoAnimata(stato, orologio, parent) {
    setObjectName(QStringLiteral("flussoParticelle"));
    setMinimumSize(200, 124);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void FlussoParticelle::genera(bool bloccata) {
    const Data adesso = orologio_.adesso();
    std::erase_if(particelle_, [&](const Particella& p) {
        return (adesso.secondiDa(p.nascita) - 1) * p.velocita > 1.15;
    });
    Data& ultima = bloccata ? ultimaRossa_ : ultimaVerde_;
    if (adesso.secondiDa(ultima) <= 0.12) return;
    ultima = adesso;
    auto r = [&] { return static_cast<double>(caso_.prossimo()) / 4294967296.0; };
    const double r1 = r(), r2 = r(), r3 = r(), r4 = r();
    particelle_.push_back(
        {adesso, r1 * 0.76 + 0.12, r2 * 6 + 3, 2 * r3 * pi, r4 * 0.22 + 0.28,
         bloccata ? QColor::fromHsvF(0.01f, 0.85f, 0.95f) : QColor::fromHsvF(0.36f, 0.8f, 0.85f),
         bloccata});
    while (particelle_.size() > massimo) particelle_.pop_front();
}

void FlussoParticelle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = width(), h = height();
    const QColor primario = palette().color(QPalette::WindowText);
    // The guide lines.
    p.setPen(QPen(conOpacità(primario, 0.06), 0.5));
    for (int i = 0; i < 3; ++i) {
        const double base = h * (i + 1) * 0.25;
        QPainterPath linea;
        for (double x = 0;; x = std::min(x + 8, w)) {
            const QPointF punto(x, base + 2 * std::sin((x / w) * 4 * pi + i));
            if (x == 0) {
                linea.moveTo(punto);
            } else {
                linea.lineTo(punto);
            }
            if (x >= w) break;
        }
        p.drawPath(linea);
    }
    const Data adesso = orologio_.adesso();
    for (const Particella& q : particelle_) {
        const double t = adesso.secondiDa(q.nascita);
        if (t < 0) continue;
        auto P = [&](double s) { return s * q.velocita; };
        auto Y = [&](double s) { return h * q.y + std::sin(s * 2.2 + q.fase) * q.ampiezza; };
        auto sbiadisci = [](double prog) { return prog <= 0.85 ? 1.0 : 1 - 4 * (prog - 0.85); };
        for (int k = 0; k <= 15; ++k) {
            const double t1 = t - 0.06 * k, t2 = t - 0.06 * (k + 1);
            if (t1 < 0 || P(t1) > 1.1 || t2 < 0 || P(t2) > 1.1) continue;
            const double a = std::pow(1 - 0.0625 * k, 2) * 0.28 * sbiadisci(P(t1));
            p.setPen(QPen(conOpacità(q.colore, a), q.forte ? 2 : 1.4, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(w * P(t1), Y(t1)), QPointF(w * P(t2), Y(t2)));
        }
        const double r0 = q.forte ? 5 : 3.5;
        p.setPen(Qt::NoPen);
        for (int j = 0; j <= 4; ++j) {
            const double tj = t - 0.11 * j;
            if (tj < 0 || P(tj) > 1.1) continue;
            const double alfa = (1 - 0.16 * j) * sbiadisci(P(tj));
            const double r = r0 * (1 - 0.15 * j);
            const QPointF centro(w * P(tj), Y(tj));
            p.setBrush(conOpacità(q.colore, alfa * 0.2));
            p.drawEllipse(centro, r, r);
            p.setBrush(conOpacità(q.colore, alfa * 0.95));
            p.drawEllipse(centro, r / 2, r / 2);
        }
    }
}

// ---- the radar ----

RadarSonar::RadarSonar(StatoApp& stato, const Orologio& orologio, QWidget* parent)
    : VistaFlussoAnimata(stato, orologio, parent) {
    setObjectName(QStringLiteral("radarSonar"));
    setFixedSize(134, 124);
}

void RadarSonar::genera(bool bloccata) {
    const Data adesso = orologio_.adesso();
    std::erase_if(onde_, [&](const Onda& o) { return adesso.secondiDa(o.nascita) > durata; });
    Data& ultima = bloccata ? ultimaRossa_ : ultimaVerde_;
    if (adesso.secondiDa(ultima) <= 0.15) return;
    ultima = adesso;
    const double angolo = 2 * (static_cast<double>(caso_.prossimo()) / 2147483648.0) * pi;
    onde_.push_back(
        {adesso,
         bloccata ? QColor::fromHsvF(0.01f, 0.85f, 0.95f) : QColor::fromHsvF(0.36f, 0.85f, 0.85f),
         bloccata, angolo});
    while (onde_.size() > massimo) onde_.pop_front();
}

void RadarSonar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double w = width(), h = height(), cx = w / 2, cy = h / 2;
    const double R = std::min(w, h) / 2 - 3;
    const QColor primario = palette().color(QPalette::WindowText);
    const QColor spazzata = QColor::fromHsvF(0.55f, 0.55f, 0.75f);
    // The grid.
    p.setPen(QPen(conOpacità(primario, 0.13), 0.5));
    p.setBrush(Qt::NoBrush);
    for (const double r : {R / 3, 2 * R / 3, R}) p.drawEllipse(QPointF(cx, cy), r, r);
    p.drawLine(QPointF(cx - R, cy), QPointF(cx + R, cy));
    p.drawLine(QPointF(cx, cy - R), QPointF(cx, cy + R));
    // The sweep: one turn every 4 s.
    const Data adesso = orologio_.adesso();
    const double a = 2 * pi * std::fmod(adesso.secondiDalRiferimento(), 4.0) / 4;
    QPainterPath settore;
    settore.moveTo(cx, cy);
    const QRectF cerchio(cx - R, cy - R, 2 * R, 2 * R);
    // Qt's angles go counter-clockwise in degrees; the design's clockwise (y down) in radians.
    settore.arcTo(cerchio, -(a - 0.75) * 180 / pi, -0.75 * 180 / pi);
    settore.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(conOpacità(spazzata, 0.12));
    p.drawPath(settore);
    p.setPen(QPen(conOpacità(spazzata, 0.55), 1));
    p.drawLine(QPointF(cx, cy), QPointF(cx + R * std::cos(a), cy + R * std::sin(a)));
    // The waves.
    for (const Onda& o : onde_) {
        const double t = adesso.secondiDa(o.nascita);
        if (t < 0 || t > durata) continue;
        const double f = t / durata, r = R * f;
        const QColor c = conOpacità(o.colore, (1 - f) * 0.9);
        p.setPen(QPen(c, o.forte ? 2 : 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(cx, cy), r, r);
        const double d = o.forte ? 4 : 3;
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(QPointF(cx + r * std::cos(o.angolo), cy + r * std::sin(o.angolo)), d / 2,
                      d / 2);
    }
    // The centre.
    p.setBrush(QColor(0x00, 0x7A, 0xFF));
    p.setPen(QPen(QColor(255, 255, 255, 230), 1));
    p.drawEllipse(QPointF(cx, cy), 3.5, 3.5);
}

}  // namespace ostrale
