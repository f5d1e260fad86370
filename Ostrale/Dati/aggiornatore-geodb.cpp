// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Dati/aggiornatore-geodb.h"

#include <zlib.h>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QTimeZone>
#include <algorithm>

#include "Condiviso/registro.h"
#include "Ostrale/Dati/geo-db.h"
#include "Ostrale/Dati/scaricatore.h"
#include "Ostrale/Stato/impostazioni-app.h"

namespace ostrale {
namespace {

const Registro& registro() {
    static const Registro r("it.brelt.ostrale", "geo");
    return r;
}

// A few addresses any city database places; a new file must place one of them.
bool rispondeAUnaRicerca(const GeoDB& db) {
    for (const char* ip : {"8.8.8.8", "1.1.1.1", "81.2.69.160", "2001:4860:4860::8888"}) {
        if (db.cerca(ip)) return true;
    }
    return false;
}

}  // namespace

AggiornatoreGeoDB::AggiornatoreGeoDB(ImpostazioniApp& preferenze, const Orologio& orologio,
                                     QNetworkAccessManager& rete, QObject* parent)
    : QObject(parent), preferenze_(preferenze), orologio_(orologio), rete_(rete) {
    lavori_.setMaxThreadCount(1);
}

AggiornatoreGeoDB::~AggiornatoreGeoDB() {
    lavori_.waitForDone();
}

QString AggiornatoreGeoDB::mese(Data quando) {
    return QLocale::c().toString(
        QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(quando.secondiUnix() * 1000),
                                       QTimeZone::systemTimeZone()),
        QStringLiteral("yyyy-MM"));
}

QStringList AggiornatoreGeoDB::mesiDaProvare(Data adesso) {
    const QDateTime ora = QDateTime::fromMSecsSinceEpoch(
        static_cast<qint64>(adesso.secondiUnix() * 1000), QTimeZone::systemTimeZone());
    return {mese(adesso), QLocale::c().toString(ora.addMonths(-1), QStringLiteral("yyyy-MM"))};
}

bool AggiornatoreGeoDB::spacchetta(const std::filesystem::path& da, const std::filesystem::path& a,
                                   qint64 massimo) {
    gzFile in = gzopen(da.c_str(), "rb");
    if (!in) return false;
    QFile out(QString::fromStdString(a.string()));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        gzclose(in);
        return false;
    }
    std::vector<char> buffer(1 << 20);
    qint64 totale = 0;
    bool ok = true;
    while (true) {
        const int n = gzread(in, buffer.data(), static_cast<unsigned>(buffer.size()));
        if (n < 0) {
            ok = false;
            break;
        }
        if (n == 0) break;
        totale += n;
        if (totale > massimo || out.write(buffer.data(), n) != n) {
            ok = false;
            break;
        }
    }
    // zlib passes a file that is not gzip through as it is: that is no edition.
    if (gzdirect(in)) ok = false;
    // A stream that ended early (a truncated download) reports it here.
    int codice = Z_OK;
    gzerror(in, &codice);
    if (codice != Z_OK && codice != Z_STREAM_END) ok = false;
    if (gzclose(in) != Z_OK) ok = false;
    if (!out.flush()) ok = false;
    out.close();
    return ok && totale > 0;
}

void AggiornatoreGeoDB::setAvanzamento(int v) {
    if (avanzamento_ == v) return;
    avanzamento_ = v;
    emit avanzamentoCambiato();
}

void AggiornatoreGeoDB::pubblicaDatabase(std::optional<Data> data) {
    const bool cambiato = !databaseLetto_ || dataCostruzione_ != data;
    dataCostruzione_ = data;
    databaseLetto_ = true;
    if (cambiato) emit databaseCambiato();
}

void AggiornatoreGeoDB::leggi(std::function<void()> poi) {
    // The first use maps the files and reads their metadata.
    lavori_.start([guardia = QPointer(this), poi = std::move(poi)]() mutable {
        const std::optional<Data> data = GeoDB::condiviso()->dataCostruzione();
        if (QObject* contesto = guardia.data()) {
            QMetaObject::invokeMethod(
                contesto,
                [guardia, data, poi = std::move(poi)] {
                    if (!guardia) return;
                    guardia->pubblicaDatabase(data);
                    if (poi) poi();
                },
                Qt::QueuedConnection);
        }
    });
}

void AggiornatoreGeoDB::leggiDatabase() {
    leggi({});
}

void AggiornatoreGeoDB::controllaAutomaticamente(Dopo dopo) {
    if (inCorso_) return;
    if (databaseLetto_) {
        decidi(std::move(dopo));
        return;
    }
    leggi([this, dopo = std::move(dopo)]() mutable { decidi(std::move(dopo)); });
}

