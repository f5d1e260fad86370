// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Regole/scelta-azione.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

namespace ostrale {

SceltaAzione::SceltaAzione(QWidget* parent) : QWidget(parent) {
    consenti_ = new QToolButton(this);
    consenti_->setObjectName(QStringLiteral("consenti"));
    consenti_->setText(tr("Consenti"));
    blocca_ = new QToolButton(this);
    blocca_->setObjectName(QStringLiteral("blocca"));
    blocca_->setText(tr("Blocca"));
    auto* gruppo = new QButtonGroup(this);
    gruppo->setExclusive(true);
    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    for (QToolButton* b : {consenti_, blocca_}) {
        b->setCheckable(true);
        b->setAutoRaise(false);
        b->setMinimumWidth(76);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        gruppo->addButton(b);
        l->addWidget(b);
    }
    consenti_->setChecked(true);
    // (Its look is the rules section's style sheet: one sheet for every row.)
    connect(gruppo, &QButtonGroup::buttonClicked, this, [this](QAbstractButton* b) {
        const AzioneRegola a = b == blocca_ ? AzioneRegola::blocca : AzioneRegola::consenti;
        if (a == azione_) return;
        azione_ = a;
        emit scelta(a);
    });
}

void SceltaAzione::mostra(AzioneRegola azione) {
    azione_ = azione;
    (azione == AzioneRegola::blocca ? blocca_ : consenti_)->setChecked(true);
}

}  // namespace ostrale
