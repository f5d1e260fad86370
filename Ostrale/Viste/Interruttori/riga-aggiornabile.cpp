// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Interruttori/riga-aggiornabile.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace ostrale {

RigaAggiornabile::RigaAggiornabile(const QString& nome, const QString& titolo, QWidget* parent)
    : QWidget(parent) {
    setObjectName(nome + QStringLiteral("Riga"));
    auto* titoloRiga = new QLabel(titolo, this);
    titoloRiga->setObjectName(nome + QStringLiteral("Titolo"));
    QFont medio = titoloRiga->font();
    medio.setWeight(QFont::DemiBold);
    titoloRiga->setFont(medio);
    stato_ = new QLabel(this);
    stato_->setObjectName(nome + QStringLiteral("Stato"));
    stato_->setTextFormat(Qt::PlainText);
    stato_->setWordWrap(true);
    QPalette grigia = stato_->palette();
    grigia.setColor(QPalette::WindowText, grigia.color(QPalette::PlaceholderText));
    stato_->setPalette(grigia);

    scarico_ = new QWidget(this);
    scarico_->setObjectName(nome + QStringLiteral("Scarico"));
    auto* s = new QHBoxLayout(scarico_);
    s->setContentsMargins(0, 0, 0, 0);
    avanzamento_ = new QProgressBar(scarico_);
    avanzamento_->setObjectName(nome + QStringLiteral("Avanzamento"));
    avanzamento_->setTextVisible(false);
    avanzamento_->setFixedSize(80, 8);
    s->addWidget(avanzamento_);
    s->addWidget(new QLabel(tr("Scarico…"), scarico_));
    scarico_->hide();
    aggiorna_ = new QPushButton(tr("Aggiorna adesso"), this);
    aggiorna_->setObjectName(nome + QStringLiteral("Aggiorna"));
    connect(aggiorna_, &QPushButton::clicked, this, &RigaAggiornabile::aggiornaRichiesto);

    esito_ = new QLabel(this);
    esito_->setObjectName(nome + QStringLiteral("Esito"));
    esito_->setTextFormat(Qt::PlainText);
    esito_->setWordWrap(true);
    esito_->hide();

    auto* testi = new QVBoxLayout;
    testi->setSpacing(2);
    testi->addWidget(titoloRiga);
    testi->addWidget(stato_);
    auto* riga = new QHBoxLayout;
    riga->addLayout(testi, 1);
    riga->addWidget(scarico_, 0, Qt::AlignVCenter);
    riga->addWidget(aggiorna_, 0, Qt::AlignVCenter);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 4, 0, 4);
    l->setSpacing(4);
    l->addLayout(riga);
    l->addWidget(esito_);
}

void RigaAggiornabile::mostra(const QString& stato, bool inCorso, int avanzamento,
                              const QString& esito, bool disponibile) {
    stato_->setText(stato);
    scarico_->setVisible(inCorso);
    aggiorna_->setVisible(!inCorso);
    aggiorna_->setEnabled(disponibile);
    // A range of 0 to 0 is the bar that moves without saying how far.
    if (avanzamento < 0) {
        avanzamento_->setRange(0, 0);
    } else {
        avanzamento_->setRange(0, 100);
        avanzamento_->setValue(avanzamento);
    }
    esito_->setText(esito);
    esito_->setVisible(!esito.isEmpty());
}

}  // namespace ostrale
