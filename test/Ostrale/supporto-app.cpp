// SPDX-License-Identifier: GPL-3.0-or-later
#include "test/Ostrale/supporto-app.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace ostrale::test {

bool aspetta(const std::function<bool()>& condizione, double secondi) {
    QElapsedTimer cronometro;
    cronometro.start();
    while (!condizione()) {
        if (cronometro.elapsed() > static_cast<qint64>(secondi * 1000)) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

void gira(double secondi) {
    aspetta([] { return false; }, secondi);
}

namespace {

pid_t avviaProcesso(const std::vector<std::string>& argomenti, const std::vector<std::string>& env,
                    const std::string& uscita) {
    std::vector<char*> argv;
    for (const auto& a : argomenti) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> variabili;
    for (char** e = environ; *e; ++e) {
        const std::string v = *e;
        bool sostituita = false;
        for (const auto& nuova : env) {
            if (v.compare(0, nuova.find('=') + 1, nuova, 0, nuova.find('=') + 1) == 0)
                sostituita = true;
        }
        if (!sostituita) variabili.push_back(v);
    }
    variabili.insert(variabili.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (auto& v : variabili) envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t azioni;
    posix_spawn_file_actions_init(&azioni);
    posix_spawn_file_actions_addopen(&azioni, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&azioni, 1, uscita.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0600);
    posix_spawn_file_actions_adddup2(&azioni, 1, 2);
    pid_t pid = 0;
    const int esito = ::posix_spawn(&pid, argv[0], &azioni, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&azioni);
    if (esito != 0) throw std::runtime_error("cannot start " + argomenti[0]);
    return pid;
}

bool accetta(const std::filesystem::path& socket) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un indirizzo{};
    indirizzo.sun_family = AF_UNIX;
    std::strncpy(indirizzo.sun_path, socket.c_str(), sizeof indirizzo.sun_path - 1);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

DemoneSimulato::DemoneSimulato(std::filesystem::path contenitore, std::filesystem::path socket,
                               std::vector<std::string> opzioni)
    : contenitore_(std::move(contenitore)),
      socket_(std::move(socket)),
      opzioni_(std::move(opzioni)) {}

DemoneSimulato::~DemoneSimulato() {
    if (pid_ > 0) ferma();
}

void DemoneSimulato::avvia() {
    if (pid_ > 0) return;
    std::vector<std::string> argomenti{OSTRALE_ESTENSIONE, "--sorgente", "simulata",
                                       "--contenitore", contenitore_.string()};
    argomenti.insert(argomenti.end(), opzioni_.begin(), opzioni_.end());
    pid_ = avviaProcesso(argomenti, {"OSTRALE_SOCKET=" + socket_.string()},
                         (contenitore_.parent_path() / "demone.log").string());
    // A connection accepted is a connection the test's own client will not need: the daemon
    // sees it open and close, as it does for every observer.
    for (int i = 0; i < 400; ++i) {
        if (accetta(socket_)) return;
        int stato = 0;
        if (::waitpid(pid_, &stato, WNOHANG) == pid_) {
            pid_ = 0;
            throw std::runtime_error("the daemon ended at its start");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    throw std::runtime_error("the daemon's socket never answered");
}

void DemoneSimulato::attendiFine() {
    int stato = 0;
    ::waitpid(pid_, &stato, 0);
    pid_ = 0;
}

void DemoneSimulato::uccidi() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    attendiFine();
}

void DemoneSimulato::ferma() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    attendiFine();
}

BusPrivato::BusPrivato() {
    processo_.setProgram(QStringLiteral("dbus-daemon"));
    processo_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    processo_.start();
    if (!processo_.waitForStarted(5000)) return;
    if (!aspetta([&] { return processo_.canReadLine(); }, 10)) return;
    indirizzo_ = QString::fromUtf8(processo_.readLine()).trimmed();
}

BusPrivato::~BusPrivato() {
    for (const QString& nome : nomi_) QDBusConnection::disconnectFromBus(nome);
    processo_.kill();
    processo_.waitForFinished(2000);
}

QDBusConnection BusPrivato::connessione(const QString& nome) {
    nomi_ << nome;
    return QDBusConnection::connectToBus(indirizzo_, nome);
}

std::string leggiTutto(const std::filesystem::path& percorso) {
    std::ifstream f(percorso, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool scriviDatabaseDiProva(const std::filesystem::path& cartella) {
    return esegui({"/usr/bin/perl", OSTRALE_SORGENTI "/test/Dati/scrivi-mmdb.pl",
                   cartella.string()}) == 0;
}

EventoFlusso evento(Data adesso, std::string firma, bool consentito, double eta,
                    std::optional<MotivoDecisione> motivo) {
    EventoFlusso e;
    e.data = adesso.piùSecondi(-eta);
    e.firmaApp = std::move(firma);
    e.host = "esempio.example";
    e.porta = "443";
    e.protocollo = "TCP";
    e.consentito = consentito;
    e.motivo = motivo;
    e.indirizzoIP = "203.0.113.7";
    return e;
}

ProcessoFiglio::ProcessoFiglio(const std::vector<std::string>& argomenti)
    : pid_(avviaProcesso(argomenti, {}, "/dev/null")) {}

ProcessoFiglio::~ProcessoFiglio() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int stato = 0;
    ::waitpid(pid_, &stato, 0);
}

bool ProcessoFiglio::inEsecuzione() {
    int stato = 0;
    if (pid_ > 0 && ::waitpid(pid_, &stato, WNOHANG) == pid_) pid_ = 0;
    return pid_ > 0;
}

int esegui(const std::vector<std::string>& argomenti) {
    const pid_t pid = avviaProcesso(argomenti, {}, "/dev/null");
    int stato = 0;
    ::waitpid(pid, &stato, 0);
    return WIFEXITED(stato) ? WEXITSTATUS(stato) : 128 + WTERMSIG(stato);
}

ControlloreSenzaEstensione::ControlloreSenzaEstensione()
    : orologio_(Data::daUnix(static_cast<double>(std::time(nullptr)))) {
    std::filesystem::create_directories(cartella_ / "c");
}

StatoApp& ControlloreSenzaEstensione::stato() {
    if (!stato_) {
        stato_ = std::make_unique<StatoApp>(
            StatoApp::Dipendenze{orologio_,
                                 tempo_,
                                 gestore_,
                                 preferenze_,
                                 nullptr,
                                 QString::fromStdString((cartella_ / "nessuno.sock").string()),
                                 {}});
    }
    return *stato_;
}

ControlloreConEstensione::ControlloreConEstensione(std::vector<std::string> opzioni)
    : demone_((std::filesystem::create_directories(cartella_ / "c"), cartella_ / "c"),
              cartella_ / "ostrale.sock", std::move(opzioni)) {
    demone_.avvia();
    stato_.avvia();
}

ControlloreConEstensione::~ControlloreConEstensione() {
    demone_.ferma();
}

}  // namespace ostrale::test
