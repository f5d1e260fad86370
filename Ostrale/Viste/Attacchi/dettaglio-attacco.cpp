// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Attacchi/dettaglio-attacco.h"

#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <map>

#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/Attacchi/badge-attacco.h"
#include "Ostrale/Viste/colori.h"

namespace ostrale {
namespace {

QString esadecimale(const QColor& c, double alfa) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(c.red())
        .arg(c.green())
        .arg(c.blue())
        .arg(alfa);
}

}  // namespace

QString DettaglioAttacco::perchéNonDecidibile(const EventoFlusso& evento) {
    if (StatoApp::puòDecidere(evento)) return {};
    if (StatoApp::sorgenteAttacco(evento) == "?") {
        return tr("La sorgente non ha indirizzo né nome: nessuna regola può nominarla");
    }
    return evento.direzione == DirezioneFlusso::entrata
               ? testi::esitoModifica(EsitoModifica::dominioNonValido)
               : testi::esitoModifica(EsitoModifica::appSconosciuta);
}

DettaglioAttacco::DettaglioAttacco(TipoAttacco tipo, StatoApp& stato, QWidget* parent)
    : QDialog(parent), tipo_(tipo), stato_(stato) {
    setObjectName(QStringLiteral("dettaglioAttacco"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal);
    setWindowTitle(testi::etichettaAttacco(tipo));
    setFixedSize(640, 460);

    QFont grande, titolo;  // the header's, which the empty state takes too
    auto* testa = costruisciIntestazione(grande, titolo);
    auto* spiegazione = new QLabel(testi::spiegazioneAttacco(tipo), this);
    spiegazione->setWordWrap(true);
    spiegazione->setEnabled(false);
    auto* linea = new QFrame(this);
    linea->setFrameShape(QFrame::HLine);
    linea->setFrameShadow(QFrame::Sunken);
    auto* vuoto = costruisciVuoto(grande, titolo);
    auto* scorri = costruisciElenco();
    pile_ = new QStackedWidget(this);
    pile_->addWidget(vuoto);
    pile_->addWidget(scorri);
    costruisciMessaggio();

    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(16, 16, 16, 16);
    l->setSpacing(12);
    l->addLayout(testa);
    l->addWidget(spiegazione);
    l->addWidget(linea);
    l->addWidget(pile_, 1);
    l->addWidget(messaggio_);

    collegaStato();
    ricarica();
}

QHBoxLayout* DettaglioAttacco::costruisciIntestazione(QFont& grande, QFont& titolo) {
    icona_ = new QLabel(BadgeAttacco::segno(tipo_), this);
    grande = icona_->font();
    grande.setPointSizeF(grande.pointSizeF() * 1.6);
    icona_->setFont(grande);
    auto* etichetta = new QLabel(testi::etichettaAttacco(tipo_), this);
    titolo = etichetta->font();
    titolo.setBold(true);
    etichetta->setFont(titolo);
    contatori_ = new QLabel(this);
    contatori_->setObjectName(QStringLiteral("contatori"));
    contatori_->setEnabled(false);
    auto* nomi = new QVBoxLayout;
    nomi->setSpacing(1);
    nomi->addWidget(etichetta);
    nomi->addWidget(contatori_);
    auto* pulisci = new QPushButton(tr("Pulisci"), this);
    pulisci->setObjectName(QStringLiteral("pulisci"));
    pulisci->setIcon(QIcon::fromTheme(QStringLiteral("edit-delete")));
    pulisci->setStyleSheet(QStringLiteral("color: ") + colori::rosso.name());
    connect(pulisci, &QPushButton::clicked, this, &DettaglioAttacco::chiediPulizia);
    auto* chiudi = new QPushButton(tr("Chiudi"), this);
    chiudi->setObjectName(QStringLiteral("chiudi"));
    chiudi->setDefault(true);
    connect(chiudi, &QPushButton::clicked, this, &QDialog::close);
    auto* testa = new QHBoxLayout;
    testa->addWidget(icona_);
    testa->addLayout(nomi, 1);
    testa->addWidget(pulisci);
    testa->addWidget(chiudi);
    return testa;
}

// No events: a word that the sources will come here.
QWidget* DettaglioAttacco::costruisciVuoto(const QFont& grande, const QFont& titolo) {
    auto* vuoto = new QWidget(this);
    vuoto->setObjectName(QStringLiteral("dettaglioVuoto"));
    auto* v = new QVBoxLayout(vuoto);
    auto* scudo = new QLabel(QStringLiteral("\u2714"), vuoto);
    scudo->setAlignment(Qt::AlignCenter);
    scudo->setFont(grande);
    scudo->setStyleSheet(QStringLiteral("color: ") + colori::verde.name());
    auto* titoloVuoto = new QLabel(tr("Nessun attacco di questo tipo nell'elenco"), vuoto);
    titoloVuoto->setFont(titolo);
    titoloVuoto->setAlignment(Qt::AlignCenter);
    auto* testoVuoto = new QLabel(
        tr("Le fonti compariranno qui appena la sentinella riconosce questo schema."), vuoto);
    testoVuoto->setAlignment(Qt::AlignCenter);
    testoVuoto->setWordWrap(true);
    testoVuoto->setEnabled(false);
    v->addStretch(1);
    v->addWidget(scudo);
    v->addWidget(titoloVuoto);
    v->addWidget(testoVuoto);
    v->addStretch(1);
    return vuoto;
}

QScrollArea* DettaglioAttacco::costruisciElenco() {
    auto* contenuto = new QWidget(this);
    elenco_ = new QVBoxLayout(contenuto);
    elenco_->setContentsMargins(0, 0, 4, 0);
    elenco_->setSpacing(0);
    elenco_->addStretch(1);
    auto* scorri = new QScrollArea(this);
    scorri->setObjectName(QStringLiteral("fonti"));
    scorri->setWidget(contenuto);
    scorri->setWidgetResizable(true);
    scorri->setFrameShape(QFrame::NoFrame);
    return scorri;
}

void DettaglioAttacco::costruisciMessaggio() {
    messaggio_ = new QLabel(this);
    messaggio_->setObjectName(QStringLiteral("messaggioAttacco"));
    messaggio_->setTextFormat(Qt::PlainText);
    messaggio_->setEnabled(false);
}

void DettaglioAttacco::collegaStato() {
    connect(&stato_, &StatoApp::attacchiCambiati, this, &DettaglioAttacco::ricarica);
    connect(&stato_, &StatoApp::conteggioAttacchiCambiato, this, &DettaglioAttacco::ricarica);
    connect(&stato_, &StatoApp::decisioniAttaccoCambiate, this,
            &DettaglioAttacco::aggiornaDecisioni);
    connect(&stato_, &StatoApp::avvisiSilenziatiCambiati, this,
            &DettaglioAttacco::aggiornaDecisioni);
}

void DettaglioAttacco::ricarica() {
    eventi_.clear();
    for (const EventoFlusso& e : stato_.attacchi()) {
        if (e.attacco == tipo_) eventi_.push_back(e);
    }
    const auto it = stato_.conteggioAttacchi().find(std::string(valoreGrezzo(tipo_)));
    const std::int64_t totale = it == stato_.conteggioAttacchi().end() ? 0 : it->second;
    contatori_->setText(tr("%1 nell'elenco · %2 dall'installazione")
                            .arg(QLocale().toString(static_cast<qint64>(eventi_.size())),
                                 QLocale().toString(static_cast<qint64>(totale))));
    icona_->setStyleSheet(QStringLiteral("color: ") +
                          BadgeAttacco::accento(static_cast<std::int64_t>(eventi_.size())).name());
    // A row stays the same widget while its event stays listed: a refresh while the user
    // presses a button or selects a source's text must not pull the row from under them.
    std::map<Uuid, QWidget*> esistenti;
    for (std::size_t i = 0; i < righe_.size(); ++i) esistenti.emplace(idRighe_[i], righe_[i]);
    std::vector<QWidget*> nuove;
    nuove.reserve(eventi_.size());
    idRighe_.clear();
    for (const EventoFlusso& e : eventi_) {
        const auto trovata = esistenti.find(e.id);
        if (trovata != esistenti.end()) {
            nuove.push_back(trovata->second);
            esistenti.erase(trovata);
        } else {
            nuove.push_back(riga(e));
        }
        idRighe_.push_back(e.id);
    }
    for (const auto& [id, r] : esistenti) {
        elenco_->removeWidget(r);
        r->deleteLater();
    }
    for (std::size_t i = 0; i < nuove.size(); ++i) {
        const int posizione = static_cast<int>(i);
        if (elenco_->indexOf(nuove[i]) == posizione) continue;
        elenco_->removeWidget(nuove[i]);
        elenco_->insertWidget(posizione, nuove[i]);
    }
    righe_ = std::move(nuove);
    pile_->setCurrentIndex(eventi_.empty() ? 0 : 1);
    aggiornaDecisioni();
}

QWidget* DettaglioAttacco::riga(const EventoFlusso& e) {
    auto* r = new QWidget;
    r->setObjectName(QStringLiteral("fonte"));
    const QString sorgente = QString::fromStdString(StatoApp::sorgenteAttacco(e));
    r->setProperty("sorgente", sorgente);
    auto* sinistra = costruisciDescrizione(r, e, sorgente);
    const auto [consenti, blocca] = costruisciDecisioni(r, e);
    auto* l = new QHBoxLayout(r);
    l->setContentsMargins(0, 3, 0, 3);
    l->setSpacing(10);
    l->addLayout(sinistra, 1);
    // Offered where the finding was told: one not stopped, out of the application's habits.
    if (StatoApp::silenziabile(e) && e.anomala.value_or(false)) {
        l->addWidget(costruisciSilenzia(r, e), 0, Qt::AlignTop);
    }
    l->addWidget(consenti, 0, Qt::AlignTop);
    l->addWidget(blocca, 0, Qt::AlignTop);
    return r;
}

QVBoxLayout* DettaglioAttacco::costruisciDescrizione(QWidget* r, const EventoFlusso& e,
                                                     const QString& sorgente) {
    auto* primaRiga = costruisciPrimaRiga(r, e, sorgente);
    const QDateTime quando = QDateTime::fromSecsSinceEpoch(e.data.secondiUnixInteri());
    const QString dove =
        e.direzione == DirezioneFlusso::entrata
            ? tr("Verso la porta %1 del computer").arg(QString::fromStdString(e.porta))
            : tr("Ultima destinazione %1").arg(QString::fromStdString(e.host));
    auto* dettagli = new QLabel(
        QLocale().toString(quando, QLocale::ShortFormat) + QStringLiteral("  ·  ") + dove, r);
    dettagli->setTextFormat(Qt::PlainText);
    dettagli->setEnabled(false);
    // A long host goes on to a second line rather than being cut.
    dettagli->setWordWrap(true);
    dettagli->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* sinistra = new QVBoxLayout;
    sinistra->setSpacing(2);
    sinistra->addLayout(primaRiga);
    sinistra->addWidget(dettagli);
    return sinistra;
}

// The source, the decision taken about it and, for a habit, its mark.
QHBoxLayout* DettaglioAttacco::costruisciPrimaRiga(QWidget* r, const EventoFlusso& e,
                                                   const QString& sorgente) {
    auto* nome = new QLabel(sorgente, r);
    nome->setObjectName(QStringLiteral("sorgente"));
    nome->setTextFormat(Qt::PlainText);
    nome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont semi = nome->font();
    semi.setWeight(QFont::DemiBold);
    nome->setFont(semi);
    auto* etichetta = new QLabel(r);
    etichetta->setObjectName(QStringLiteral("decisione"));
    QFont minuta = etichetta->font();
    minuta.setBold(true);
    minuta.setPointSizeF(minuta.pointSizeF() * 0.8);
    etichetta->setFont(minuta);
    auto* primaRiga = new QHBoxLayout;
    primaRiga->addWidget(nome);
    primaRiga->addWidget(etichetta);
    if (e.consentito && !e.anomala.value_or(false)) {
        // What the application does every day towards its own servers: kept, not told.
        auto* abituale = new QLabel(tr("Abituale"), r);
        abituale->setObjectName(QStringLiteral("abituale"));
        abituale->setFont(minuta);
        abituale->setToolTip(
            tr("Verso una destinazione che l'app usa dai giorni scorsi: tenuto "
               "nell'archivio, senza avviso"));
        abituale->setStyleSheet(
            QStringLiteral("padding: 2px 6px; border-radius: 5px; background: ") +
            esadecimale(colori::grigio, 0.15));
        primaRiga->addWidget(abituale);
    }
    primaRiga->addStretch(1);
    return primaRiga;
}

std::pair<QPushButton*, QPushButton*> DettaglioAttacco::costruisciDecisioni(QWidget* r,
                                                                            const EventoFlusso& e) {
    const QString perchéNo = perchéNonDecidibile(e);
    auto* consenti = new QPushButton(tr("Consenti"), r);
    consenti->setObjectName(QStringLiteral("consenti"));
    auto* blocca = new QPushButton(tr("Blocca"), r);
    blocca->setObjectName(QStringLiteral("blocca"));
    for (auto [bottone, scelta] : {std::pair{consenti, true}, std::pair{blocca, false}}) {
        bottone->setEnabled(perchéNo.isEmpty());
        if (!perchéNo.isEmpty()) bottone->setToolTip(perchéNo);
        connect(bottone, &QPushButton::clicked, this, [this, e, scelta] {
            const EsitoModifica esito = stato_.decidiSorgente(e, scelta);
            messaggio_->setText(esito == EsitoModifica::cambiata ? QString()
                                                                 : testi::esitoModifica(esito));
        });
    }
    return {consenti, blocca};
}

QPushButton* DettaglioAttacco::costruisciSilenzia(QWidget* r, const EventoFlusso& e) {
    auto* silenzia = new QPushButton(r);
    silenzia->setObjectName(QStringLiteral("silenzia"));
    silenzia->setFlat(true);
    silenzia->setToolTip(
        tr("Questo schema da questa sorgente resta nell'archivio, senza "
           "avvisi; le sorgenti bloccate sono sempre avvisate"));
    connect(silenzia, &QPushButton::clicked, this,
            [this, e] { stato_.silenziaAvvisi(e, !stato_.avvisiSilenziati(e)); });
    return silenzia;
}

void DettaglioAttacco::aggiornaDecisioni() {
    for (std::size_t i = 0; i < righe_.size(); ++i) {
        QWidget* r = righe_[i];
        if (auto* silenzia = r->findChild<QPushButton*>(QStringLiteral("silenzia"))) {
            silenzia->setText(stato_.avvisiSilenziati(eventi_[i]) ? tr("Avvisa di nuovo")
                                                                  : tr("Non avvisare più"));
        }
        const auto it =
            stato_.decisioniAttacco().find(r->property("sorgente").toString().toStdString());
        const bool decisa = it != stato_.decisioniAttacco().end();
        const bool permessa = decisa && it->second == "consenti";
        auto* etichetta = r->findChild<QLabel*>(QStringLiteral("decisione"));
        etichetta->setVisible(decisa);
        etichetta->setText(permessa ? tr("Permessa") : tr("Bloccata"));
        const QColor c = permessa ? colori::verde : colori::rosso;
        etichetta->setStyleSheet(
            QStringLiteral("padding: 2px 6px; border-radius: 5px; background: ") +
            esadecimale(c, 0.15));
        auto tinta = [](QPushButton* b, bool acceso, const QColor& colore) {
            b->setStyleSheet(acceso ? QStringLiteral("QPushButton { color: %1; font-weight: 600; }")
                                          .arg(colore.name())
                                    : QString());
        };
        tinta(r->findChild<QPushButton*>(QStringLiteral("consenti")), permessa, colori::verde);
        tinta(r->findChild<QPushButton*>(QStringLiteral("blocca")), decisa && !permessa,
              colori::rosso);
    }
}

void DettaglioAttacco::chiediPulizia() {
    auto* conferma =
        new QMessageBox(QMessageBox::Warning, tr("Pulire l'archivio di questo attacco?"),
                        tr("Elenco delle fonti e contatore di questo badge ripartono "
                           "da zero. Gli altri badge, le regole e le decisioni non si "
                           "toccano."),
                        QMessageBox::NoButton, this);
    conferma->setObjectName(QStringLiteral("confermaPulizia"));
    conferma->setAttribute(Qt::WA_DeleteOnClose);
    auto* sì = conferma->addButton(tr("Pulisci"), QMessageBox::DestructiveRole);
    sì->setObjectName(QStringLiteral("confermaPulisci"));
    conferma->addButton(tr("Annulla"), QMessageBox::RejectRole);
    connect(sì, &QPushButton::clicked, this, [this] { stato_.pulisciArchivioTipo(tipo_); });
    conferma->open();
}

}  // namespace ostrale
