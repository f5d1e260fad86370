// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Flussi/vista-flussi.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/Flussi/delegato-azioni.h"
#include "Ostrale/Viste/Flussi/filtro-flussi.h"
#include "Ostrale/Viste/Flussi/modello-flussi.h"
#include "Ostrale/Viste/Flussi/vista-spiegazione.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/simboli.h"

namespace ostrale {

VistaFlussi::VistaFlussi(StatoApp& stato, QWidget* parent) : QWidget(parent), stato_(stato) {
    setObjectName(QStringLiteral("flussi"));
    modello_ = new ModelloFlussi(stato_, this);
    filtro_ = new FiltroFlussi(*modello_, this);
    auto* barra = costruisciBarra();
    costruisciTabella();
    collegaTabella();
    auto* vuoto = costruisciVuoto();

    pile_ = new QStackedWidget(this);
    pile_->addWidget(tabella_);
    pile_->addWidget(vuoto);
    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(12, 10, 12, 10);
    l->addLayout(barra);
    l->addWidget(pile_, 1);
    aggiornaVuoto();
}

QHBoxLayout* VistaFlussi::costruisciBarra() {
    soloBloccati_ = new QCheckBox(tr("Solo bloccati"), this);
    soloBloccati_->setObjectName(QStringLiteral("soloBloccati"));
    ricerca_ = new QLineEdit(this);
    ricerca_->setObjectName(QStringLiteral("ricercaFlussi"));
    ricerca_->setPlaceholderText(tr("Cerca app o host"));
    ricerca_->setClearButtonEnabled(true);
    ricerca_->setMaximumWidth(280);
    messaggio_ = new QLabel(this);
    messaggio_->setObjectName(QStringLiteral("messaggioFlussi"));
    messaggio_->setTextFormat(Qt::PlainText);
    messaggio_->setEnabled(false);
    auto* barra = new QHBoxLayout;
    barra->addWidget(soloBloccati_);
    barra->addSpacing(12);
    barra->addWidget(messaggio_, 1);
    barra->addWidget(ricerca_);
    connect(soloBloccati_, &QCheckBox::toggled, this, [this](bool solo) {
        filtro_->impostaSoloBloccati(solo);
        aggiornaVuoto();
    });
    connect(ricerca_, &QLineEdit::textChanged, this, [this](const QString& testo) {
        filtro_->impostaRicerca(testo);
        aggiornaVuoto();
    });
    return barra;
}

void VistaFlussi::costruisciTabella() {
    tabella_ = new QTableView(this);
    tabella_->setObjectName(QStringLiteral("tabellaFlussi"));
    tabella_->setModel(filtro_);
    delegato_ = new DelegatoAzioni(*modello_, tabella_);
    tabella_->setItemDelegateForColumn(ModelloFlussi::azioni, delegato_);
    tabella_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabella_->setSelectionMode(QAbstractItemView::SingleSelection);
    tabella_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabella_->setMouseTracking(true);
    tabella_->setShowGrid(false);
    tabella_->setAlternatingRowColors(true);
    tabella_->setWordWrap(false);
    // The end of a path or a host name says the most: a program's name, a domain and its port.
    tabella_->setTextElideMode(Qt::ElideLeft);
    tabella_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    tabella_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tabella_->setContextMenuPolicy(Qt::CustomContextMenu);
    tabella_->setIconSize(QSize(14, 14));
    auto* righe = tabella_->verticalHeader();
    righe->hide();
    righe->setSectionResizeMode(QHeaderView::Fixed);
    righe->setDefaultSectionSize(std::max(28, fontMetrics().height() + 12));
    auto* colonne = tabella_->horizontalHeader();
    colonne->setMinimumSectionSize(48);
    colonne->setHighlightSections(false);
    colonne->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (const int colonna :
         {ModelloFlussi::ora, ModelloFlussi::protocollo, ModelloFlussi::direzione,
          ModelloFlussi::esito, ModelloFlussi::azioni}) {
        colonne->setSectionResizeMode(colonna, QHeaderView::Fixed);
    }
    adattaColonne(tabella_->width());
    tabella_->installEventFilter(this);
    // The application and the destination share what is left, and elide their text in it.
    colonne->setSectionResizeMode(ModelloFlussi::app, QHeaderView::Stretch);
    colonne->setSectionResizeMode(ModelloFlussi::destinazione, QHeaderView::Stretch);
}

void VistaFlussi::collegaTabella() {
    connect(delegato_, &DelegatoAzioni::azioneScelta, this,
            [this](DelegatoAzioni::Azione a, const QModelIndex& i) {
                suAzione(static_cast<int>(a), i);
            });
    connect(tabella_, &QWidget::customContextMenuRequested, this, &VistaFlussi::menuContestuale);
    // The sheet deletes itself when closed, which also stops its request.
    connect(this, &VistaFlussi::spiegazioneRichiesta, this,
            [this](const EventoFlusso& e) { (new VistaSpiegazione(e, stato_, this))->open(); });

    // Rows arriving above the ones the user is looking at push nothing out of sight: the view
    // moves by as much as they take, unless it is at the top, following the newest.
    connect(filtro_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int primo, int) {
                auto* s = tabella_->verticalScrollBar();
                const int inCima = tabella_->rowAt(0);
                tabella_->setProperty("spostaDopo",
                                      s->value() > 0 && inCima >= 0 && primo <= inCima);
            });
    connect(filtro_, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int primo, int ultimo) {
                if (tabella_->property("spostaDopo").toBool()) {
                    auto* s = tabella_->verticalScrollBar();
                    s->setValue(s->value() + (ultimo - primo + 1) *
                                                 tabella_->verticalHeader()->defaultSectionSize());
                }
                aggiornaVuoto();
            });
    connect(filtro_, &QAbstractItemModel::rowsRemoved, this, &VistaFlussi::aggiornaVuoto);
    connect(filtro_, &QAbstractItemModel::modelReset, this, &VistaFlussi::aggiornaVuoto);
    connect(&stato_, &StatoApp::filtroAttivoCambiato, this, &VistaFlussi::aggiornaVuoto);
}

