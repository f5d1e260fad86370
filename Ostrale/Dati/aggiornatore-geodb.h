#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <filesystem>
#include <functional>

#include "Condiviso/orologio.h"

class QNetworkAccessManager;

namespace ostrale {

class ImpostazioniApp;

// Keeps the city database current: checks for DB-IP's monthly edition (this month's, else last
// month's), downloads it with a bound, decompresses it in process with a bound, makes sure the new
// file opens and answers a lookup, and only then puts it in place and reloads the shared reader.
// A failed, truncated or damaged download keeps the database in use.
class AggiornatoreGeoDB : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool inCorso READ inCorso NOTIFY inCorsoCambiato)
    Q_PROPERTY(QString esito READ esito NOTIFY esitoCambiato)

  public:
    static constexpr qint64 scaricatoMassimo = 256ll << 20;
    static constexpr qint64 spacchettatoMassimo = 512ll << 20;

    using Dopo = std::function<void()>;

    AggiornatoreGeoDB(ImpostazioniApp& preferenze, const Orologio& orologio,
                      QNetworkAccessManager& rete, QObject* parent = nullptr);
    ~AggiornatoreGeoDB() override;

    bool inCorso() const { return inCorso_; }
    const QString& esito() const { return esito_; }

    // The daily check: a download only when a newer month may be out. `dopo` runs after a
    // successful install only.
    void controllaAutomaticamente(Dopo dopo);
    // A download of this month's edition, else last month's, whatever is installed.
    void aggiorna(Dopo dopo);

    // "yyyy-MM" of a moment in the local time zone; the editions tried at `adesso`: this
    // month's, then last month's.
    static QString mese(Data quando);
    static QStringList mesiDaProvare(Data adesso);
    // Decompresses gzip `da` into `a` (whole, at most `massimo` bytes); false on any fault.
    static bool spacchetta(const std::filesystem::path& da, const std::filesystem::path& a,
                           qint64 massimo);

  signals:
    void inCorsoCambiato();
    void esitoCambiato();

  private:
    void inizia(QStringList mesi, Dopo dopo);
    void prova(QStringList mesi, Dopo dopo);
    void installa(const QString& scaricato, const QString& mese, Dopo dopo);
    void concludi(const QString& testo, Dopo dopo);

    ImpostazioniApp& preferenze_;
    const Orologio& orologio_;
    QNetworkAccessManager& rete_;
    QThreadPool lavori_;
    bool inCorso_ = false;
    QString esito_;
};

}  // namespace ostrale
