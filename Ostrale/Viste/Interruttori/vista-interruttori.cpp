// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Interruttori/vista-interruttori.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFrame>
#include <QGroupBox>
#include <QLocale>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <type_traits>

#include "Condiviso/enumerazioni.h"
#include "Condiviso/modifica-regole.h"
#include "Ostrale/Dati/servizi-dati.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/Interruttori/riga-aggiornabile.h"
#include "Ostrale/Viste/Interruttori/riga-interruttore.h"
#include "Ostrale/Viste/Interruttori/selettore-lingua.h"

namespace ostrale {
namespace {

QGroupBox* gruppo(const QString& titolo, const char* nome, QWidget* genitore) {
    auto* g = new QGroupBox(titolo, genitore);
    g->setObjectName(QLatin1String(nome));
    auto* l = new QVBoxLayout(g);
    l->setSpacing(6);
    return g;
}

QDateTime momento(Data d) {
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(d.secondiUnix() * 1000));
}

// The switches that edit a boolean member of the filter settings, by the member's name.
template <typename F>
void perOgniInterruttore(F&& f) {
    ImpostazioniParziali::perOgniCampo([&](const char* nome, auto parziale, auto filtro) {
        if constexpr (std::is_same_v<decltype(filtro), bool ImpostazioniFiltro::*>) {
            f(QLatin1String(nome), parziale, filtro);
        }
    });
}

}  // namespace

