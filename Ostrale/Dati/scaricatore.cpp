// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Dati/scaricatore.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace ostrale {

QUrl Scaricamento::base(const QString& host) {
    const QString h = host.trimmed();
    return QUrl(h.contains(QLatin1String("://")) ? h : QStringLiteral("https://") + h);
}

void Scaricamento::avvia(QNetworkAccessManager& rete, const QUrl& url, qint64 massimo, Fine fine,
                         const QString& file, Avanzamento avanzamento) {
    QNetworkRequest richiesta(url);
    richiesta.setTransferTimeout(attesaMassimaMs);
    richiesta.setMaximumRedirectsAllowed(redirezioniMassime);
    richiesta.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                           QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* risposta = rete.get(richiesta);

    struct Stato {
        Esito esito;
        qint64 ricevuti = 0;
        std::unique_ptr<QFile> file;
        Fine fine;
    };
    auto stato = std::make_shared<Stato>();
    stato->fine = std::move(fine);
    QObject::connect(risposta, &QNetworkReply::readyRead, risposta, [risposta, stato, massimo] {
        if (stato->esito.troppoGrande) return;
        const QByteArray pezzo = risposta->readAll();
        stato->ricevuti += pezzo.size();
        if (stato->ricevuti > massimo) {
            stato->esito.troppoGrande = true;
            risposta->abort();
            return;
        }
        if (stato->file) {
            if (stato->file->write(pezzo) != pezzo.size()) {
                stato->esito.errore = stato->file->errorString();
                risposta->abort();
            }
        } else {
            stato->esito.corpo += pezzo;
        }
    });
    if (avanzamento) {
        QObject::connect(risposta, &QNetworkReply::downloadProgress, risposta,
                         [avanzamento = std::move(avanzamento)](qint64 ricevuti, qint64 totale) {
                             avanzamento(ricevuti, totale > 0 ? totale : -1);
                         });
    }
    QObject::connect(risposta, &QNetworkReply::finished, risposta, [risposta, stato, massimo] {
        risposta->deleteLater();
        Esito& e = stato->esito;
        // A declared length over the limit is refused without reading on.
        if (!e.troppoGrande &&
            risposta->header(QNetworkRequest::ContentLengthHeader).toLongLong() > massimo) {
            e.troppoGrande = true;
        }
        const QVariant codice = risposta->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        e.stato = codice.isValid() ? codice.toInt() : 0;
        // An HTTP answer other than 200 is told by its status, not as a failed transfer.
        const int errore = risposta->error();
        const bool diStato = e.stato != 0 && ((errore >= QNetworkReply::ContentAccessDenied &&
                                               errore <= QNetworkReply::UnknownContentError) ||
                                              (errore >= QNetworkReply::InternalServerError &&
                                               errore <= QNetworkReply::UnknownServerError));
        if (!e.troppoGrande && e.errore.isEmpty() && errore != QNetworkReply::NoError && !diStato) {
            e.errore = risposta->errorString();
        }
        if (stato->file) {
            if (!stato->file->flush() && e.errore.isEmpty()) e.errore = stato->file->errorString();
            stato->file->close();
        }
        e.riuscito = !e.troppoGrande && e.errore.isEmpty() && e.stato == 200;
        if (!e.riuscito) e.corpo.clear();
        stato->fine(std::move(e));
    });
    // The file once the answer is wired: a file that cannot be written ends the transfer, and
    // the end is still reported (abort() reports it at once, so not from here).
    if (!file.isEmpty()) {
        stato->file = std::make_unique<QFile>(file);
        if (!stato->file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            stato->esito.errore = stato->file->errorString();
            stato->file.reset();
            QMetaObject::invokeMethod(
                risposta, [risposta] { risposta->abort(); }, Qt::QueuedConnection);
        }
    }
}

}  // namespace ostrale
