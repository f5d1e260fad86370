// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Mappa/terre.h"

#include <QFile>
#include <QFuture>
#include <QFutureWatcher>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPromise>
#include <QThreadPool>
#include <cmath>
#include <vector>

#include "Condiviso/registro.h"

namespace ostrale::mappa {
namespace {

using Arco = std::vector<QPointF>;

bool fallisce(QString* errore, const QString& perché) {
    if (errore) *errore = perché;
    return false;
}

// The arcs in degrees: quantized ones are deltas from the previous point, scaled and moved.
bool decodificaArchi(const QJsonObject& topologia, std::vector<Arco>& archi, QString* errore) {
    double sx = 1, sy = 1, tx = 0, ty = 0;
    const bool quantizzata = topologia.contains(QLatin1String("transform"));
    if (quantizzata) {
        const QJsonObject t = topologia.value(QLatin1String("transform")).toObject();
        const QJsonArray scala = t.value(QLatin1String("scale")).toArray();
        const QJsonArray sposta = t.value(QLatin1String("translate")).toArray();
        if (scala.size() != 2 || sposta.size() != 2) return fallisce(errore, "transform malformed");
        sx = scala[0].toDouble();
        sy = scala[1].toDouble();
        tx = sposta[0].toDouble();
        ty = sposta[1].toDouble();
    }
    const QJsonArray tutti = topologia.value(QLatin1String("arcs")).toArray();
    archi.reserve(static_cast<std::size_t>(tutti.size()));
    for (const QJsonValue& a : tutti) {
        Arco arco;
        double x = 0, y = 0;
        for (const QJsonValue& p : a.toArray()) {
            const QJsonArray xy = p.toArray();
            if (xy.size() < 2) return fallisce(errore, "arc point malformed");
            if (quantizzata) {
                x += xy[0].toDouble();
                y += xy[1].toDouble();
                arco.emplace_back(x * sx + tx, y * sy + ty);
            } else {
                arco.emplace_back(xy[0].toDouble(), xy[1].toDouble());
            }
        }
        archi.push_back(std::move(arco));
    }
    return true;
}

// One ring from its arcs: a negative index ~i is arc i walked backwards; each arc after the first
// starts where the previous one ended, so its first point is not repeated.
bool anello(const QJsonArray& indici, const std::vector<Arco>& archi, QPolygonF& punti,
            QString* errore) {
    for (const QJsonValue& v : indici) {
        const int i = v.toInt(INT32_MIN);
        const long indice = i < 0 ? ~static_cast<long>(i) : i;
        if (i == INT32_MIN || indice >= static_cast<long>(archi.size())) {
            return fallisce(errore, "arc index out of range");
        }
        const Arco& arco = archi[static_cast<std::size_t>(indice)];
        const std::size_t n = arco.size();
        for (std::size_t k = punti.isEmpty() ? 0 : 1; k < n; ++k) {
            punti.append(i < 0 ? arco[n - 1 - k] : arco[k]);
        }
    }
    return true;
}

// Keeps a point when it is farther than `tolleranza` from the last one kept; the ring stays
// closed. Nothing is left of a ring smaller than the tolerance.
QPolygonF semplifica(const QPolygonF& punti, double tolleranza) {
    if (tolleranza <= 0) return punti;
    const QRectF r = punti.boundingRect();
    if (r.width() < tolleranza && r.height() < tolleranza) return {};
    QPolygonF fuori;
    for (const QPointF& p : punti) {
        if (fuori.isEmpty() ||
            std::hypot(p.x() - fuori.back().x(), p.y() - fuori.back().y()) >= tolleranza) {
            fuori.append(p);
        }
    }
    if (fuori.size() < 3) return {};
    return fuori;
}

// The rings of a ring that crosses the antimeridian, drawable on a flat map: the longitudes made
// continuous (a step of more than 180° is one across the line), the ring then drawn again a
// world to the east or west so that both sides show. A ring that goes round a pole (its steps add
// up to a full turn, as Antarctica's do) is closed along that pole.
std::vector<QPolygonF> senzaAntimeridiano(QPolygonF punti) {
    double spostamento = 0;
    bool attraversa = false;
    for (qsizetype i = 1; i < punti.size(); ++i) {
        const double passo = punti[i].x() + spostamento - punti[i - 1].x();
        if (passo > 180) {
            spostamento -= 360;
            attraversa = true;
        } else if (passo < -180) {
            spostamento += 360;
            attraversa = true;
        }
        punti[i].rx() += spostamento;
    }
    if (!attraversa) return {std::move(punti)};
    if (spostamento != 0) {
        // Round a pole: down (or up) to it and back along it.
        double sud = 0;
        for (const QPointF& p : punti) sud += p.y();
        const double polo = sud < 0 ? -90 : 90;
        punti.append(QPointF(punti.back().x(), polo));
        punti.append(QPointF(punti.front().x(), polo));
    }
    std::vector<QPolygonF> anelli{punti};
    const QRectF r = punti.boundingRect();
    if (r.right() > 180) anelli.push_back(punti.translated(-360, 0));
    if (r.left() < -180) anelli.push_back(punti.translated(360, 0));
    return anelli;
}

std::shared_ptr<const Terre> leggiSpedite() {
    QFile file(QStringLiteral(":/mappa/terre-50m.json"));
    QString errore = QStringLiteral("missing");
    if (file.open(QIODevice::ReadOnly)) {
        if (auto terre = decodificaTopoJson(file.readAll(), QStringLiteral("land"), &errore)) {
            // Drawn once here, so that the outlines' lazily made caches exist before they are
            // shared: from now on they are only read, from any thread.
            QImage prova(4, 4, QImage::Format_RGB32);
            QPainter p(&prova);
            for (const QPainterPath& livello : terre->livelli) {
                livello.boundingRect();
                p.drawPath(livello);
            }
            p.end();
            return std::make_shared<const Terre>(std::move(*terre));
        }
    }
    Registro("mappa").errore("Contorni delle terre non leggibili: " + errore.toStdString());
    return nullptr;
}

QFuture<std::shared_ptr<const Terre>> futuro() {
    static const QFuture<std::shared_ptr<const Terre>> f = [] {
        auto promessa = std::make_shared<QPromise<std::shared_ptr<const Terre>>>();
        promessa->start();
        QFuture<std::shared_ptr<const Terre>> risultato = promessa->future();
        QThreadPool::globalInstance()->start([promessa] {
            promessa->addResult(leggiSpedite());
            promessa->finish();
        });
        return risultato;
    }();
    return f;
}

}  // namespace

const QPainterPath& Terre::perScala(double pixelPerGrado) const {
    for (std::size_t i = livelli.size(); i-- > 1;) {
        if (tolleranze[i] * pixelPerGrado <= 0.6) return livelli[i];
    }
    return livelli[0];
}

std::optional<Terre> decodificaTopoJson(const QByteArray& json, const QString& oggetto,
                                        QString* errore) {
    QJsonParseError analisi{};
    const QJsonDocument documento = QJsonDocument::fromJson(json, &analisi);
    if (analisi.error != QJsonParseError::NoError || !documento.isObject()) {
        fallisce(errore, analisi.errorString());
        return std::nullopt;
    }
    const QJsonObject topologia = documento.object();
    if (topologia.value(QLatin1String("type")).toString() != QLatin1String("Topology")) {
        fallisce(errore, QStringLiteral("not a topology"));
        return std::nullopt;
    }
    std::vector<Arco> archi;
    if (!decodificaArchi(topologia, archi, errore)) return std::nullopt;
    const QJsonObject radice =
        topologia.value(QLatin1String("objects")).toObject().value(oggetto).toObject();
    if (radice.isEmpty()) {
        fallisce(errore, QStringLiteral("no object ") + oggetto);
        return std::nullopt;
    }
    // A collection of polygons and multipolygons, or one of them.
    std::vector<QJsonObject> geometrie;
    if (radice.value(QLatin1String("type")).toString() == QLatin1String("GeometryCollection")) {
        for (const QJsonValue& g : radice.value(QLatin1String("geometries")).toArray()) {
            geometrie.push_back(g.toObject());
        }
    } else {
        geometrie.push_back(radice);
    }
    Terre terre;
    for (QPainterPath& l : terre.livelli) l.setFillRule(Qt::OddEvenFill);
    auto aggiungi = [&](const QJsonArray& poligono) {
        for (const QJsonValue& r : poligono) {
            QPolygonF punti;
            if (!anello(r.toArray(), archi, punti, errore)) return false;
            if (punti.size() < 3) continue;
            ++terre.anelli;
            terre.punti += static_cast<int>(punti.size());
            for (QPolygonF& piano : senzaAntimeridiano(std::move(punti))) {
                // Drawn with the north up: y grows southward on the screen.
                for (QPointF& p : piano) p.setY(-p.y());
                for (std::size_t i = 0; i < terre.livelli.size(); ++i) {
                    const QPolygonF s = semplifica(piano, Terre::tolleranze[i]);
                    if (!s.isEmpty()) terre.livelli[i].addPolygon(s);
                }
            }
        }
        return true;
    };
    for (const QJsonObject& g : geometrie) {
        const QString tipo = g.value(QLatin1String("type")).toString();
        const QJsonArray archiG = g.value(QLatin1String("arcs")).toArray();
        if (tipo == QLatin1String("Polygon")) {
            if (!aggiungi(archiG)) return std::nullopt;
        } else if (tipo == QLatin1String("MultiPolygon")) {
            for (const QJsonValue& p : archiG) {
                if (!aggiungi(p.toArray())) return std::nullopt;
            }
        }  // points and lines are not land
    }
    return terre;
}

void terreSpedite(QObject* destinatario, std::function<void(std::shared_ptr<const Terre>)> pronte) {
    QFuture<std::shared_ptr<const Terre>> f = futuro();
    if (f.isFinished()) {
        pronte(f.result());
        return;
    }
    // A watcher that dies with `destinatario`: a map closed before the land is read is simply
    // never called (a continuation with a context would run with a dangling one).
    auto* osservatore = new QFutureWatcher<std::shared_ptr<const Terre>>(destinatario);
    QObject::connect(osservatore, &QFutureWatcherBase::finished, destinatario,
                     [osservatore, pronte = std::move(pronte)] {
                         pronte(osservatore->result());
                         osservatore->deleteLater();
                     });
    osservatore->setFuture(f);
}

std::shared_ptr<const Terre> terreSpediteOra() {
    return futuro().result();
}

}  // namespace ostrale::mappa