QWidget* VistaFlussi::costruisciVuoto() {
    auto* vuoto = new QWidget(this);
    vuoto->setObjectName(QStringLiteral("flussiVuoto"));
    auto* v = new QVBoxLayout(vuoto);
    auto* icona = new QLabel(vuoto);
    icona->setPixmap(simboli::icona(simboli::Simbolo::frecce, colori::grigio).pixmap(40, 40));
    icona->setAlignment(Qt::AlignCenter);
    titoloVuoto_ = new QLabel(vuoto);
    titoloVuoto_->setObjectName(QStringLiteral("titoloFlussiVuoto"));
    QFont f = titoloVuoto_->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    titoloVuoto_->setFont(f);
    titoloVuoto_->setAlignment(Qt::AlignCenter);
    testoVuoto_ = new QLabel(vuoto);
    testoVuoto_->setObjectName(QStringLiteral("testoFlussiVuoto"));
    testoVuoto_->setAlignment(Qt::AlignCenter);
    testoVuoto_->setWordWrap(true);
    testoVuoto_->setEnabled(false);
    v->addStretch(1);
    v->addWidget(icona);
    v->addWidget(titoloVuoto_);
    v->addWidget(testoVuoto_);
    v->addStretch(2);
    return vuoto;
}

void VistaFlussi::adattaColonne(int spazio) {
    // The fixed columns' widths, and narrower ones when the window is too small to leave the
    // application and the destination room to show something.
    struct Larghezze {
        int ora, protocollo, direzione, esito, azioni;
    };
    constexpr Larghezze ampie{70, 50, 70, 110, 175}, strette{60, 40, 70, 96, 170};
    const Larghezze& l = spazio >= ampie.ora + ampie.protocollo + ampie.direzione + ampie.esito +
                                       ampie.azioni + 2 * 110
                             ? ampie
                             : strette;
    auto* colonne = tabella_->horizontalHeader();
    colonne->resizeSection(ModelloFlussi::ora, l.ora);
    colonne->resizeSection(ModelloFlussi::protocollo, l.protocollo);
    colonne->resizeSection(ModelloFlussi::direzione, l.direzione);
    colonne->resizeSection(ModelloFlussi::esito, l.esito);
    colonne->resizeSection(ModelloFlussi::azioni, l.azioni);
}

bool VistaFlussi::eventFilter(QObject* oggetto, QEvent* evento) {
    // (The table's own width: its viewport follows only after this event.)
    if (oggetto == tabella_ && evento->type() == QEvent::Resize) {
        adattaColonne(static_cast<QResizeEvent*>(evento)->size().width() - 20);
    }
    return QWidget::eventFilter(oggetto, evento);
}

