// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/finestra-domanda.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "Ostrale/Stato/testi.h"

namespace ostrale {

namespace {

// The longest a host may be drawn in the scope's menu; the whole name is its tooltip.
constexpr int larghezzaHost = 200;
// The window's narrowest and widest, its margins and the room between the icon and the text.
constexpr int larghezzaMinima = 460, larghezzaMassima = 560, margine = 20, spazioIcona = 16;

}  // namespace

FinestraDomanda::FinestraDomanda(Tipo tipo, const EventoFlusso& evento,
                                 const RispostaDecisione& proposta, QWidget* parent)
    : QDialog(parent), tipo_(tipo) {
    const bool sospesa = tipo == Tipo::sospesa;
    setObjectName(sospesa ? QStringLiteral("domandaSospesa") : QStringLiteral("domandaBlocco"));
    setWindowTitle(QStringLiteral("Ostrale"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowFlag(Qt::WindowCloseButtonHint, false);
    setModal(false);
    auto* icona = costruisciIcona(sospesa);
    auto* testo = costruisciTesto(sospesa, evento, proposta);
    auto* riga = new QHBoxLayout;
    riga->setSpacing(spazioIcona);
    riga->addWidget(icona, 0, Qt::AlignTop);
    riga->addLayout(testo, 1);
    auto* bottoni = costruisciBottoni(sospesa);

    auto* tutto = new QVBoxLayout(this);
    tutto->setContentsMargins(margine, margine, margine, 16);
    tutto->setSpacing(18);
    tutto->addLayout(riga);
    tutto->addLayout(bottoni);
    setMinimumWidth(larghezzaMinima);
    setMaximumWidth(larghezzaMassima);
}

QSize FinestraDomanda::sizeHint() const {
    const int larghezza = std::clamp(QDialog::sizeHint().width(), minimumWidth(), maximumWidth());
    return {larghezza, layout()->totalHeightForWidth(larghezza)};
}

QLabel* FinestraDomanda::costruisciIcona(bool sospesa) {
    auto* icona = new QLabel(this);
    const int lato = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icona->setPixmap(
        style()
            ->standardIcon(sospesa ? QStyle::SP_MessageBoxCritical : QStyle::SP_MessageBoxWarning,
                           nullptr, this)
            .pixmap(lato, lato));
    icona->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    return icona;
}

QVBoxLayout* FinestraDomanda::costruisciTesto(bool sospesa, const EventoFlusso& evento,
                                              const RispostaDecisione& proposta) {
    auto* titolo = new QLabel(
        sospesa ? tr("Connessione sospesa: decidi tu") : tr("Accesso bloccato per sicurezza"),
        this);
    titolo->setObjectName(QStringLiteral("titolo"));
    QFont grassetto = titolo->font();
    grassetto.setBold(true);
    grassetto.setPointSizeF(grassetto.pointSizeF() * 1.15);
    titolo->setFont(grassetto);
    titolo->setWordWrap(true);

    auto* corpo = new QLabel(
        sospesa ? testi::corpoAvvisoSospeso(evento) : testi::corpoAvvisoBlocco(evento), this);
    corpo->setObjectName(QStringLiteral("corpo"));
    corpo->setWordWrap(true);
    corpo->setTextFormat(Qt::PlainText);
    corpo->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* testo = new QVBoxLayout;
    testo->setSpacing(10);
    testo->addWidget(titolo);
    testo->addWidget(corpo);
    if (sospesa) {
        costruisciTempo();
        testo->addLayout(costruisciScelte(evento, proposta));
        testo->addWidget(tempo_);
    }
    testo->addStretch(1);
    return testo;
}

void FinestraDomanda::costruisciTempo() {
    tempo_ = new QLabel(this);
    tempo_->setObjectName(QStringLiteral("tempo"));
    tempo_->setWordWrap(true);
    tempo_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Room from the start for the longer text that comes when the time is up, as many lines as
    // it takes in the text's narrowest column: the window never grows or cuts it.
    const int icona = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    const int colonna = larghezzaMinima - 2 * margine - icona - spazioIcona;
    tempo_->setMinimumHeight(
        tempo_->fontMetrics()
            .boundingRect(QRect(0, 0, colonna, 0), Qt::TextWordWrap, testoTempoScaduto())
            .height() +
        2);
    QPalette p = tempo_->palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::PlaceholderText));
    tempo_->setPalette(p);
}

QFormLayout* FinestraDomanda::costruisciScelte(const EventoFlusso& evento,
                                               const RispostaDecisione& proposta) {
    costruisciDurata(proposta);
    costruisciAmbito(evento, proposta);
    // One width for both menus: their edges line up.
    const int larghezza = std::max(durata_->sizeHint().width(), ambito_->sizeHint().width());
    durata_->setMinimumWidth(larghezza);
    ambito_->setMinimumWidth(larghezza);
    auto* scelte = new QFormLayout;
    scelte->setContentsMargins(0, 4, 0, 0);
    scelte->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    scelte->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    scelte->addRow(tr("Per quanto:"), durata_);
    scelte->addRow(tr("Per cosa:"), ambito_);
    return scelte;
}

void FinestraDomanda::costruisciDurata(const RispostaDecisione& proposta) {
    durata_ = new QComboBox(this);
    durata_->setObjectName(QStringLiteral("durata"));
    for (const DurataRisposta d : tuttiICasi<DurataRisposta>()) {
        durata_->addItem(testi::etichettaDurata(d), static_cast<int>(d));
    }
    durata_->setCurrentIndex(durata_->findData(static_cast<int>(proposta.durata)));
    durata_->setItemData(durata_->findData(static_cast<int>(DurataRisposta::unaVolta)),
                         tr("Solo le connessioni in attesa: nessuna regola, la prossima "
                            "connessione dell'app chiede di nuovo"),
                         Qt::ToolTipRole);
    durata_->setItemData(durata_->findData(static_cast<int>(DurataRisposta::finoAlRiavvio)),
                         tr("Finché il computer non si riavvia"), Qt::ToolTipRole);
}

void FinestraDomanda::costruisciAmbito(const EventoFlusso& evento,
                                       const RispostaDecisione& proposta) {
    ambito_ = new QComboBox(this);
    ambito_->setObjectName(QStringLiteral("ambito"));
    const QString host = QString::fromStdString(destinazioneDomanda(evento).value_or(""));
    // A long host is cut in the middle: both of its ends say which it is.
    const QString breve = ambito_->fontMetrics().elidedText(host, Qt::ElideMiddle, larghezzaHost);
    const std::int64_t porta = portaDomanda(evento).value_or(0);
    for (const AmbitoRisposta a : tuttiICasi<AmbitoRisposta>()) {
        if (ambitoPossibile(a, evento) != a) continue;
        ambito_->addItem(testi::etichettaAmbito(a, breve, porta), static_cast<int>(a));
        if (a != AmbitoRisposta::app) {
            ambito_->setItemData(ambito_->count() - 1, tr("Anche i sottodomini di %1").arg(host),
                                 Qt::ToolTipRole);
        }
    }
    ambito_->setCurrentIndex(
        ambito_->findData(static_cast<int>(ambitoPossibile(proposta.ambito, evento))));
}

// The cautious answer first, as the question lists them; neither is the default.
QHBoxLayout* FinestraDomanda::costruisciBottoni(bool sospesa) {
    auto* blocca = new QPushButton(sospesa ? tr("Blocca") : tr("Continua a bloccare"), this);
    auto* consenti = new QPushButton(sospesa ? tr("Consenti") : tr("Consenti l'app"), this);
    auto* bottoni = new QHBoxLayout;
    bottoni->addStretch(1);
    bottoni->addWidget(blocca);
    bottoni->addWidget(consenti);
    blocca->setObjectName(QStringLiteral("bottoneBlocca"));
    consenti->setObjectName(QStringLiteral("bottoneConsenti"));
    // Neither answer is taken by a stray Enter.
    blocca->setAutoDefault(false);
    consenti->setAutoDefault(false);
    connect(blocca, &QPushButton::clicked, this, [this] { rispondi(false); });
    connect(consenti, &QPushButton::clicked, this, [this] { rispondi(true); });
    return bottoni;
}

DurataRisposta FinestraDomanda::durata() const {
    return durata_ ? static_cast<DurataRisposta>(durata_->currentData().toInt())
                   : DurataRisposta::perSempre;
}

AmbitoRisposta FinestraDomanda::ambito() const {
    return ambito_ ? static_cast<AmbitoRisposta>(ambito_->currentData().toInt())
                   : AmbitoRisposta::app;
}

void FinestraDomanda::mostraTempo(double secondiRimasti) {
    if (!tempo_) return;
    const int secondi = static_cast<int>(std::ceil(secondiRimasti));
    if (secondi > 0) {
        tempo_->setText(tr("Restano %n secondi per decidere.", "", secondi));
    } else {
        tempo_->setText(testoTempoScaduto());
    }
}

QString FinestraDomanda::testoTempoScaduto() {
    return tr(
        "Tempo scaduto: l'estensione ha già deciso da sola per queste "
        "connessioni. La risposta crea comunque la regola scelta.");
}

void FinestraDomanda::closeEvent(QCloseEvent* evento) {
    if (!risposto_) evento->ignore();
}

void FinestraDomanda::rispondi(bool consenti) {
    if (risposto_) return;
    risposto_ = true;
    emit risposta(consenti);
    close();
}

}  // namespace ostrale
