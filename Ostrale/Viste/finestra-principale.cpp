// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/finestra-principale.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "Condiviso/registro.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/Attacchi/vista-attacchi.h"
#include "Ostrale/Viste/Cruscotto/cruscotto.h"
#include "Ostrale/Viste/Flussi/vista-flussi.h"
#include "Ostrale/Viste/Interruttori/vista-interruttori.h"
#include "Ostrale/Viste/Mappa/vista-mappa.h"
#include "Ostrale/Viste/Pagella/vista-pagella.h"
#include "Ostrale/Viste/Regole/vista-regole.h"
#include "Ostrale/Viste/Storico/vista-storico.h"

namespace ostrale {
namespace {

struct Sezione {
    const char* nome;
    const char* etichetta;  // translated in the sidebar
    const char* tema;       // the freedesktop icon-theme name
};

constexpr Sezione tutte[] = {
    {"cruscotto", QT_TRANSLATE_NOOP("ostrale::FinestraPrincipale", "Cruscotto"),
     "utilities-system-monitor"},
    {"flussi", QT_TRANSLATE_NOOP("ostrale::FinestraPrincipale", "Flussi"),
     "network-transmit-receive"},
    {"regole", QT_TRANSLATE_NOOP("ostrale::FinestraPrincipale", "Regole"), "view-list-details"},
    {"pagella", QT_TRANSLATE_NOOP("ostrale::FinestraPrincipale", "Pagella"), "security-high"},
    {"storico", QT_TRANSLATE_NOOP("ostrale::FinestraPrincipale", "Storico"), "office-chart-bar"},
    {"mappa", QT_TRANSLATE_NOOP("ostrale::FinestraPrincipale", "Mappa"), "applications-internet"},
    {"attacchi", QT_TRANSLATE_NOOP("ostrale::FinestraPrincipale", "Attacchi"), "security-low"},
    {"interruttori", QT_TRANSLATE_NOOP("ostrale::FinestraPrincipale", "Interruttori"),
     "preferences-system"},
};

}  // namespace

const std::vector<QString>& FinestraPrincipale::sezioni() {
    static const std::vector<QString> nomi = [] {
        std::vector<QString> v;
        for (const Sezione& s : tutte) v.push_back(QString::fromLatin1(s.nome));
        return v;
    }();
    return nomi;
}

FinestraPrincipale::FinestraPrincipale(StatoApp& stato, QWidget* parent)
    : FinestraPrincipale(stato, Servizi{}, parent) {}

FinestraPrincipale::FinestraPrincipale(StatoApp& stato, Servizi servizi, QWidget* parent)
    : QMainWindow(parent), stato_(stato) {
    setObjectName(QStringLiteral("principale"));
    setWindowTitle(QString());
    setMinimumSize(780, 520);
    resize(980, 680);
    // An edit of the rules that failed once it had left (the extension or the file said no).
    connect(&stato_, &StatoApp::modificaFallita, this, [this](EsitoModifica esito) {
        statusBar()->showMessage(testi::esitoModifica(esito), 10000);
    });

    viste_ = new QStackedWidget(this);
    costruisciBarra();
    elencaSezioni(costruisciSezioni(servizi));
    connect(barra_, &QListWidget::currentRowChanged, viste_, &QStackedWidget::setCurrentIndex);
    auto* colonna = costruisciColonna();

    auto* divisore = new QSplitter(this);
    divisore->addWidget(colonna);
    divisore->addWidget(viste_);
    divisore->setStretchFactor(1, 1);
    divisore->setSizes({180, 800});
    divisore->setChildrenCollapsible(false);
    setCentralWidget(divisore);

    if (!mostraSezione(stato_.preferenza(ImpostazioniApp::sezioneApertura).toString())) {
        mostraSezione(QStringLiteral("cruscotto"));
    }
    ascoltaBus();
}

void FinestraPrincipale::costruisciBarra() {
    barra_ = new QListWidget(this);
    barra_->setObjectName(QStringLiteral("barraSezioni"));
    barra_->setIconSize(QSize(20, 20));
    barra_->setFrameShape(QFrame::NoFrame);
    barra_->setSpacing(2);
}

std::map<QString, QWidget*> FinestraPrincipale::costruisciSezioni(Servizi servizi) {
    auto* cruscotto = new Cruscotto(stato_, viste_);
    pagella_ = new VistaPagella(stato_, viste_);
    auto* flussi = new VistaFlussi(stato_, viste_);
    auto* interruttori = new VistaInterruttori(stato_, servizi.avvio, servizi.dati, viste_);
    connect(interruttori, &VistaInterruttori::riavvioRichiesto, this,
            &FinestraPrincipale::riavvioRichiesto);
    return {{QStringLiteral("cruscotto"), cruscotto},
            {QStringLiteral("flussi"), flussi},
            {QStringLiteral("regole"), new VistaRegole(stato_, viste_)},
            {QStringLiteral("pagella"), pagella_},
            {QStringLiteral("storico"), new VistaStorico(stato_, viste_)},
            {QStringLiteral("mappa"), new mappa::VistaMappa(stato_, viste_)},
            {QStringLiteral("attacchi"), new VistaAttacchi(stato_, viste_)},
            {QStringLiteral("interruttori"), interruttori}};
}

void FinestraPrincipale::elencaSezioni(const std::map<QString, QWidget*>& costruite) {
    for (const Sezione& s : tutte) {
        const QString nome = QString::fromLatin1(s.nome);
        const auto vista = costruite.find(nome);
        if (vista == costruite.end()) continue;
        auto* voce = new QListWidgetItem(
            QIcon::fromTheme(QLatin1String(s.tema),
                             QIcon(QStringLiteral(":/icone/") + nome + QStringLiteral(".svg"))),
            tr(s.etichetta), barra_);
        voce->setData(Qt::UserRole, nome);
        voce->setSizeHint(QSize(0, 32));
        viste_->addWidget(vista->second);
        costruite_.push_back(nome);
    }
}

// The sidebar's column: the sections, and at its foot the logo (credits).
QWidget* FinestraPrincipale::costruisciColonna() {
    auto* logo = new QToolButton(this);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setIcon(QIcon(QStringLiteral(":/icone/ostrale.svg")));
    logo->setIconSize(QSize(36, 36));
    logo->setAutoRaise(true);
    logo->setToolTip(tr("Informazioni su Ostrale"));
    connect(logo, &QToolButton::clicked, this, [this] {
        crediti()->show();
        crediti()->raise();
        crediti()->activateWindow();
    });

    auto* colonna = new QWidget(this);
    colonna->setObjectName(QStringLiteral("colonnaSezioni"));
    auto* c = new QVBoxLayout(colonna);
    c->setContentsMargins(8, 10, 8, 10);
    c->addWidget(barra_, 1);
    auto* piede = new QHBoxLayout;
    piede->addWidget(logo);
    piede->addStretch(1);
    c->addLayout(piede);
    colonna->setMinimumWidth(160);
    colonna->setMaximumWidth(240);
    return colonna;
}

void FinestraPrincipale::ascoltaBus() {
    // "it.brelt.ostrale.spento" on the session bus: interface it.brelt.ostrale, signal spento,
    // from anyone, with a section's name.
    QDBusConnection::sessionBus().connect(QString(), QString(), QStringLiteral("it.brelt.ostrale"),
                                          QStringLiteral("spento"), this,
                                          SLOT(suRichiestaSezione(QString)));
}

bool FinestraPrincipale::mostraSezione(const QString& nome) {
    const auto it = std::find(costruite_.begin(), costruite_.end(), nome);
    if (it == costruite_.end()) return false;
    barra_->setCurrentRow(static_cast<int>(it - costruite_.begin()));
    return true;
}

QString FinestraPrincipale::sezioneCorrente() const {
    const int riga = barra_->currentRow();
    return riga >= 0 ? costruite_[static_cast<std::size_t>(riga)] : QString();
}

void FinestraPrincipale::suRichiestaSezione(const QString& nome) {
    if (mostraSezione(nome) && Registro::debugAttivo()) {
        Registro("finestra").debug("Sezione mostrata su richiesta: " + nome.toStdString());
    }
}

QWidget* FinestraPrincipale::crediti() {
    if (crediti_) return crediti_;
    auto* w = new QWidget(this, Qt::Window);
    w->setObjectName(QStringLiteral("crediti"));
    w->setWindowTitle(tr("Informazioni su Ostrale"));
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(28, 24, 28, 24);
    l->setSpacing(10);
    auto* icona = new QLabel(w);
    icona->setPixmap(QIcon(QStringLiteral(":/icone/ostrale.svg")).pixmap(72, 72));
    icona->setAlignment(Qt::AlignCenter);
    auto* nome = new QLabel(QStringLiteral("Ostrale"), w);
    QFont f = nome->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.6);
    nome->setFont(f);
    nome->setAlignment(Qt::AlignCenter);
    auto* motto = new QLabel(tr("La sentinella di rete del tuo computer"), w);
    motto->setAlignment(Qt::AlignCenter);
    auto* versione = new QLabel(tr("Versione %1").arg(stato_.versioneApp()), w);
    versione->setAlignment(Qt::AlignCenter);
    versione->setEnabled(false);
    auto* descrizione = new QLabel(
        tr("Ostrale controlla le connessioni del tuo computer con un'estensione di sistema: regole "
           "per app, quarantena del software nuovo, pagella privacy e mappa dei collegamenti. "
           "Tutto resta sul tuo computer."),
        w);
    descrizione->setWordWrap(true);
    descrizione->setAlignment(Qt::AlignCenter);
    auto* fonti = new QLabel(
        tr("<b>Dati usati</b><br>"
           "Geolocalizzazione: DB-IP City Lite, © DB-IP.com, licenza CC BY 4.0 (incluso "
           "nell'app).<br>"
           "Domini di pubblicità e tracciamento: EasyList ed EasyPrivacy, © The EasyList authors, "
           "GPL v3+ o CC BY-SA 3.0+.<br>"
           "Indirizzi di comando e controllo: Feodo Tracker e ThreatFox di abuse.ch, CC0.<br>"
           "Mappa: terre emerse di Natural Earth (pubblico dominio) dal pacchetto world-atlas, "
           "© Michael Bostock, licenza ISC."),
        w);
    fonti->setObjectName(QStringLiteral("attribuzioni"));
    fonti->setWordWrap(true);
    fonti->setTextFormat(Qt::RichText);
    l->addWidget(icona);
    l->addWidget(nome);
    l->addWidget(motto);
    l->addWidget(versione);
    l->addSpacing(6);
    l->addWidget(descrizione);
    l->addSpacing(6);
    l->addWidget(fonti);
    w->setFixedWidth(460);
    w->adjustSize();
    crediti_ = w;
    return w;
}

}  // namespace ostrale
