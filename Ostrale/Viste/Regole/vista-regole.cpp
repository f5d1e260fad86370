// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Regole/vista-regole.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QStackedWidget>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>
#include <optional>
#include <set>

#include "Condiviso/scambio-regole.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/Regole/riga-regola.h"
#include "Ostrale/Viste/Regole/scelta-azione.h"

namespace ostrale {
namespace {

QLabel* titoloSezione(const QString& testo, QWidget* genitore) {
    auto* t = new QLabel(testo, genitore);
    QFont f = t->font();
    f.setBold(true);
    t->setFont(f);
    t->setContentsMargins(4, 10, 0, 2);
    return t;
}

// Between two refreshes of the time left of temporary rules, in milliseconds.
constexpr int intervalloDurate = 60 * 1000;

QFrame* riquadro(QWidget* genitore) {
    auto* r = new QFrame(genitore);
    r->setFrameShape(QFrame::StyledPanel);
    r->setAutoFillBackground(true);
    r->setBackgroundRole(QPalette::Base);
    return r;
}

// One sheet for every row: the action picker's two halves, the chosen one in its action's colour,
// and the line between rows.
QString foglioRighe() {
    return QStringLiteral(
        "ostrale--SceltaAzione QToolButton { padding: 3px 10px; border: 1px solid palette(mid);"
        " background: palette(button); }"
        "ostrale--SceltaAzione QToolButton#consenti { border-top-left-radius: 6px;"
        " border-bottom-left-radius: 6px; border-right: none; }"
        "ostrale--SceltaAzione QToolButton#blocca { border-top-right-radius: 6px;"
        " border-bottom-right-radius: 6px; }"
        "ostrale--SceltaAzione QToolButton:checked { font-weight: 600; }"
        "ostrale--SceltaAzione QToolButton#consenti:checked {"
        " background: rgba(52, 199, 89, 0.25); }"
        "ostrale--SceltaAzione QToolButton#blocca:checked { background: rgba(255, 59, 48, 0.22); }"
        "ostrale--SceltaAzione QToolButton:disabled { color: palette(mid); }"
        "#rigaRegola { border-bottom: 1px solid palette(midlight); }");
}

}  // namespace

VistaRegole::VistaRegole(StatoApp& stato, QWidget* parent) : QWidget(parent), stato_(stato) {
    setObjectName(QStringLiteral("regole"));
    setStyleSheet(foglioRighe());
    auto* scorri = costruisciElenchi();
    auto* vuoto = costruisciVuoto();
    pile_ = new QStackedWidget(this);
    pile_->addWidget(scorri);
    pile_->addWidget(vuoto);
    auto* moduli = costruisciModuli();
    costruisciMessaggio();
    auto* file = costruisciFile();

    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(12, 6, 12, 10);
    l->addLayout(file);
    l->addWidget(pile_, 1);
    l->addWidget(messaggio_);
    l->addLayout(moduli);

    collegaStato();
    aggiorna();
}

QScrollArea* VistaRegole::costruisciElenchi() {
    auto* contenuto = new QWidget(this);
    auto* c = new QVBoxLayout(contenuto);
    c->setContentsMargins(0, 0, 6, 0);
    sezioneApp_ =
        costruisciSezione(contenuto, tr("Per app"), QStringLiteral("regoleApp"), colonnaApp_);
    sezioneDomini_ = costruisciSezione(
        contenuto, tr("Per dominio — in qualunque app, se la regola non ne nomina una"),
        QStringLiteral("regoleDomini"), colonnaDomini_);
    c->addWidget(sezioneApp_);
    c->addWidget(sezioneDomini_);
    c->addStretch(1);
    auto* scorri = new QScrollArea(this);
    scorri->setObjectName(QStringLiteral("scorriRegole"));
    scorri->setWidget(contenuto);
    scorri->setWidgetResizable(true);
    scorri->setFrameShape(QFrame::NoFrame);
    scorri->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return scorri;
}

QWidget* VistaRegole::costruisciSezione(QWidget* contenuto, const QString& titolo,
                                        const QString& nomeElenco, QVBoxLayout*& colonna) {
    auto* sezione = new QWidget(contenuto);
    auto* s = new QVBoxLayout(sezione);
    s->setContentsMargins(0, 0, 0, 0);
    s->addWidget(titoloSezione(titolo, sezione));
    auto* elenco = riquadro(sezione);
    elenco->setObjectName(nomeElenco);
    colonna = new QVBoxLayout(elenco);
    colonna->setContentsMargins(0, 0, 0, 0);
    colonna->setSpacing(0);
    s->addWidget(elenco);
    return sezione;
}

QWidget* VistaRegole::costruisciVuoto() {
    auto* vuoto = new QWidget(this);
    vuoto->setObjectName(QStringLiteral("regoleVuote"));
    auto* v = new QVBoxLayout(vuoto);
    auto* titolo = new QLabel(tr("Nessuna regola"), vuoto);
    QFont f = titolo->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    titolo->setFont(f);
    titolo->setAlignment(Qt::AlignCenter);
    auto* spiega = new QLabel(tr("Crea regole dalla vista Flussi con i pulsanti Blocca e "
                                 "Consenti, oppure aggiungine una qui sotto."),
                              vuoto);
    spiega->setAlignment(Qt::AlignCenter);
    spiega->setWordWrap(true);
    spiega->setEnabled(false);
    v->addStretch(1);
    v->addWidget(titolo);
    v->addWidget(spiega);
    v->addStretch(1);
    return vuoto;
}

QVBoxLayout* VistaRegole::costruisciModuli() {
    nuovaFirma_ = new QLineEdit(this);
    nuovaFirma_->setObjectName(QStringLiteral("nuovaFirma"));
    nuovaFirma_->setPlaceholderText(tr("Identificativo dell'app (es. /usr/bin/curl)"));
    nuovaAzione_ = new SceltaAzione(this);
    nuovaAzione_->setObjectName(QStringLiteral("nuovaAzione"));
    auto* aggiungiApp = new QPushButton(tr("Aggiungi"), this);
    aggiungiApp->setObjectName(QStringLiteral("aggiungiApp"));
    nuovoDominio_ = new QLineEdit(this);
    nuovoDominio_->setObjectName(QStringLiteral("nuovoDominio"));
    nuovoDominio_->setPlaceholderText(tr("Dominio da regolare ovunque (es. example.com)"));
    nuovaAzioneDominio_ = new SceltaAzione(this);
    nuovaAzioneDominio_->setObjectName(QStringLiteral("nuovaAzioneDominio"));
    nuovaAzioneDominio_->mostra(AzioneRegola::blocca);
    auto* aggiungiDominio = new QPushButton(tr("Aggiungi"), this);
    aggiungiDominio->setObjectName(QStringLiteral("aggiungiDominio"));
    connect(aggiungiApp, &QPushButton::clicked, this, [this] { aggiungiDa(nuovaFirma_, false); });
    connect(nuovaFirma_, &QLineEdit::returnPressed, this,
            [this] { aggiungiDa(nuovaFirma_, false); });
    connect(aggiungiDominio, &QPushButton::clicked, this,
            [this] { aggiungiDa(nuovoDominio_, true); });
    connect(nuovoDominio_, &QLineEdit::returnPressed, this,
            [this] { aggiungiDa(nuovoDominio_, true); });
    auto* moduli = new QVBoxLayout;
    for (auto [campo, scelta, bottone] :
         {std::tuple{nuovaFirma_, nuovaAzione_, aggiungiApp},
          std::tuple{nuovoDominio_, nuovaAzioneDominio_, aggiungiDominio}}) {
        auto* riga = new QHBoxLayout;
        riga->addWidget(campo, 1);
        riga->addWidget(scelta);
        riga->addWidget(bottone);
        moduli->addLayout(riga);
    }
    return moduli;
}

void VistaRegole::aggiungiDa(QLineEdit* campo, bool dominio) {
    const QString testo = campo->text().trimmed();
    if (testo.isEmpty()) return;
    const EsitoModifica esito =
        dominio ? stato_.aggiungiRegolaDominio(testo.toStdString(), nuovaAzioneDominio_->azione())
                : stato_.aggiungiRegola(testo.toStdString(), nuovaAzione_->azione());
    segnala(esito);
    // What was refused stays in the field, to be mended.
    if (esito == EsitoModifica::cambiata || esito == EsitoModifica::invariata) campo->clear();
}

void VistaRegole::costruisciMessaggio() {
    messaggio_ = new QLabel(this);
    messaggio_->setObjectName(QStringLiteral("messaggioRegole"));
    messaggio_->setTextFormat(Qt::PlainText);
    messaggio_->setWordWrap(true);
    messaggio_->setEnabled(false);
}

QHBoxLayout* VistaRegole::costruisciFile() {
    auto* esporta = new QPushButton(tr("Esporta…"), this);
    esporta->setObjectName(QStringLiteral("esportaRegole"));
    esporta->setToolTip(
        tr("Salva regole e impostazioni in un file, da importare qui o su un "
           "altro computer"));
    auto* importa = new QPushButton(tr("Importa…"), this);
    importa->setObjectName(QStringLiteral("importaRegole"));
    importa->setToolTip(tr("Unisci le regole di un file esportato: prima vedi cosa cambia"));
    connect(esporta, &QPushButton::clicked, this, [this] { scegliFile(true); });
    connect(importa, &QPushButton::clicked, this, [this] { scegliFile(false); });
    auto* file = new QHBoxLayout;
    file->addStretch(1);
    file->addWidget(importa);
    file->addWidget(esporta);
    return file;
}

void VistaRegole::collegaStato() {
    connect(&orologioDurate_, &QTimer::timeout, this, &VistaRegole::mostraTempi);
    connect(&stato_, &StatoApp::regoleCambiate, this, &VistaRegole::aggiorna);
    connect(&stato_, &StatoApp::regoleDominioCambiate, this, &VistaRegole::aggiorna);
    // An edit refused once it had left: the rows show the rules as they stand again.
    connect(&stato_, &StatoApp::modificaFallita, this, [this](EsitoModifica esito) {
        aggiorna();
        segnala(esito);
    });
}

// ---- rules out and in ----

void VistaRegole::scegliFile(bool esporta) {
    auto* dialogo = new QFileDialog(this, esporta ? tr("Esporta le regole") : tr("Importa regole"));
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    dialogo->setAcceptMode(esporta ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialogo->setFileMode(esporta ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialogo->setNameFilter(tr("Regole di Ostrale (*.json)"));
    dialogo->setDefaultSuffix(QStringLiteral("json"));
    if (esporta) dialogo->selectFile(QStringLiteral("regole-ostrale.json"));
    connect(dialogo, &QFileDialog::fileSelected, this, [this, esporta](const QString& percorso) {
        esporta ? esportaIn(percorso) : importaDa(percorso);
    });
    dialogo->open();
}

void VistaRegole::esportaIn(const QString& percorso) {
    const StatoRegole stato{stato_.regole(), stato_.regoleDominio(), stato_.impostazioni()};
    const QByteArray testo = QByteArray::fromStdString(scambio::esporta(stato));
    QPointer<VistaRegole> guardia(this);
    const QString messaggio = tr("Esportate %n regole in %1", nullptr,
                                 static_cast<int>(stato.regole.size() + stato.regoleDominio.size()))
                                  .arg(percorso);
    QThreadPool::globalInstance()->start([guardia, percorso, testo, messaggio] {
        QSaveFile file(percorso);
        const bool scritto =
            file.open(QIODevice::WriteOnly) && file.write(testo) == testo.size() && file.commit();
        const QString errore = scritto ? QString() : file.errorString();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [guardia, percorso, messaggio, errore] {
                if (!guardia) return;
                guardia->dici(errore.isEmpty()
                                  ? messaggio
                                  : tr("Esportazione non riuscita: %1 (%2)").arg(percorso, errore));
            });
    });
}

void VistaRegole::importaDa(const QString& percorso) {
    QPointer<VistaRegole> guardia(this);
    QThreadPool::globalInstance()->start([guardia, percorso] {
        // Read and checked here, whole: the main thread only sees rules or a reason.
        QString errore;
        std::optional<StatoRegole> importate;
        QFile file(percorso);
        if (!file.open(QIODevice::ReadOnly)) {
            errore = file.errorString();
        } else if (static_cast<std::size_t>(file.size()) > scambio::dimensioneMassima) {
            errore = tr("il file supera %1 MiB").arg(scambio::dimensioneMassima >> 20);
        } else {
            const QByteArray testo = file.read(scambio::dimensioneMassima + 1);
            auto letto = scambio::leggi(
                std::string_view(testo.constData(), static_cast<std::size_t>(testo.size())));
            if (letto) {
                importate = std::move(letto).valore();
            } else {
                errore = QString::fromStdString(letto.motivo());
            }
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [guardia, percorso, errore, importate] {
                if (!guardia) return;
                if (!importate) {
                    guardia->dici(tr("Il file non si può importare, nessuna regola cambiata: "
                                     "%1")
                                      .arg(errore));
                    return;
                }
                guardia->mostraAnteprima(*importate, percorso);
            });
    });
}

void VistaRegole::mostraAnteprima(const StatoRegole& importate, const QString& percorso) {
    if (anteprima_) anteprima_->close();
    auto* d = new QDialog(this);
    anteprima_ = d;
    d->setObjectName(QStringLiteral("anteprimaImportazione"));
    d->setAttribute(Qt::WA_DeleteOnClose);
    d->setWindowTitle(tr("Importa regole"));
    auto* titolo = new QLabel(tr("Da %1").arg(QFileInfo(percorso).fileName()), d);
    QFont f = titolo->font();
    f.setBold(true);
    titolo->setFont(f);
    auto* elenco = new QLabel(d);
    elenco->setObjectName(QStringLiteral("elencoImportazione"));
    elenco->setTextFormat(Qt::PlainText);
    elenco->setWordWrap(true);
    elenco->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* sostituisci = new QCheckBox(tr("Rimuovi le regole che il file non ha"), d);
    sostituisci->setObjectName(QStringLiteral("sostituisci"));
    auto* pulsanti = new QDialogButtonBox(d);
    auto* conferma = pulsanti->addButton(tr("Importa"), QDialogButtonBox::AcceptRole);
    conferma->setObjectName(QStringLiteral("confermaImportazione"));
    pulsanti->addButton(QDialogButtonBox::Cancel);
    elenco->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    auto* scorri = new QScrollArea(d);
    scorri->setWidget(elenco);
    scorri->setWidgetResizable(true);
    scorri->setFrameShape(QFrame::NoFrame);
    auto* l = new QVBoxLayout(d);
    l->addWidget(titolo);
    l->addWidget(scorri, 1);
    l->addWidget(sostituisci);
    l->addWidget(pulsanti);
    d->resize(520, 360);

    // The plan against the rules as they stand when the box is shown or ticked.
    auto piano = std::make_shared<std::optional<scambio::Piano>>();
    auto ricalcola = [this, importate, sostituisci, elenco, conferma, piano] {
        const StatoRegole attuali{stato_.regole(), stato_.regoleDominio(), stato_.impostazioni()};
        auto p = scambio::pianifica(attuali, importate, sostituisci->isChecked());
        if (!p) {
            piano->reset();
            elenco->setText(tr("Il file non si può importare, nessuna regola cambiata: %1")
                                .arg(QString::fromStdString(p.motivo())));
            conferma->setEnabled(false);
            return;
        }
        elenco->setText(descriviPiano(*p));
        conferma->setEnabled(!p->vuoto());
        *piano = std::move(p).valore();
    };
    ricalcola();
    connect(sostituisci, &QCheckBox::toggled, d, ricalcola);
    connect(pulsanti, &QDialogButtonBox::rejected, d, &QDialog::reject);
    connect(pulsanti, &QDialogButtonBox::accepted, d, [this, d, piano] {
        if (*piano) {
            const scambio::Piano& p = **piano;
            for (const ModificaRegole& m : p.passi) stato_.modifica(m);
            dici(tr("Importate: %1 aggiunte, %2 cambiate, %3 rimosse")
                     .arg(p.nomiAggiunti.size())
                     .arg(p.nomiCambiati.size() + (p.impostazioniCambiate ? 1 : 0))
                     .arg(p.nomiRimossi.size()));
        }
        d->accept();
    });
    d->open();
}

QString VistaRegole::descriviPiano(const scambio::Piano& p) {
    auto nomi = [](const std::vector<std::string>& v) {
        QStringList righe;
        for (const auto& n : v) righe << QStringLiteral("  ") + QString::fromStdString(n);
        return righe.join(QLatin1Char('\n'));
    };
    QStringList parti;
    if (!p.nomiAggiunti.empty())
        parti << tr("Da aggiungere:") + QLatin1Char('\n') + nomi(p.nomiAggiunti);
    if (!p.nomiCambiati.empty())
        parti << tr("Da cambiare:") + QLatin1Char('\n') + nomi(p.nomiCambiati);
    if (!p.nomiRimossi.empty())
        parti << tr("Da rimuovere:") + QLatin1Char('\n') + nomi(p.nomiRimossi);
    if (p.impostazioniCambiate) parti << tr("Le impostazioni diventano quelle del file.");
    return p.vuoto() ? tr("Niente da cambiare: le regole sono già quelle del file.")
                     : parti.join(QStringLiteral("\n\n"));
}

RigaRegola* VistaRegole::riga(const Uuid& id) const {
    if (const auto it = righeApp_.find(id); it != righeApp_.end()) return it->second;
    if (const auto it = righeDomini_.find(id); it != righeDomini_.end()) return it->second;
    return nullptr;
}

QString VistaRegole::messaggio() const {
    return messaggio_->text();
}

void VistaRegole::dici(const QString& testo) {
    messaggio_->setText(testo);
    QTimer::singleShot(8000, messaggio_, [m = messaggio_, testo] {
        if (m->text() == testo) m->clear();
    });
}

void VistaRegole::segnala(EsitoModifica esito) {
    // A change that went through shows itself in the list.
    if (esito == EsitoModifica::cambiata) return;
    dici(testi::esitoModifica(esito));
}

RigaRegola* VistaRegole::nuovaRiga(const Regola& regola) {
    auto* r = new RigaRegola(regola);
    collega(r, false);
    return r;
}

RigaRegola* VistaRegole::nuovaRiga(const RegolaDominio& regola) {
    auto* r = new RigaRegola(regola);
    collega(r, true);
    return r;
}

void VistaRegole::collega(RigaRegola* riga, bool dominio) {
    const Uuid id = riga->id();
    connect(riga, &RigaRegola::attivaCambiata, this, [this, id](bool attiva) {
        const EsitoModifica e = stato_.attivaRegola(id, attiva);
        segnala(e);
        if (e != EsitoModifica::cambiata) aggiorna();
    });
    connect(riga, &RigaRegola::azioneCambiata, this, [this, id](AzioneRegola azione) {
        const EsitoModifica e = stato_.cambiaAzione(id, azione);
        segnala(e);
        if (e != EsitoModifica::cambiata) aggiorna();
    });
    connect(riga, &RigaRegola::eliminaRichiesta, this, [this, id] {
        segnala(stato_.rimuoviRegola(id));
        aggiorna();
    });
    connect(riga, &RigaRegola::rendiPermanenteRichiesta, this, [this, id] {
        const EsitoModifica e = stato_.rendiPermanente(id);
        segnala(e);
        if (e != EsitoModifica::cambiata) aggiorna();
    });
    if (dominio) return;
    connect(riga, &RigaRegola::fasciaCambiata, this,
            [this, id](std::optional<FasciaOraria> fascia) {
                // An empty window would switch the rule off without a word.
                if (fascia && fascia->inizio == fascia->fine) {
                    dici(
                        tr("L'inizio e la fine coincidono: la fascia sarebbe vuota. Scegli due "
                           "orari diversi."));
                    aggiorna();
                    return;
                }
                const EsitoModifica e = stato_.impostaFascia(id, fascia);
                segnala(e);
                if (e != EsitoModifica::cambiata) aggiorna();
            });
}

template <typename R>
void VistaRegole::allinea(QVBoxLayout& colonna, std::map<Uuid, RigaRegola*>& righe,
                          const std::vector<R>& regole) {
    std::set<Uuid> presenti;
    for (const R& r : regole) presenti.insert(r.id);
    for (auto it = righe.begin(); it != righe.end();) {
        if (presenti.contains(it->first)) {
            ++it;
            continue;
        }
        it->second->deleteLater();
        colonna.removeWidget(it->second);
        it = righe.erase(it);
    }
    // The controller's order: each row is put at its place (a no-op when it is there already).
    int posto = 0;
    for (const R& r : regole) {
        RigaRegola*& riga = righe[r.id];
        if (!riga) {
            riga = nuovaRiga(r);
        } else {
            riga->mostra(r);
        }
        if (colonna.indexOf(riga) != posto) {
            colonna.removeWidget(riga);
            colonna.insertWidget(posto, riga);
        }
        ++posto;
    }
}

void VistaRegole::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (sporca_) {
        aggiorna();
    } else {
        mostraTempi();
    }
}

void VistaRegole::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    orologioDurate_.stop();
}

void VistaRegole::mostraTempi() {
    const Data adesso = stato_.orologio().adesso();
    bool temporanee = false;
    for (auto* righe : {&righeApp_, &righeDomini_}) {
        for (const auto& [id, riga] : *righe) {
            if (!riga->temporanea()) continue;
            riga->mostraTempo(adesso);
            temporanee = true;
        }
    }
    if (temporanee && isVisible()) {
        orologioDurate_.start(intervalloDurate);
    } else {
        orologioDurate_.stop();
    }
}

void VistaRegole::aggiorna() {
    // Built when shown: hundreds of rules cost nothing while another section is open.
    if (!isVisible()) {
        sporca_ = true;
        return;
    }
    sporca_ = false;
    allinea(*colonnaApp_, righeApp_, stato_.regole());
    allinea(*colonnaDomini_, righeDomini_, stato_.regoleDominio());
    sezioneApp_->setVisible(!stato_.regole().empty());
    sezioneDomini_->setVisible(!stato_.regoleDominio().empty());
    pile_->setCurrentIndex(stato_.regole().empty() && stato_.regoleDominio().empty() ? 1 : 0);
    mostraTempi();
}

}  // namespace ostrale
