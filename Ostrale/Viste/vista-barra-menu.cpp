// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/vista-barra-menu.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/disegni.h"
#include "Ostrale/Viste/icona-barra.h"

namespace ostrale {
namespace {

QFrame* linea(QWidget* genitore) {
    auto* l = new QFrame(genitore);
    l->setFrameShape(QFrame::HLine);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

}  // namespace

VistaBarraMenu::VistaBarraMenu(StatoApp& stato, QWidget* parent) : QWidget(parent), stato_(stato) {
    setObjectName(QStringLiteral("barraMenu"));
    auto* testa = costruisciIntestazione();
    auto* contatori = costruisciContatori();
    costruisciElenco();
    auto* bottoni = costruisciBottoni();

    auto* tutto = new QVBoxLayout(this);
    tutto->setContentsMargins(14, 12, 14, 12);
    tutto->setSpacing(8);
    tutto->addLayout(testa);
    tutto->addLayout(contatori);
    tutto->addWidget(linea(this));
    tutto->addWidget(flussi_);
    tutto->addWidget(vuoto_);
    tutto->addWidget(linea(this));
    tutto->addLayout(bottoni);
    setMinimumWidth(320);

    collegaStato();
    aggiornaLuce();
    aggiornaFlussi();
}

QHBoxLayout* VistaBarraMenu::costruisciIntestazione() {
    pallino_ = new QLabel(this);
    descrizione_ = new QLabel(this);
    descrizione_->setObjectName(QStringLiteral("descrizioneLuce"));
    QFont grassetto = descrizione_->font();
    grassetto.setBold(true);
    descrizione_->setFont(grassetto);
    interruttore_ = new QCheckBox(tr("Filtro"), this);
    interruttore_->setObjectName(QStringLiteral("interruttoreFiltro"));
    connect(interruttore_, &QCheckBox::clicked, this,
            [this](bool attivo) { stato_.impostaFiltro(attivo); });

    auto* testa = new QHBoxLayout;
    testa->addWidget(pallino_);
    testa->addWidget(descrizione_, 1);
    testa->addWidget(interruttore_);
    return testa;
}

QHBoxLayout* VistaBarraMenu::costruisciContatori() {
    consentiti_ = new QLabel(this);
    consentiti_->setObjectName(QStringLiteral("totaleConsentiti"));
    bloccati_ = new QLabel(this);
    bloccati_->setObjectName(QStringLiteral("totaleBloccati"));
    auto* contatori = new QHBoxLayout;
    contatori->addWidget(consentiti_);
    contatori->addSpacing(16);
    contatori->addWidget(bloccati_);
    contatori->addStretch(1);
    return contatori;
}

void VistaBarraMenu::costruisciElenco() {
    flussi_ = new QListWidget(this);
    flussi_->setObjectName(QStringLiteral("ultimiFlussi"));
    flussi_->setFrameShape(QFrame::NoFrame);
    flussi_->setSelectionMode(QAbstractItemView::NoSelection);
    flussi_->setFocusPolicy(Qt::NoFocus);
    flussi_->setUniformItemSizes(true);
    flussi_->setTextElideMode(Qt::ElideRight);
    flussi_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    flussi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    flussi_->setStyleSheet(QStringLiteral("QListWidget { background: transparent; }"));
    vuoto_ = new QLabel(tr("Nessun flusso registrato"), this);
    vuoto_->setObjectName(QStringLiteral("nessunFlusso"));
    vuoto_->setEnabled(false);
}

QHBoxLayout* VistaBarraMenu::costruisciBottoni() {
    auto* apri = new QPushButton(tr("Apri Ostrale"), this);
    apri->setObjectName(QStringLiteral("apriOstrale"));
    auto* esci = new QPushButton(tr("Esci"), this);
    esci->setObjectName(QStringLiteral("esci"));
    connect(apri, &QPushButton::clicked, this, &VistaBarraMenu::apriRichiesto);
    connect(esci, &QPushButton::clicked, this, &VistaBarraMenu::esciRichiesto);
    auto* bottoni = new QHBoxLayout;
    bottoni->addWidget(apri);
    bottoni->addStretch(1);
    bottoni->addWidget(esci);
    return bottoni;
}

void VistaBarraMenu::collegaStato() {
    // Every flow changes a total: redrawn at most once per turn, and only while shown.
    for (auto segnale : {&StatoApp::coloreBarraCambiato, &StatoApp::filtroAttivoCambiato,
                         &StatoApp::totaleConsentitiCambiato, &StatoApp::totaleBloccatiCambiato}) {
        connect(&stato_, segnale, this, [this] {
            if (luceDaRifare_) return;
            luceDaRifare_ = true;
            if (isVisible()) {
                QMetaObject::invokeMethod(
                    this, [this] { aggiornaLuce(); }, Qt::QueuedConnection);
            }
        });
    }
    // Thousands of events a second: the list is redone at most once per turn of the loop, and
    // only while the popup shows.
    connect(&stato_, &StatoApp::flussiCambiati, this, [this] {
        if (flussiDaRifare_) return;
        flussiDaRifare_ = true;
        if (isVisible())
            QMetaObject::invokeMethod(
                this, [this] { aggiornaFlussi(); }, Qt::QueuedConnection);
    });
}

void VistaBarraMenu::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (luceDaRifare_) aggiornaLuce();
    aggiornaFlussi();
}

void VistaBarraMenu::aggiornaLuce() {
    luceDaRifare_ = false;
    pallino_->setPixmap(
        disegni::disco(colori::semaforo(stato_.coloreBarra()), 12, devicePixelRatioF()));
    descrizione_->setText(IconaBarra::descrizione(stato_.coloreBarra()));
    interruttore_->setChecked(stato_.filtroAttivo());
    consentiti_->setText(QStringLiteral("<span style='color:%1'>✔</span> %2")
                             .arg(colori::verde.name())
                             .arg(QLocale().toString(stato_.totaleConsentiti())));
    bloccati_->setText(QStringLiteral("<span style='color:%1'>✖</span> %2")
                           .arg(colori::rosso.name())
                           .arg(QLocale().toString(stato_.totaleBloccati())));
}

void VistaBarraMenu::aggiornaFlussi() {
    if (!flussiDaRifare_) return;
    flussiDaRifare_ = false;
    flussi_->clear();
    const auto& tutti = stato_.flussi();
    const std::size_t n = std::min<std::size_t>(tutti.size(), righeFlussi);
    const qreal scala = devicePixelRatioF();
    for (std::size_t i = 0; i < n; ++i) {
        const EventoFlusso& e = tutti[i];
        auto* voce = new QListWidgetItem(
            QIcon(disegni::disco(e.consentito ? colori::verde : colori::rosso, 8, scala)),
            QString::fromStdString(e.host.empty() ? e.indirizzoIP.value_or("?") : e.host), flussi_);
        voce->setToolTip(QString::fromStdString(e.firmaApp));
    }
    flussi_->setVisible(n > 0);
    vuoto_->setVisible(n == 0);
    const int riga = flussi_->sizeHintForRow(0) > 0 ? flussi_->sizeHintForRow(0) : 18;
    flussi_->setFixedHeight(static_cast<int>(n) * riga + 2);
}

}  // namespace ostrale
