// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/gestore-locale.h"

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "Condiviso/registro.h"
#include "Ostrale/Stato/impostazioni-app.h"

namespace ostrale {
namespace {

const Registro log_{"it.brelt.ostrale", "filtro"};

// Answers later, from the event loop, as the system's own manager does.
template <typename F>
void poi(QObject* contesto, F f) {
    QMetaObject::invokeMethod(contesto, std::move(f), Qt::QueuedConnection);
}

}  // namespace

QStringList GestoreLocale::comandoPredefinito() {
    const QString variabile = qEnvironmentVariable("OSTRALE_COMANDO_ESTENSIONE");
    if (!variabile.isEmpty()) return QProcess::splitCommand(variabile);
    const QString qui = QCoreApplication::applicationDirPath();
    QString programma;
    for (const QString& candidato :
         {qui + QStringLiteral("/ostrale-estensione"),
          qui + QStringLiteral("/../Estensione/ostrale-estensione"),
          qui + QStringLiteral("/../../Estensione/ostrale-estensione")}) {
        if (QFileInfo(candidato).isExecutable()) {
            programma = QFileInfo(candidato).canonicalFilePath();
            break;
        }
    }
    if (programma.isEmpty()) {
        programma = QStandardPaths::findExecutable(QStringLiteral("ostrale-estensione"));
    }
    if (programma.isEmpty()) {
        programma = QStandardPaths::findExecutable(QStringLiteral("ostrale-estensione"),
                                                   {QStringLiteral("/usr/sbin")});
    }
    if (programma.isEmpty()) programma = QStringLiteral("ostrale-estensione");
    return {programma, QStringLiteral("--sorgente"), QStringLiteral("simulata")};
}

GestoreLocale::GestoreLocale(QStringList comando, ImpostazioniApp& preferenze, QObject* parent)
    : GestoreFiltro(parent), comando_(std::move(comando)), preferenze_(preferenze) {
    if (preferenze_.comeBool(ImpostazioniApp::filtroLocaleAttivo)) accoda(true, nullptr);
}

GestoreLocale::~GestoreLocale() {
    if (!figlio_) return;
    figlio_->disconnect(this);
    if (figlio_->state() != QProcess::NotRunning) {
        // The app quits within two seconds, its extension with it: it has this long to save.
        figlio_->terminate();
        if (!figlio_->waitForFinished(attesaFine)) {
            figlio_->kill();
            figlio_->waitForFinished(300);
        }
    }
}

bool GestoreLocale::inEsecuzione() const {
    return figlio_ && figlio_->state() != QProcess::NotRunning;
}

qint64 GestoreLocale::pid() const {
    return inEsecuzione() ? figlio_->processId() : 0;
}

void GestoreLocale::leggiStato(SuStato risposta) {
    poi(this, [this, risposta = std::move(risposta)] {
        risposta(std::nullopt, preferenze_.comeBool(ImpostazioniApp::filtroLocaleAttivo));
    });
}

void GestoreLocale::imposta(bool attivo, SuFatto risposta) {
    accoda(attivo, std::move(risposta));
}

void GestoreLocale::leggiCopie(SuCopie risposta) {
    const bool presente = !comando_.isEmpty() && QFileInfo(comando_.front()).isExecutable();
    poi(this, [risposta = std::move(risposta), presente] {
        risposta(presente ? std::vector<Copia>{Copia{true, false}} : std::vector<Copia>{});
    });
}

void GestoreLocale::attiva(SuAttivazione risposta) {
    if (comando_.isEmpty() || !QFileInfo(comando_.front()).isExecutable()) {
        const QString perché =
            tr("%1 non trovato").arg(comando_.isEmpty() ? QStringLiteral("?") : comando_.front());
        poi(this, [risposta = std::move(risposta), perché] { risposta(Esito::fallita, perché); });
        return;
    }
    if (!inEsecuzione()) {
        poi(this, [risposta = std::move(risposta)] { risposta(Esito::completata, {}); });
        return;
    }
    // A running copy is replaced by a fresh start of the installed program.
    accoda(false, nullptr);
    accoda(true, [risposta = std::move(risposta)](Errore errore) {
        if (errore) {
            risposta(Esito::fallita, *errore);
        } else {
            risposta(Esito::completata, {});
        }
    });
}

void GestoreLocale::accoda(bool avvia, SuFatto fatto) {
    coda_.push_back({avvia, std::move(fatto)});
    if (!occupato_) poi(this, [this] { prossima(); });
    occupato_ = true;
}

void GestoreLocale::prossima() {
    if (coda_.empty()) {
        occupato_ = false;
        return;
    }
    const bool avvia = coda_.front().avvia;
    const bool prima = preferenze_.comeBool(ImpostazioniApp::filtroLocaleAttivo);
    preferenze_.imposta(ImpostazioniApp::filtroLocaleAttivo, avvia);
    if (prima != avvia) emit configurazioneCambiata();
    if (avvia) {
        avviaFiglio();
    } else {
        fermaFiglio();
    }
}

void GestoreLocale::conclusa(Errore errore) {
    if (coda_.empty()) return;
    Operazione fatta = std::move(coda_.front());
    coda_.pop_front();
    if (fatta.fatto) fatta.fatto(std::move(errore));
    prossima();
}

void GestoreLocale::avviaFiglio() {
    if (inEsecuzione()) {
        conclusa(std::nullopt);
        return;
    }
    if (comando_.isEmpty()) {
        conclusa(tr("nessun comando per l'estensione"));
        return;
    }
    if (figlio_) figlio_->deleteLater();
    figlio_ = new QProcess(this);
    figlio_->setProcessChannelMode(QProcess::ForwardedChannels);
    // The extension never outlives the app, however the app ends (killed, crashed): the kernel
    // sends it SIGTERM, and it saves its memory and stops.
    figlio_->setChildProcessModifier([genitore = ::getpid()] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != genitore) ::_exit(1);  // the app ended before the line above
    });
    QProcess* const questo = figlio_;
    connect(questo, &QProcess::started, this, [this, questo] {
        log_.info("Estensione avviata: pid " + std::to_string(questo->processId()));
        conclusa(std::nullopt);
    });
    connect(questo, &QProcess::errorOccurred, this, [this, questo](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart || figlio_ != questo) return;
        log_.errore("Estensione non avviata: " + questo->errorString().toStdString());
        conclusa(questo->errorString());
    });
    connect(questo, &QProcess::finished, this, [this, questo](int codice, QProcess::ExitStatus) {
        if (figlio_ != questo) return;
        log_.info("Estensione terminata (" + std::to_string(codice) + ")");
        // Ended by itself, not by a switch waiting for it.
        if (coda_.empty() || coda_.front().avvia) emit configurazioneCambiata();
        if (!coda_.empty() && !coda_.front().avvia) conclusa(std::nullopt);
    });
    figlio_->start(comando_.front(), comando_.mid(1));
}

void GestoreLocale::fermaFiglio() {
    if (!inEsecuzione()) {
        conclusa(std::nullopt);
        return;
    }
    figlio_->terminate();
    QTimer::singleShot(5000, figlio_, [questo = figlio_] {
        if (questo->state() != QProcess::NotRunning) questo->kill();
    });
}

}  // namespace ostrale
