// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Cruscotto/cruscotto.h"

#include <QDateTime>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLocale>
#include <QPainter>
#include <QStyle>
#include <QTimeZone>
#include <QTimer>

#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/Cruscotto/visualizzazioni.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/disegni.h"
#include "Ostrale/Viste/icona-barra.h"

namespace ostrale {
namespace {

QDateTime quando(Data d) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(d.secondiUnix() * 1000));
}

void svuota(QLayout* l) {
    while (QLayoutItem* voce = l->takeAt(0)) {
        if (QWidget* w = voce->widget()) w->deleteLater();
        if (QLayout* figlio = voce->layout()) svuota(figlio);
        delete voce;
    }
}

QLabel* secondario(const QString& testo, QWidget* genitore) {
    auto* l = new QLabel(testo, genitore);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
    l->setPalette(p);
    return l;
}

// The round sign of a blocked flow.
QLabel* divieto(const QColor& colore, QWidget* genitore) {
    auto* l = new QLabel(genitore);
    l->setPixmap(disegni::divieto(colore, 16, genitore->devicePixelRatioF()));
    l->setFixedWidth(22);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

// A small shield of a colour.
QLabel* scudetto(const QColor& colore, QWidget* genitore) {
    auto* l = new QLabel(genitore);
    l->setPixmap(disegni::scudo(colore, 16, genitore->devicePixelRatioF()));
    l->setFixedWidth(22);
    l->setAlignment(Qt::AlignCenter | Qt::AlignTop);
    return l;
}

}  // namespace

