// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>
#include <filesystem>
#include <functional>
#include <optional>

#include "Condiviso/orologio.h"

class QNetworkAccessManager;

namespace ostrale {

class ImpostazioniApp;

// Keeps the city database current: checks for DB-IP's monthly edition (this month's, else last
// month's), downloads it with a bound, decompresses it in process with a bound, makes sure the new
// file opens and answers a lookup, and only then puts it in place and reloads the shared reader.
// A failed, truncated or damaged download keeps the database in use. Files are read off the main
// thread; what it publishes (below) lives on the thread that created it, where its signals come.
class AggiornatoreGeoDB : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool inCorso READ inCorso NOTIFY inCorsoCambiato)
    Q_PROPERTY(QString esito READ esito NOTIFY esitoCambiato)
    Q_PROPERTY(int avanzamento READ avanzamento NOTIFY avanzamentoCambiato)

  public:
    static constexpr qint64 scaricatoMassimo = 256ll << 20;
    static constexpr qint64 spacchettatoMassimo = 512ll << 20;

    using Dopo = std::function<void()>;

    AggiornatoreGeoDB(ImpostazioniApp& preferenze, const Orologio& orologio,
                      QNetworkAccessManager& rete, QObject* parent = nullptr);
    ~AggiornatoreGeoDB() override;

    bool inCorso() const { return inCorso_; }
    const QString& esito() const { return esito_; }
    // How far the running download is, 0 to 100; -1 when its length is not known.
    int avanzamento() const { return avanzamento_; }
    // The build date of the database in use; absent when none is loaded or it states none.
    // Known once `databaseLetto`.
    const std::optional<Data>& dataCostruzione() const { return dataCostruzione_; }
    bool databaseLetto() const { return databaseLetto_; }
    // Reads the database in use (off the main thread) and publishes its build date.
    void leggiDatabase();

    // The daily check: a download only when a newer month may be out (the database in use is
    // read first, when it has not been). `dopo` runs after a successful install only.
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
    void avanzamentoCambiato();
    void databaseCambiato();

  private:
    void leggi(std::function<void()> poi);
    void decidi(Dopo dopo);
    void inizia(QStringList mesi, Dopo dopo);
    void prova(QStringList mesi, Dopo dopo);
    void installa(const QString& scaricato, const QString& mese, Dopo dopo);
    void concludi(const QString& testo, Dopo dopo);
    void setAvanzamento(int v);
    void pubblicaDatabase(std::optional<Data> data);

    ImpostazioniApp& preferenze_;
    const Orologio& orologio_;
    QNetworkAccessManager& rete_;
    QThreadPool lavori_;
    bool inCorso_ = false;
    QString esito_;
    int avanzamento_ = 0;
    std::optional<Data> dataCostruzione_;
    bool databaseLetto_ = false;
};

}  // namespace ostrale
