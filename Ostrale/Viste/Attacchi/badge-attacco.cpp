// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Attacchi/badge-attacco.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <cmath>

#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/colori.h"

namespace ostrale {

QString BadgeAttacco::segno(TipoAttacco tipo) {
    // In the declaration order of TipoAttacco.
    static const char16_t* const segni[] = {
        u"\u25CE",  // scansione: a target
        u"\u2692",  // forza bruta: hammer
        u"\u21F6",  // raffica: a volley of arrows
        u"\u21CC",  // tunnel DNS: there and back
        u"\u2301",  // beaconing: a signal
        u"?",       // domini sospetti
        u"\u21E2",  // scansione in uscita
        u"\u2298",  // porta malfamata: no entry
        u"\u224B",  // flood UDP: waves
        u"\u2260",  // dominio contraffatto: not what it says
        u"#",       // IP diretto: a number
        u"\u2620",  // C2 noto
        u"\u221E",  // canale persistente
        u"\u21E1",  // esfiltrazione lenta: a slow climb
        u"\u21C4",  // protocollo anomalo: swapped
        u"\u2194",  // laterale LAN
    };
    const auto i = static_cast<std::size_t>(tipo);
    return i < std::size(segni) ? QString::fromUtf16(segni[i]) : QStringLiteral("?");
}

QColor BadgeAttacco::accento(std::int64_t conteggio) {
    return conteggio > 0 ? colori::rosso : colori::verde;
}

BadgeAttacco::BadgeAttacco(TipoAttacco tipo, QWidget* parent) : QFrame(parent), tipo_(tipo) {
    setObjectName(QStringLiteral("badge_") + QLatin1String(testi::suffissoAttacco(tipo)));
    setToolTip(tr("Click: fonti di questo attacco e decisioni"));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(300, 110);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);

    icona_ = new QLabel(this);
    icona_->setFixedSize(34, 34);
    icona_->setAlignment(Qt::AlignCenter);
    QFont grande = icona_->font();
    grande.setPointSizeF(grande.pointSizeF() * 1.45);
    icona_->setFont(grande);
    auto* etichetta = new QLabel(testi::etichettaAttacco(tipo), this);
    etichetta->setObjectName(QStringLiteral("etichetta"));
    QFont titolo = etichetta->font();
    titolo.setBold(true);
    etichetta->setFont(titolo);
    etichetta->setWordWrap(true);
    auto* spiegazione = new QLabel(testi::spiegazioneAttacco(tipo), this);
    spiegazione->setObjectName(QStringLiteral("spiegazione"));
    spiegazione->setWordWrap(true);
    QFont piccolo = spiegazione->font();
    piccolo.setPointSizeF(piccolo.pointSizeF() * 0.88);
    spiegazione->setFont(piccolo);
    auto* testi = new QVBoxLayout;
    testi->setSpacing(4);
    testi->addWidget(etichetta);
    testi->addWidget(spiegazione);
    testi->addStretch(1);

    numero_ = new QLabel(QStringLiteral("0"), this);
    numero_->setObjectName(QStringLiteral("conteggio"));
    QFont cifre = numero_->font();
    cifre.setBold(true);
    cifre.setPointSizeF(cifre.pointSizeF() * 2.3);
    numero_->setFont(cifre);
    numero_->setAlignment(Qt::AlignRight | Qt::AlignTop);
    stato_ = new QLabel(this);
    stato_->setObjectName(QStringLiteral("stato"));
    QFont minuto = stato_->font();
    minuto.setPointSizeF(minuto.pointSizeF() * 0.8);
    stato_->setFont(minuto);
    stato_->setEnabled(false);
    stato_->setAlignment(Qt::AlignRight);
    auto* freccia = new QLabel(QStringLiteral("\u203A"), this);
    freccia->setEnabled(false);
    freccia->setAlignment(Qt::AlignRight);
    auto* destra = new QVBoxLayout;
    destra->setSpacing(0);
    destra->addWidget(numero_);
    destra->addWidget(stato_);
    destra->addSpacing(6);
    destra->addWidget(freccia);
    destra->addStretch(1);

    auto* riga = new QHBoxLayout(this);
    riga->setContentsMargins(16, 16, 16, 16);
    riga->setSpacing(14);
    riga->addWidget(icona_, 0, Qt::AlignTop);
    riga->addLayout(testi, 1);
    riga->addLayout(destra);

    corsa_.setDuration(450);
    corsa_.setEasingCurve(QEasingCurve::OutCubic);
    connect(&corsa_, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& v) { numero_->setText(QString::number(v.toLongLong())); });
    icona_->setText(segno(tipo));
    colora();
}

void BadgeAttacco::mostra(std::int64_t conteggio, bool subito) {
    if (conteggio == conteggio_ && corsa_.state() != QAbstractAnimation::Running) return;
    const std::int64_t prima = numero_->text().toLongLong();
    conteggio_ = conteggio;
    corsa_.stop();
    if (subito || !isVisible()) {
        numero_->setText(QString::number(conteggio));
    } else {
        // (Animations interpolate doubles, not 64-bit integers.)
        corsa_.setStartValue(static_cast<double>(prima));
        corsa_.setEndValue(static_cast<double>(conteggio));
        corsa_.start();
    }
    colora();
}

void BadgeAttacco::colora() {
    const QColor c = accento(conteggio_);
    stato_->setText(conteggio_ > 0 ? tr("subiti") : tr("nessuno"));
    QPalette p = numero_->palette();
    p.setColor(QPalette::WindowText, c);
    numero_->setPalette(p);
    icona_->setPalette(p);
    update();
}

void BadgeAttacco::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor c = accento(conteggio_);
    QColor fondo = c, bordo = c, disco = c;
    fondo.setAlphaF(0.08);
    bordo.setAlphaF(hasFocus() ? 0.8 : 0.45);
    disco.setAlphaF(0.14);
    QPainterPath forma;
    forma.addRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 14, 14);
    p.fillPath(forma, fondo);
    p.setPen(QPen(bordo, 1.5));
    p.drawPath(forma);
    p.setPen(Qt::NoPen);
    p.setBrush(disco);
    p.drawEllipse(icona_->geometry());
}

void BadgeAttacco::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint())) {
        emit scelto(tipo_);
    }
}

void BadgeAttacco::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Space) {
        emit scelto(tipo_);
        return;
    }
    QFrame::keyPressEvent(e);
}

}  // namespace ostrale