VistaInterruttori::VistaInterruttori(StatoApp& stato, AvvioAutomatico* avvio, ServiziDati* dati,
                                     QWidget* parent)
    : QScrollArea(parent), stato_(stato), avvio_(avvio), dati_(dati) {
    setObjectName(QStringLiteral("interruttori"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* corpo = new QWidget(this);
    corpo->setObjectName(QStringLiteral("corpoInterruttori"));
    auto* colonna = new QVBoxLayout(corpo);
    colonna->setSpacing(14);
    colonna->setContentsMargins(20, 18, 20, 18);

    auto* lingua = costruisciLingua(corpo);
    auto* avvisi = costruisciAvvisi(corpo);
    auto* filtro = costruisciFiltro(corpo);
    auto* protezioni = costruisciProtezioni(corpo);
    collegaInterruttori();
    auto* difese = costruisciDifese(corpo);
    collegaDati();
    for (QWidget* g : {lingua, avvisi, filtro, protezioni, difese}) colonna->addWidget(g);
    colonna->addStretch(1);
    setWidget(corpo);

    collegaStato();
    mostraImpostazioni();
    mostraDettagli();
    mostraC2();
    mostraGeoDB();
}

QGroupBox* VistaInterruttori::costruisciLingua(QWidget* corpo) {
    auto* lingua = gruppo(tr("Lingua"), "gruppoLingua", corpo);
    auto* selettore = new SelettoreLingua(stato_, lingua);
    lingua->layout()->addWidget(selettore);
    connect(selettore, &SelettoreLingua::riavvioRichiesto, this,
            &VistaInterruttori::riavvioRichiesto);
    return lingua;
}

QGroupBox* VistaInterruttori::costruisciAvvisi(QWidget* corpo) {
    auto* avvisi = gruppo(tr("Avvio e avvisi"), "gruppoAvvio", corpo);
    RigaInterruttore* login = aggiungi(
        avvisi, "avvioAutomatico", tr("Avvia Ostrale al login"),
        tr("Apre l'app automaticamente all'accensione del computer (il filtro comunque lavora "
           "anche ad app chiusa)"));
    login->interruttore().setEnabled(false);  // until its state is known
    if (!avvio_) login->dici(tr("L'avvio automatico non è disponibile qui."));
    connect(login, &RigaInterruttore::scelto, this, &VistaInterruttori::cambiaAvvio);
    RigaInterruttore* chiedi =
        aggiungi(avvisi, "chiediSuBlocco", tr("Chiedi quando blocco per sicurezza"),
                 tr("Finestra di decisione quando un'app viene bloccata dalla quarantena o dalla "
                    "politica sulle sconosciute: continua a bloccare o consenti"));
    chiedi->mostra(stato_.preferenza(ImpostazioniApp::chiediSuBlocco).toBool());
    connect(chiedi, &RigaInterruttore::scelto, this, [this](bool acceso) {
        stato_.impostaPreferenza(ImpostazioniApp::chiediSuBlocco, acceso);
    });
    return avvisi;
}

QGroupBox* VistaInterruttori::costruisciFiltro(QWidget* corpo) {
    auto* filtro = gruppo(tr("Filtro"), "gruppoFiltro", corpo);
    aggiungi(filtro, "escludiLan", tr("Ignora il traffico locale (LAN)"),
             tr("Le connessioni verso la tua rete (192.168.x, 10.x, multicast/Bonjour, Tailscale) "
                "passano senza controlli e non finiscono nei conteggi"));
    aggiungi(filtro, "fidatiApple", tr("Fidati dei processi di sistema"),
             tr("Tutto ciò che sta nelle cartelle di sistema (/usr/lib/systemd, /usr/libexec, "
                "/usr/sbin) passa senza quarantena né politica sulle sconosciute; le tue regole e "
                "il blocco tracker valgono comunque"));
    aggiungi(filtro, "bloccaSconosciute", tr("Blocca le app senza regola"),
             tr("Le app nuove vengono bloccate finché non le consenti tu"));
    aggiungi(filtro, "filtraEntrata", tr("Filtra anche le connessioni in entrata"),
             tr("Esamina pure il traffico che arriva verso il computer"));
    aggiungi(filtro, "registraConsentiti", tr("Registra i flussi consentiti"),
             tr("Se spento, nella vista Flussi compaiono solo quelli bloccati"));
    return filtro;
}

QGroupBox* VistaInterruttori::costruisciProtezioni(QWidget* corpo) {
    auto* protezioni = gruppo(tr("Protezioni"), "gruppoProtezioni", corpo);
    aggiungi(protezioni, "rilevaAttacchi", tr("Rileva gli attacchi informatici"),
             tr("La sentinella riconosce %1 schemi d'attacco (scansioni, forza bruta, tunnel DNS, "
                "beaconing, porte malfamate, flood UDP, domini contraffatti…): segnala nella "
                "vista Attacchi e blocca la sorgente per 10 minuti (le tue regole esplicite "
                "vincono)")
                 .arg(ValoriGrezzi<TipoAttacco>::valori.size()));
    aggiungi(protezioni, "chiediPrima", tr("Sospendi e chiedi prima di bloccare"),
             tr("La connessione sospetta resta ferma (fino a 60 secondi) finché non decidi tu. "
                "Accendendolo, Ostrale si mette anche in avvio automatico, così c'è sempre"));
    aggiungi(protezioni, "bloccaTracker", tr("Blocca i tracker e la pubblicità"));
    aggiungi(protezioni, "quarantenaAttiva", tr("Quarantena per il software nuovo"));
    aggiungi(protezioni, "avvisaAnomalie", tr("Avvisa quando un'app si sveglia"),
             tr("Notifica se un'app conosciuta contatta una destinazione mai vista prima"));
    return protezioni;
}

void VistaInterruttori::collegaInterruttori() {
    perOgniInterruttore([this](const QString& nome, auto, auto) {
        connect(righe_.at(nome), &RigaInterruttore::scelto, this,
                [this, nome](bool acceso) { cambiaImpostazione(nome, acceso); });
    });
}

QGroupBox* VistaInterruttori::costruisciDifese(QWidget* corpo) {
    auto* difese = gruppo(tr("Difese aggiornabili"), "gruppoDifese", corpo);
    c2_ = new RigaAggiornabile(
        QStringLiteral("c2"),
        tr("Indirizzi dei centri di comando (%1)").arg(QStringLiteral("abuse.ch")), difese);
    auto* linea = new QFrame(difese);
    linea->setFrameShape(QFrame::HLine);
    linea->setFrameShadow(QFrame::Sunken);
    geoDB_ = new RigaAggiornabile(QStringLiteral("geoDB"),
                                  tr("Database delle posizioni (DB-IP, a bordo)"), difese);
    difese->layout()->addWidget(c2_);
    difese->layout()->addWidget(linea);
    difese->layout()->addWidget(geoDB_);
    return difese;
}

void VistaInterruttori::collegaDati() {
    if (!dati_) return;
    connect(c2_, &RigaAggiornabile::aggiornaRichiesto, this, [this] { dati_->aggiornaC2(); });
    connect(geoDB_, &RigaAggiornabile::aggiornaRichiesto, this, [this] { dati_->aggiornaGeoDB(); });
    AggiornatoreC2* c2 = &dati_->c2();
    for (auto segnale : {&AggiornatoreC2::inCorsoCambiato, &AggiornatoreC2::esitoCambiato,
                         &AggiornatoreC2::avanzamentoCambiato, &AggiornatoreC2::listaCambiata}) {
        connect(c2, segnale, this, &VistaInterruttori::mostraC2);
    }
    AggiornatoreGeoDB* geo = &dati_->geoDB();
    for (auto segnale :
         {&AggiornatoreGeoDB::inCorsoCambiato, &AggiornatoreGeoDB::esitoCambiato,
          &AggiornatoreGeoDB::avanzamentoCambiato, &AggiornatoreGeoDB::databaseCambiato}) {
        connect(geo, segnale, this, &VistaInterruttori::mostraGeoDB);
    }
}

void VistaInterruttori::collegaStato() {
    connect(&stato_, &StatoApp::impostazioniCambiate, this, [this] {
        mostraImpostazioni();
        mostraDettagli();
    });
    connect(&stato_, &StatoApp::dominiTrackerCambiati, this, &VistaInterruttori::mostraDettagli);
}

RigaInterruttore* VistaInterruttori::aggiungi(QWidget* gruppo, const char* nome,
                                              const QString& titolo, const QString& dettaglio) {
    auto* riga = new RigaInterruttore(QLatin1String(nome), titolo, dettaglio, gruppo);
    gruppo->layout()->addWidget(riga);
    righe_[QLatin1String(nome)] = riga;
    return riga;
}

RigaInterruttore* VistaInterruttori::riga(const QString& nome) const {
    const auto it = righe_.find(nome);
    return it == righe_.end() ? nullptr : it->second;
}

void VistaInterruttori::showEvent(QShowEvent* e) {
    QScrollArea::showEvent(e);
    if (!avvio_) return;
    avvio_->leggi([guardia = QPointer(this)](const AvvioAutomatico::Esito& letto) {
        if (guardia) guardia->mostraAvvio(letto);
    });
}

void VistaInterruttori::mostraImpostazioni() {
    const ImpostazioniFiltro& impostazioni = stato_.impostazioni();
    perOgniInterruttore([&](const QString& nome, auto, auto membro) {
        RigaInterruttore* riga = righe_.at(nome);
        auto attesa = inAttesa_.find(nome);
        if (attesa != inAttesa_.end() && attesa->second.valore == impostazioni.*membro) {
            inAttesa_.erase(attesa);
            attesa = inAttesa_.end();
        }
        const bool ferma = attesa != inAttesa_.end();
        riga->interruttore().setEnabled(!ferma);
        riga->mostra(ferma ? attesa->second.valore : impostazioni.*membro);
    });
}

void VistaInterruttori::mostraDettagli() {
    righe_.at(QStringLiteral("bloccaTracker"))
        ->impostaDettaglio(
            tr("Blocca in tutte le app le connessioni verso %1 domini pubblicitari "
               "e di tracciamento (le regole esplicite vincono)")
                .arg(QLocale().toString(static_cast<qulonglong>(stato_.dominiTracker()))));
    righe_.at(QStringLiteral("quarantenaAttiva"))
        ->impostaDettaglio(
            tr("Le app mai viste prima restano bloccate per %1 giorni, finché non "
               "le promuovi dal Cruscotto")
                .arg(static_cast<qlonglong>(stato_.impostazioni().giorniQuarantena)));
}

void VistaInterruttori::cambiaImpostazione(const QString& nome, bool valore) {
    ImpostazioniParziali campi;
    perOgniInterruttore([&](const QString& n, auto parziale, auto) {
        if (n == nome) campi.*parziale = valore;
    });
    RigaInterruttore* riga = righe_.at(nome);
    riga->dici({});
    // The switch is held, showing what was asked, until the controller shows it: the reply to an
    // edit may come before the settings it made, and a second change weighed against settings
    // not yet caught up would be taken for no change at all.
    const std::uint64_t numero = ++ultimaModifica_;
    inAttesa_[nome] = {valore, numero};
    riga->interruttore().setEnabled(false);
    // The controller's settings edit, with word of how it ended.
    const EsitoModifica esito = stato_.modifica(
        ModificaRegole::cambioImpostazioni(campi),
        [guardia = QPointer(this), nome, numero](EsitoModifica finale) {
            if (!guardia) return;
            if (finale == EsitoModifica::cambiata) {
                QTimer::singleShot(attesaMassimaMs, guardia.data(),
                                   [guardia, nome, numero] { guardia->rilascia(nome, numero); });
                guardia->mostraImpostazioni();  // already shown, without an extension
                return;
            }
            if (èRifiuto(finale)) guardia->righe_.at(nome)->dici(testi::esitoModifica(finale));
            guardia->rilascia(nome, numero);
        });
    if (nome == QLatin1String("chiediPrima") && valore && !èRifiuto(esito)) {
        registraAvvioSeServe();
    }
}

void VistaInterruttori::rilascia(const QString& nome, std::uint64_t numero) {
    const auto attesa = inAttesa_.find(nome);
    if (attesa == inAttesa_.end() || attesa->second.numero != numero) return;
    inAttesa_.erase(attesa);
    mostraImpostazioni();
}

void VistaInterruttori::registraAvvioSeServe() {
    if (!avvio_) return;
    // Read first: an app that already starts at login is not registered again.
    avvio_->leggi([guardia = QPointer(this)](const AvvioAutomatico::Esito& letto) {
        if (!guardia) return;
        if (letto.attivo || !letto.errore.isEmpty()) {
            guardia->mostraAvvio(letto);
            return;
        }
        guardia->avvio_->imposta(true, [guardia](const AvvioAutomatico::Esito& esito) {
            if (guardia) guardia->mostraAvvio(esito);
        });
    });
}

void VistaInterruttori::cambiaAvvio(bool attivo) {
    if (!avvio_) return;
    RigaInterruttore* riga = righe_.at(QStringLiteral("avvioAutomatico"));
    riga->interruttore().setEnabled(false);
    riga->dici({});
    avvio_->imposta(attivo, [guardia = QPointer(this)](const AvvioAutomatico::Esito& esito) {
        if (guardia) guardia->mostraAvvio(esito);
    });
}

void VistaInterruttori::mostraAvvio(const AvvioAutomatico::Esito& esito) {
    RigaInterruttore* riga = righe_.at(QStringLiteral("avvioAutomatico"));
    riga->mostra(esito.attivo);
    riga->interruttore().setEnabled(true);
    riga->dici(esito.errore);
}

void VistaInterruttori::mostraC2() {
    if (!dati_) {
        c2_->mostra(tr("Servizio non disponibile"), false, 0, {}, false);
        return;
    }
    const AggiornatoreC2& c2 = dati_->c2();
    QString testo;
    if (c2.listaLetta() && c2.dataLista()) {
        const QDateTime quando = momento(*c2.dataLista());
        const QLocale qui;
        testo =
            tr("%1 indirizzi · aggiornata il %2 — si rinfresca da sola ogni giorno")
                .arg(qui.toString(static_cast<qulonglong>(c2.indirizzi())),
                     qui.toString(quando.date(), QStringLiteral("d MMM yyyy")) +
                         QStringLiteral(", ") + qui.toString(quando.time(), QLocale::ShortFormat));
    } else if (c2.listaLetta()) {
        testo = tr("%1 indirizzi (edizione a bordo) — si aggiorna da solo ogni giorno")
                    .arg(QLocale().toString(static_cast<qulonglong>(c2.indirizzi())));
    }
    c2_->mostra(testo, c2.inCorso(), c2.avanzamento(), c2.esito());
}

void VistaInterruttori::mostraGeoDB() {
    if (!dati_) {
        geoDB_->mostra(tr("Servizio non disponibile"), false, 0, {}, false);
        return;
    }
    const AggiornatoreGeoDB& geo = dati_->geoDB();
    QString testo;
    if (geo.databaseLetto() && geo.dataCostruzione()) {
        // The site's name never breaks at its hyphen (a word joiner follows it).
        testo = tr("Edizione di %1 — si aggiorna da solo quando DB-IP ne pubblica una nuova "
                   "(circa 60 MB da %2)")
                    .arg(QLocale().toString(momento(*geo.dataCostruzione()).date(),
                                            QStringLiteral("MMMM yyyy")),
                         QStringLiteral("db-\u2060ip.com"));
    } else if (geo.databaseLetto()) {
        testo = tr("Database non caricato");
    }
    geoDB_->mostra(testo, geo.inCorso(), geo.avanzamento(), geo.esito());
}

}  // namespace ostrale
