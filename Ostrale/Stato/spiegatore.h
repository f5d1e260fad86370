// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <cstdint>
#include <optional>

#include "Condiviso/evento-flusso.h"
#include "Condiviso/registro.h"

class QNetworkAccessManager;
class QNetworkReply;

// The flow explainer's client: one request to the Anthropic Messages API, with the user's key,
// for a plain-language explanation of one flow.
namespace ostrale::Spiegatore {

inline constexpr const char* percorsoMessaggi = "/v1/messages";
inline constexpr const char* modello = "claude-opus-5";
inline constexpr int tokenMassimi = 600;
inline constexpr const char* versioneApi = "2023-06-01";
// The whole request, from sending to the last byte of the answer.
inline constexpr std::chrono::milliseconds attesaMassima{60'000};
inline constexpr qint64 rispostaMassima = 1 << 20;

// Why the API gave no explanation.
struct ErroreSpiegazione {
    enum class Caso { api, rete, chiaveNonValida };

    static ErroreSpiegazione api(int codice) { return {Caso::api, codice}; }
    static ErroreSpiegazione rete() { return {Caso::rete, 0}; }
    static ErroreSpiegazione chiaveNonValida() { return {Caso::chiaveNonValida, 0}; }

    // The text for the user.
    QString descrizione() const;
    bool operator==(const ErroreSpiegazione&) const = default;

    Caso caso;
    int stato;  // the HTTP status of `api`
};

// How a request ended: the explanation, or why there is none.
struct Esito {
    static Esito riuscito(QString spiegazione) { return {std::move(spiegazione), {}, {}}; }
    static Esito fallito(ErroreSpiegazione motivo) { return {{}, motivo, {}}; }
    // A transport failure or an answer that is not JSON, as the platform describes it.
    static Esito guasto(QString descrizione) { return {{}, {}, std::move(descrizione)}; }

    bool ok() const { return testo.has_value(); }
    // The failure's text for the user; empty when it succeeded.
    QString descrizioneErrore() const;

    std::optional<QString> testo;
    std::optional<ErroreSpiegazione> errore;
    QString altroErrore;
};

// The key as it is stored: without any white space.
QString chiavePulita(const QString& chiave);
// Whether `chiave` may be sent: not empty and printable ASCII only (anything else could not be
// a key, and could not travel in a header as it is).
bool chiaveUsabile(const QString& chiave);
// The messages endpoint under `base` (the "hostAnthropic" setting: a base URL, or a host reached
// over HTTPS), when the key may go there: over HTTPS, or over plain HTTP to this computer only.
std::optional<QUrl> indirizzo(const QString& base);
// The question about `evento`; `tracker` tells whether its host is on the tracker list.
QString prompt(const EventoFlusso& evento, bool tracker);
// The request's JSON body.
QByteArray corpo(const QString& prompt);
// Reads the body of an answer with status 200, whole.
Esito leggiRisposta(const QByteArray& corpo);

// One request at a time, on the thread of the access manager, never waiting. `finita` comes once
// per `avvia`, from the event loop, unless the request is aborted (or this object destroyed)
// first. Redirects are never followed; the answer is limited in size and in total time.
class RichiestaSpiegazione final : public QObject {
    Q_OBJECT
  public:
    explicit RichiestaSpiegazione(QNetworkAccessManager& rete, QObject* parent = nullptr);
    ~RichiestaSpiegazione() override;

    // Sends `prompt` to the endpoint under `base` with `chiave` (as stored), aborting a request
    // still running. An unusable key or endpoint fails without sending anything.
    void avvia(const QString& base, const QString& chiave, const QString& prompt);
    // Drops the request in flight, silently.
    void annulla();
    bool inCorso() const { return inCorso_; }
    void impostaAttesaMassima(std::chrono::milliseconds attesa) { attesa_ = attesa; }

  signals:
    void finita(const ostrale::Spiegatore::Esito& esito);

  private:
    void suMetadati();
    void suDati();
    void suFine();
    void concludi(Esito esito);
    // `testo` without the key in it.
    QString senzaChiave(QString testo) const;

    QNetworkAccessManager& rete_;
    QPointer<QNetworkReply> risposta_;
    QTimer scadenza_;
    std::chrono::milliseconds attesa_ = attesaMassima;
    QByteArray ricevuto_;
    QString chiave_;
    QString host_;
    bool inCorso_ = false;
    std::uint64_t numero_ = 0;  // grows with every start and abort: late callbacks are ignored
    Registro log_{"it.brelt.ostrale", "spiegatore"};
};

}  // namespace ostrale::Spiegatore
