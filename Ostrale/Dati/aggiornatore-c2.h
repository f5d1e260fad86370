// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "Condiviso/orologio.h"
#include "Condiviso/registro.h"

class QNetworkAccessManager;

namespace ostrale {

class BlocklistC2;
class ImpostazioniApp;

// Keeps the list of command-and-control addresses current: downloads the two public feeds one
// after the other, merges their IPv4 addresses, stores the list (BlocklistC2) and hands its text
// to whoever delivers it to the extension. By itself once a day (hourly while there is no list),
// and on request. Reading, parsing and storing run off the main thread; what it publishes
// (below) lives on the thread that created it, where its signals come.
class AggiornatoreC2 : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool inCorso READ inCorso NOTIFY inCorsoCambiato)
    Q_PROPERTY(QString esito READ esito NOTIFY esitoCambiato)
    Q_PROPERTY(int avanzamento READ avanzamento NOTIFY avanzamentoCambiato)
    Q_PROPERTY(qint64 indirizzi READ indirizzi NOTIFY listaCambiata)

  public:
    static constexpr const char* percorsoFeodo = "/downloads/ipblocklist.txt";
    static constexpr const char* percorsoThreatFox = "/export/csv/ip-port/recent/";
    static constexpr qint64 corpoMassimo = 16 << 20;
    static constexpr double intervalloSenzaLista = 3600;
    static constexpr double intervalloConLista = 86400;

    using Consegna = std::function<void(std::string testo)>;

    AggiornatoreC2(ImpostazioniApp& preferenze, BlocklistC2& blocklist, const Orologio& orologio,
                   QNetworkAccessManager& rete, QObject* parent = nullptr);
    ~AggiornatoreC2() override;

    bool inCorso() const { return inCorso_; }
    // The last result for the user; null before the first.
    const QString& esito() const { return esito_; }
    // How far the running update is, 0 to 100 (both feeds together); -1 when a feed's length is
    // not known.
    int avanzamento() const { return avanzamento_; }
    // The list in use: its number of addresses, and the date of the downloaded list (absent
    // while the shipped edition is in use). Known once `listaLetta`.
    qint64 indirizzi() const { return indirizzi_; }
    const std::optional<Data>& dataLista() const { return dataLista_; }
    bool listaLetta() const { return listaLetta_; }
    // Reads the list in use (off the main thread) and publishes it.
    void leggiLista();

    // The scheduled check: an update when one is due.
    void controllaAutomaticamente(Consegna consegna);
    // An update, unless one is running; `consegna` gets the new list's text, at most once.
    void aggiorna(bool silenzioso, Consegna consegna);

  signals:
    void inCorsoCambiato();
    void esitoCambiato();
    void avanzamentoCambiato();
    void listaCambiata();

  private:
    // `passo` 0 or 1: which half of the progress this download is.
    void scarica(const char* chiaveHost, const char* percorso, bool csv, int passo,
                 std::function<void(std::set<std::string>)> poi);
    void concludi(std::set<std::string> indirizzi, Consegna consegna);
    void setInCorso(bool v);
    void setEsito(const QString& v);
    void setAvanzamento(int v);
    void pubblicaLista(qint64 indirizzi, std::optional<Data> data);

    ImpostazioniApp& preferenze_;
    BlocklistC2& blocklist_;
    const Orologio& orologio_;
    QNetworkAccessManager& rete_;
    QThreadPool lavori_;
    bool inCorso_ = false;
    QString esito_;
    int avanzamento_ = 0;
    qint64 indirizzi_ = 0;
    std::optional<Data> dataLista_;
    bool listaLetta_ = false;
    Registro log_{"it.brelt.ostrale", "c2"};
};

}  // namespace ostrale
