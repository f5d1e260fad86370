// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

namespace ostrale::test {

// A small HTTP/1.1 server on loopback for the downloads and the API clients: each path answers
// as set, one request per connection. Requests are recorded in order, whole (a body announced
// by Content-Length is waited for).
class ServerHttp : public QObject {
  public:
    struct Risposta {
        Risposta(int s = 200, QByteArray c = {}, QByteArray i = {}, bool senza = false)
            : stato(s), corpo(std::move(c)), intestazioni(std::move(i)), senzaLunghezza(senza) {}
        int stato = 200;
        QByteArray corpo;
        QByteArray intestazioni;      // extra header lines, each ending in "\r\n"
        bool senzaLunghezza = false;  // no Content-Length: the body ends with the connection
        bool muta = false;            // never answers, and keeps the connection open
        int gocciaMs = 0;             // sends the body a byte at a time, one every so many ms
    };
    struct Richiesta {
        QByteArray metodo;
        QString percorso;
        QMap<QByteArray, QByteArray> intestazioni;  // names in lower case
        QByteArray corpo;
    };

    ServerHttp();
    // http://127.0.0.1:PORT
    QString base() const;
    void imposta(const QString& percorso, Risposta risposta) {
        percorsi_[percorso] = std::move(risposta);
    }
    // The paths asked for, in order.
    const QStringList& richieste() const { return richieste_; }
    const QList<Richiesta>& ricevute() const { return ricevute_; }
    // Connections accepted so far.
    int connessioni() const { return connessioni_; }

  private:
    void servi(QTcpSocket* s);

    QTcpServer server_;
    QMap<QString, Risposta> percorsi_;
    QStringList richieste_;
    QList<Richiesta> ricevute_;
    int connessioni_ = 0;
};

}  // namespace ostrale::test
