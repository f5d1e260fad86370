// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Mappa/dettaglio-punto.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/simboli.h"

namespace ostrale::mappa {
namespace {

enum Colonna { server, ip, app, flussi, regola };

QLabel* cella(const QString& testo, QWidget* genitore) {
    auto* l = new QLabel(testo, genitore);
    l->setContentsMargins(6, 0, 6, 0);
    return l;
}

QString tinta(const QColor& c) {
    return QStringLiteral(
               "QPushButton { background: %1; color: white; border: 1px solid %1; "
               "border-radius: 4px; padding: 1px 8px; }")
        .arg(c.name());
}

}  // namespace

DettaglioPunto::DettaglioPunto(PuntoMappa punto, StatoApp& stato, QWidget* parent)
    : QDialog(parent), punto_(std::move(punto)), stato_(stato) {
    setObjectName(QStringLiteral("dettaglioPunto"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QString::fromStdString(punto_.etichetta));
    resize(760, 400);
    setMinimumSize(600, 260);

    auto* testa = costruisciIntestazione();
    costruisciTabella();
    costruisciEsito();

    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(16, 14, 16, 14);
    l->setSpacing(10);
    l->addLayout(testa);
    l->addWidget(tabella_, 1);
    l->addWidget(esito_);

    aggiornaTinte();
    connect(&stato_, &StatoApp::regoleDominioCambiate, this, &DettaglioPunto::aggiornaTinte);
}

QHBoxLayout* DettaglioPunto::costruisciIntestazione() {
    auto* spillo = new QLabel(this);
    spillo->setPixmap(simboli::icona(simboli::Simbolo::spillo, colori::rosso).pixmap(28, 28));
    auto* luogo = new QLabel(QString::fromStdString(punto_.etichetta), this);
    luogo->setObjectName(QStringLiteral("luogo"));
    QFont titolo = luogo->font();
    titolo.setBold(true);
    titolo.setPointSizeF(titolo.pointSizeF() * 1.1);
    luogo->setFont(titolo);
    auto* conti =
        new QLabel(tr("%1 flussi · %2 bloccati").arg(punto_.conteggio).arg(punto_.bloccati), this);
    conti->setObjectName(QStringLiteral("conti"));
    QFont piccolo = conti->font();
    piccolo.setPointSizeF(piccolo.pointSizeF() * 0.85);
    conti->setFont(piccolo);
    conti->setEnabled(false);
    auto* nomi = new QVBoxLayout;
    nomi->setSpacing(1);
    nomi->addWidget(luogo);
    nomi->addWidget(conti);
    auto* chiudi = new QPushButton(tr("Chiudi"), this);
    chiudi->setObjectName(QStringLiteral("chiudi"));
    chiudi->setDefault(true);
    connect(chiudi, &QPushButton::clicked, this, &QDialog::close);
    auto* testa = new QHBoxLayout;
    testa->addWidget(spillo);
    testa->addLayout(nomi, 1);
    testa->addWidget(chiudi, 0, Qt::AlignTop);
    return testa;
}

void DettaglioPunto::costruisciTabella() {
    tabella_ = new QTableWidget(static_cast<int>(punto_.server.size()), 5, this);
    tabella_->setObjectName(QStringLiteral("server"));
    tabella_->setHorizontalHeaderLabels(
        {tr("Server"), tr("IP"), tr("App"), tr("Flussi"), tr("Regola")});
    tabella_->verticalHeader()->hide();
    tabella_->setSelectionMode(QAbstractItemView::NoSelection);
    tabella_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabella_->setFocusPolicy(Qt::NoFocus);
    tabella_->setShowGrid(false);
    tabella_->setAlternatingRowColors(true);
    QHeaderView* intestazione = tabella_->horizontalHeader();
    intestazione->setSectionResizeMode(server, QHeaderView::Stretch);
    intestazione->setSectionResizeMode(app, QHeaderView::Stretch);
    intestazione->setSectionResizeMode(ip, QHeaderView::Fixed);
    intestazione->setSectionResizeMode(flussi, QHeaderView::Fixed);
    intestazione->setSectionResizeMode(regola, QHeaderView::Fixed);
    intestazione->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    tabella_->setColumnWidth(ip, 130);
    tabella_->setColumnWidth(flussi, 110);
    tabella_->setColumnWidth(regola, 170);
    tabella_->verticalHeader()->setDefaultSectionSize(34);

    const QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (int r = 0; r < static_cast<int>(punto_.server.size()); ++r) costruisciRiga(r, mono);
}

void DettaglioPunto::costruisciRiga(int r, const QFont& mono) {
    const ServerPunto& s = punto_.server[static_cast<std::size_t>(r)];
    auto* host = cella(QString::fromStdString(s.host), tabella_);
    if (s.host != s.id) {
        QFont medio = host->font();
        medio.setWeight(QFont::Medium);
        host->setFont(medio);
    }
    host->setToolTip(host->text());
    tabella_->setCellWidget(r, server, host);
    auto* indirizzo = cella(QString::fromStdString(s.id), tabella_);
    indirizzo->setFont(mono);
    indirizzo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tabella_->setCellWidget(r, ip, indirizzo);
    auto* applicazione = cella(QString::fromStdString(s.app), tabella_);
    applicazione->setEnabled(false);
    applicazione->setToolTip(applicazione->text());
    tabella_->setCellWidget(r, app, applicazione);
    QString conteggio = QString::number(s.conteggio);
    if (s.bloccati >= 1) {
        conteggio += QStringLiteral(" <span style=\"color:%1; font-size:small\">%2</span>")
                         .arg(colori::rosso.name(), tr("(%1 bloccati)").arg(s.bloccati));
    }
    auto* numeri = cella(conteggio, tabella_);
    numeri->setTextFormat(Qt::RichText);
    tabella_->setCellWidget(r, flussi, numeri);

    costruisciPulsanti(r, s);
}

void DettaglioPunto::costruisciPulsanti(int r, const ServerPunto& s) {
    auto* riquadro = new QWidget(tabella_);
    auto* pulsanti = new QHBoxLayout(riquadro);
    pulsanti->setContentsMargins(6, 3, 6, 3);
    pulsanti->setSpacing(4);
    auto* consenti = new QPushButton(tr("Consenti"), riquadro);
    consenti->setObjectName(QStringLiteral("consenti"));
    auto* blocca = new QPushButton(tr("Blocca"), riquadro);
    blocca->setObjectName(QStringLiteral("blocca"));
    for (QPushButton* b : {consenti, blocca}) {
        b->setFocusPolicy(Qt::NoFocus);
        pulsanti->addWidget(b);
    }
    pulsanti->addStretch();
    const QString dominio = QString::fromStdString(RegolaDominio::normalizza(s.host));
    riquadro->setToolTip(
        QCoreApplication::translate("ostrale::mappa",
                                    "La regola vale ovunque per %1, sottodomini compresi", "mappa")
            .arg(dominio));
    connect(consenti, &QPushButton::clicked, this, [this, r] {
        decidi(punto_.server[static_cast<std::size_t>(r)], AzioneRegola::consenti);
    });
    connect(blocca, &QPushButton::clicked, this, [this, r] {
        decidi(punto_.server[static_cast<std::size_t>(r)], AzioneRegola::blocca);
    });
    tabella_->setCellWidget(r, regola, riquadro);
    pulsanti_.emplace_back(consenti, blocca);
}

void DettaglioPunto::costruisciEsito() {
    esito_ = new QLabel(this);
    esito_->setObjectName(QStringLiteral("esito"));
    esito_->setWordWrap(true);
    esito_->setStyleSheet(QStringLiteral("color: ") + colori::rosso.name());
    esito_->hide();
}

QPushButton* DettaglioPunto::pulsante(int riga, AzioneRegola azione) const {
    if (riga < 0 || riga >= static_cast<int>(pulsanti_.size())) return nullptr;
    const auto& [consenti, blocca] = pulsanti_[static_cast<std::size_t>(riga)];
    return azione == AzioneRegola::consenti ? consenti : blocca;
}

void DettaglioPunto::aggiornaTinte() {
    for (std::size_t r = 0; r < pulsanti_.size(); ++r) {
        const auto regola = regolaEsistente(punto_.server[r], stato_.regoleDominio());
        auto& [consenti, blocca] = pulsanti_[r];
        const bool consentito = regola && regola->azione == AzioneRegola::consenti;
        const bool bloccato = regola && regola->azione == AzioneRegola::blocca;
        consenti->setStyleSheet(consentito ? tinta(colori::verde) : QString());
        blocca->setStyleSheet(bloccato ? tinta(colori::rosso) : QString());
        consenti->setProperty("tinto", consentito);
        blocca->setProperty("tinto", bloccato);
    }
}

void DettaglioPunto::decidi(const ServerPunto& s, AzioneRegola azione) {
    const EsitoModifica esito = stato_.aggiungiRegolaDominio(s.host, azione);
    const bool riuscita = esito == EsitoModifica::cambiata || esito == EsitoModifica::invariata;
    esito_->setVisible(!riuscita);
    if (!riuscita) esito_->setText(testi::esitoModifica(esito));
}

}  // namespace ostrale::mappa
