// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Stato/impostazioni-app.h"

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace ostrale {
namespace {

struct Voce {
    const char* chiave;
    QVariant predefinito;
};

// Every preference of the app and its default.
const Voce* tabella(const char* chiave) {
    static const Voce voci[] = {
        // Ask after a block of an application without a rule.
        {ImpostazioniApp::chiediSuBlocco, true},
        // Present and true only between the two steps of a revival of the extension.
        {ImpostazioniApp::rianimazioneInCorso, false},
        // Seconds since 1970 of the last clearing of the whole attack archive, 0 when never.
        {ImpostazioniApp::attacchiPulitiFino, 0.0},
        // Attack type → seconds since 1970 of the last clearing of that type.
        {ImpostazioniApp::attacchiPulitiTipo, QVariantMap{}},
        // Attack type "|" source → seconds since 1970 when the user asked not to be told again.
        {ImpostazioniApp::avvisiSilenziati, QVariantMap{}},
        // Seconds since 1970 of the last attempt to download the command-and-control lists.
        {ImpostazioniApp::c2UltimoTentativo, 0.0},
        // The last answer to a held flow: for how long ("perSempre", "1h", …) and for what
        // ("app", "host", "hostPorta").
        {ImpostazioniApp::durataRisposta, QStringLiteral("perSempre")},
        {ImpostazioniApp::ambitoRisposta, QStringLiteral("app")},
        // The user's key for the flow explainer; empty until given.
        {ImpostazioniApp::chiaveAnthropic, QString()},
        // The section shown when the window opens; empty for the dashboard.
        {ImpostazioniApp::sezioneApertura, QString()},
        // "auto", "it" or "en"; takes effect at the next start.
        {ImpostazioniApp::linguaScelta, QStringLiteral("auto")},
        // "radar" or "particelle": the dashboard's live picture.
        {ImpostazioniApp::vistaFlussiCruscotto, QStringLiteral("particelle")},
        // The filter switch when the app runs the extension itself (no systemd).
        {ImpostazioniApp::filtroLocaleAttivo, true},
        // Who serves the two command-and-control feeds and the monthly city database: a host
        // (reached over HTTPS), or a base URL with its scheme (a test's server on loopback).
        {ImpostazioniApp::hostFeodo, QStringLiteral("feodotracker.abuse.ch")},
        {ImpostazioniApp::hostThreatFox, QStringLiteral("threatfox.abuse.ch")},
        {ImpostazioniApp::hostDBIP, QStringLiteral("download.db-ip.com")},
        // The base URL of the flow explainer's API; the key goes there over HTTPS only (plain
        // HTTP is allowed to this computer's loopback addresses, for tests).
        {ImpostazioniApp::hostAnthropic, QStringLiteral("https://api.anthropic.com")},
    };
    for (const Voce& v : voci) {
        if (std::strcmp(v.chiave, chiave) == 0) return &v;
    }
    qFatal("unknown preference key %s", chiave);
}

}  // namespace

QString ImpostazioniApp::percorsoPredefinito() {
    const QString variabile = qEnvironmentVariable("OSTRALE_IMPOSTAZIONI");
    if (!variabile.isEmpty()) return variabile;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ostrale/ostrale.conf");
}

ImpostazioniApp::ImpostazioniApp(QString percorso, QObject* parent)
    : QObject(parent), percorso_(std::move(percorso)) {
    const QString cartella = QFileInfo(percorso_).absolutePath();
    if (!QDir(cartella).exists()) {
        QDir().mkpath(cartella);
        ::chmod(QFile::encodeName(cartella).constData(), 0700);
    }
    // Created private before QSettings ever writes it: its atomic rewrite keeps the mode.
    const QByteArray nome = QFile::encodeName(percorso_);
    const int fd = ::open(nome.constData(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) ::close(fd);
    proteggi();
    settings_ = std::make_unique<QSettings>(percorso_, QSettings::IniFormat);
}

ImpostazioniApp::~ImpostazioniApp() {
    sincronizza();
}

void ImpostazioniApp::proteggi() {
    struct stat info {};
    const QByteArray nome = QFile::encodeName(percorso_);
    if (::lstat(nome.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
        (info.st_mode & 0777) != 0600) {
        ::chmod(nome.constData(), 0600);
    }
}

QVariant ImpostazioniApp::valore(const char* chiave) const {
    const Voce* voce = tabella(chiave);
    return settings_->value(QLatin1String(chiave), voce->predefinito);
}

bool ImpostazioniApp::comeBool(const char* chiave) const {
    return valore(chiave).toBool();
}

double ImpostazioniApp::comeDouble(const char* chiave) const {
    bool ok = false;
    const double d = valore(chiave).toDouble(&ok);
    return ok ? d : tabella(chiave)->predefinito.toDouble();
}

QString ImpostazioniApp::comeTesto(const char* chiave) const {
    return valore(chiave).toString();
}

QVariantMap ImpostazioniApp::comeMappa(const char* chiave) const {
    const QVariant v = valore(chiave);
    return v.canConvert<QVariantMap>() ? v.toMap() : QVariantMap{};
}

bool ImpostazioniApp::contiene(const char* chiave) const {
    tabella(chiave);
    return settings_->contains(QLatin1String(chiave));
}

void ImpostazioniApp::imposta(const char* chiave, const QVariant& valore) {
    tabella(chiave);
    if (settings_->contains(QLatin1String(chiave)) &&
        settings_->value(QLatin1String(chiave)) == valore)
        return;
    settings_->setValue(QLatin1String(chiave), valore);
    sincronizza();
    emit cambiata(QLatin1String(chiave));
}

void ImpostazioniApp::rimuovi(const char* chiave) {
    tabella(chiave);
    if (!settings_->contains(QLatin1String(chiave))) return;
    settings_->remove(QLatin1String(chiave));
    sincronizza();
    emit cambiata(QLatin1String(chiave));
}

void ImpostazioniApp::sincronizza() {
    settings_->sync();
    proteggi();
}

}  // namespace ostrale
