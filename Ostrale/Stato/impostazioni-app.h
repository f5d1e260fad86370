// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <memory>

class QSettings;

namespace ostrale {

// The app's own preferences, every key with its default in one table (the .cpp). Stored with
// QSettings in $XDG_CONFIG_HOME/ostrale/ostrale.conf, readable by the user alone (it may hold an
// API key); OSTRALE_IMPOSTAZIONI names another file (tests, the demo).
class ImpostazioniApp : public QObject {
    Q_OBJECT
  public:
    // The keys.
    static constexpr const char* chiediSuBlocco = "chiediSuBlocco";
    static constexpr const char* rianimazioneInCorso = "rianimazioneInCorso";
    static constexpr const char* attacchiPulitiFino = "attacchiPulitiFino";
    static constexpr const char* attacchiPulitiTipo = "attacchiPulitiTipo";
    // Pattern "|" source → when the user asked not to be told about those findings again.
    static constexpr const char* avvisiSilenziati = "avvisiSilenziati";
    static constexpr const char* c2UltimoTentativo = "c2UltimoTentativo";
    // The duration and the scope of the last answer to a held flow (raw values of
    // DurataRisposta and AmbitoRisposta), offered first the next time.
    static constexpr const char* durataRisposta = "durataRisposta";
    static constexpr const char* ambitoRisposta = "ambitoRisposta";
    static constexpr const char* chiaveAnthropic = "chiaveAnthropic";
    static constexpr const char* sezioneApertura = "sezioneApertura";
    static constexpr const char* linguaScelta = "linguaScelta";
    static constexpr const char* vistaFlussiCruscotto = "vistaFlussiCruscotto";
    static constexpr const char* filtroLocaleAttivo = "filtroLocaleAttivo";
    static constexpr const char* hostFeodo = "hostFeodo";
    static constexpr const char* hostThreatFox = "hostThreatFox";
    static constexpr const char* hostDBIP = "hostDBIP";
    static constexpr const char* hostAnthropic = "hostAnthropic";

    // OSTRALE_IMPOSTAZIONI, else $XDG_CONFIG_HOME/ostrale/ostrale.conf.
    static QString percorsoPredefinito();

    explicit ImpostazioniApp(QString percorso = percorsoPredefinito(), QObject* parent = nullptr);
    ~ImpostazioniApp() override;

    // The stored value, else the key's default. A key outside the table is a programming error.
    QVariant valore(const char* chiave) const;
    bool comeBool(const char* chiave) const;
    double comeDouble(const char* chiave) const;
    QString comeTesto(const char* chiave) const;
    QVariantMap comeMappa(const char* chiave) const;
    // Whether a value is stored (not only the default).
    bool contiene(const char* chiave) const;
    void imposta(const char* chiave, const QVariant& valore);
    void rimuovi(const char* chiave);
    // Writes pending changes to the file now.
    void sincronizza();

    QString percorso() const { return percorso_; }

  signals:
    void cambiata(const QString& chiave);

  private:
    void proteggi();

    QString percorso_;
    std::unique_ptr<QSettings> settings_;
};

}  // namespace ostrale
