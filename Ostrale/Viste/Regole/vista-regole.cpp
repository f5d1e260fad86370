// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Regole/vista-regole.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <set>

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

QFrame* riquadro(QWidget* genitore) {
    auto* r = new QFrame(genitore);
    r->setFrameShape(QFrame::StyledPanel);
    r->setAutoFillBackground(true);
    r->setBackgroundRole(QPalette::Base);
    return r;
}

}  // namespace

VistaRegole::VistaRegole(StatoApp& stato, QWidget* parent) : QWidget(parent), stato_(stato) {
    setObjectName(QStringLiteral("regole"));
    // One sheet for every row: the action picker's two halves, the chosen one in its action's
    // colour, and the line between rows.
    setStyleSheet(QStringLiteral(
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
        "#rigaRegola { border-bottom: 1px solid palette(midlight); }"));

    // The two lists, in a scrolling column.
    auto* contenuto = new QWidget(this);
    auto* c = new QVBoxLayout(contenuto);
    c->setContentsMargins(0, 0, 6, 0);
    sezioneApp_ = new QWidget(contenuto);
    auto* sa = new QVBoxLayout(sezioneApp_);
    sa->setContentsMargins(0, 0, 0, 0);
    sa->addWidget(titoloSezione(tr("Per app"), sezioneApp_));
    auto* elencoApp = riquadro(sezioneApp_);
    elencoApp->setObjectName(QStringLiteral("regoleApp"));
    colonnaApp_ = new QVBoxLayout(elencoApp);
    colonnaApp_->setContentsMargins(0, 0, 0, 0);
    colonnaApp_->setSpacing(0);
    sa->addWidget(elencoApp);
    sezioneDomini_ = new QWidget(contenuto);
    auto* sd = new QVBoxLayout(sezioneDomini_);
    sd->setContentsMargins(0, 0, 0, 0);
    sd->addWidget(
        titoloSezione(tr("Per dominio — valgono ovunque, in qualunque app"), sezioneDomini_));
    auto* elencoDomini = riquadro(sezioneDomini_);
    elencoDomini->setObjectName(QStringLiteral("regoleDomini"));
    colonnaDomini_ = new QVBoxLayout(elencoDomini);
    colonnaDomini_->setContentsMargins(0, 0, 0, 0);
    colonnaDomini_->setSpacing(0);
    sd->addWidget(elencoDomini);
    c->addWidget(sezioneApp_);
    c->addWidget(sezioneDomini_);
    c->addStretch(1);
    auto* scorri = new QScrollArea(this);
    scorri->setObjectName(QStringLiteral("scorriRegole"));
    scorri->setWidget(contenuto);
    scorri->setWidgetResizable(true);
    scorri->setFrameShape(QFrame::NoFrame);
    scorri->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    // No rules at all.
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
    pile_ = new QStackedWidget(this);
    pile_->addWidget(scorri);
    pile_->addWidget(vuoto);

    // The two fields that add rules.
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
    auto aggiungi = [this](QLineEdit* campo, bool dominio) {
        const QString testo = campo->text().trimmed();
        if (testo.isEmpty()) return;
        const EsitoModifica esito =
            dominio
                ? stato_.aggiungiRegolaDominio(testo.toStdString(), nuovaAzioneDominio_->azione())
                : stato_.aggiungiRegola(testo.toStdString(), nuovaAzione_->azione());
        segnala(esito);
        // What was refused stays in the field, to be mended.
        if (esito == EsitoModifica::cambiata || esito == EsitoModifica::invariata) campo->clear();
    };
    connect(aggiungiApp, &QPushButton::clicked, this,
            [this, aggiungi] { aggiungi(nuovaFirma_, false); });
    connect(nuovaFirma_, &QLineEdit::returnPressed, this,
            [this, aggiungi] { aggiungi(nuovaFirma_, false); });
    connect(aggiungiDominio, &QPushButton::clicked, this,
            [this, aggiungi] { aggiungi(nuovoDominio_, true); });
    connect(nuovoDominio_, &QLineEdit::returnPressed, this,
            [this, aggiungi] { aggiungi(nuovoDominio_, true); });
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
    messaggio_ = new QLabel(this);
    messaggio_->setObjectName(QStringLiteral("messaggioRegole"));
    messaggio_->setTextFormat(Qt::PlainText);
    messaggio_->setWordWrap(true);
    messaggio_->setEnabled(false);

    auto* l = new QVBoxLayout(this);
    l->setContentsMargins(12, 6, 12, 10);
    l->addWidget(pile_, 1);
    l->addWidget(messaggio_);
    l->addLayout(moduli);

    connect(&stato_, &StatoApp::regoleCambiate, this, &VistaRegole::aggiorna);
    connect(&stato_, &StatoApp::regoleDominioCambiate, this, &VistaRegole::aggiorna);
    // An edit refused once it had left: the rows show the rules as they stand again.
    connect(&stato_, &StatoApp::modificaFallita, this, [this](EsitoModifica esito) {
        aggiorna();
        segnala(esito);
    });
    aggiorna();
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
    if (sporca_) aggiorna();
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
}

}  // namespace ostrale