void AggiornatoreGeoDB::decidi(Dopo dopo) {
    if (inCorso_) return;
    const QString installato = dataCostruzione_ ? mese(*dataCostruzione_) : QString();
    QStringList mesi = mesiDaProvare(orologio_.adesso());
    mesi.removeIf([&](const QString& m) { return !(m > installato); });
    if (mesi.isEmpty()) return;  // current
    inizia(std::move(mesi), std::move(dopo));
}

void AggiornatoreGeoDB::aggiorna(Dopo dopo) {
    if (inCorso_) return;
    inizia(mesiDaProvare(orologio_.adesso()), std::move(dopo));
}

void AggiornatoreGeoDB::inizia(QStringList mesi, Dopo dopo) {
    setAvanzamento(0);
    inCorso_ = true;
    emit inCorsoCambiato();
    if (!esito_.isNull()) {
        esito_ = QString();
        emit esitoCambiato();
    }
    prova(std::move(mesi), std::move(dopo));
}

void AggiornatoreGeoDB::prova(QStringList mesi, Dopo dopo) {
    if (mesi.isEmpty()) {
        concludi(tr("Scaricamento non riuscito: riprova più tardi."), {});
        return;
    }
    const QString m = mesi.takeFirst();
    QUrl url = Scaricamento::base(preferenze_.comeTesto(ImpostazioniApp::hostDBIP));
    url.setPath(QStringLiteral("/free/dbip-city-lite-") + m + QStringLiteral(".mmdb.gz"));
    const std::filesystem::path destinazione = GeoDB::percorsoScaricato();
    std::error_code errore;
    std::filesystem::create_directories(destinazione.parent_path(), errore);
    if (errore) {
        concludi(tr("Errore: %1").arg(QString::fromStdString(errore.message())), {});
        return;
    }
    const QString scaricato = QString::fromStdString(destinazione.string() + ".gz.parziale");
    Scaricamento::avvia(
        rete_, url, scaricatoMassimo,
        [guardia = QPointer(this), mesi, m, scaricato, dopo](Scaricamento::Esito e) mutable {
            if (!guardia) return;
            if (!e.riuscito) {
                registro().info("Edizione " + m.toStdString() + " non scaricata: " +
                                (e.troppoGrande       ? std::string("troppo grande")
                                 : e.errore.isEmpty() ? "codice " + std::to_string(e.stato)
                                                      : e.errore.toStdString()));
                QFile::remove(scaricato);
                guardia->prova(std::move(mesi), std::move(dopo));
                return;
            }
            guardia->installa(scaricato, m, std::move(dopo));
        },
        scaricato,
        [guardia = QPointer(this)](qint64 ricevuti, qint64 totale) {
            if (!guardia) return;
            guardia->setAvanzamento(
                totale > 0 ? static_cast<int>(std::min(ricevuti, totale) * 100 / totale) : -1);
        });
}

void AggiornatoreGeoDB::installa(const QString& scaricato, const QString& m, Dopo dopo) {
    // Decompressing and checking tens of megabytes: off the main thread.
    lavori_.start([guardia = QPointer(this), scaricato, m, dopo = std::move(dopo)]() mutable {
        const std::filesystem::path destinazione = GeoDB::percorsoScaricato();
        const std::filesystem::path nuovo = destinazione.string() + ".nuovo";
        QString testo;
        bool riuscito = false;
        std::optional<Data> costruzione;
        if (!spacchetta(scaricato.toStdString(), nuovo, spacchettatoMassimo)) {
            testo = tr("Spacchettamento non riuscito.");
        } else if (const GeoDB prova({nuovo}); !prova.pronto() || !rispondeAUnaRicerca(prova)) {
            testo = tr("Il database scaricato non è leggibile: tengo quello di prima.");
        } else {
            std::error_code errore;
            std::filesystem::rename(nuovo, destinazione, errore);
            if (errore) {
                testo = tr("Errore: %1").arg(QString::fromStdString(errore.message()));
            } else {
                auto nuovoDB = std::make_shared<const GeoDB>();
                costruzione = nuovoDB->dataCostruzione();
                GeoDB::sostituisci(std::move(nuovoDB));
                testo = tr("Database aggiornato (%1).").arg(m);
                riuscito = true;
            }
        }
        std::error_code ignora;
        std::filesystem::remove(nuovo, ignora);
        QFile::remove(scaricato);
        QObject* contesto = guardia.data();
        if (!contesto) return;
        QMetaObject::invokeMethod(
            contesto,
            [guardia, testo, riuscito, costruzione, dopo = std::move(dopo)]() mutable {
                if (!guardia) return;
                if (riuscito) guardia->pubblicaDatabase(costruzione);
                guardia->concludi(testo, riuscito ? std::move(dopo) : Dopo{});
            },
            Qt::QueuedConnection);
    });
}

void AggiornatoreGeoDB::concludi(const QString& testo, Dopo dopo) {
    inCorso_ = false;
    emit inCorsoCambiato();
    esito_ = testo;
    emit esitoCambiato();
    if (dopo) dopo();
}

}  // namespace ostrale
