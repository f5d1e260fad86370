// SPDX-License-Identifier: GPL-3.0-or-later
// ostrale-stato: the app's controller without a window. Connects a StatoApp to the extension,
// prints what it receives, and answers the questions with a fixed answer, so that the
// controller can be run and watched by hand and by scripts.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <memory>

#include <QCoreApplication>
#include <QProcess>
#include <QTimer>

#include "Condiviso/orologio.h"
#include "Condiviso/registro.h"
#include "Ostrale/Dati/servizi-dati.h"
#include "Ostrale/Linux/avvio-app.h"
#include "Ostrale/Linux/istanza-unica.h"
#include "Ostrale/Linux/uscita-su-segnale.h"
#include "Ostrale/Stato/presentatore-domande.h"
#include "Ostrale/Stato/stato-app.h"

namespace {

using namespace ostrale;

const char* const uso =
    "uso: ostrale-stato [opzioni]\n"
    "  --rispondi consenti|blocca|mai  the answer to every question (default mai: none)\n"
    "  --gestore systemd|locale|esterno  who switches the filter (default: systemd when it runs\n"
    "                                  the machine, else the app runs the extension itself;\n"
    "                                  esterno: somebody else runs it)\n"
    "  --comando-estensione CMD        the extension the local manager runs\n"
    "  --socket PERCORSO               the extension's socket (default OSTRALE_SOCKET)\n"
    "  --contenitore DIR               the shared container (default OSTRALE_CONTENITORE)\n"
    "  --impostazioni FILE             the app's preferences file\n"
    "  --senza-flussi                  do not print every flow\n"
    "  --notifiche                     post notifications on the session bus\n"
    "  --durata S                      quit after S seconds\n"
    "  -h, --help                      this text\n"
    "  --version                       the version\n";

[[noreturn]] void errore(const std::string& messaggio) {
    std::cerr << "ostrale-stato: " << messaggio << "\n" << uso;
    std::exit(2);
}

void stampa(const std::string& riga) {
    const std::time_t t = std::time(nullptr);
    std::tm locale{};
    localtime_r(&t, &locale);
    char ora[16];
    std::strftime(ora, sizeof ora, "%H:%M:%S", &locale);
    std::printf("%s  %s\n", ora, riga.c_str());
    std::fflush(stdout);
}

std::string descrivi(const EventoFlusso& e) {
    return e.firmaApp + (e.direzione == DirezioneFlusso::entrata ? " ← " : " → ") + e.host + ":" +
           e.porta + " " + e.protocollo;
}

// Answers every question the same way, from the event loop; "mai" leaves them unanswered.
class PresentatoreFisso final : public PresentatoreDomande {
  public:
    explicit PresentatoreFisso(std::optional<bool> risposta) : risposta_(risposta) {}

    void chiediSuBlocco(const EventoFlusso& evento, Risposta risposta) override {
        rispondi("accesso bloccato: " + descrivi(evento), std::move(risposta));
    }
    // With the duration and the scope last chosen (for ever, the application, unless the
    // preferences say otherwise).
    void chiediDecisione(std::uint64_t, const EventoFlusso& evento, Data,
                         const RispostaDecisione& ultima, RispostaSospesa risposta) override {
        rispondi("connessione sospesa: " + descrivi(evento),
                 [ultima, risposta = std::move(risposta)](bool consenti) {
                     RispostaDecisione r = ultima;
                     r.consenti = consenti;
                     risposta(r);
                 });
    }
    void ritira(std::uint64_t) override {}

