// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Mappa/vista-mappa.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/Mappa/carta-mondo.h"
#include "Ostrale/Viste/Mappa/dettaglio-punto.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/simboli.h"

namespace ostrale::mappa {
namespace {

constexpr int ritardoRicalcolo = 250;  // ms: positions and live flows arrive in bursts

// A round dot of a colour, for the legend.
QLabel* pallino(const QColor& colore, QWidget* genitore) {
    QPixmap pm(QSize(10, 10) * genitore->devicePixelRatioF());
    pm.setDevicePixelRatio(genitore->devicePixelRatioF());
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(colore);
    p.drawEllipse(QRectF(0.5, 0.5, 9, 9));
    auto* l = new QLabel(genitore);
    l->setPixmap(pm);
    return l;
}

QFont piccolo(QFont f) {
    f.setPointSizeF(f.pointSizeF() * 0.85);
    return f;
}

}  // namespace

VistaMappa::VistaMappa(StatoApp& stato, QWidget* parent) : QWidget(parent), stato_(stato) {
    setObjectName(QStringLiteral("mappa"));
    carta_ = new CartaMondo(this);
    legenda_ = legenda();
    vuota_ = statoVuoto();

    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    l->addWidget(barra());
    l->addWidget(carta_, 1);

    connect(carta_, &CartaMondo::puntoScelto, this, &VistaMappa::apri);
    connect(carta_, &CartaMondo::vistaCambiata, this, &VistaMappa::disponiSopra);
    terreSpedite(carta_, [c = carta_](std::shared_ptr<const Terre> terre) {
        c->impostaTerre(std::move(terre));
    });

    rinvio_.setSingleShot(true);
    rinvio_.setInterval(ritardoRicalcolo);
    connect(&rinvio_, &QTimer::timeout, this, &VistaMappa::ricalcola);
    connect(&stato_, &StatoApp::geoConteggiCambiati, this, &VistaMappa::contatoriNuovi);
    connect(&stato_, &StatoApp::geoPosizioniCambiate, this, &VistaMappa::pianifica);
    connect(&stato_, &StatoApp::attacchiCambiati, this, &VistaMappa::pianifica);
    connect(&stato_, &StatoApp::flussiCambiati, this, &VistaMappa::pianifica);
    connect(&stato_, &StatoApp::posizioneMiaCambiata, this, &VistaMappa::pianifica);
    segnoFlussi_ = stato_.flussiInseriti();
    generazioneFlussi_ = stato_.generazioneFlussi();
}

QWidget* VistaMappa::barra() {
    auto* b = new QWidget(this);
    auto* l = new QHBoxLayout(b);
    l->setContentsMargins(14, 8, 14, 8);
    l->setSpacing(0);
    auto* titolo = new QLabel(tr("Direzione"), b);
    titolo->setEnabled(false);
    l->addWidget(titolo);
    l->addSpacing(8);
    direzioni_ = new QButtonGroup(b);
    direzioni_->setExclusive(true);
    const FiltroDirezione filtri[] = {FiltroDirezione::tutte, FiltroDirezione::uscita,
                                      FiltroDirezione::entrata};
    for (const FiltroDirezione f : filtri) {
        auto* s = new QToolButton(b);
        s->setObjectName(QStringLiteral("direzione%1").arg(static_cast<int>(f)));
        s->setText(etichetta(f));
        s->setCheckable(true);
        s->setChecked(f == filtro_);
        s->setToolButtonStyle(Qt::ToolButtonTextOnly);
        s->setAutoRaise(false);
        direzioni_->addButton(s, static_cast<int>(f));
        l->addWidget(s);
    }
    connect(direzioni_, &QButtonGroup::idClicked, this,
            [this](int id) { impostaFiltro(static_cast<FiltroDirezione>(id)); });
    l->addStretch(1);
    auto pulsante = [&](const QString& testo, const QString& tema, const QString& aiuto,
                        auto azione) {
        auto* p = new QToolButton(b);
        p->setIcon(QIcon::fromTheme(tema));
        if (p->icon().isNull()) p->setText(testo);
        p->setToolTip(aiuto);
        p->setAutoRaise(true);
        connect(p, &QToolButton::clicked, carta_, azione);
        l->addWidget(p);
        return p;
    };
    pulsante(QStringLiteral("−"), QStringLiteral("zoom-out"), tr("Allontana"), [c = carta_] {
        c->zoom(1 / 1.5);
    })->setObjectName(QStringLiteral("allontana"));
    pulsante(QStringLiteral("+"), QStringLiteral("zoom-in"), tr("Avvicina"), [c = carta_] {
        c->zoom(1.5);
    })->setObjectName(QStringLiteral("avvicina"));
    pulsante(QStringLiteral("⌂"), QStringLiteral("zoom-fit-best"), tr("Vista iniziale"),
             [c = carta_] { c->vistaIniziale(); })
        ->setObjectName(QStringLiteral("vistaIniziale"));
    return b;
}

QWidget* VistaMappa::legenda() {
    auto* riquadro = new QFrame(carta_);
    riquadro->setObjectName(QStringLiteral("legenda"));
    riquadro->setStyleSheet(QStringLiteral(
        "QFrame#legenda { background: rgba(20, 28, 36, 215); border-radius: 8px; } "
        "QFrame#legenda QLabel { color: rgba(255, 255, 255, 225); background: transparent; }"));
    riquadro->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* l = new QVBoxLayout(riquadro);
    l->setContentsMargins(10, 8, 10, 8);
    l->setSpacing(3);
    const std::pair<QColor, QString> voci[] = {{colori::verde, tr("Consentiti")},
                                               {colori::arancio, tr("Misti")},
                                               {colori::rosso, tr("Bloccati")}};
    for (const auto& [colore, testo] : voci) {
        auto* riga = new QHBoxLayout;
        riga->setSpacing(6);
        riga->addWidget(pallino(colore, riquadro));
        auto* t = new QLabel(testo, riquadro);
        t->setFont(piccolo(t->font()));
        riga->addWidget(t);
        riga->addStretch(1);
        l->addLayout(riga);
    }
    attesa_ = new QLabel(riquadro);
    attesa_->setObjectName(QStringLiteral("attesa"));
    attesa_->setFont(piccolo(attesa_->font()));
    attesa_->hide();
    l->addWidget(attesa_);
    auto* fonte = new QLabel(
        tr("Geolocalizzazione locale — database DB-IP a bordo, nessun dato esce dal computer"),
        riquadro);
    fonte->setFont(piccolo(fonte->font()));
    fonte->setWordWrap(true);
    l->addWidget(fonte);
    riquadro->setFixedWidth(250);
    return riquadro;
}

QWidget* VistaMappa::statoVuoto() {
    auto* w = new QFrame(carta_);
    w->setObjectName(QStringLiteral("vuota"));
    w->setStyleSheet(QStringLiteral(
        "QFrame#vuota { background: rgba(20, 28, 36, 225); border-radius: 12px; } "
        "QFrame#vuota QLabel { color: rgba(255, 255, 255, 230); background: transparent; }"));
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(28, 22, 28, 22);
    l->setSpacing(8);
    auto* icona = new QLabel(w);
    icona->setPixmap(
        simboli::icona(simboli::Simbolo::globo, QColor(255, 255, 255, 200)).pixmap(44, 44));
    icona->setAlignment(Qt::AlignCenter);
    auto* titolo = new QLabel(tr("Nessuna destinazione ancora"), w);
    QFont f = titolo->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.25);
    titolo->setFont(f);
    titolo->setAlignment(Qt::AlignCenter);
    auto* descrizione =
        new QLabel(tr("Con il firewall acceso, le destinazioni dei flussi compaiono "
                      "sulla mappa man mano che vengono geolocalizzate."),
                   w);
    descrizione->setWordWrap(true);
    descrizione->setAlignment(Qt::AlignCenter);
    l->addWidget(icona);
    l->addWidget(titolo);
    l->addWidget(descrizione);
    w->setFixedWidth(380);
    w->hide();
    return w;
}

