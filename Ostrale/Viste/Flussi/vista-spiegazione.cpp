// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Flussi/vista-spiegazione.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

#include "Condiviso/tracker.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/simboli.h"

namespace ostrale {
namespace {

constexpr int larghezza = 460;
constexpr int margine = 20;
constexpr int altezzaTestoMassima = 320;
constexpr int latoRotella = 16;

// A label for text that comes from outside (names, answers): never read as rich text.
QLabel* etichetta(const QString& testo, QWidget* genitore) {
    auto* l = new QLabel(testo, genitore);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QLabel* secondaria(const QString& testo, QWidget* genitore) {
    auto* l = etichetta(testo, genitore);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
    l->setPalette(p);
    return l;
}

// One line: shortened in the middle when it does not fit, whole in the tooltip.
void suUnaRiga(QLabel* l, const QString& testo, int spazio) {
    const QString corto = QFontMetrics(l->font()).elidedText(testo, Qt::ElideMiddle, spazio);
    l->setText(corto);
    if (corto != testo) l->setToolTip(testo);
}

}  // namespace

VistaSpiegazione::VistaSpiegazione(const EventoFlusso& flusso, StatoApp& stato, QWidget* parent)
    : QDialog(parent), flusso_(flusso), stato_(stato) {
    setObjectName(QStringLiteral("spiegazione"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Spiegazione del flusso"));
    setFixedWidth(larghezza);
    const int spazio = larghezza - 2 * margine;

    // Header: the sign, the title and "Chiudi"; the application; where the flow went.
    auto* testata = costruisciTestata();
    auto* app = costruisciApp(spazio);
    auto* destinazione = costruisciDestinazione(spazio);
    // The four bodies, one showing at a time.
    costruisciModulo();
    costruisciAttesa();
    costruisciErrore();
    costruisciTesto();

    auto* tutto = new QVBoxLayout(this);
    tutto->setContentsMargins(margine, 16, margine, margine);
    tutto->setSpacing(4);
    tutto->addLayout(testata);
    tutto->addSpacing(6);
    tutto->addWidget(app);
    tutto->addWidget(destinazione);
    tutto->addSpacing(14);
    tutto->addWidget(modulo_);
    tutto->addWidget(attesa_);
    tutto->addWidget(riquadroErrore_);
    tutto->addWidget(riquadroTesto_);
    tutto->addStretch(1);

    connect(&richiesta_, &Spiegatore::RichiestaSpiegazione::finita, this,
            &VistaSpiegazione::suEsito);
    chiediChiave_ = !haChiave();
    mostraStato();
}

QHBoxLayout* VistaSpiegazione::costruisciTestata() {
    auto* segno = new QLabel(this);
    segno->setPixmap(simboli::icona(simboli::Simbolo::scintille, colori::viola)
                         .pixmap(QSize(20, 20), devicePixelRatioF()));
    auto* titolo = new QLabel(tr("Spiegazione del flusso"), this);
    QFont grassetto = titolo->font();
    grassetto.setBold(true);
    grassetto.setPointSizeF(grassetto.pointSizeF() * 1.15);
    titolo->setFont(grassetto);
    auto* chiudi = new QPushButton(tr("Chiudi"), this);
    chiudi->setObjectName(QStringLiteral("bottoneChiudi"));
    chiudi->setAutoDefault(false);
    connect(chiudi, &QPushButton::clicked, this, &QDialog::reject);
    auto* testata = new QHBoxLayout;
    testata->setSpacing(8);
    testata->addWidget(segno);
    testata->addWidget(titolo, 1);
    testata->addWidget(chiudi);
    return testata;
}

QLabel* VistaSpiegazione::costruisciApp(int spazio) {
    auto* app = etichetta({}, this);
    app->setObjectName(QStringLiteral("app"));
    QFont medio = app->font();
    medio.setWeight(QFont::Medium);
    app->setFont(medio);
    suUnaRiga(app, QString::fromStdString(flusso_.firmaApp), spazio);
    return app;
}

QLabel* VistaSpiegazione::costruisciDestinazione(int spazio) {
    auto* destinazione = secondaria({}, this);
    destinazione->setObjectName(QStringLiteral("destinazione"));
    suUnaRiga(destinazione,
              tr("→ %1:%2 · %3 · %4")
                  .arg(QString::fromStdString(flusso_.host), QString::fromStdString(flusso_.porta),
                       QString::fromStdString(flusso_.protocollo),
                       flusso_.consentito ? tr("consentito", "esito") : tr("bloccato", "esito")),
              spazio);
    return destinazione;
}

void VistaSpiegazione::costruisciModulo() {
    modulo_ = new QWidget(this);
    auto* richiestaChiave = etichetta(
        tr("Per le spiegazioni serve una chiave API Anthropic (una volta sola)."), modulo_);
    richiestaChiave->setWordWrap(true);
    campoChiave_ = new QLineEdit(modulo_);
    campoChiave_->setObjectName(QStringLiteral("campoChiave"));
    campoChiave_->setEchoMode(QLineEdit::Password);
    campoChiave_->setPlaceholderText(QStringLiteral("sk-ant-…"));
    salva_ = new QPushButton(tr("Salva e spiega"), modulo_);
    salva_->setObjectName(QStringLiteral("bottoneSalva"));
    salva_->setDefault(true);
    salva_->setEnabled(false);
    connect(campoChiave_, &QLineEdit::textChanged, this, [this](const QString& testo) {
        salva_->setEnabled(!Spiegatore::chiavePulita(testo).isEmpty());
    });
    connect(campoChiave_, &QLineEdit::returnPressed, salva_, &QPushButton::click);
    connect(salva_, &QPushButton::clicked, this, &VistaSpiegazione::salvaChiave);
    auto* rigaSalva = new QHBoxLayout;
    rigaSalva->addStretch(1);
    rigaSalva->addWidget(salva_);
    auto* colonnaModulo = new QVBoxLayout(modulo_);
    colonnaModulo->setContentsMargins(0, 0, 0, 0);
    colonnaModulo->setSpacing(10);
    colonnaModulo->addWidget(richiestaChiave);
    colonnaModulo->addWidget(campoChiave_);
    colonnaModulo->addLayout(rigaSalva);
}

void VistaSpiegazione::costruisciAttesa() {
    attesa_ = new QWidget(this);
    attesa_->setObjectName(QStringLiteral("attesa"));
    rotella_ = new QLabel(attesa_);
    rotella_->setFixedSize(latoRotella, latoRotella);
    giro_.setInterval(40);
    connect(&giro_, &QTimer::timeout, this, [this] {
        passoRotella_ = (passoRotella_ + 1) % 24;
        disegnaRotella();
    });
    disegnaRotella();
    auto* rigaAttesa = new QHBoxLayout(attesa_);
    rigaAttesa->setContentsMargins(0, 6, 0, 6);
    rigaAttesa->setSpacing(10);
    rigaAttesa->addWidget(rotella_);
    rigaAttesa->addWidget(secondaria(tr("Chiedo a Claude…"), attesa_), 1);
}

void VistaSpiegazione::costruisciErrore() {
    riquadroErrore_ = new QWidget(this);
    auto* avviso = new QLabel(riquadroErrore_);
    avviso->setPixmap(style()
                          ->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this)
                          .pixmap(QSize(20, 20), devicePixelRatioF()));
    avviso->setAlignment(Qt::AlignTop);
    testoErrore_ = etichetta({}, riquadroErrore_);
    testoErrore_->setObjectName(QStringLiteral("testoErrore"));
    testoErrore_->setWordWrap(true);
    testoErrore_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* riprova = new QPushButton(tr("Riprova"), riquadroErrore_);
    riprova->setObjectName(QStringLiteral("bottoneRiprova"));
    riprova->setAutoDefault(false);
    connect(riprova, &QPushButton::clicked, this, &VistaSpiegazione::avvia);
    auto* rigaErrore = new QHBoxLayout;
    rigaErrore->setSpacing(10);
    rigaErrore->addWidget(avviso, 0, Qt::AlignTop);
    rigaErrore->addWidget(testoErrore_, 1);
    auto* rigaRiprova = new QHBoxLayout;
    rigaRiprova->addStretch(1);
    rigaRiprova->addWidget(riprova);
    auto* colonnaErrore = new QVBoxLayout(riquadroErrore_);
    colonnaErrore->setContentsMargins(0, 0, 0, 0);
    colonnaErrore->setSpacing(10);
    colonnaErrore->addLayout(rigaErrore);
    colonnaErrore->addLayout(rigaRiprova);
}

void VistaSpiegazione::costruisciTesto() {
    testoSpiegazione_ = etichetta({}, this);
    testoSpiegazione_->setObjectName(QStringLiteral("testoSpiegazione"));
    testoSpiegazione_->setWordWrap(true);
    testoSpiegazione_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    testoSpiegazione_->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                               Qt::TextSelectableByKeyboard);
    riquadroTesto_ = new QScrollArea(this);
    riquadroTesto_->setFrameShape(QFrame::NoFrame);
    riquadroTesto_->setWidgetResizable(true);
    riquadroTesto_->setWidget(testoSpiegazione_);
    riquadroTesto_->viewport()->setAutoFillBackground(false);
    testoSpiegazione_->setAutoFillBackground(false);
}

VistaSpiegazione::~VistaSpiegazione() = default;

void VistaSpiegazione::disegnaRotella() {
    const qreal scala = devicePixelRatioF();
    QPixmap pm(QSize(latoRotella, latoRotella) * scala);
    pm.setDevicePixelRatio(scala);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF cerchio(1.5, 1.5, latoRotella - 3, latoRotella - 3);
    QColor traccia = palette().color(QPalette::PlaceholderText);
    traccia.setAlphaF(0.3);
    p.setPen(QPen(traccia, 2));
    p.drawEllipse(cerchio);
    p.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::SolidLine, Qt::RoundCap));
    // A quarter of the circle, a fifteenth of a turn further at each step (angles in 1/16°).
    p.drawArc(cerchio, (90 - passoRotella_ * 15) * 16, -90 * 16);
    p.end();
    rotella_->setPixmap(pm);
}

