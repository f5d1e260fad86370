// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Storico/vista-storico.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "Condiviso/storico.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/Storico/calcoli-storico.h"
#include "Ostrale/Viste/Storico/grafico-barre.h"

namespace ostrale {
namespace {

// sRGB (0.42, 0.78, 0.47), (0.56, 0.14, 0.10) and (0.49, 0.34, 0.76).
constexpr QColor verdeGrafico{107, 199, 120};
constexpr QColor rossoGrafico{143, 36, 26};
constexpr QColor violaGrafico{125, 87, 194};

QLabel* secondario(const QString& testo, QWidget* genitore) {
    auto* l = new QLabel(testo, genitore);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
    l->setPalette(p);
    return l;
}

}  // namespace

VistaStorico::VistaStorico(StatoApp& stato, QWidget* parent) : QScrollArea(parent), stato_(stato) {
    setObjectName(QStringLiteral("storico"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* corpo = new QWidget(this);
    auto* colonna = new QVBoxLayout(corpo);
    colonna->setSpacing(14);
    colonna->setContentsMargins(20, 18, 20, 18);

    auto* riga = new QHBoxLayout;
    riga->setSpacing(12);
    colonna->addLayout(riga);
    totali_[0] = riquadroTotale(tr("Consentiti"), QStringLiteral("consentiti"), verdeGrafico, riga);
    totali_[1] = riquadroTotale(tr("Bloccati"), QStringLiteral("bloccati"), rossoGrafico, riga);
    totali_[2] = riquadroTotale(tr("Tracker"), QStringLiteral("tracker"), violaGrafico, riga);

    const std::vector<GraficoBarre::Serie> esiti{
        {tr("Consentiti"), verdeGrafico, &PuntoOra::consentiti},
        {tr("Bloccati"), rossoGrafico, &PuntoOra::bloccati}};
    auto riquadro = [&](const QString& titolo, const QString& nome) {
        auto* g = new QGroupBox(titolo, corpo);
        g->setObjectName(nome);
        colonna->addWidget(g);
        return new QVBoxLayout(g);
    };
    ore_ = new GraficoBarre(GraficoBarre::Scala::ore, {tr("Ora"), tr("Flussi"), tr("Esito")}, esiti,
                            180);
    ore_->setObjectName(QStringLiteral("graficoOre"));
    riquadro(tr("Ultime 24 ore"), QStringLiteral("ultime24"))->addWidget(ore_);
    tracker_ = new GraficoBarre(GraficoBarre::Scala::ore, {tr("Ora"), tr("Tracker"), {}},
                                {{tr("Tracker"), violaGrafico, &PuntoOra::tracker}}, 120);
    tracker_->setObjectName(QStringLiteral("graficoTracker"));
    riquadro(tr("Tracker nelle ultime 24 ore"), QStringLiteral("tracker24"))->addWidget(tracker_);
    giorni_ = new GraficoBarre(GraficoBarre::Scala::giorni,
                               {tr("Giorno"), tr("Flussi"), tr("Esito")}, esiti, 180);
    giorni_->setObjectName(QStringLiteral("graficoGiorni"));
    attesaGiorni_ = secondario(
        tr("Il grafico per giorno prende forma dopo un paio di giorni di utilizzo."), corpo);
    attesaGiorni_->setObjectName(QStringLiteral("attesaGiorni"));
    attesaGiorni_->setWordWrap(true);
    attesaGiorni_->setAlignment(Qt::AlignCenter);
    attesaGiorni_->setContentsMargins(0, 12, 0, 12);
    QVBoxLayout* giorni = riquadro(tr("Ultimi 30 giorni"), QStringLiteral("ultimi30"));
    giorni->addWidget(giorni_);
    giorni->addWidget(attesaGiorni_);

    auto* nota = new QLabel(tr("Lo storico è scritto dall'estensione e conserva 60 giorni di "
                               "dati aggregati per ora; conta tutti i flussi esaminati, anche col "
                               "cruscotto chiuso ma con il firewall acceso."),
                            corpo);
    nota->setObjectName(QStringLiteral("notaStorico"));
    nota->setWordWrap(true);
    nota->setEnabled(false);
    colonna->addWidget(nota);
    colonna->addStretch(1);
    setWidget(corpo);

    cambioOra_.setSingleShot(true);
    // An hour ahead: a coarse timer could fire minutes early.
    cambioOra_.setTimerType(Qt::PreciseTimer);
    connect(&cambioOra_, &QTimer::timeout, this, [this] {
        if (Storico::chiaveOra(stato_.orologio().adesso()) != oraMostrata_) aggiorna();
        programmaCambioOra();
    });
    connect(&stato_, &StatoApp::storicoOreCambiato, this, [this] {
        sporca_ = true;
        if (isVisible()) aggiorna();
    });
}

QLabel* VistaStorico::riquadroTotale(const QString& titolo, const QString& nome,
                                     const QColor& colore, QHBoxLayout* riga) {
    auto* riquadro = new QGroupBox(riga->parentWidget());
    riquadro->setObjectName(QStringLiteral("totale_") + nome);
    auto* l = new QVBoxLayout(riquadro);
    l->setSpacing(2);
    auto* valore = new QLabel(QStringLiteral("0"), riquadro);
    valore->setObjectName(QStringLiteral("valore"));
    QFont f = valore->font();
    f.setPointSizeF(f.pointSizeF() * 1.85);
    f.setBold(true);
    valore->setFont(f);
    QPalette p = valore->palette();
    p.setColor(QPalette::WindowText, colore);
    valore->setPalette(p);
    valore->setAlignment(Qt::AlignCenter);
    auto* didascalia = secondario(titolo, riquadro);
    didascalia->setObjectName(QStringLiteral("titolo"));
    QFont piccolo = didascalia->font();
    piccolo.setPointSizeF(piccolo.pointSizeF() * 0.85);
    didascalia->setFont(piccolo);
    didascalia->setAlignment(Qt::AlignCenter);
    l->addWidget(valore);
    l->addWidget(didascalia);
    riga->addWidget(riquadro, 1);
    return valore;
}

void VistaStorico::aggiorna() {
    sporca_ = false;
    ++ricalcoli_;
    const Data adesso = stato_.orologio().adesso();
    oraMostrata_ = Storico::chiaveOra(adesso);
    const StoricoOre& ore = stato_.storicoOre();
    const TotaliStorico t = CalcoliStorico::totali(ore);
    totali_[0]->setText(QString::number(t.consentiti));
    totali_[1]->setText(QString::number(t.bloccati));
    totali_[2]->setText(QString::number(t.tracker));
    std::vector<PuntoOra> ultime = CalcoliStorico::ultime24(ore, adesso);
    ore_->imposta(ultime);
    tracker_->imposta(std::move(ultime));
    std::vector<PuntoOra> giorni = CalcoliStorico::ultimi30Giorni(ore, adesso);
    const bool pochi = giorni.size() < 2;
    giorni_->imposta(std::move(giorni),
                     CalcoliStorico::giorno(adesso.piùSecondi(-CalcoliStorico::secondiGiorni)),
                     CalcoliStorico::giorno(adesso));
    giorni_->setVisible(!pochi);
    attesaGiorni_->setVisible(pochi);
}

void VistaStorico::programmaCambioOra() {
    if (!isVisible()) {
        cambioOra_.stop();
        return;
    }
    const double secondi = CalcoliStorico::secondiAlCambioOra(stato_.orologio().adesso());
    // Never sooner than a second: a clock that stands still (or a timer early by a moment)
    // cannot make it spin.
    cambioOra_.start(static_cast<int>(std::clamp(std::ceil(secondi * 1000) + 50, 1000.0, 3.7e6)));
}

void VistaStorico::showEvent(QShowEvent* e) {
    QScrollArea::showEvent(e);
    if (sporca_ || Storico::chiaveOra(stato_.orologio().adesso()) != oraMostrata_) aggiorna();
    programmaCambioOra();
}

void VistaStorico::hideEvent(QHideEvent* e) {
    QScrollArea::hideEvent(e);
    cambioOra_.stop();
}

}  // namespace ostrale
