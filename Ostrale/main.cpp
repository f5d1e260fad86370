// ostrale: the desktop app. One controller, the main window and the tray built on it.
#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>
#include <string_view>

#include "Condiviso/orologio.h"
#include "Condiviso/registro.h"
#include "Ostrale/Dati/servizi-dati.h"
#include "Ostrale/Linux/notificatore-dbus.h"
#include "Ostrale/Linux/posizione-locale.h"
#include "Ostrale/Linux/scelta-gestore.h"
#include "Ostrale/Linux/uscita-su-segnale.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/temporizzatore.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/finestra-principale.h"
#include "Ostrale/Viste/presentatore-finestre.h"
#include "Ostrale/Viste/vassoio.h"

int main(int argc, char** argv) {
    using namespace ostrale;
    // `--puo-disegnare`: whether a display can be opened here (the demo asks before it starts).
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--puo-disegnare") {
            QGuiApplication::setAttribute(Qt::AA_UseSoftwareOpenGL);
            int n = 1;
            char* nome[] = {argv[0], nullptr};
            QGuiApplication prova(n, nome);
            return 0;  // a platform that cannot start ends the process before this
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ostrale"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ostrale"));
    QApplication::setDesktopFileName(QStringLiteral("ostrale"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icone/ostrale.svg")));
    QApplication::setQuitOnLastWindowClosed(false);  // the tray keeps the app
    // SIGTERM and SIGINT quit through the event loop, so the extension it runs stops too.
    if (!esciSuSegnale(app)) return 1;
    Registro::impostaSottosistema("it.brelt.ostrale");

    ImpostazioniApp preferenze;
    testi::installaTraduzioni(
        app, testi::linguaPer(preferenze.comeTesto(ImpostazioniApp::linguaScelta)));
    auto gestore = creaGestoreFiltro({}, preferenze, {});
    if (!gestore) return 2;
    OrologioDiSistema orologio;
    TemporizzatoreQt temporizzatore;
    PresentatoreFinestre domande(orologio);
    NotificatoreDBus notifiche(NotificatoreDBus::iconaPredefinita());
    StatoApp stato({orologio, temporizzatore, *gestore, preferenze, &domande, {}, {}, &notifiche});
    ServiziDati dati(stato, preferenze, orologio, temporizzatore);
    PosizioneLocale posizione;
    QObject::connect(&posizione, &PosizioneLocale::aggiornata, &stato,
                     [&](const PosizioneIP& p) { stato.impostaPosizioneMia(p); });

    FinestraPrincipale finestra(stato);
    Vassoio vassoio(stato);
    auto apri = [&] {
        finestra.show();
        finestra.raise();
        finestra.activateWindow();
        stato.appInPrimoPiano();
    };
    QObject::connect(&vassoio, &Vassoio::apriRichiesto, &finestra, apri);
    QObject::connect(&vassoio, &Vassoio::esciRichiesto, &app, &QApplication::quit);
    QObject::connect(&stato, &StatoApp::sezioneRichiesta, &finestra, [&](const QString& s) {
        finestra.mostraSezione(s);
        apri();
    });
    // "Riapri adesso": a new instance, then this one goes.
    QObject::connect(&finestra, &FinestraPrincipale::riavvioRichiesto, &app, [&] {
        if (QProcess::startDetached(QApplication::applicationFilePath(),
                                    QApplication::arguments().mid(1))) {
            QTimer::singleShot(400, &app, &QApplication::quit);
        }
    });

    stato.avvia();
    dati.avvia();
    posizione.richiedi([&](PosizioneFacoltativa p) { stato.impostaPosizioneMia(p); });
    finestra.show();
    return QApplication::exec();
}
