// SPDX-License-Identifier: GPL-3.0-or-later
// ostrale: the desktop app. One controller, the main window and the tray built on it.
#include <QApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/orologio.h"
#include "Condiviso/registro.h"
#include "Ostrale/Linux/avvio-app.h"
#include "Ostrale/Linux/avvio-automatico-xdg.h"
#include "Ostrale/Linux/istanza-unica.h"
#include "Ostrale/Linux/uscita-su-segnale.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/finestra-principale.h"
#include "Ostrale/Viste/presentatore-finestre.h"
#include "Ostrale/Viste/vassoio.h"

namespace {

const char* const uso =
    "uso: ostrale [--nascosta] [Qt's options]\n"
    "     ostrale --help | --version\n"
    "  --nascosta               start in the tray, the window hidden (a start at login)\n"
    "  --riavvio                first wait up to 15 s for the running copy to be gone\n"
    "  --puo-disegnare          exit 0 when a display can be opened here, for scripts\n"
    "  -h, --help               this text\n"
    "  --version                the version\n"
    "Qt's own options are passed on to Qt: -platform NAME, -style NAME, -display DISPLAY, ...\n"
    "A second ostrale brings the first one's window forward and exits 0.\n"
    "Exit status: 0 done; 1 signals could not be watched; 2 bad arguments, or an unknown\n"
    "OSTRALE_GESTORE.\n";

// Qt's own options (QGuiApplication, QApplication, the xcb platform), which QApplication takes
// out of the arguments itself; Qt reads them with one dash or two. Names between spaces.
constexpr std::string_view opzioniQtConValore =
    " platform platformpluginpath platformtheme plugin qwindowgeometry geometry qwindowicon icon"
    " qwindowtitle title session display name visual style stylesheet ";
constexpr std::string_view opzioniQtSole = " reverse testability widgetcount nograb dograb ";
constexpr std::string_view opzioniQtConUguale = " style stylesheet qmljsdebugger ";

bool tra(std::string_view nomi, std::string_view nome) {
    return !nome.empty() && nome.find(' ') == std::string_view::npos &&
           nomi.find(" " + std::string(nome) + " ") != std::string_view::npos;
}

int argomentiSbagliati(const std::string& perché) {
    std::fprintf(stderr, "ostrale: %s\n%s", perché.c_str(), uso);
    return 2;
}

// The options, read before any QApplication exists so that --help and --version need no
// display. The exit code when the process ends here.
std::optional<int> leggiOpzioni(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "--help" || a == "--aiuto") {
            std::fputs(uso, stdout);
            return 0;
        }
        if (a == "--version") {
            std::puts("ostrale " OSTRALE_VERSIONE);
            return 0;
        }
        if (a == "--nascosta" || a == "--riavvio" || a == "--puo-disegnare") continue;
        if (a.size() < 2 || a.front() != '-' || a == "--") {
            return argomentiSbagliati("unexpected argument '" + std::string(a) + "'");
        }
        const std::string_view qt = a.substr(a.starts_with("--") ? 2 : 1);
        if (const auto uguale = qt.find('='); uguale != std::string_view::npos) {
            if (tra(opzioniQtConUguale, qt.substr(0, uguale))) continue;
        } else if (tra(opzioniQtSole, qt)) {
            continue;
        } else if (tra(opzioniQtConValore, qt)) {
            if (i + 1 >= argc) return argomentiSbagliati(std::string(a) + " wants a value");
            ++i;
            continue;
        }
        return argomentiSbagliati("unknown option '" + std::string(a) + "'");
    }
    return std::nullopt;
}

// `--puo-disegnare`: whether a display can be opened here (the demo asks before it starts).
bool chiedeSeSiPuòDisegnare(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--puo-disegnare") return true;
    }
    return false;
}

int provaADisegnare(char* programma) {
    QGuiApplication::setAttribute(Qt::AA_UseSoftwareOpenGL);
    int n = 1;
    char* nome[] = {programma, nullptr};
    QGuiApplication prova(n, nome);
    return 0;  // a platform that cannot start ends the process before this
}

