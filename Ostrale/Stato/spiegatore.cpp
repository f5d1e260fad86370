// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Stato/spiegatore.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "Ostrale/Stato/testi.h"

namespace ostrale::Spiegatore {
namespace {

bool èLoopback(const QString& host) {
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 ||
           QHostAddress(host).isLoopback();
}

// A JSON member that may be absent or null, else must be a string.
bool testoFacoltativo(const QJsonValue& v) {
    return v.isUndefined() || v.isNull() || v.isString();
}

}  // namespace

QString ErroreSpiegazione::descrizione() const {
    switch (caso) {
        case Caso::api:
            return QCoreApplication::translate("ostrale::Spiegatore", "Errore API (codice %1).",
                                               "errore")
                .arg(stato);
        case Caso::rete:
            return QCoreApplication::translate(
                "ostrale::Spiegatore", "Risposta non leggibile o connessione fallita.", "errore");
        case Caso::chiaveNonValida:
            return QCoreApplication::translate(
                "ostrale::Spiegatore", "Chiave API non valida: controllala e riprova.", "errore");
    }
    return {};
}

QString Esito::descrizioneErrore() const {
    if (errore) return errore->descrizione();
    return altroErrore;
}

QString chiavePulita(const QString& chiave) {
    // No key holds white space: a key pasted broken over lines is whole again.
    QString pulita;
    pulita.reserve(chiave.size());
    for (const QChar c : chiave) {
        if (!c.isSpace()) pulita += c;
    }
    return pulita;
}

bool chiaveUsabile(const QString& chiave) {
    if (chiave.isEmpty()) return false;
    for (const QChar c : chiave) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
    }
    return true;
}

std::optional<QUrl> indirizzo(const QString& base) {
    const QString b = base.trimmed();
    QUrl url(b.contains(QLatin1String("://")) ? b : QStringLiteral("https://") + b,
             QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty()) return std::nullopt;
    const QString schema = url.scheme().toLower();
    if (schema != QLatin1String("https") &&
        !(schema == QLatin1String("http") && èLoopback(url.host()))) {
        return std::nullopt;
    }
    QString percorso = url.path();
    while (percorso.endsWith(QLatin1Char('/'))) percorso.chop(1);
    url.setPath(percorso + QLatin1String(percorsoMessaggi));
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

QString prompt(const EventoFlusso& evento, bool tracker) {
    return testi::promptSpiegami(
        QString::fromStdString(evento.firmaApp), QString::fromStdString(evento.host),
        QString::fromStdString(evento.porta), QString::fromStdString(evento.protocollo),
        testi::etichettaDirezione(evento.direzione).toLower(),
        tracker ? QCoreApplication::translate("ostrale::Spiegatore", "sì", "tracker")
                : QCoreApplication::translate("ostrale::Spiegatore", "no", "tracker"),
        evento.consentito
            ? QCoreApplication::translate("ostrale::Spiegatore", "consentita", "esito")
            : QCoreApplication::translate("ostrale::Spiegatore", "bloccata", "esito"));
}

QByteArray corpo(const QString& prompt) {
    const QJsonObject messaggio{{QStringLiteral("role"), QStringLiteral("user")},
                                {QStringLiteral("content"), prompt}};
    const QJsonObject o{{QStringLiteral("model"), QLatin1String(modello)},
                        {QStringLiteral("max_tokens"), tokenMassimi},
                        {QStringLiteral("messages"), QJsonArray{messaggio}}};
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

Esito leggiRisposta(const QByteArray& corpo) {
    QJsonParseError errore{};
    const QJsonDocument documento = QJsonDocument::fromJson(corpo, &errore);
    if (errore.error != QJsonParseError::NoError) return Esito::guasto(errore.errorString());
    const Esito illeggibile = Esito::fallito(ErroreSpiegazione::rete());
    if (!documento.isObject()) return illeggibile;
    const QJsonObject risposta = documento.object();
    const QJsonValue contenuto = risposta.value(QLatin1String("content"));
    const QJsonValue motivo = risposta.value(QLatin1String("stop_reason"));
    if (!contenuto.isArray() || !testoFacoltativo(motivo)) return illeggibile;
    std::optional<QString> testo;
    for (const QJsonValue& v : contenuto.toArray()) {
        if (!v.isObject()) return illeggibile;
        const QJsonValue tipo = v.toObject().value(QLatin1String("type"));
        const QJsonValue t = v.toObject().value(QLatin1String("text"));
        if (!tipo.isString() || !testoFacoltativo(t)) return illeggibile;
        if (!testo && tipo.toString() == QLatin1String("text") && t.isString()) {
            testo = t.toString();
        }
    }
    if (motivo.toString() == QLatin1String("refusal") || !testo) return illeggibile;
    return Esito::riuscito(*testo);
}

RichiestaSpiegazione::RichiestaSpiegazione(QNetworkAccessManager& rete, QObject* parent)
    : QObject(parent), rete_(rete) {
    scadenza_.setSingleShot(true);
    connect(&scadenza_, &QTimer::timeout, this, [this] {
        log_.avviso("Spiegazione da " + host_.toStdString() + ": nessuna risposta entro " +
                    std::to_string(attesa_.count()) + " ms");
        concludi(Esito::fallito(ErroreSpiegazione::rete()));
    });
}

RichiestaSpiegazione::~RichiestaSpiegazione() {
    annulla();
}

void RichiestaSpiegazione::avvia(const QString& base, const QString& chiave,
                                 const QString& prompt) {
    annulla();
    inCorso_ = true;
    chiave_ = chiavePulita(chiave);
    const std::optional<QUrl> url = indirizzo(base);
    host_ = url ? url->host() : QString();
    std::optional<Esito> rifiuto;
    if (!chiaveUsabile(chiave_)) {
        rifiuto = Esito::fallito(ErroreSpiegazione::chiaveNonValida());
    } else if (!url) {
        log_.avviso("Spiegazione rifiutata: indirizzo del servizio non valido o non HTTPS");
        rifiuto = Esito::guasto(QCoreApplication::translate(
            "ostrale::Spiegatore",
            "Indirizzo del servizio non valido o non protetto (serve HTTPS).", "errore"));
    }
    if (rifiuto) {
        // Told from the event loop, as an answer would be: the caller has finished starting.
        QMetaObject::invokeMethod(
            this,
            [this, numero = numero_, esito = *rifiuto] {
                if (numero == numero_) concludi(esito);
            },
            Qt::QueuedConnection);
        return;
    }

    QNetworkRequest richiesta(*url);
    richiesta.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    richiesta.setRawHeader(QByteArrayLiteral("x-api-key"), chiave_.toLatin1());
    richiesta.setRawHeader(QByteArrayLiteral("anthropic-version"), QByteArray(versioneApi));
    richiesta.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                           QNetworkRequest::ManualRedirectPolicy);
    richiesta.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                           QNetworkRequest::AlwaysNetwork);
    richiesta.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    richiesta.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    richiesta.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    risposta_ = rete_.post(richiesta, corpo(prompt));
    connect(risposta_, &QNetworkReply::metaDataChanged, this, &RichiestaSpiegazione::suMetadati);
    connect(risposta_, &QNetworkReply::readyRead, this, &RichiestaSpiegazione::suDati);
    connect(risposta_, &QNetworkReply::finished, this, &RichiestaSpiegazione::suFine);
    scadenza_.start(attesa_);
}

