#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>

namespace ostrale::test {

// A small HTTP/1.1 server on loopback for the downloads: each path answers as set, one request
// per connection. Requests are recorded in order.
class ServerHttp : public QObject {
  public:
    struct Risposta {
        Risposta(int s = 200, QByteArray c = {}, QByteArray i = {}, bool senza = false)
            : stato(s), corpo(std::move(c)), intestazioni(std::move(i)), senzaLunghezza(senza) {}
        int stato = 200;
        QByteArray corpo;
        QByteArray intestazioni;      // extra header lines, each ending in "\r\n"
        bool senzaLunghezza = false;  // no Content-Length: the body ends with the connection
    };

    ServerHttp();
    // http://127.0.0.1:PORT
    QString base() const;
    void imposta(const QString& percorso, Risposta risposta) {
        percorsi_[percorso] = std::move(risposta);
    }
    const QStringList& richieste() const { return richieste_; }

  private:
    void servi(QTcpSocket* s);

    QTcpServer server_;
    QMap<QString, Risposta> percorsi_;
    QStringList richieste_;
};

}  // namespace ostrale::test