bool VistaSpiegazione::haChiave() const {
    return Spiegatore::chiaveUsabile(
        Spiegatore::chiavePulita(stato_.preferenza(ImpostazioniApp::chiaveAnthropic).toString()));
}

void VistaSpiegazione::done(int risultato) {
    richiesta_.annulla();
    QDialog::done(risultato);
}

void VistaSpiegazione::showEvent(QShowEvent* evento) {
    QDialog::showEvent(evento);
    if (mostrata_) return;
    mostrata_ = true;
    if (chiediChiave_) {
        adjustSize();
        campoChiave_->setFocus();
    } else {
        avvia();
    }
}

void VistaSpiegazione::salvaChiave() {
    const QString chiave = Spiegatore::chiavePulita(campoChiave_->text());
    if (chiave.isEmpty()) return;
    chiediChiave_ = false;
    if (!Spiegatore::chiaveUsabile(chiave)) {
        // Not a key at all: kept nowhere, and told like a key the API refuses.
        suEsito(Spiegatore::Esito::fallito(Spiegatore::ErroreSpiegazione::chiaveNonValida()));
        return;
    }
    stato_.impostaPreferenza(ImpostazioniApp::chiaveAnthropic, chiave);
    avvia();
}

void VistaSpiegazione::avvia() {
    if (!haChiave()) {
        chiediChiave_ = true;
        mostraStato();
        campoChiave_->setFocus();
        return;
    }
    inCorso_ = true;
    errore_.reset();
    mostraStato();
    const bool tracker = Tracker::èTracker(flusso_.host);
    richiesta_.avvia(stato_.preferenza(ImpostazioniApp::hostAnthropic).toString(),
                     stato_.preferenza(ImpostazioniApp::chiaveAnthropic).toString(),
                     Spiegatore::prompt(flusso_, tracker));
}