void VistaMappa::impostaFiltro(FiltroDirezione filtro) {
    if (auto* b = direzioni_->button(static_cast<int>(filtro))) b->setChecked(true);
    if (filtro == filtro_) return;
    filtro_ = filtro;
    sporca_ = true;
    ricalcola();
}

void VistaMappa::contatoriNuovi() {
    // The new counters hold what was seen live until now.
    segnoFlussi_ = stato_.flussiInseriti();
    generazioneFlussi_ = stato_.generazioneFlussi();
    pianifica();
}

void VistaMappa::pianifica() {
    sporca_ = true;
    if (isVisible() && !rinvio_.isActive()) rinvio_.start();
}

MappaContatoriIP VistaMappa::flussiVivi() const {
    MappaContatoriIP vivi;
    if (stato_.generazioneFlussi() != generazioneFlussi_) return vivi;
    const auto nuovi = static_cast<std::size_t>(
        std::min<std::uint64_t>(stato_.flussiInseriti() - segnoFlussi_, stato_.flussi().size()));
    for (std::size_t i = 0; i < nuovi; ++i) {
        const EventoFlusso& e = stato_.flussi()[i];  // newest first
        if (!e.indirizzoIP || e.indirizzoIP->empty() || *e.indirizzoIP == "?") continue;
        auto [v, nuovo] = vivi.try_emplace(*e.indirizzoIP);
        if (nuovo) {
            v->second.host = e.host;
            v->second.app = e.firmaApp;
        }
        ++v->second.totale;
        v->second.bloccati += !e.consentito;
        v->second.entrata += e.direzione == DirezioneFlusso::entrata;
    }
    return vivi;
}

void VistaMappa::ricalcola() {
    rinvio_.stop();
    if (!sporca_) return;
    sporca_ = false;
    const MappaContatoriIP vivi = flussiVivi();
    carta_->impostaPunti(calcolaPunti(stato_.geoConteggi(), vivi, stato_.geoPosizioni(),
                                      stato_.attacchi(), filtro_));
    carta_->impostaPosizioneMia(stato_.posizioneMia());
    const std::int64_t aspettano = inAttesa(stato_.geoConteggi(), vivi, stato_.geoPosizioni());
    attesa_->setVisible(aspettano > 0);
    if (aspettano > 0) {
        attesa_->setText(tr("%n indirizzi in attesa di posizione…", "",
                            static_cast<int>(std::min<std::int64_t>(aspettano, INT32_MAX))));
    }
    vuota_->setVisible(stato_.geoConteggi().empty() && vivi.empty());
    disponiSopra();
}

void VistaMappa::disponiSopra() {
    legenda_->adjustSize();
    legenda_->move(12, carta_->height() - legenda_->height() - 12);
    legenda_->raise();
    vuota_->adjustSize();
    vuota_->move((carta_->width() - vuota_->width()) / 2,
                 (carta_->height() - vuota_->height()) / 2);
    vuota_->raise();
}

void VistaMappa::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    ricalcola();
}

void VistaMappa::apri(const PuntoMappa& punto) {
    if (dettaglio_) dettaglio_->close();
    dettaglio_ = new DettaglioPunto(punto, stato_, this);
    dettaglio_->show();
}

}  // namespace ostrale::mappa
