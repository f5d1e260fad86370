// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Regole/riga-regola.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <vector>

#include "Ostrale/Viste/Regole/scelta-azione.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/simboli.h"

namespace ostrale {

QString RigaRegola::etichettaOra(std::int64_t minuto) {
    return QString::asprintf("%02d:%02d", static_cast<int>(minuto / 60),
                             static_cast<int>(minuto % 60));
}

void RigaRegola::riempiOre(QComboBox& menu, std::int64_t attuale) {
    const QSignalBlocker zitto(&menu);
    menu.clear();
    std::vector<std::int64_t> minuti;
    for (int i = 0; i < 48; ++i) minuti.push_back(i * 30);
    // A stored time off the half hours is shown as it is, where it belongs, and kept until the
    // user picks another.
    if (std::find(minuti.begin(), minuti.end(), attuale) == minuti.end()) {
        minuti.insert(std::lower_bound(minuti.begin(), minuti.end(), attuale), attuale);
    }
    for (const std::int64_t m : minuti) {
        menu.addItem(etichettaOra(m), QVariant::fromValue<qint64>(m));
    }
    menu.setCurrentIndex(menu.findData(QVariant::fromValue<qint64>(attuale)));
}

QString RigaRegola::testoDurata(const Durata& durata, Data adesso) {
    if (durata.scadenza) {
        const double secondi = durata.scadenza->secondiDa(adesso);
        if (!(secondi > 0)) return tr("in scadenza");
        const int minuti = static_cast<int>(std::ceil(secondi / 60));
        if (minuti < 60) return tr("ancora %n min", nullptr, minuti);
        const int ore = static_cast<int>(std::lround(secondi / 3600));
        if (ore < 48) return tr("ancora %n h", nullptr, ore);
        return tr("ancora %n giorni", nullptr, static_cast<int>(std::lround(secondi / 86400)));
    }
    if (durata.avvio) return tr("fino al riavvio");
    return {};
}

RigaRegola::RigaRegola(const Regola& regola, QWidget* parent) : QWidget(parent), id_(regola.id) {
    costruisci(false);
    mostra(regola);
}

RigaRegola::RigaRegola(const RegolaDominio& regola, QWidget* parent)
    : QWidget(parent), id_(regola.id) {
    costruisci(true);
    mostra(regola);
}

void RigaRegola::costruisci(bool dominio) {
    dominio_ = dominio;
    setObjectName(QStringLiteral("rigaRegola"));
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_StyledBackground);
    interruttore_ = new QCheckBox(this);
    interruttore_->setObjectName(QStringLiteral("attiva"));
    interruttore_->setToolTip(tr("Accesa: la regola vale. Spenta: resta nell'elenco ma non vale."));
    connect(interruttore_, &QCheckBox::toggled, this, &RigaRegola::attivaCambiata);

    corpo_ = new QWidget(this);
    auto* prima = costruisciPrimaRiga(dominio);
    auto* colonna = new QVBoxLayout(corpo_);
    colonna->setContentsMargins(0, 0, 0, 0);
    colonna->setSpacing(4);
    colonna->addLayout(prima);
    if (!dominio) colonna->addWidget(costruisciFascia());
    colonna->addWidget(costruisciDurata());
    costruisciElimina();

    auto* l = new QHBoxLayout(this);
    l->setContentsMargins(8, 6, 4, 6);
    l->addWidget(interruttore_, 0, Qt::AlignTop);
    l->addWidget(corpo_, 1);
    l->addWidget(elimina_, 0, Qt::AlignTop);
}

