// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Interruttori/riga-interruttore.h"

#include <QCheckBox>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

#include "Ostrale/Viste/colori.h"

namespace ostrale {

RigaInterruttore::RigaInterruttore(const QString& nome, const QString& titolo,
                                   const QString& dettaglio, QWidget* parent)
    : QWidget(parent) {
    setObjectName(nome + QStringLiteral("Riga"));
    interruttore_ = new QCheckBox(titolo, this);
    interruttore_->setObjectName(nome);
    QFont medio = interruttore_->font();
    medio.setWeight(QFont::DemiBold);
    interruttore_->setFont(medio);
    connect(interruttore_, &QCheckBox::clicked, this, &RigaInterruttore::scelto);

    dettaglio_ = new QLabel(dettaglio, this);
    dettaglio_->setObjectName(nome + QStringLiteral("Dettaglio"));
    dettaglio_->setTextFormat(Qt::PlainText);
    dettaglio_->setWordWrap(true);
    QPalette p = dettaglio_->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
    dettaglio_->setPalette(p);

    nota_ = new QLabel(this);
    nota_->setObjectName(nome + QStringLiteral("Nota"));
    nota_->setTextFormat(Qt::PlainText);
    nota_->setWordWrap(true);
    nota_->setStyleSheet(QStringLiteral("color: %1").arg(colori::rosso.name()));
    nota_->hide();

    // The texts under the title start where the title does, past the box.
    const int rientro =
        style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, interruttore_) +
        style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, interruttore_);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 4, 0, 4);
    l->setSpacing(2);
    l->addWidget(interruttore_);
    for (QLabel* testo : {dettaglio_, nota_}) {
        testo->setContentsMargins(rientro, 0, 0, 0);
        l->addWidget(testo);
    }
}

void RigaInterruttore::mostra(bool acceso) {
    interruttore_->setChecked(acceso);
}

bool RigaInterruttore::acceso() const {
    return interruttore_->isChecked();
}

void RigaInterruttore::impostaDettaglio(const QString& testo) {
    dettaglio_->setText(testo);
}

QString RigaInterruttore::dettaglio() const {
    return dettaglio_->text();
}

void RigaInterruttore::dici(const QString& nota) {
    nota_->setText(nota);
    nota_->setVisible(!nota.isEmpty());
}

QString RigaInterruttore::nota() const {
    return nota_->text();
}

}  // namespace ostrale
