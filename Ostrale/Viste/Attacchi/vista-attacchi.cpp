// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Attacchi/vista-attacchi.h"

#include <QGridLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/Attacchi/badge-attacco.h"
#include "Ostrale/Viste/Attacchi/dettaglio-attacco.h"

namespace ostrale {

VistaAttacchi::VistaAttacchi(StatoApp& stato, QWidget* parent) : QWidget(parent), stato_(stato) {
    setObjectName(QStringLiteral("attacchi"));
    auto* contenuto = new QWidget(this);
    auto* c = new QVBoxLayout(contenuto);
    c->setContentsMargins(16, 14, 16, 14);
    c->setSpacing(14);
    auto* intro = new QLabel(tr("I sedici schemi d'attacco sorvegliati dalla sentinella. Il "
                                "contatore è storico; click su un badge per vedere le fonti e "
                                "decidere se permetterle o bloccarle."),
                             contenuto);
    intro->setWordWrap(true);
    intro->setEnabled(false);
    c->addWidget(intro);
    griglia_ = new QGridLayout;
    griglia_->setSpacing(16);
    for (std::size_t i = 0; i < ValoriGrezzi<TipoAttacco>::valori.size(); ++i) {
        auto* b = new BadgeAttacco(static_cast<TipoAttacco>(i), contenuto);
        connect(b, &BadgeAttacco::scelto, this, &VistaAttacchi::apriDettaglio);
        badge_.push_back(b);
    }
    c->addLayout(griglia_);
    c->addStretch(1);
    auto* scorri = new QScrollArea(this);
    scorri->setWidget(contenuto);
    scorri->setWidgetResizable(true);
    scorri->setFrameShape(QFrame::NoFrame);
    scorri->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    auto* piede = new QLabel(tr("Le sorgenti bloccate restano ferme per 10 minuti; le regole "
                                "esplicite che crei tu vincono comunque. Spegnibile dagli "
                                "Interruttori."),
                             this);
    piede->setObjectName(QStringLiteral("piedeAttacchi"));
    piede->setWordWrap(true);
    piede->setEnabled(false);
    piede->setContentsMargins(10, 10, 10, 10);
    piede->setAutoFillBackground(true);
    piede->setBackgroundRole(QPalette::AlternateBase);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(scorri, 1);
    l->addWidget(piede);

    connect(&stato_, &StatoApp::conteggioAttacchiCambiato, this,
            [this] { aggiornaConteggi(false); });
    aggiornaConteggi(true);
    disponi();
}

BadgeAttacco* VistaAttacchi::badge(TipoAttacco tipo) const {
    const auto i = static_cast<std::size_t>(tipo);
    return i < badge_.size() ? badge_[i] : nullptr;
}

void VistaAttacchi::aggiornaConteggi(bool subito) {
    for (BadgeAttacco* b : badge_) {
        const auto it = stato_.conteggioAttacchi().find(std::string(valoreGrezzo(b->tipo())));
        b->mostra(it == stato_.conteggioAttacchi().end() ? 0 : it->second, subito);
    }
}

void VistaAttacchi::disponi() {
    // As many columns of at least 300 points as the width takes.
    const int colonne = std::max(1, (width() - 32 + 16) / (300 + 16));
    if (colonne == colonne_) return;
    colonne_ = colonne;
    for (BadgeAttacco* b : badge_) griglia_->removeWidget(b);
    for (std::size_t i = 0; i < badge_.size(); ++i) {
        griglia_->addWidget(badge_[i], static_cast<int>(i) / colonne,
                            static_cast<int>(i) % colonne);
    }
}

void VistaAttacchi::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    disponi();
}

void VistaAttacchi::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    disponi();
}

void VistaAttacchi::apriDettaglio(TipoAttacco tipo) {
    if (dettaglio_) dettaglio_->close();
    dettaglio_ = new DettaglioAttacco(tipo, stato_, this);
    dettaglio_->open();
}

}  // namespace ostrale