QVBoxLayout* RigaRegola::costruisciNome() {
    nome_ = new QLabel(corpo_);
    nome_->setObjectName(QStringLiteral("nome"));
    nome_->setTextFormat(Qt::PlainText);
    QFont medio = nome_->font();
    medio.setWeight(QFont::DemiBold);
    nome_->setFont(medio);
    dettaglio_ = new QLabel(corpo_);
    dettaglio_->setObjectName(QStringLiteral("dettaglio"));
    dettaglio_->setTextFormat(Qt::PlainText);
    dettaglio_->setEnabled(false);
    dettaglio_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QLabel* etichetta : {nome_, dettaglio_}) {
        etichetta->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        etichetta->setMinimumWidth(80);
    }
    auto* testi = new QVBoxLayout;
    testi->setSpacing(1);
    testi->addWidget(nome_);
    testi->addWidget(dettaglio_);
    return testi;
}

QHBoxLayout* RigaRegola::costruisciPrimaRiga(bool dominio) {
    auto* testi = costruisciNome();
    azione_ = new SceltaAzione(corpo_);
    azione_->setObjectName(QStringLiteral("azione"));
    connect(azione_, &SceltaAzione::scelta, this, &RigaRegola::azioneCambiata);

    auto* prima = new QHBoxLayout;
    prima->setContentsMargins(0, 0, 0, 0);
    prima->addLayout(testi, 1);
    if (!dominio) {
        aOrario_ = new QCheckBox(tr("A orario"), corpo_);
        aOrario_->setObjectName(QStringLiteral("aOrario"));
        connect(aOrario_, &QCheckBox::toggled, this, [this](bool acceso) {
            // A window that did not exist starts as a working day's: never an empty one.
            if (acceso) {
                emit fasciaCambiata(FasciaOraria{inizioPredefinito, finePredefinita});
            } else {
                emit fasciaCambiata(std::nullopt);
            }
        });
        prima->addWidget(aOrario_);
    }
    prima->addWidget(azione_);
    return prima;
}

QWidget* RigaRegola::costruisciFascia() {
    rigaFascia_ = new QWidget(corpo_);
    rigaFascia_->setObjectName(QStringLiteral("rigaFascia"));
    auto* f = new QHBoxLayout(rigaFascia_);
    f->setContentsMargins(0, 0, 0, 0);
    auto* orologio = new QLabel(rigaFascia_);
    orologio->setPixmap(
        simboli::icona(simboli::Simbolo::orologio, palette().color(QPalette::Text)).pixmap(14, 14));
    inizio_ = new QComboBox(rigaFascia_);
    inizio_->setObjectName(QStringLiteral("inizio"));
    fine_ = new QComboBox(rigaFascia_);
    fine_->setObjectName(QStringLiteral("fine"));
    for (QComboBox* menu : {inizio_, fine_}) {
        menu->setMaxVisibleItems(12);
        connect(menu, &QComboBox::activated, this, &RigaRegola::suOraScelta);
    }
    auto* nota = new QLabel(tr("(fuori orario vale la politica predefinita)"), rigaFascia_);
    nota->setEnabled(false);
    nota->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    f->addWidget(orologio);
    f->addWidget(new QLabel(tr("Vale dal"), rigaFascia_));
    f->addWidget(inizio_);
    f->addWidget(new QLabel(tr("alle"), rigaFascia_));
    f->addWidget(fine_);
    f->addWidget(nota, 1);
    return rigaFascia_;
}

QWidget* RigaRegola::costruisciDurata() {
    rigaDurata_ = new QWidget(corpo_);
    rigaDurata_->setObjectName(QStringLiteral("rigaDurata"));
    auto* d = new QHBoxLayout(rigaDurata_);
    d->setContentsMargins(0, 0, 0, 0);
    auto* simbolo = new QLabel(rigaDurata_);
    simbolo->setPixmap(
        simboli::icona(simboli::Simbolo::orologio, palette().color(QPalette::Text)).pixmap(14, 14));
    tempo_ = new QLabel(rigaDurata_);
    tempo_->setObjectName(QStringLiteral("tempoRimasto"));
    tempo_->setToolTip(tr("Poi la regola sparisce da sola"));
    permanente_ = new QPushButton(tr("Rendi permanente"), rigaDurata_);
    permanente_->setObjectName(QStringLiteral("rendiPermanente"));
    permanente_->setToolTip(tr("La regola resta finché non la togli"));
    connect(permanente_, &QPushButton::clicked, this, &RigaRegola::rendiPermanenteRichiesta);
    d->addWidget(simbolo);
    d->addWidget(tempo_);
    d->addWidget(permanente_);
    d->addStretch(1);
    return rigaDurata_;
}

