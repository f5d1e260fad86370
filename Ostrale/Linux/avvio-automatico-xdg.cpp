// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/avvio-automatico-xdg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "Ostrale/Stato/coda-seriale.h"

namespace ostrale {
namespace {

// One argument of an Exec line: quoted when it holds a reserved character, then escaped as any
// string value of an entry (a backslash doubles once more).
std::optional<QString> argomentoExec(const QString& argomento) {
    static const QString riservati = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
    bool tra = argomento.isEmpty();
    for (const QChar c : argomento) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return std::nullopt;
        if (riservati.contains(c)) tra = true;
    }
    QString s;
    for (const QChar c : argomento) {
        if (c == QLatin1Char('%')) {
            s += QStringLiteral("%%");
            continue;
        }
        if (tra && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                    c == QLatin1Char('\\'))) {
            s += QLatin1Char('\\');
        }
        s += c;
    }
    if (tra) s = QLatin1Char('"') + s + QLatin1Char('"');
    s.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return s;
}

AvvioAutomatico::Esito leggiFile(const QString& percorso) {
    QFile file(percorso);
    if (!file.exists()) return {false, {}};
    if (!file.open(QIODevice::ReadOnly)) {
        return {false, QCoreApplication::translate("ostrale::AvvioAutomaticoXdg",
                                                   "Non si può leggere %1: %2")
                           .arg(percorso, file.errorString())};
    }
    return {AvvioAutomaticoXdg::èAttiva(file.read(AvvioAutomaticoXdg::letturaMassima)), {}};
}

AvvioAutomatico::Esito scriviFile(const QString& percorso, const QString& eseguibile, bool attivo) {
    auto fallito = [&](QString perché) {
        return AvvioAutomatico::Esito{leggiFile(percorso).attivo, std::move(perché)};
    };
    if (!attivo) {
        QFile file(percorso);
        if (file.exists() && !file.remove()) {
            return fallito(QCoreApplication::translate("ostrale::AvvioAutomaticoXdg",
                                                       "Non si può togliere %1: %2")
                               .arg(percorso, file.errorString()));
        }
        return leggiFile(percorso);
    }
    const auto testo = AvvioAutomaticoXdg::voce(eseguibile);
    if (!testo) {
        return fallito(
            QCoreApplication::translate(
                "ostrale::AvvioAutomaticoXdg",
                "Il percorso del programma ha caratteri che l'avvio automatico non accetta: "
                "%1")
                .arg(eseguibile));
    }
    const QString cartella = QFileInfo(percorso).absolutePath();
    if (!QDir().mkpath(cartella)) {
        return fallito(QCoreApplication::translate("ostrale::AvvioAutomaticoXdg",
                                                   "Non si può creare la cartella %1.")
                           .arg(cartella));
    }
    QSaveFile file(percorso);
    if (!file.open(QIODevice::WriteOnly) || file.write(*testo) != testo->size() || !file.commit()) {
        const QString perché = file.errorString();
        file.cancelWriting();
        return fallito(
            QCoreApplication::translate("ostrale::AvvioAutomaticoXdg", "Non si può scrivere %1: %2")
                .arg(percorso, perché));
    }
    return leggiFile(percorso);
}

}  // namespace

QString AvvioAutomaticoXdg::percorsoPredefinito() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/autostart/ostrale.desktop");
}

std::optional<QByteArray> AvvioAutomaticoXdg::voce(const QString& eseguibile) {
    const auto exec = argomentoExec(eseguibile);
    if (!exec) return std::nullopt;
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Ostrale\n"
               "Exec=%1 --nascosta\n"
               "Icon=ostrale\n"
               "Terminal=false\n"
               "X-GNOME-Autostart-enabled=true\n")
        .arg(*exec)
        .toUtf8();
}

bool AvvioAutomaticoXdg::èAttiva(const QByteArray& testo) {
    bool nelGruppo = false;
    for (const QByteArray& grezza : testo.split('\n')) {
        const QByteArray riga = grezza.trimmed();
        if (riga.startsWith('[')) {
            nelGruppo = riga == "[Desktop Entry]";
            continue;
        }
        const qsizetype uguale = riga.indexOf('=');
        if (!nelGruppo || riga.startsWith('#') || uguale < 0) continue;
        const QByteArray chiave = riga.left(uguale).trimmed();
        const QByteArray valore = riga.mid(uguale + 1).trimmed();
        if (chiave == "Hidden" && valore == "true") return false;
        if (chiave == "X-GNOME-Autostart-enabled" && valore == "false") return false;
    }
    return true;
}

AvvioAutomaticoXdg::AvvioAutomaticoXdg(QString eseguibile, QString percorso)
    : eseguibile_(std::move(eseguibile)),
      percorso_(std::move(percorso)),
      contesto_(std::make_unique<QObject>()),
      coda_(std::make_unique<CodaSeriale>()) {}

AvvioAutomaticoXdg::~AvvioAutomaticoXdg() = default;

void AvvioAutomaticoXdg::inCoda(std::function<Esito()> lavoro, Risposta risposta) {
    coda_->accoda([contesto = contesto_.get(), lavoro = std::move(lavoro),
                   risposta = std::move(risposta)]() mutable {
        const Esito esito = lavoro();
        // The context outlives the queue: an answer posted to it is delivered or dropped with it.
        QMetaObject::invokeMethod(
            contesto, [risposta = std::move(risposta), esito] { risposta(esito); },
            Qt::QueuedConnection);
    });
}

void AvvioAutomaticoXdg::leggi(Risposta risposta) {
    inCoda([percorso = percorso_] { return leggiFile(percorso); }, std::move(risposta));
}

void AvvioAutomaticoXdg::imposta(bool attivo, Risposta risposta) {
    inCoda([percorso = percorso_, eseguibile = eseguibile_,
            attivo] { return scriviFile(percorso, eseguibile, attivo); },
           std::move(risposta));
}

}  // namespace ostrale
