// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Dati/aggiornatore-c2.h"

#include <QNetworkAccessManager>
#include <QPointer>
#include <algorithm>

#include "Condiviso/blocklist-c2.h"
#include "Condiviso/testo.h"
#include "Ostrale/Dati/feed-c2.h"
#include "Ostrale/Dati/scaricatore.h"
#include "Ostrale/Stato/impostazioni-app.h"

namespace ostrale {

AggiornatoreC2::AggiornatoreC2(ImpostazioniApp& preferenze, BlocklistC2& blocklist,
                               const Orologio& orologio, QNetworkAccessManager& rete,
                               QObject* parent)
    : QObject(parent),
      preferenze_(preferenze),
      blocklist_(blocklist),
      orologio_(orologio),
      rete_(rete) {
    lavori_.setMaxThreadCount(1);
}

AggiornatoreC2::~AggiornatoreC2() {
    lavori_.waitForDone();
}

void AggiornatoreC2::setInCorso(bool v) {
    if (inCorso_ == v) return;
    inCorso_ = v;
    emit inCorsoCambiato();
}

void AggiornatoreC2::setEsito(const QString& v) {
    if (esito_ == v && esito_.isNull() == v.isNull()) return;
    esito_ = v;
    emit esitoCambiato();
}

void AggiornatoreC2::setAvanzamento(int v) {
    if (avanzamento_ == v) return;
    avanzamento_ = v;
    emit avanzamentoCambiato();
}

void AggiornatoreC2::pubblicaLista(qint64 indirizzi, std::optional<Data> data) {
    const bool cambiata = !listaLetta_ || indirizzi_ != indirizzi || dataLista_ != data;
    indirizzi_ = indirizzi;
    dataLista_ = data;
    listaLetta_ = true;
    if (cambiata) emit listaCambiata();
}

void AggiornatoreC2::leggiLista() {
    // The whole list is parsed on first use: tens of thousands of lines.
    lavori_.start([guardia = QPointer(this), &blocklist = blocklist_] {
        const auto quanti = static_cast<qint64>(blocklist.insieme()->size());
        const std::optional<Data> data = blocklist.dataCache();
        if (QObject* contesto = guardia.data()) {
            QMetaObject::invokeMethod(
                contesto,
                [guardia, quanti, data] {
                    if (guardia) guardia->pubblicaLista(quanti, data);
                },
                Qt::QueuedConnection);
        }
    });
}

void AggiornatoreC2::controllaAutomaticamente(Consegna consegna) {
    const double intervallo = blocklist_.dataCache() ? intervalloConLista : intervalloSenzaLista;
    const double trascorsi = orologio_.adesso().secondiUnix() -
                             preferenze_.comeDouble(ImpostazioniApp::c2UltimoTentativo);
    if (!inCorso_ && trascorsi > intervallo) aggiorna(true, std::move(consegna));
}

void AggiornatoreC2::aggiorna(bool silenzioso, Consegna consegna) {
    if (inCorso_) return;
    setAvanzamento(0);
    setInCorso(true);
    if (!silenzioso) setEsito(QString());
    // Before any network access: a failed attempt counts for the schedule too.
    preferenze_.imposta(ImpostazioniApp::c2UltimoTentativo, orologio_.adesso().secondiUnix());
    scarica(ImpostazioniApp::hostFeodo, percorsoFeodo, false, 0,
            [this, consegna = std::move(consegna)](std::set<std::string> feodo) mutable {
                scarica(ImpostazioniApp::hostThreatFox, percorsoThreatFox, true, 1,
                        [this, feodo = std::move(feodo),
                         consegna = std::move(consegna)](std::set<std::string> altri) mutable {
                            feodo.insert(altri.begin(), altri.end());
                            concludi(std::move(feodo), std::move(consegna));
                        });
            });
}

void AggiornatoreC2::scarica(const char* chiaveHost, const char* percorso, bool csv, int passo,
                             std::function<void(std::set<std::string>)> poi) {
    QUrl url = Scaricamento::base(preferenze_.comeTesto(chiaveHost));
    url.setPath(QString::fromLatin1(percorso));
    const std::string host = url.host().isEmpty() ? "?" : url.host().toStdString();
    Scaricamento::avvia(
        rete_, url, corpoMassimo,
        [guardia = QPointer(this), host, csv, poi = std::move(poi)](Scaricamento::Esito e) {
            if (!guardia) return;
            AggiornatoreC2& a = *guardia;
            if (!e.errore.isEmpty() || e.troppoGrande) {
                a.log_.errore(
                    "scarico " + host + " fallito: " +
                    (e.troppoGrande ? std::string("oltre 16 MiB") : e.errore.toStdString()));
                poi({});
                return;
            }
            if (e.stato != 200 ||
                !testo::èUtf8Valido(std::string_view(e.corpo.constData(), e.corpo.size()))) {
                a.log_.errore("scarico " + host + ": codice " + std::to_string(e.stato));
                poi({});
                return;
            }
            // Tens of thousands of lines: read off the main thread, handed back to it.
            a.lavori_.start([guardia, corpo = std::move(e.corpo), csv, poi]() mutable {
                auto insieme = std::make_shared<std::set<std::string>>(feedC2::estrai(
                    std::string_view(corpo.constData(), static_cast<std::size_t>(corpo.size())),
                    csv));
                // The updater waits for this work before it goes, so it is still there.
                if (QObject* contesto = guardia.data()) {
                    QMetaObject::invokeMethod(
                        contesto, [poi, insieme] { poi(std::move(*insieme)); },
                        Qt::QueuedConnection);
                }
            });
        },
        {},
        [guardia = QPointer(this), passo](qint64 ricevuti, qint64 totale) {
            if (!guardia) return;
            if (totale <= 0) {
                guardia->setAvanzamento(-1);
                return;
            }
            const qint64 parte = std::min<qint64>(ricevuti, totale) * 50 / totale;
            guardia->setAvanzamento(static_cast<int>(qint64{passo} * 50 + parte));
        });
}

void AggiornatoreC2::concludi(std::set<std::string> indirizzi, Consegna consegna) {
    if (indirizzi.size() < BlocklistC2::vociMinime) {
        setInCorso(false);
        setEsito(tr("Scaricamento non riuscito: resta la lista precedente."));
        return;
    }
    // Joined and stored off the main thread; the result comes back to it.
    lavori_.start([guardia = QPointer(this), indirizzi = std::move(indirizzi),
                   consegna = std::move(consegna), &blocklist = blocklist_]() mutable {
        auto testo = std::make_shared<std::string>(feedC2::unisci(indirizzi));
        const std::int64_t n = blocklist.aggiorna(*testo);
        const std::optional<Data> data = blocklist.dataCache();
        QObject* a = guardia.data();
        if (!a) return;
        QMetaObject::invokeMethod(
            a,
            [guardia, testo, n, data, consegna = std::move(consegna)] {
                if (!guardia) return;
                guardia->setInCorso(false);
                if (n >= 1) guardia->pubblicaLista(n, data);
                if (n >= 1 && consegna) consegna(std::move(*testo));
                guardia->setEsito(tr("Lista aggiornata: %1 indirizzi").arg(n));
            },
            Qt::QueuedConnection);
    });
}

}  // namespace ostrale
