// SPDX-License-Identifier: GPL-3.0-or-later
#include "test/Ostrale/server-http.h"

#include <QTcpSocket>
#include <QTimer>

namespace ostrale::test {

ServerHttp::ServerHttp() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = server_.nextPendingConnection()) {
            ++connessioni_;
            connect(s, &QTcpSocket::readyRead, this, [this, s] { servi(s); });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}

QString ServerHttp::base() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
}

void ServerHttp::servi(QTcpSocket* s) {
    if (s->property("servito").toBool()) {
        s->readAll();
        return;
    }
    QByteArray letto = s->property("letto").toByteArray() + s->readAll();
    s->setProperty("letto", letto);
    const qsizetype fineTesta = letto.indexOf("\r\n\r\n");
    if (fineTesta < 0) return;
    Richiesta richiesta;
    const QList<QByteArray> righe = letto.left(fineTesta).split('\n');
    const QList<QByteArray> prima = righe.value(0).trimmed().split(' ');
    richiesta.metodo = prima.value(0);
    richiesta.percorso = QString::fromUtf8(prima.value(1));
    for (qsizetype i = 1; i < righe.size(); ++i) {
        const qsizetype duepunti = righe[i].indexOf(':');
        if (duepunti <= 0) continue;
        richiesta.intestazioni.insert(righe[i].left(duepunti).trimmed().toLower(),
                                      righe[i].mid(duepunti + 1).trimmed());
    }
    const qsizetype lunghezza = richiesta.intestazioni.value("content-length", "0").toLongLong();
    if (letto.size() - fineTesta - 4 < lunghezza) return;
    richiesta.corpo = letto.mid(fineTesta + 4, lunghezza);
    s->setProperty("servito", true);
    richieste_ << richiesta.percorso;
    ricevute_ << richiesta;
    const auto it = percorsi_.constFind(richiesta.percorso);
    const Risposta r = it != percorsi_.constEnd() ? *it : Risposta{404, "not found", {}, false};
    if (r.muta) return;
    QByteArray testa = "HTTP/1.1 " + QByteArray::number(r.stato) + " X\r\nConnection: close\r\n";
    if (!r.senzaLunghezza)
        testa += "Content-Length: " + QByteArray::number(r.corpo.size()) + "\r\n";
    testa += r.intestazioni + "\r\n";
    s->write(testa);
    if (r.gocciaMs <= 0) {
        s->write(r.corpo);
        s->disconnectFromHost();
        return;
    }
    auto* goccia = new QTimer(s);
    connect(goccia, &QTimer::timeout, s,
            [s, goccia, corpo = r.corpo, inviati = qsizetype{0}]() mutable {
                if (inviati == corpo.size()) {
                    goccia->stop();
                    s->disconnectFromHost();
                    return;
                }
                s->write(corpo.mid(inviati++, 1));
            });
    goccia->start(r.gocciaMs);
}

}  // namespace ostrale::test