Cruscotto::Cruscotto(StatoApp& stato, QWidget* parent) : QScrollArea(parent), stato_(stato) {
    setObjectName(QStringLiteral("cruscotto"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* corpo = new QWidget(this);
    corpo->setObjectName(QStringLiteral("corpoCruscotto"));
    auto* colonna = new QVBoxLayout(corpo);
    colonna->setSpacing(14);
    colonna->setContentsMargins(20, 18, 20, 18);
    colonna->addLayout(costruisciIntestazione());
    colonna->addWidget(costruisciStato());
    colonna->addLayout(costruisciContatori());
    colonna->addWidget(costruisciAttacchi());
    colonna->addWidget(costruisciBloccati());
    colonna->addWidget(costruisciQuarantena());
    colonna->addStretch(1);
    setWidget(corpo);

    collegaStato();
    aggiornaStato();
    aggiornaContatori();
    aggiornaAttacchi();
    aggiornaBloccati();
    aggiornaQuarantena();
}

QHBoxLayout* Cruscotto::costruisciIntestazione() {
    auto* testa = new QHBoxLayout;
    auto* logo = new QLabel(this);
    logo->setPixmap(disegni::scudo(colori::verde, 44, devicePixelRatioF()));
    auto* nomi = new QVBoxLayout;
    auto* versione = new QLabel(tr("Ostrale vers. %1").arg(stato_.versioneApp()), this);
    QFont grande = versione->font();
    grande.setPointSizeF(grande.pointSizeF() * 1.4);
    grande.setBold(true);
    versione->setFont(grande);
    nomi->addStretch(1);
    nomi->addWidget(versione);
    nomi->addWidget(secondario(tr("La sentinella di rete del tuo computer"), this));
    nomi->addStretch(1);
    testa->addWidget(logo);
    testa->addLayout(nomi, 1);
    testa->addWidget(costruisciImmagine());
    return testa;
}

QStackedWidget* Cruscotto::costruisciImmagine() {
    immagine_ = new QStackedWidget(this);
    immagine_->setObjectName(QStringLiteral("visualizzaFlussi"));
    immagine_->setCursor(Qt::PointingHandCursor);
    immagine_->setToolTip(tr("Clic: cambia vista"));
    particelle_ = new FlussoParticelle(stato_, stato_.orologio(), immagine_);
    radar_ = new RadarSonar(stato_, stato_.orologio(), immagine_);
    immagine_->addWidget(particelle_);
    immagine_->addWidget(radar_);
    immagine_->setFixedSize(300, 124);
    immagine_->installEventFilter(this);
    particelle_->installEventFilter(this);
    radar_->installEventFilter(this);
    mostraImmagine(stato_.preferenza(ImpostazioniApp::vistaFlussiCruscotto).toString());
    return immagine_;
}

QGroupBox* Cruscotto::costruisciStato() {
    auto* riquadroStato = new QGroupBox(this);
    auto* s = new QVBoxLayout(riquadroStato);
    interruttore_ = new QCheckBox(tr("Firewall attivo"), riquadroStato);
    interruttore_->setObjectName(QStringLiteral("firewallAttivo"));
    connect(interruttore_, &QCheckBox::clicked, this,
            [this](bool attivo) { stato_.impostaFiltro(attivo); });
    traffico_ = secondario({}, riquadroStato);
    traffico_->setObjectName(QStringLiteral("traffico"));
    auto* riga = new QHBoxLayout;
    iconaEstensione_ = new QLabel(riquadroStato);
    testoEstensione_ = new QLabel(riquadroStato);
    testoEstensione_->setObjectName(QStringLiteral("statoEstensione"));
    testoEstensione_->setWordWrap(true);
    installa_ = new QPushButton(tr("Installa estensione"), riquadroStato);
    installa_->setObjectName(QStringLiteral("installaEstensione"));
    connect(installa_, &QPushButton::clicked, this, [this] { stato_.installaEstensione(); });
    riga->addWidget(iconaEstensione_);
    riga->addWidget(testoEstensione_, 1);
    riga->addWidget(installa_);
    auto* divisore = new QFrame(riquadroStato);
    divisore->setFrameShape(QFrame::HLine);
    divisore->setFrameShadow(QFrame::Sunken);
    s->addWidget(interruttore_);
    s->addWidget(traffico_);
    s->addWidget(divisore);
    s->addLayout(riga);
    return riquadroStato;
}

QGridLayout* Cruscotto::costruisciContatori() {
    auto* contatori = new QGridLayout;
    const struct {
        const char* nome;
        QString didascalia;
        QColor colore;
    } voci[] = {{"consentiti", tr("Consentiti"), colori::verde},
                {"bloccati", tr("Bloccati"), colori::rosso},
                {"regole", tr("Regole"), colori::blu},
                {"attacchi", tr("Attacchi"), colori::arancio}};
    for (int i = 0; i < 4; ++i) {
        auto* riquadro = new QGroupBox(this);
        auto* l = new QVBoxLayout(riquadro);
        numeri_[i] = new QLabel(QStringLiteral("0"), riquadro);
        numeri_[i]->setObjectName(QStringLiteral("contatore_") + QLatin1String(voci[i].nome));
        QFont f = numeri_[i]->font();
        f.setPointSizeF(f.pointSizeF() * 2);
        f.setBold(true);
        numeri_[i]->setFont(f);
        numeri_[i]->setStyleSheet(QStringLiteral("color: %1").arg(voci[i].colore.name()));
        numeri_[i]->setAlignment(Qt::AlignCenter);
        auto* didascalia = secondario(voci[i].didascalia, riquadro);
        didascalia->setAlignment(Qt::AlignCenter);
        l->addWidget(numeri_[i]);
        l->addWidget(didascalia);
        contatori->addWidget(riquadro, 0, i);
        contatori->setColumnStretch(i, 1);
    }
    return contatori;
}

QGroupBox* Cruscotto::costruisciAttacchi() {
    attacchi_ = new QGroupBox(this);
    attacchi_->setObjectName(QStringLiteral("riquadroAttacchi"));
    auto* a = new QVBoxLayout(attacchi_);
    auto* testaAttacchi = new QHBoxLayout;
    auto* titolo = new QLabel(tr("Attacchi riconosciuti"), attacchi_);
    QFont g = titolo->font();
    g.setBold(true);
    titolo->setFont(g);
    auto* pulisci = new QPushButton(tr("Pulisci"), attacchi_);
    pulisci->setObjectName(QStringLiteral("pulisciAttacchi"));
    connect(pulisci, &QPushButton::clicked, this, [this] { stato_.pulisciAttacchi(); });
    testaAttacchi->addWidget(scudetto(colori::rosso, attacchi_));
    testaAttacchi->addWidget(titolo, 1);
    testaAttacchi->addWidget(pulisci);
    righeAttacchi_ = new QVBoxLayout;
    a->addLayout(testaAttacchi);
    a->addLayout(righeAttacchi_);
    return attacchi_;
}

QGroupBox* Cruscotto::costruisciBloccati() {
    bloccati_ = new QGroupBox(tr("Ultimi flussi bloccati"), this);
    bloccati_->setObjectName(QStringLiteral("ultimiBloccati"));
    bloccati_->setMaximumWidth(560);
    righeBloccati_ = new QVBoxLayout(bloccati_);
    return bloccati_;
}

QGroupBox* Cruscotto::costruisciQuarantena() {
    quarantena_ = new QGroupBox(tr("In quarantena"), this);
    quarantena_->setObjectName(QStringLiteral("quarantena"));
    quarantena_->setMaximumWidth(560);
    righeQuarantena_ = new QVBoxLayout(quarantena_);
    return quarantena_;
}

void Cruscotto::collegaStato() {
    connect(&stato_, &StatoApp::filtroAttivoCambiato, this, &Cruscotto::aggiornaStato);
    connect(&stato_, &StatoApp::estensioneProntaCambiata, this, &Cruscotto::aggiornaStato);
    connect(&stato_, &StatoApp::statoEstensioneCambiato, this, &Cruscotto::aggiornaStato);
    for (auto segnale : {&StatoApp::totaleConsentitiCambiato, &StatoApp::totaleBloccatiCambiato,
                         &StatoApp::regoleCambiate, &StatoApp::regoleDominioCambiate,
                         &StatoApp::attacchiCambiati}) {
        connect(&stato_, segnale, this,
                [this] { piùTardi(contatoriSporchi_, &Cruscotto::aggiornaContatori); });
    }
    connect(&stato_, &StatoApp::attacchiCambiati, this,
            [this] { piùTardi(attacchiSporchi_, &Cruscotto::aggiornaAttacchi); });
    connect(&stato_, &StatoApp::flussiCambiati, this,
            [this] { piùTardi(bloccatiSporchi_, &Cruscotto::aggiornaBloccati); });
    connect(&stato_, &StatoApp::appInQuarantenaCambiata, this, &Cruscotto::aggiornaQuarantena);
    connect(&stato_, &StatoApp::impostazioniCambiate, this, &Cruscotto::aggiornaQuarantena);
}

bool Cruscotto::eventFilter(QObject* o, QEvent* e) {
    if (e->type() == QEvent::MouseButtonRelease &&
        (o == immagine_ || o == particelle_ || o == radar_)) {
        const QString ora = stato_.preferenza(ImpostazioniApp::vistaFlussiCruscotto).toString() ==
                                    QLatin1String("radar")
                                ? QStringLiteral("particelle")
                                : QStringLiteral("radar");
        stato_.impostaPreferenza(ImpostazioniApp::vistaFlussiCruscotto, ora);
        mostraImmagine(ora);
        return true;
    }
    return QScrollArea::eventFilter(o, e);
}

void Cruscotto::mostraImmagine(const QString& vista) {
    immagine_->setCurrentWidget(vista == QLatin1String("radar") ? static_cast<QWidget*>(radar_)
                                                                : particelle_);
    if (vista == QLatin1String("radar")) {
        immagine_->setFixedSize(134, 124);
    } else {
        immagine_->setFixedSize(300, 124);
    }
}

void Cruscotto::piùTardi(bool& sporco, void (Cruscotto::*f)()) {
    if (sporco) return;
    sporco = true;
    if (!isVisible()) return;  // redone when it shows
    // Thousands of events a second: the tiles follow at most five times a second.
    QTimer::singleShot(intervalloAggiornamento, this, [this, f] { (this->*f)(); });
}

void Cruscotto::showEvent(QShowEvent* e) {
    QScrollArea::showEvent(e);
    if (contatoriSporchi_) aggiornaContatori();
    if (attacchiSporchi_) aggiornaAttacchi();
    if (bloccatiSporchi_) aggiornaBloccati();
}

void Cruscotto::aggiornaStato() {
    interruttore_->setChecked(stato_.filtroAttivo());
    traffico_->setText(stato_.filtroAttivo() ? tr("Il traffico viene filtrato")
                                             : tr("Il traffico passa senza controlli"));
    const bool pronta = stato_.estensionePronta();
    iconaEstensione_->setText(pronta ? QStringLiteral("✔") : QStringLiteral("⚠"));
    iconaEstensione_->setStyleSheet(QStringLiteral("color: %1; font-weight: bold;")
                                        .arg((pronta ? colori::verde : colori::arancio).name()));
    testoEstensione_->setText(stato_.statoEstensione());
    testoEstensione_->setStyleSheet(pronta ? QStringLiteral("color: %1").arg(colori::verde.name())
                                           : QString());
    installa_->setVisible(!pronta);
}

void Cruscotto::aggiornaContatori() {
    contatoriSporchi_ = false;
    const QLocale l;
    numeri_[0]->setText(l.toString(stato_.totaleConsentiti()));
    numeri_[1]->setText(l.toString(stato_.totaleBloccati()));
    numeri_[2]->setText(
        l.toString(static_cast<qint64>(stato_.regole().size() + stato_.regoleDominio().size())));
    numeri_[3]->setText(l.toString(static_cast<qint64>(stato_.attacchi().size())));
}

void Cruscotto::aggiornaAttacchi() {
    attacchiSporchi_ = false;
    svuota(righeAttacchi_);
    const auto& elenco = stato_.attacchi();
    attacchi_->setVisible(!elenco.empty());
    const QLocale l;
    for (std::size_t i = 0; i < std::min<std::size_t>(elenco.size(), righeAttacchi); ++i) {
        const EventoFlusso& e = elenco[i];
        auto* riga = new QWidget(attacchi_);
        riga->setObjectName(QStringLiteral("rigaAttacco"));
        auto* g = new QGridLayout(riga);
        g->setContentsMargins(0, 4, 0, 4);
        const QColor colore = e.consentito ? colori::arancio : colori::rosso;
        g->addWidget(scudetto(colore, riga), 0, 0, 3, 1, Qt::AlignTop);
        auto* titolo =
            new QLabel(e.attacco ? testi::etichettaAttacco(*e.attacco) : QString(), riga);
        QFont f = titolo->font();
        f.setBold(true);
        titolo->setFont(f);
        auto* distintivo =
            new QLabel(e.consentito ? tr("Segnalato") : tr("Sorgente bloccata"), riga);
        distintivo->setStyleSheet(
            QStringLiteral("color: %1; background: %2; border-radius: 7px; padding: 1px 7px;")
                .arg(colore.name(),
                     QColor(colore.red(), colore.green(), colore.blue(), e.consentito ? 51 : 38)
                         .name(QColor::HexArgb)));
        auto* ora = secondario(l.toString(quando(e.data), QLocale::ShortFormat), riga);
        auto* testaRiga = new QHBoxLayout;
        testaRiga->addWidget(titolo);
        testaRiga->addWidget(distintivo);
        testaRiga->addStretch(1);
        testaRiga->addWidget(ora);
        g->addLayout(testaRiga, 0, 1);
        const QString dettaglio =
            e.direzione == DirezioneFlusso::entrata
                ? tr("Dall'indirizzo %1 verso la porta %2 del computer", "attacchi")
                      .arg(QString::fromStdString(e.indirizzoIP.value_or(e.host)),
                           QString::fromStdString(e.porta))
                : tr("App %1 — ultima destinazione %2", "attacchi")
                      .arg(QString::fromStdString(e.firmaApp), QString::fromStdString(e.host));
        auto* d = new QLabel(dettaglio, riga);
        d->setWordWrap(true);
        g->addWidget(d, 1, 1);
        if (e.attacco) {
            auto* spiega = secondario(testi::spiegazioneAttacco(*e.attacco), riga);
            spiega->setWordWrap(true);
            QFont piccolo = spiega->font();
            piccolo.setPointSizeF(piccolo.pointSizeF() * 0.9);
            spiega->setFont(piccolo);
            g->addWidget(spiega, 2, 1);
        }
        g->setColumnStretch(1, 1);
        righeAttacchi_->addWidget(riga);
    }
}

void Cruscotto::aggiornaBloccati() {
    bloccatiSporchi_ = false;
    svuota(righeBloccati_);
    int n = 0;
    const QLocale l;
    for (const EventoFlusso& e : stato_.flussi()) {
        if (e.consentito) continue;
        if (++n > righeBloccati) break;
        auto* riga = new QHBoxLayout;
        riga->addWidget(divieto(colori::rosso, bloccati_));
        auto* app = new QLabel(QString::fromStdString(e.firmaApp), bloccati_);
        app->setObjectName(QStringLiteral("rigaBloccata"));
        riga->addWidget(app);
        riga->addWidget(secondario(QStringLiteral("→ ") + QString::fromStdString(e.host) +
                                       QLatin1Char(':') + QString::fromStdString(e.porta),
                                   bloccati_),
                        1);
        riga->addWidget(
            secondario(l.toString(quando(e.data).time(), QStringLiteral("HH:mm")), bloccati_));
        righeBloccati_->addLayout(riga);
    }
    if (n == 0) {
        righeBloccati_->addWidget(secondario(tr("Nessun flusso bloccato finora"), bloccati_));
    }
}

void Cruscotto::aggiornaQuarantena() {
    svuota(righeQuarantena_);
    quarantena_->setVisible(stato_.impostazioni().quarantenaAttiva);
    const auto& elenco = stato_.appInQuarantena();
    for (const std::string& firma : elenco) {
        auto* riga = new QHBoxLayout;
        riga->addWidget(scudetto(colori::arancio, quarantena_));
        auto* nome = new QLabel(QString::fromStdString(firma), quarantena_);
        nome->setObjectName(QStringLiteral("rigaQuarantena"));
        riga->addWidget(nome, 1);
        auto* promuovi = new QPushButton(tr("Promuovi"), quarantena_);
        connect(promuovi, &QPushButton::clicked, this, [this, firma] {
            stato_.aggiungiRegola(firma, AzioneRegola::consenti);
            stato_.aggiornaQuarantena();
        });
        riga->addWidget(promuovi);
        righeQuarantena_->addLayout(riga);
    }
    if (elenco.empty()) {
        righeQuarantena_->addWidget(secondario(tr("Nessuna app in quarantena"), quarantena_));
    }
}

}  // namespace ostrale