void VistaSpiegazione::suEsito(const Spiegatore::Esito& esito) {
    inCorso_ = false;
    if (esito.ok()) {
        testo_ = *esito.testo;
    } else {
        if (esito.errore == Spiegatore::ErroreSpiegazione::chiaveNonValida()) {
            stato_.impostaPreferenza(ImpostazioniApp::chiaveAnthropic, QString());
            campoChiave_->clear();
        }
        errore_ = esito.descrizioneErrore();
    }
    mostraStato();
}

void VistaSpiegazione::mostraStato() {
    const bool modulo = chiediChiave_;
    const bool attesa = !modulo && inCorso_;
    const bool errore = !modulo && !attesa && errore_.has_value();
    const bool testo = !modulo && !attesa && !errore && testo_.has_value();
    modulo_->setVisible(modulo);
    attesa_->setVisible(attesa);
    riquadroErrore_->setVisible(errore);
    riquadroTesto_->setVisible(testo);
    if (attesa) {
        giro_.start();
    } else {
        giro_.stop();
    }
    if (errore) testoErrore_->setText(*errore_);
    if (testo) {
        testoSpiegazione_->setText(*testo_);
        // As tall as the text, up to a limit past which it scrolls.
        const int alto = testoSpiegazione_->heightForWidth(larghezza - 2 * margine);
        riquadroTesto_->setFixedHeight(std::min(alto, altezzaTestoMassima));
    }
    adjustSize();
}

}  // namespace ostrale