  private:
    void rispondi(const std::string& domanda, Risposta risposta) {
        if (!risposta_) {
            stampa("domanda  " + domanda + " → nessuna risposta");
            return;
        }
        const bool consenti = *risposta_;
        stampa("domanda  " + domanda + " → " + (consenti ? "consenti" : "blocca"));
        QTimer::singleShot(0, [risposta = std::move(risposta), consenti] { risposta(consenti); });
    }
    std::optional<bool> risposta_;
};

struct Opzioni {
    std::optional<bool> risposta;
    AvvioApp::Scelte scelte;
    bool flussi = true;
    std::optional<double> durata;
};

// The options; exits with the usage on a bad one, and after --help or --version.
Opzioni leggiOpzioni(const QStringList& argomenti) {
    Opzioni o;
    o.scelte.notifiche = false;
    for (qsizetype i = 1; i < argomenti.size(); ++i) {
        const QString a = argomenti[i];
        auto valore = [&]() -> QString {
            if (i + 1 >= argomenti.size()) errore(a.toStdString() + " wants a value");
            return argomenti[++i];
        };
        if (a == QLatin1String("--rispondi")) {
            const QString v = valore();
            if (v == QLatin1String("consenti")) {
                o.risposta = true;
            } else if (v == QLatin1String("blocca")) {
                o.risposta = false;
            } else if (v != QLatin1String("mai")) {
                errore("--rispondi is consenti, blocca or mai");
            }
        } else if (a == QLatin1String("--gestore")) {
            o.scelte.gestore = valore();
        } else if (a == QLatin1String("--comando-estensione")) {
            o.scelte.comandoEstensione = QProcess::splitCommand(valore());
            if (o.scelte.comandoEstensione.isEmpty())
                errore("--comando-estensione wants a command");
        } else if (a == QLatin1String("--socket")) {
            o.scelte.socket = valore();
        } else if (a == QLatin1String("--contenitore")) {
            qputenv("OSTRALE_CONTENITORE", valore().toLocal8Bit());
        } else if (a == QLatin1String("--impostazioni")) {
            o.scelte.preferenze = valore();
        } else if (a == QLatin1String("--senza-flussi")) {
            o.flussi = false;
        } else if (a == QLatin1String("--notifiche")) {
            o.scelte.notifiche = true;
        } else if (a == QLatin1String("--durata")) {
            bool ok = false;
            o.durata = valore().toDouble(&ok);
            if (!ok || !(*o.durata > 0)) errore("--durata wants a positive number of seconds");
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help") ||
                   a == QLatin1String("--aiuto")) {
            std::cout << uso;
            std::exit(0);
        } else if (a == QLatin1String("--version")) {
            std::cout << "ostrale-stato " OSTRALE_VERSIONE "\n";
            std::exit(0);
        } else {
            errore("unknown option '" + a.toStdString() + "'");
        }
    }
    return o;
}

// One app per user, windowed or not: false when another copy runs.
bool unaCopiaSola(std::unique_ptr<IstanzaUnica>& istanza) {
    istanza = IstanzaUnica::prendi();
    const auto pid = istanza ? std::nullopt : IstanzaUnica::altra();
    if (pid) {
        std::cerr << "ostrale-stato: Ostrale already runs for this user"
                  << (*pid > 0 ? " (pid " + std::to_string(*pid) + ")" : "")
                  << ": one app per user; quit it first\n";
        return false;
    }
    if (!istanza) {
        std::cerr << "ostrale-stato: " << IstanzaUnica::percorsoBlocco().toStdString()
                  << " cannot be opened: another copy of the app would go unnoticed\n";
    }
    return true;
}

// The data services' outcomes and the positions found.
void stampaDati(StatoApp& stato, ServiziDati& dati) {
    auto posizioniStampate = std::make_shared<std::size_t>(0);
    QObject::connect(&stato, &StatoApp::geoPosizioniCambiate, [&stato, posizioniStampate] {
        if (stato.geoPosizioni().size() == *posizioniStampate) return;
        *posizioniStampate = stato.geoPosizioni().size();
        stampa("posizioni: " + std::to_string(*posizioniStampate) + " indirizzi");
    });
    QObject::connect(&dati.c2(), &AggiornatoreC2::esitoCambiato, [&dati] {
        if (!dati.c2().esito().isNull()) stampa("c2: " + dati.c2().esito().toStdString());
    });
    QObject::connect(&dati.geoDB(), &AggiornatoreGeoDB::esitoCambiato, [&dati] {
        if (!dati.geoDB().esito().isNull()) stampa("geodb: " + dati.geoDB().esito().toStdString());
    });
}

// What the controller shows: the link, the filter, the light, rules, quarantine, attacks.
void stampaStato(StatoApp& stato) {
    QObject::connect(&stato, &StatoApp::sezioneRichiesta,
                     [](const QString& sezione) { stampa("apri: " + sezione.toStdString()); });
    QObject::connect(&stato, &StatoApp::statoEstensioneCambiato,
                     [&stato] { stampa("estensione: " + stato.statoEstensione().toStdString()); });
    QObject::connect(&stato, &StatoApp::filtroAttivoCambiato, [&stato] {
        stampa(std::string("filtro: ") + (stato.filtroAttivo() ? "attivo" : "spento"));
    });
    QObject::connect(&stato, &StatoApp::registrata,
                     [] { stampa("registrata presso l'estensione"); });
    QObject::connect(&stato, &StatoApp::coloreBarraCambiato, [&stato] {
        static const char* const nomi[] = {"spento", "verde", "arancio", "rosso"};
        stampa(std::string("semaforo: ") + nomi[static_cast<int>(stato.coloreBarra())]);
    });
    QObject::connect(&stato, &StatoApp::regoleCambiate, [&stato] {
        stampa("regole: " + std::to_string(stato.regole().size()) + " app");
    });
    QObject::connect(&stato, &StatoApp::appInQuarantenaCambiata, [&stato] {
        stampa("in quarantena: " + std::to_string(stato.appInQuarantena().size()) + " app");
    });
    QObject::connect(&stato, &StatoApp::attaccoRegistrato, [](const EventoFlusso& e) {
        stampa("ATTACCO  " + std::string(valoreGrezzo(*e.attacco)) + "  " + descrivi(e));
    });
}

// Every flow as it comes (`ognuno`), or only how many the log brought.
void stampaFlussi(StatoApp& stato, bool ognuno) {
    auto ultimi = std::make_shared<std::size_t>(0);
    QObject::connect(&stato, &StatoApp::flussiCambiati, [&stato, ognuno, ultimi] {
        const std::size_t totale =
            static_cast<std::size_t>(stato.totaleConsentiti() + stato.totaleBloccati());
        if (ognuno && totale != *ultimi && !stato.flussi().empty()) {
            const EventoFlusso& e = stato.flussi().front();
            stampa(std::string(e.consentito ? "consenti" : "blocca  ") + "  " + descrivi(e) +
                   "  (" + std::string(e.motivo ? valoreGrezzo(*e.motivo) : "?") + ")");
        } else if (totale == *ultimi) {
            stampa("flussi: " + std::to_string(stato.flussi().size()) + " dal registro");
        }
        *ultimi = totale;
    });
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostrale"));
    const Opzioni opzioni = leggiOpzioni(QCoreApplication::arguments());
    Registro::impostaSottosistema("it.brelt.ostrale");

    std::unique_ptr<IstanzaUnica> istanza;
    if (!unaCopiaSola(istanza)) return 1;
    if (!esciSuSegnale(app)) return 1;
    std::signal(SIGPIPE, SIG_IGN);

    const auto avvio = AvvioApp::crea(app, opzioni.scelte, [&opzioni](const Orologio&) {
        return std::make_unique<PresentatoreFisso>(opzioni.risposta);
    });
    if (!avvio) errore("unknown manager '" + opzioni.scelte.gestore.toStdString() + "'");
    StatoApp& stato = avvio->stato();
    stampaDati(stato, avvio->dati());
    stampaStato(stato);
    stampaFlussi(stato, opzioni.flussi);
    int esitoUscita = 0;
    QObject::connect(&stato, &StatoApp::registrazioneRifiutata, [&esitoUscita] {
        std::cerr << "ostrale-stato: the extension refused to register this app: another copy "
                     "of this user's app is connected to it\n";
        esitoUscita = 1;
        QCoreApplication::exit(1);
    });
    if (opzioni.durata) {
        QTimer::singleShot(static_cast<int>(*opzioni.durata * 1000), &app, &QCoreApplication::quit);
    }
    avvio->avvia();
    const int esito = QCoreApplication::exec();
    stampa("fine");
    return esitoUscita ? esitoUscita : esito;
}
