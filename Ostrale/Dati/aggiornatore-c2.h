#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>
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
// and on request. Parsing and storing run off the main thread.
class AggiornatoreC2 : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool inCorso READ inCorso NOTIFY inCorsoCambiato)
    Q_PROPERTY(QString esito READ esito NOTIFY esitoCambiato)

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

    // The scheduled check: an update when one is due.
    void controllaAutomaticamente(Consegna consegna);
    // An update, unless one is running; `consegna` gets the new list's text, at most once.
    void aggiorna(bool silenzioso, Consegna consegna);

  signals:
    void inCorsoCambiato();
    void esitoCambiato();

  private:
    void scarica(const char* chiaveHost, const char* percorso, bool csv,
                 std::function<void(std::set<std::string>)> poi);
    void concludi(std::set<std::string> indirizzi, Consegna consegna);
    void setInCorso(bool v);
    void setEsito(const QString& v);

    ImpostazioniApp& preferenze_;
    BlocklistC2& blocklist_;
    const Orologio& orologio_;
    QNetworkAccessManager& rete_;
    QThreadPool lavori_;
    bool inCorso_ = false;
    QString esito_;
    Registro log_{"it.brelt.ostrale", "c2"};
};

}  // namespace ostrale