void RigaRegola::costruisciElimina() {
    elimina_ = new QToolButton(this);
    elimina_->setObjectName(QStringLiteral("elimina"));
    elimina_->setAutoRaise(true);
    elimina_->setText(QStringLiteral("✕"));
    elimina_->setToolTip(tr("Elimina la regola"));
    connect(elimina_, &QToolButton::clicked, this, &RigaRegola::eliminaRichiesta);
}

void RigaRegola::mostraComune(bool attiva, AzioneRegola azione, const Durata& durata) {
    durata_ = durata;
    rigaDurata_->setVisible(!durata.perSempre());
    {
        const QSignalBlocker zitto(interruttore_);
        interruttore_->setChecked(attiva);
    }
    azione_->mostra(azione);
    // An inactive rule is drawn faded, its switch aside.
    if (attiva) {
        corpo_->setGraphicsEffect(nullptr);
    } else if (!corpo_->graphicsEffect()) {
        auto* sbiadito = new QGraphicsOpacityEffect(corpo_);
        sbiadito->setOpacity(0.45);
        corpo_->setGraphicsEffect(sbiadito);
    }
}

void RigaRegola::mostraTempo(Data adesso) {
    tempo_->setText(testoDurata(durata_, adesso));
}

void RigaRegola::mostra(const Regola& regola) {
    mostraComune(regola.attiva, regola.azione, regola.durata);
    const QString firma = QString::fromStdString(regola.firmaApp);
    const QString nome = QString::fromStdString(regola.nomeApp);
    // A path's name is its last part; the whole identity is the line below.
    nome_->setText(nome.isEmpty() || nome == firma ? firma.section(QLatin1Char('/'), -1) : nome);
    dettaglio_->setText(firma);
    setToolTip(firma);
    fascia_ = regola.fascia;
    {
        const QSignalBlocker zitto(aOrario_);
        aOrario_->setChecked(regola.fascia.has_value());
    }
    rigaFascia_->setVisible(regola.fascia.has_value());
    if (regola.fascia) {
        riempiOre(*inizio_, regola.fascia->inizio);
        riempiOre(*fine_, regola.fascia->fine);
    }
}

void RigaRegola::mostra(const RegolaDominio& regola) {
    mostraComune(regola.attiva, regola.azione, regola.durata);
    nome_->setText(QString::fromStdString(regola.dominio));
    QStringList ambito;
    if (regola.firmaApp) {
        const QString firma = QString::fromStdString(*regola.firmaApp);
        ambito << tr("solo per %1").arg(firma.section(QLatin1Char('/'), -1));
        setToolTip(firma);
    } else {
        setToolTip(QString());
    }
    if (regola.porta) ambito << tr("porta %1").arg(*regola.porta);
    ambito << tr("compresi i sottodomini");
    dettaglio_->setText(ambito.join(QStringLiteral(" · ")));
}

void RigaRegola::suOraScelta() {
    if (!fascia_) return;
    const FasciaOraria nuova{inizio_->currentData().toLongLong(),
                             fine_->currentData().toLongLong()};
    if (nuova == *fascia_) return;
    emit fasciaCambiata(nuova);
}

void RigaRegola::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete || e->key() == Qt::Key_Backspace) {
        emit eliminaRichiesta();
        return;
    }
    QWidget::keyPressEvent(e);
}

void RigaRegola::contextMenuEvent(QContextMenuEvent* e) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Elimina la regola"), this, &RigaRegola::eliminaRichiesta);
    menu->popup(e->globalPos());
}

}  // namespace ostrale