void RichiestaSpiegazione::annulla() {
    ++numero_;
    inCorso_ = false;
    scadenza_.stop();
    ricevuto_.clear();
    chiave_.clear();
    if (QNetworkReply* r = risposta_) {
        risposta_ = nullptr;
        r->disconnect(this);
        // Aborted from the event loop: this may run inside one of the reply's own signals, and
        // a reply that is reporting an error must not be ended while it does so.
        QMetaObject::invokeMethod(
            r,
            [r] {
                r->abort();
                r->deleteLater();
            },
            Qt::QueuedConnection);
    }
}

void RichiestaSpiegazione::suMetadati() {
    if (!risposta_) return;
    const QVariant codice = risposta_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (!codice.isValid()) return;
    const int stato = codice.toInt();
    // Only the status counts for an answer other than 200: its body is not read.
    if (stato != 200) {
        log_.avviso("Spiegazione da " + host_.toStdString() + ": codice " + std::to_string(stato));
        concludi(Esito::fallito(stato == 401 ? ErroreSpiegazione::chiaveNonValida()
                                             : ErroreSpiegazione::api(stato)));
        return;
    }
    if (risposta_->header(QNetworkRequest::ContentLengthHeader).toLongLong() > rispostaMassima) {
        log_.avviso("Spiegazione da " + host_.toStdString() + ": risposta oltre 1 MiB");
        concludi(Esito::fallito(ErroreSpiegazione::rete()));
    }
}

void RichiestaSpiegazione::suDati() {
    if (!risposta_) return;
    ricevuto_ += risposta_->readAll();
    if (ricevuto_.size() > rispostaMassima) {
        log_.avviso("Spiegazione da " + host_.toStdString() + ": risposta oltre 1 MiB");
        concludi(Esito::fallito(ErroreSpiegazione::rete()));
    }
}

void RichiestaSpiegazione::suFine() {
    if (!risposta_) return;
    // A status other than 200 ended the request as soon as it came.
    suMetadati();
    if (!risposta_) return;
    suDati();
    if (!risposta_) return;
    const QVariant codice = risposta_->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (risposta_->error() != QNetworkReply::NoError) {
        const QString descrizione = senzaChiave(risposta_->errorString());
        log_.avviso("Spiegazione da " + host_.toStdString() +
                    " non riuscita: " + descrizione.toStdString());
        concludi(Esito::guasto(descrizione));
    } else if (!codice.isValid()) {
        concludi(Esito::fallito(ErroreSpiegazione::rete()));
    } else {
        Esito esito = leggiRisposta(ricevuto_);
        if (!esito.altroErrore.isEmpty()) {
            esito.altroErrore = senzaChiave(esito.altroErrore);
            log_.avviso("Spiegazione da " + host_.toStdString() +
                        ": risposta non JSON: " + esito.altroErrore.toStdString());
        } else if (!esito.ok()) {
            log_.avviso("Spiegazione da " + host_.toStdString() + ": risposta senza spiegazione");
        }
        concludi(std::move(esito));
    }
}

void RichiestaSpiegazione::concludi(Esito esito) {
    if (!inCorso_) return;
    annulla();
    // Last: whoever listens may start another request or destroy this one.
    emit finita(esito);
}

QString RichiestaSpiegazione::senzaChiave(QString testo) const {
    if (!chiave_.isEmpty()) testo.replace(chiave_, QStringLiteral("…"));
    return testo;
}

}  // namespace ostrale::Spiegatore