void impostaApplicazione() {
    QApplication::setApplicationName(QStringLiteral("ostrale"));
    QApplication::setApplicationDisplayName(QStringLiteral("Ostrale"));
    QApplication::setDesktopFileName(QStringLiteral("it.brelt.ostrale"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icone/ostrale.svg")));
    QApplication::setQuitOnLastWindowClosed(false);  // the tray keeps the app
    ostrale::Registro::impostaSottosistema("it.brelt.ostrale");
}

// One app per user: a second copy shows the first one's window and ends. A relaunch
// ("Riapri adesso") waits for the copy that started it to be gone, with its extension. The lock
// held, or nothing when this copy is to end (`fine` set) or no lock could be opened (the copy
// goes on unchecked).
std::unique_ptr<ostrale::IstanzaUnica> unaCopiaSola(bool riavvio, bool& fine) {
    using ostrale::IstanzaUnica;
    auto istanza =
        IstanzaUnica::prendi(riavvio ? std::chrono::seconds(15) : std::chrono::seconds(0));
    const auto pid = istanza ? std::nullopt : IstanzaUnica::altra();
    fine = false;
    if (!istanza && !pid) {
        ostrale::Registro("it.brelt.ostrale", "app")
            .avviso("Il blocco " + IstanzaUnica::percorsoBlocco().toStdString() +
                    " non si può aprire: nessun controllo di un'altra copia");
    } else if (!istanza) {
        const std::string chi = *pid > 0 ? " (pid " + std::to_string(*pid) + ")" : "";
        if (IstanzaUnica::chiediFinestra()) {
            std::fprintf(stderr,
                         "ostrale: Ostrale already runs for this user%s: its window "
                         "comes forward\n",
                         chi.c_str());
        } else {
            std::fprintf(stderr,
                         "ostrale: Ostrale already runs for this user%s, and could not "
                         "be asked to show its window (no session bus)\n",
                         chi.c_str());
        }
        fine = true;
    }
    return istanza;
}

// The window and the tray on one controller, and who may bring the window forward: the tray,
// a second copy (through the lock's session-bus name), the controller (a notification's
// click), and the window's own "Riapri adesso".
void collegaFinestra(ostrale::FinestraPrincipale& finestra, ostrale::Vassoio& vassoio,
                     ostrale::StatoApp& stato, ostrale::IstanzaUnica* istanza,
                     const QStringList& argomenti, const std::function<void()>& esci) {
    using namespace ostrale;
    vassoio.seguiFinestra(&finestra);
    auto apri = [&finestra, &stato] {
        finestra.show();
        finestra.raise();
        finestra.activateWindow();
        stato.appInPrimoPiano();
    };
    QObject::connect(&vassoio, &Vassoio::apriRichiesto, &finestra, apri);
    QObject::connect(&vassoio, &Vassoio::esciRichiesto, qApp, esci);
    if (istanza) {
        QObject::connect(istanza, &IstanzaUnica::finestraRichiesta, &finestra,
                         [&finestra, apri](const QString& sezione) {
                             if (!sezione.isEmpty()) finestra.mostraSezione(sezione);
                             apri();
                         });
        istanza->pubblica();
    }
    QObject::connect(&stato, &StatoApp::sezioneRichiesta, &finestra,
                     [&finestra, apri](const QString& s) {
                         finestra.mostraSezione(s);
                         apri();
                     });
    // "Riapri adesso": a new instance, which waits for this one to be gone, then this one goes.
    QObject::connect(&finestra, &FinestraPrincipale::riavvioRichiesto, qApp, [argomenti, esci] {
        if (QProcess::startDetached(QApplication::applicationFilePath(),
                                    argomenti + QStringList{QStringLiteral("--riavvio")})) {
            QTimer::singleShot(400, qApp, esci);
        }
    });
}

}  // namespace

int main(int argc, char** argv) {
    using namespace ostrale;
    if (const auto esito = leggiOpzioni(argc, argv)) return *esito;
    if (chiedeSeSiPuòDisegnare(argc, argv)) return provaADisegnare(argv[0]);
    QApplication app(argc, argv);
    impostaApplicazione();

    QStringList argomenti = QApplication::arguments().mid(1);
    const bool riavvio = argomenti.removeAll(QStringLiteral("--riavvio")) > 0;
    // `--nascosta`: in the tray only, the window shown on request (a start at login).
    const bool nascosta = argomenti.contains(QStringLiteral("--nascosta"));
    bool fine = false;
    const auto istanza = unaCopiaSola(riavvio, fine);
    if (fine) return 0;

    PresentatoreFinestre* domande = nullptr;
    const auto avvio = AvvioApp::crea(app, {}, [&domande](const Orologio& orologio) {
        auto finestre = std::make_unique<PresentatoreFinestre>(orologio);
        domande = finestre.get();
        return finestre;
    });
    if (!avvio) {
        std::fprintf(stderr,
                     "ostrale: unknown manager '%s' in OSTRALE_GESTORE (systemd, locale or "
                     "esterno)\n",
                     qEnvironmentVariable("OSTRALE_GESTORE").toLocal8Bit().constData());
        return 2;
    }
    // Quitting always works, whatever is on screen: questions go unanswered, and the loop
    // ends without asking the windows (a question would decline to close).
    const std::function<void()> esci = [domande] {
        domande->ritiraTutte();
        QApplication::exit(0);
    };
    if (!esciSuSegnale(app, esci)) return 1;

    // Launch at login starts this same program, in the tray.
    AvvioAutomaticoXdg avvioAlLogin(QApplication::applicationFilePath());
    FinestraPrincipale finestra(avvio->stato(), {&avvioAlLogin, &avvio->dati()});
    Vassoio vassoio(avvio->stato());
    collegaFinestra(finestra, vassoio, avvio->stato(), istanza.get(), argomenti, esci);

    avvio->avvia();
    if (!nascosta) finestra.show();
    return QApplication::exec();
}
