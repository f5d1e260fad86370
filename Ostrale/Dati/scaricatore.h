// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QNetworkAccessManager;

namespace ostrale {

// One bounded download: a timeout, a few redirects at most (never from HTTPS to plain HTTP), and
// a size limit past which the transfer is cut off. The body is kept in memory or written to a
// file as it arrives. The answer comes once, on the thread of the access manager.
struct Scaricamento {
    static constexpr int attesaMassimaMs = 25'000;
    static constexpr int redirezioniMassime = 3;

    struct Esito {
        bool riuscito = false;  // a transfer that ended with status 200, within the limit
        int stato = 0;          // the HTTP status; 0 without an HTTP answer
        QString errore;         // the transport's reason, when it failed
        bool troppoGrande = false;
        QByteArray corpo;  // in memory, when no file was given
    };
    using Fine = std::function<void(Esito)>;
    // Bytes received so far and the length announced (-1 when the server says none).
    using Avanzamento = std::function<void(qint64 ricevuti, qint64 totale)>;

    // Fetches `url`, keeping at most `massimo` bytes; with `file`, the body goes there.
    // `avanzamento`, when given, follows the transfer, on the same thread as the answer.
    static void avvia(QNetworkAccessManager& rete, const QUrl& url, qint64 massimo, Fine fine,
                      const QString& file = {}, Avanzamento avanzamento = {});

    // The base URL of a host setting: "feeds.example" → https://feeds.example; a value that
    // names its scheme ("http://127.0.0.1:8080", tests) is taken as it is.
    static QUrl base(const QString& host);
};

}  // namespace ostrale
