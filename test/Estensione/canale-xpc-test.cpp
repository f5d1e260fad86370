// SPDX-License-Identifier: GPL-3.0-or-later
// The extension core and the client library talking over a real socket.
#include "Estensione/canale-xpc.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/cliente-canale.h"
#include "Condiviso/codifica-json.h"
#include "Estensione/filter-data-provider.h"
#include "test/supporto/cartella-temporanea.h"
#include "test/supporto/finti-estensione.h"

namespace ostrale {
namespace {

using canale::ClienteCanale;
using namespace std::chrono_literals;
constexpr auto comeApp = ClienteCanale::Ruolo::app;

// Waits up to `secondi` seconds for `condizione`.
template <typename F>
bool attendi(F condizione, int secondi = 5) {
    for (int i = 0; i < secondi * 100; ++i) {
        if (condizione()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condizione();
}

class CanaleTest : public ::testing::Test {
  protected:
    test::ContenitoreTemporaneo contenitore;
    test::CartellaTemporanea risorse;
    test::VariabileAmbiente variabileRisorse{"OSTRALE_RISORSE", risorse.percorso().string()};
    std::filesystem::path socket = contenitore / "run" / "ostrale.sock";
    OrologioFinto orologio;
    test::PianificatoreFinto pianificatore{orologio};
    test::RisolutoreFinto identità;
    BlocklistC2 c2{orologio};
    Tracker tracker;
    std::shared_ptr<DestinazioneMemoria> log = std::make_shared<DestinazioneMemoria>();
    std::shared_ptr<DestinazioneRegistro> logPrecedente = Registro::impostaDestinazione(log);
    std::unique_ptr<CanaleXPC> canale = std::make_unique<CanaleXPC>(c2, socket);
    std::shared_ptr<FilterDataProvider> provider =
        FilterDataProvider::crea({orologio, pianificatore, identità, *canale, c2, tracker});

    CanaleTest() {
        identità.imposta(test::tokenDi(1), "/usr/bin/curl");
        test::SorgenteFinta sorgente;
        provider->startFilter(sorgente, nullptr);
    }
    ~CanaleTest() override {
        canale.reset();
        Registro::impostaDestinazione(logPrecedente);
    }

    std::shared_ptr<test::FlussoFinto> flusso(std::string host = "www.example.org") {
        auto f = std::make_shared<test::FlussoFinto>();
        f->tokenApp = test::tokenDi(1);
        f->nome = std::move(host);
        return f;
    }
};

struct Ricevuti {
    std::mutex mutex;
    std::vector<EventoFlusso> flussi, domande;
    int persi = 0;

    ClienteCanale::Richiami richiami() {
        ClienteCanale::Richiami r;
        r.suNuovoFlusso = [this](std::string j) {
            std::lock_guard b(mutex);
            flussi.push_back(json::decodifica<EventoFlusso>(j).valore());
        };
        r.suChiediDecisione = [this](std::string j) {
            std::lock_guard b(mutex);
            domande.push_back(json::decodifica<EventoFlusso>(j).valore());
        };
        r.suPerso = [this] {
            std::lock_guard b(mutex);
            ++persi;
        };
        return r;
    }
    std::size_t quantiFlussi() {
        std::lock_guard b(mutex);
        return flussi.size();
    }
};

TEST_F(CanaleTest, SocketIsCreatedForTheGroupOnly) {
    struct stat info {};
    ASSERT_EQ(::stat(socket.c_str(), &info), 0);
    EXPECT_TRUE(S_ISSOCK(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0660u);
    ASSERT_EQ(::stat(socket.parent_path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0750u);
    EXPECT_TRUE(log->contiene("In ascolto su " + socket.string()));
}

TEST_F(CanaleTest, RegistrationRulesHistoryLogAndC2) {
    ClienteCanale cliente(socket, {}, comeApp);
    ASSERT_FALSE(cliente.connetti());
    EXPECT_TRUE(attendi([&] { return canale->haConnessione(); }));

    StatoRegole regole;
    regole.regole.push_back(
        Regola{Uuid::genera(), "/usr/bin/curl", "curl", AzioneRegola::blocca, true, {}, {}});
    EXPECT_EQ(cliente.aggiornaRegole(json::codifica(regole)), true);
    EXPECT_EQ(provider->handleNewFlow(flusso()), Verdetto::blocca);
    EXPECT_EQ(json::decodifica<StatoRegole>(contenitore.cartella().leggi("regole.json")).valore(),
              regole);
    // Bytes that are not rules are refused and change nothing.
    EXPECT_EQ(cliente.aggiornaRegole("{\"regole\": 7}"), false);
    EXPECT_EQ(cliente.aggiornaRegole(std::string("\0\xff", 2)), false);
    EXPECT_EQ(provider->handleNewFlow(flusso()), Verdetto::blocca);

    for (int i = 0; i < 5000; ++i) {
        provider->segnalaAttacchi({{TipoAttacco::raffica, "x", false}}, orologio.adesso(),
                                  "/usr/bin/app" + std::to_string(i), "h", "1",
                                  DirezioneFlusso::uscita, std::nullopt);
    }
    const auto flussi = json::decodifica<std::vector<EventoFlusso>>(cliente.leggiFlussi().value());
    ASSERT_TRUE(flussi);
    ASSERT_EQ(flussi->size(), 3000u);
    EXPECT_EQ(flussi->front().firmaApp, "/usr/bin/app2000");
    EXPECT_EQ(flussi->back().firmaApp, "/usr/bin/app4999");
    const auto storico = json::decodifica<PacchettoStorico>(cliente.leggiStorico().value());
    ASSERT_TRUE(storico);
    EXPECT_EQ(storico->app.at("/usr/bin/curl").bloccati, 2);

    std::string elenco;
    for (int i = 0; i < 60; ++i) elenco += "198.51.100." + std::to_string(i) + "\n";
    EXPECT_EQ(cliente.aggiornaBlocklistC2(elenco), 60);
    EXPECT_TRUE(log->contiene("Blocklist C2 aggiornata: 60 indirizzi"));
    EXPECT_EQ(cliente.aggiornaBlocklistC2("198.51.100.1\n\xff\xfe"), 0);
    EXPECT_TRUE(c2.contiene("198.51.100.59"));
}

TEST_F(CanaleTest, PushesAndAnswersToPausedFlows) {
    Ricevuti ricevuti;
    ClienteCanale cliente(socket, ricevuti.richiami(), comeApp);
    StatoRegole regole;
    regole.impostazioni.chiediPrima = true;
    regole.impostazioni.bloccaSconosciute = true;
    provider->applicaRegole(regole);

    // Without a connection nothing is paused and nothing is queued for later.
    EXPECT_EQ(provider->handleNewFlow(flusso("prima.example.org")), Verdetto::blocca);
    ASSERT_FALSE(cliente.connetti());
    auto sospeso = flusso();
    EXPECT_EQ(provider->handleNewFlow(sospeso), Verdetto::sospendi);
    ASSERT_TRUE(attendi([&] {
        std::lock_guard b(ricevuti.mutex);
        return !ricevuti.domande.empty();
    }));
    EXPECT_EQ(ricevuti.domande[0].firmaApp, "/usr/bin/curl");
    EXPECT_EQ(ricevuti.quantiFlussi(), 0u);
    ASSERT_TRUE(cliente.rispondiFlusso("/usr/bin/curl", true));
    ASSERT_TRUE(attendi([&] { return !sospeso->riprese().empty(); }));
    EXPECT_EQ(sospeso->riprese(), std::vector<bool>{true});

    regole.impostazioni.chiediPrima = false;
    provider->applicaRegole(regole);
    provider->handleNewFlow(flusso("dopo.example.org"));
    ASSERT_TRUE(attendi([&] { return ricevuti.quantiFlussi() == 1; }));
    EXPECT_EQ(ricevuti.flussi[0].host, "dopo.example.org");
}

TEST_F(CanaleTest, ASecondCopyOfTheSameUsersAppIsRefusedWhileTheFirstLives) {
    Ricevuti primi, secondi;
    auto primo = std::make_unique<ClienteCanale>(socket, primi.richiami(), comeApp);
    ASSERT_FALSE(primo->connetti());
    {
        ClienteCanale secondo(socket, secondi.richiami(), comeApp);
        EXPECT_EQ(secondo.connetti(), ClienteCanale::Errore::altraApp);
    }
    provider->handleNewFlow(flusso("a.example.org"));
    ASSERT_TRUE(attendi([&] { return primi.quantiFlussi() == 1; }));
    {
        std::lock_guard blocco(primi.mutex);
        EXPECT_EQ(primi.persi, 0);
    }
    // Once the first has gone (however it ended), the next copy registers, at once.
    primo.reset();
    ClienteCanale secondo(socket, secondi.richiami(), comeApp);
    ASSERT_FALSE(secondo.connetti());
    provider->handleNewFlow(flusso("b.example.org"));
    ASSERT_TRUE(attendi([&] { return secondi.quantiFlussi() == 1; }));
    EXPECT_TRUE(canale->haConnessione());
    EXPECT_TRUE(secondo.leggiStorico().has_value());
}

TEST_F(CanaleTest, ObserversNeitherDisplaceTheAppNorGetItsQuestions) {
    Ricevuti app, seguace, curioso;
    ClienteCanale cliente(socket, app.richiami(), comeApp);
    // Before any app: no pauses, and the information says so.
    ClienteCanale primo(socket, curioso.richiami());
    ASSERT_FALSE(primo.connetti());
    EXPECT_EQ(primo.informazioni()->appConnessa, false);
    EXPECT_FALSE(canale->haConnessione());
    EXPECT_EQ(primo.informazioni()->versione, OSTRALE_VERSIONE_ATTESA);

    ASSERT_FALSE(cliente.connetti());
    ClienteCanale osservatore(socket, seguace.richiami());
    ASSERT_FALSE(osservatore.connetti());
    EXPECT_EQ(osservatore.segui(), true);
    for (int i = 0; i < 20; ++i) {
        ClienteCanale altro(socket);
        ASSERT_FALSE(altro.connetti());
        ASSERT_TRUE(altro.leggiStorico().has_value());
    }
    const auto info = osservatore.informazioni();
    ASSERT_TRUE(info);
    EXPECT_TRUE(info->appConnessa);
    EXPECT_EQ(info->domandeInAttesa, 0);

    StatoRegole regole;
    regole.impostazioni.chiediPrima = true;
    regole.impostazioni.bloccaSconosciute = true;
    provider->applicaRegole(regole);
    auto sospeso = flusso("sospeso.example.org");
    EXPECT_EQ(provider->handleNewFlow(sospeso), Verdetto::sospendi);
    ASSERT_TRUE(attendi([&] {
        std::lock_guard b(app.mutex);
        return app.domande.size() == 1;
    }));
    EXPECT_EQ(osservatore.informazioni()->domandeInAttesa, 1);
    EXPECT_EQ(osservatore.informazioni()->appInAttesa, std::vector<std::string>{"/usr/bin/curl"});
    // An observer may answer, like ostralectl rispondi.
    ASSERT_TRUE(osservatore.rispondiFlusso("/usr/bin/curl", false));
    ASSERT_TRUE(attendi([&] { return !sospeso->riprese().empty(); }));
    EXPECT_EQ(osservatore.informazioni()->domandeInAttesa, 0);

    regole.impostazioni.chiediPrima = false;
    provider->applicaRegole(regole);
    provider->handleNewFlow(flusso("dopo.example.org"));
    ASSERT_TRUE(attendi([&] { return seguace.quantiFlussi() == 1 && app.quantiFlussi() == 1; }));
    std::this_thread::sleep_for(100ms);
    std::lock_guard b(seguace.mutex), c(curioso.mutex);
    EXPECT_TRUE(seguace.domande.empty());
    EXPECT_EQ(seguace.persi, 0);
    EXPECT_TRUE(curioso.flussi.empty());  // it did not ask to follow
    EXPECT_TRUE(canale->haConnessione());
    std::lock_guard d(app.mutex);
    EXPECT_EQ(app.persi, 0);
}

// An app (here root's) is sent and reads its own user's flows and the system's, never another
// user's; an observer gets them all.
TEST_F(CanaleTest, AnAppSeesItsOwnUsersFlowsAndTheSystemsOnly) {
    Ricevuti app, seguace;
    ClienteCanale cliente(socket, app.richiami(), comeApp);
    ASSERT_FALSE(cliente.connetti());
    ClienteCanale osservatore(socket, seguace.richiami());
    ASSERT_FALSE(osservatore.connetti());
    ASSERT_EQ(osservatore.segui(), true);
    StatoRegole regole;
    regole.impostazioni.registraConsentiti = true;
    provider->applicaRegole(regole);
    auto di = [&](std::uint32_t uid, const char* host) {
        auto f = flusso(host);
        f->tokenApp->at(2) = static_cast<std::uint8_t>(uid & 0xFF);
        identità.imposta(*f->tokenApp, "/usr/bin/curl");
        identità.impostaUtente(*f->tokenApp, uid);
        return f;
    };
    provider->handleNewFlow(di(1001, "altrui.example"));
    provider->handleNewFlow(di(0, "sistema.example"));
    provider->handleNewFlow(flusso("ignoto.example"));  // no user known
    ASSERT_TRUE(attendi([&] { return seguace.quantiFlussi() == 3 && app.quantiFlussi() == 2; }));
    auto host = [](const std::vector<EventoFlusso>& eventi) {
        std::vector<std::string> h;
        for (const auto& e : eventi) h.push_back(e.host);
        std::sort(h.begin(), h.end());
        return h;
    };
    {
        std::lock_guard b(app.mutex);
        EXPECT_EQ(host(app.flussi),
                  (std::vector<std::string>{"ignoto.example", "sistema.example"}));
    }
    const auto letti = json::decodifica<std::vector<EventoFlusso>>(*cliente.leggiFlussi());
    EXPECT_EQ(host(letti.valore()),
              (std::vector<std::string>{"ignoto.example", "sistema.example"}));
    const auto tutti = json::decodifica<std::vector<EventoFlusso>>(*osservatore.leggiFlussi());
    EXPECT_EQ(tutti->size(), 3u);
}

TEST_F(CanaleTest, TheClientReconnectsAndCountsFailedLinks) {
    canale.reset();  // nobody listens
    ClienteCanale cliente(socket, {}, comeApp);
    cliente.mantieniConnessione();
    ASSERT_TRUE(attendi([&] { return cliente.collegamentiFalliti() >= 1; }));
    EXPECT_FALSE(cliente.connesso());
    canale = std::make_unique<CanaleXPC>(c2, socket);
    canale->avviaAscolto();
    // The next attempt, within 3 seconds, connects and resets the count.
    ASSERT_TRUE(attendi([&] { return cliente.connesso(); }));
    EXPECT_TRUE(attendi([&] { return cliente.collegamentiFalliti() == 0; }));
}

int connettiGrezzo(const std::filesystem::path& percorso) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un indirizzo{};
    indirizzo.sun_family = AF_UNIX;
    std::strcpy(indirizzo.sun_path, percorso.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether the peer closed the connection within a few seconds.
bool chiusoDallAltro(int fd) {
    timeval attesa{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &attesa, sizeof attesa);
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) return true;
        if (n < 0) return errno == ECONNRESET;
    }
}

// A socket that takes connections and never answers (a stuck extension) is told apart from
// nobody listening and from a refusal.
TEST_F(CanaleTest, AnExtensionThatDoesNotAnswerIsNotTakenForARefusal) {
    canale.reset();
    EXPECT_EQ(ClienteCanale(socket).connetti(300ms), ClienteCanale::Errore::nonRaggiungibile);
    const int muto = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un indirizzo{};
    indirizzo.sun_family = AF_UNIX;
    std::strcpy(indirizzo.sun_path, socket.c_str());
    ::unlink(socket.c_str());
    ASSERT_EQ(::bind(muto, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo), 0);
    ASSERT_EQ(::listen(muto, 8), 0);
    EXPECT_EQ(ClienteCanale(socket).connetti(300ms), ClienteCanale::Errore::senzaRisposta);
    EXPECT_EQ(ClienteCanale(socket, {}, comeApp).connetti(300ms),
              ClienteCanale::Errore::senzaRisposta);
    ::close(muto);
}

TEST_F(CanaleTest, HostileFramesCloseTheConnectionAndNothingElse) {
    // A frame that declares more than 64 MiB.
    int fd = connettiGrezzo(socket);
    ASSERT_GE(fd, 0);
    const unsigned char enorme[] = {0x04, 0x00, 0x00, 0x01, 0, 0, 0, 0, 1, 1, 'x'};
    ::send(fd, enorme, sizeof enorme, MSG_NOSIGNAL);
    EXPECT_TRUE(chiusoDallAltro(fd));
    ::close(fd);
    // A frame kind that does not exist, and a truncated frame left hanging.
    fd = connettiGrezzo(socket);
    ASSERT_GE(fd, 0);
    const unsigned char strano[] = {0, 0, 0, 7, 9, 0, 0, 0, 1, 1, 'x'};
    ::send(fd, strano, sizeof strano, MSG_NOSIGNAL);
    EXPECT_TRUE(chiusoDallAltro(fd));
    ::close(fd);
    fd = connettiGrezzo(socket);
    const unsigned char troncato[] = {0, 0, 0, 40, 0, 0, 0, 0, 1, 9, 'r', 'e'};
    ::send(fd, troncato, sizeof troncato, MSG_NOSIGNAL);
    ::close(fd);

    // An unknown message gets an empty answer; the channel keeps serving.
    fd = connettiGrezzo(socket);
    ASSERT_GE(fd, 0);
    const std::string chiamata =
        canale::codifica({canale::TipoCornice::chiamata, 7, "cancellaTutto:", "x"});
    ::send(fd, chiamata.data(), chiamata.size(), MSG_NOSIGNAL);
    canale::LettoreCornici lettore;
    std::optional<canale::Cornice> risposta;
    char buffer[256];
    timeval attesa{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &attesa, sizeof attesa);
    while (!risposta) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        ASSERT_GT(n, 0);
        lettore.aggiungi(std::string_view(buffer, static_cast<std::size_t>(n)));
        risposta = lettore.prossima();
    }
    EXPECT_EQ(risposta->tipo, canale::TipoCornice::risposta);
    EXPECT_EQ(risposta->id, 7u);
    EXPECT_TRUE(risposta->carico.empty());
    ::close(fd);

    ClienteCanale cliente(socket);
    ASSERT_FALSE(cliente.connetti());
    EXPECT_TRUE(cliente.leggiStorico().has_value());
}

TEST_F(CanaleTest, PeersOutsideTheGroupAreRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to become another user";
    group g{};
    group* trovato = nullptr;
    char buffer[4096];
    if (::getgrnam_r("ostrale", &g, buffer, sizeof buffer, &trovato) == 0 && trovato) {
        GTEST_SKIP() << "nobody may be in the group ostrale on this machine";
    }
    // Let anyone reach the socket file, so that only the peer check can say no.
    ::chmod(contenitore.cartella().percorso().c_str(), 0755);
    ::chmod(socket.parent_path().c_str(), 0755);
    ::chmod(socket.c_str(), 0666);
    // The command-line client, run as that user, says it may not talk to the daemon (never that
    // the daemon did not answer). It runs as a program of its own: the client library's threads
    // are not safe in a forked copy of this process, whose other threads hold locks.
    std::vector<std::string> ambiente{"OSTRALE_SOCKET=" + socket.string(), "LANG=C", "LC_ALL=C"};
    for (char** v = environ; *v; ++v) {
        const std::string_view voce(*v);
        if (!voce.starts_with("OSTRALE_SOCKET=") && !voce.starts_with("LANG=") &&
            !voce.starts_with("LC_"))
            ambiente.emplace_back(voce);
    }
    std::vector<char*> envp;
    for (auto& v : ambiente) envp.push_back(v.data());
    envp.push_back(nullptr);
    char* const argv[] = {const_cast<char*>("ostralectl"), const_cast<char*>("storico"), nullptr};
    int tubo[2];
    ASSERT_EQ(::pipe2(tubo, O_CLOEXEC), 0);
    const pid_t ctl = ::fork();
    ASSERT_GE(ctl, 0);
    if (ctl == 0) {
        if (::dup2(tubo[1], 1) < 0 || ::dup2(tubo[1], 2) < 0) ::_exit(10);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
        ::execve(OSTRALE_CTL, argv, envp.data());
        ::_exit(127);
    }
    ::close(tubo[1]);
    std::string detto;
    char pezzo[512];
    for (ssize_t n; (n = ::read(tubo[0], pezzo, sizeof pezzo)) > 0;)
        detto.append(pezzo, static_cast<std::size_t>(n));
    ::close(tubo[0]);
    int statoCtl = 0;
    ASSERT_EQ(::waitpid(ctl, &statoCtl, 0), ctl);
    EXPECT_TRUE(WIFEXITED(statoCtl) && WEXITSTATUS(statoCtl) == 3) << detto;
    EXPECT_NE(detto.find("not permitted to talk to the daemon"), std::string::npos) << detto;

    Ricevuti ricevuti;
    const pid_t figlio = ::fork();
    ASSERT_GE(figlio, 0);
    if (figlio == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(10);
        // A client that writes at once still reads why, then the end.
        const int fd = connettiGrezzo(socket);
        const std::string registra =
            canale::codifica(canale::Cornice{canale::TipoCornice::chiamata, 1, "registra:", {}});
        if (fd < 0 || ::send(fd, registra.data(), registra.size(), MSG_NOSIGNAL) < 0) ::_exit(12);
        canale::LettoreCornici lettore;
        char byte[256];
        for (ssize_t n; (n = ::recv(fd, byte, sizeof byte, 0)) > 0;) {
            lettore.aggiungi(std::string_view(byte, static_cast<std::size_t>(n)));
        }
        const auto ultima = lettore.prossima();
        ::_exit(ultima && ultima->nome == canale::messaggi::nonAutorizzato ? 0 : 13);
    }
    int stato = 0;
    ASSERT_EQ(::waitpid(figlio, &stato, 0), figlio);
    EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 0) << WEXITSTATUS(stato);
    EXPECT_TRUE(log->contiene("Connessione rifiutata: uid 65534"));
    EXPECT_FALSE(canale->haConnessione());
}

TEST_F(CanaleTest, TwentyThousandPushesASecondArriveInOrderOrAreCounted) {
    // The reader only keeps what arrives; decoding comes after, so that the client keeps up
    // even in a sanitizer build.
    std::mutex mutex;
    std::vector<std::string> arrivati;
    ClienteCanale::Richiami richiami;
    richiami.suNuovoFlusso = [&](std::string j) {
        std::lock_guard b(mutex);
        arrivati.push_back(std::move(j));
    };
    ClienteCanale cliente(socket, richiami, comeApp);
    ASSERT_FALSE(cliente.connetti());
    constexpr int alSecondo = 20000, secondi = 10;
    EventoFlusso evento;
    evento.firmaApp = "/usr/bin/curl";
    const auto inizio = std::chrono::steady_clock::now();
    double peggiore = 0;
    for (int s = 0; s < secondi; ++s) {
        for (int i = 0; i < alSecondo; ++i) {
            evento.host = std::to_string(s * alSecondo + i);
            const auto prima = std::chrono::steady_clock::now();
            // Events encoded at once and events encoded by the writer keep one order.
            if (i % 2) {
                canale->nuovoFlussoCondiviso(std::make_shared<const EventoFlusso>(evento));
            } else {
                canale->nuovoFlusso(evento);
            }
            peggiore = std::max(
                peggiore,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - prima).count());
        }
        std::this_thread::sleep_until(inizio + std::chrono::seconds(s + 1));
    }
    // On any machine, however loaded: every push arrives or is counted as dropped (a reader that
    // falls behind loses pushes, the filter never waits), and what arrives keeps its order. How
    // many a second get through without a drop is the benchmarks' business.
    constexpr std::size_t totale = alSecondo * secondi;
    EXPECT_TRUE(attendi(
        [&] {
            std::lock_guard b(mutex);
            return arrivati.size() + canale->notificheScartate() == totale;
        },
        60));
    std::lock_guard b(mutex);
    EXPECT_EQ(arrivati.size() + canale->notificheScartate(), totale);
    EXPECT_GE(arrivati.size(), totale / 10);  // a reader that keeps reading gets most
    long precedente = -1;
    for (const std::string& j : arrivati) {
        const long numero = std::stol(json::decodifica<EventoFlusso>(j)->host);
        ASSERT_GT(numero, precedente);
        precedente = numero;
    }
    RecordProperty("dropped", std::to_string(canale->notificheScartate()));
    RecordProperty("slowest_push_ms", std::to_string(peggiore * 1000));
}

TEST_F(CanaleTest, AClientThatStopsReadingLosesPushesNotTheFilter) {
    // Registers, then never reads again.
    const int fd = connettiGrezzo(socket);
    ASSERT_GE(fd, 0);
    int piccolo = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &piccolo, sizeof piccolo);
    const std::string registra =
        canale::codifica({canale::TipoCornice::chiamata, 1, "registra:", ""});
    ::send(fd, registra.data(), registra.size(), MSG_NOSIGNAL);
    ASSERT_TRUE(attendi([&] { return canale->haConnessione(); }));
    EventoFlusso evento;
    evento.firmaApp = "/usr/bin/curl";
    evento.host = std::string(200, 'h');
    const auto inizio = std::chrono::steady_clock::now();
    for (int i = 0; i < 100000; ++i) canale->nuovoFlusso(evento);
    const double secondiSpesi =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - inizio).count();
    EXPECT_GT(canale->notificheScartate(), 50000u);
    EXPECT_LT(secondiSpesi, 10.0);
    EXPECT_TRUE(canale->haConnessione());

    // A question is never dropped: it waits ahead of the flow events still queued.
    EventoFlusso domanda = evento;
    domanda.host = "domanda.example.org";
    canale->chiediDecisione(domanda);
    EXPECT_GT(canale->notificheScartate(), 50000u);
    canale::LettoreCornici lettore;
    char buffer[65536];
    timeval attesa{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &attesa, sizeof attesa);
    std::size_t flussiPrima = 0;
    bool trovata = false;
    while (!trovata) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        ASSERT_GT(n, 0);
        lettore.aggiungi(std::string_view(buffer, static_cast<std::size_t>(n)));
        while (auto c = lettore.prossima()) {
            if (c->nome == canale::messaggi::chiediDecisione) {
                trovata = true;
                break;
            }
            ++flussiPrima;
        }
    }
    // Only what had already left the queue (socket buffers, the writer's batch) came first.
    EXPECT_LT(flussiPrima, 40000u);
    ::close(fd);
}

}  // namespace
}  // namespace ostrale
