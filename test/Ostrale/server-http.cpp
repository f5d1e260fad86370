#include "test/Ostrale/server-http.h"

#include <QTcpSocket>

namespace ostrale::test {

ServerHttp::ServerHttp() {
    server_.listen(QHostAddress::LocalHost, 0);
    connect(&server_, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* s = server_.nextPendingConnection()) {
            connect(s, &QTcpSocket::readyRead, this, [this, s] { servi(s); });
            connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        }
    });
}

QString ServerHttp::base() const {
    return QStringLiteral("http://127.0.0.1:%1").arg(server_.serverPort());
}

void ServerHttp::servi(QTcpSocket* s) {
    if (s->property("servito").toBool()) return;
    QByteArray richiesta = s->property("letto").toByteArray() + s->readAll();
    s->setProperty("letto", richiesta);
    if (!richiesta.contains("\r\n\r\n")) return;
    s->setProperty("servito", true);
    const QList<QByteArray> prima = richiesta.left(richiesta.indexOf("\r\n")).split(' ');
    const QString percorso = prima.size() > 1 ? QString::fromUtf8(prima[1]) : QString();
    richieste_ << percorso;
    const auto it = percorsi_.constFind(percorso);
    const Risposta r = it != percorsi_.constEnd() ? *it : Risposta{404, "not found", {}, false};
    QByteArray testa = "HTTP/1.1 " + QByteArray::number(r.stato) + " X\r\nConnection: close\r\n";
    if (!r.senzaLunghezza)
        testa += "Content-Length: " + QByteArray::number(r.corpo.size()) + "\r\n";
    testa += r.intestazioni + "\r\n";
    s->write(testa);
    s->write(r.corpo);
    s->disconnectFromHost();
}

}  // namespace ostrale::test
