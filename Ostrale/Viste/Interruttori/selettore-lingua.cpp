// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Interruttori/selettore-lingua.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"

namespace ostrale {
namespace {

// A globe: its outline, the equator, two parallels and a meridian.
QPixmap globo(const QColor& colore, int lato, qreal scala) {
    QPixmap immagine(QSize(lato, lato) * scala);
    immagine.setDevicePixelRatio(scala);
    immagine.fill(Qt::transparent);
    QPainter p(&immagine);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colore, lato / 14.0));
    const QRectF tondo = QRectF(0, 0, lato, lato).adjusted(1.5, 1.5, -1.5, -1.5);
    p.drawEllipse(tondo);
    p.drawEllipse(tondo.adjusted(tondo.width() * 0.28, 0, -tondo.width() * 0.28, 0));
    p.drawLine(QPointF(tondo.left(), tondo.center().y()),
               QPointF(tondo.right(), tondo.center().y()));
    for (const double y : {0.25, 0.75}) {
        const double altezza = tondo.top() + tondo.height() * y;
        const double mezza = tondo.width() * 0.433;  // half the chord at a quarter of the height
        p.drawLine(QPointF(tondo.center().x() - mezza, altezza),
                   QPointF(tondo.center().x() + mezza, altezza));
    }
    return immagine;
}

}  // namespace

SelettoreLingua::SelettoreLingua(StatoApp& stato, QWidget* parent)
    : QWidget(parent), stato_(stato) {
    setObjectName(QStringLiteral("selettoreLingua"));
    auto* icona = new QLabel(this);
    icona->setPixmap(globo(palette().color(QPalette::WindowText), 22, devicePixelRatioF()));
    icona->setAlignment(Qt::AlignTop);
    auto* titolo = new QLabel(tr("Lingua dell'interfaccia"), this);
    QFont medio = titolo->font();
    medio.setWeight(QFont::DemiBold);
    titolo->setFont(medio);
    scelta_ = new QComboBox(this);
    scelta_->setObjectName(QStringLiteral("lingua"));
    scelta_->addItem(tr("Come il sistema"), QStringLiteral("auto"));
    scelta_->addItem(QStringLiteral("Italiano"), QStringLiteral("it"));
    scelta_->addItem(QStringLiteral("English"), QStringLiteral("en"));
    const QString scelta = stato_.preferenza(ImpostazioniApp::linguaScelta).toString();
    scelta_->setCurrentIndex(std::max(0, scelta_->findData(scelta)));
    auto* sottotitolo =
        new QLabel(tr("Italiano o inglese; «Come il sistema» segue la lingua del computer"), this);
    sottotitolo->setWordWrap(true);
    QPalette grigia = sottotitolo->palette();
    grigia.setColor(QPalette::WindowText, grigia.color(QPalette::PlaceholderText));
    sottotitolo->setPalette(grigia);

    nota_ = new QWidget(this);
    nota_->setObjectName(QStringLiteral("notaLingua"));
    auto* n = new QHBoxLayout(nota_);
    n->setContentsMargins(0, 0, 0, 0);
    auto* testoNota = new QLabel(tr("La lingua cambia alla prossima apertura di Ostrale."), nota_);
    testoNota->setWordWrap(true);
    auto* riapri = new QPushButton(tr("Riapri adesso"), nota_);
    riapri->setObjectName(QStringLiteral("riapriAdesso"));
    connect(riapri, &QPushButton::clicked, this, &SelettoreLingua::riavvioRichiesto);
    n->addWidget(testoNota, 1);
    n->addWidget(riapri);
    nota_->hide();
    connect(scelta_, &QComboBox::activated, this, [this](int i) {
        stato_.impostaPreferenza(ImpostazioniApp::linguaScelta, scelta_->itemData(i));
        nota_->show();
    });

    auto* testi = new QVBoxLayout;
    testi->setSpacing(2);
    testi->addWidget(titolo);
    testi->addWidget(sottotitolo);
    auto* riga = new QHBoxLayout;
    riga->addWidget(icona);
    riga->addLayout(testi, 1);
    riga->addWidget(scelta_, 0, Qt::AlignVCenter);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 4, 0, 4);
    l->addLayout(riga);
    l->addWidget(nota_);
}

}  // namespace ostrale