void VistaFlussi::aggiornaVuoto() {
    if (stato_.flussi().empty()) {
        titoloVuoto_->setText(tr("Nessun flusso registrato"));
        testoVuoto_->setText(stato_.filtroAttivo()
                                 ? tr("I flussi compariranno appena le app si collegano alla rete.")
                                 : tr("Accendi il firewall dal Cruscotto per vedere i flussi."));
        pile_->setCurrentIndex(1);
    } else if (filtro_->rowCount() == 0) {
        titoloVuoto_->setText(tr("Nessun flusso corrisponde"));
        testoVuoto_->setText(filtro_->soloBloccati()
                                 ? tr("Cambia la ricerca o spegni «Solo bloccati».")
                                 : tr("Cambia la ricerca."));
        pile_->setCurrentIndex(1);
    } else {
        pile_->setCurrentIndex(0);
    }
}

void VistaFlussi::suAzione(int azione, const QModelIndex& indice) {
    const QModelIndex sorgente = filtro_->mapToSource(indice);
    if (!sorgente.isValid()) return;
    const EventoFlusso* flusso = modello_->evento(sorgente.row());
    if (!flusso) return;
    const EventoFlusso e = *flusso;
    EsitoModifica esito = EsitoModifica::invariata;
    switch (static_cast<DelegatoAzioni::Azione>(azione)) {
        case DelegatoAzioni::Azione::blocca:
            esito = stato_.aggiungiRegola(e.firmaApp, AzioneRegola::blocca);
            break;
        case DelegatoAzioni::Azione::consenti:
            esito = stato_.aggiungiRegola(e.firmaApp, AzioneRegola::consenti);
            break;
        case DelegatoAzioni::Azione::bloccaDominio:
            esito = stato_.aggiungiRegolaDominio(e.host, AzioneRegola::blocca);
            break;
        case DelegatoAzioni::Azione::spiega:
            emit spiegazioneRichiesta(e);
            return;
    }
    mostraEsito(static_cast<int>(esito));
}

void VistaFlussi::mostraEsito(int esito) {
    messaggio_->setText(testi::esitoModifica(static_cast<EsitoModifica>(esito)));
    QTimer::singleShot(6000, messaggio_, [m = messaggio_, t = messaggio_->text()] {
        if (m->text() == t) m->clear();
    });
}

void VistaFlussi::menuContestuale(const QPoint& punto) {
    const QModelIndex sorgente = filtro_->mapToSource(tabella_->indexAt(punto));
    if (!sorgente.isValid()) return;
    const EventoFlusso* flusso = modello_->evento(sorgente.row());
    if (!flusso) return;
    const EventoFlusso e = *flusso;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto copia = [](const std::string& testo) {
        QApplication::clipboard()->setText(QString::fromStdString(testo));
    };
    menu->addAction(tr("Copia l'app"), this, [copia, e] { copia(e.firmaApp); });
    menu->addAction(tr("Copia l'host"), this, [copia, e] { copia(e.host); });
    if (e.indirizzoIP && !e.indirizzoIP->empty()) {
        menu->addAction(tr("Copia l'indirizzo"), this, [copia, e] { copia(*e.indirizzoIP); });
    }
    menu->addSeparator();
    const bool identificata = !e.firmaApp.empty() && e.firmaApp != "sconosciuta";
    menu->addAction(tr("Blocca questa app"), this,
                    [this, e] {
                        mostraEsito(static_cast<int>(
                            stato_.aggiungiRegola(e.firmaApp, AzioneRegola::blocca)));
                    })
        ->setEnabled(identificata);
    menu->addAction(tr("Consenti questa app"), this,
                    [this, e] {
                        mostraEsito(static_cast<int>(
                            stato_.aggiungiRegola(e.firmaApp, AzioneRegola::consenti)));
                    })
        ->setEnabled(identificata);
    menu->addAction(tr("Blocca questo dominio ovunque"), this,
                    [this, e] {
                        mostraEsito(static_cast<int>(
                            stato_.aggiungiRegolaDominio(e.host, AzioneRegola::blocca)));
                    })
        ->setEnabled(ModelloFlussi::haDominio(e.host));
    menu->popup(tabella_->viewport()->mapToGlobal(punto));
}

}  // namespace ostrale
