// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/canale-xpc.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include <deque>

#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "Condiviso/codifica-json.h"
#include "Condiviso/testo.h"
#include "Estensione/sessione-attiva.h"

namespace ostrale {
namespace {

// What an encoded flow event weighs in the queue before it is encoded (a typical one is
// 300-500 bytes).
constexpr std::size_t stimaEvento = 512;

using canale::Cornice;
using canale::TipoCornice;
namespace messaggi = canale::messaggi;

std::optional<gid_t> gruppoOstrale() {
    group g{};
    group* risultato = nullptr;
    char buffer[4096];
    if (::getgrnam_r("ostrale", &g, buffer, sizeof buffer, &risultato) != 0 || !risultato) {
        return std::nullopt;
    }
    return g.gr_gid;
}

// Whether the process `pid` has `gid` among its supplementary groups.
bool haGruppo(pid_t pid, gid_t gid) {
    std::ifstream stato("/proc/" + std::to_string(pid) + "/status");
    std::string riga;
    while (std::getline(stato, riga)) {
        if (!testo::iniziaCon(riga, "Groups:")) continue;
        std::istringstream gruppi(riga.substr(7));
        long g;
        while (gruppi >> g) {
            if (static_cast<gid_t>(g) == gid) return true;
        }
    }
    return false;
}

}  // namespace

std::filesystem::path CanaleXPC::percorsoPredefinito() {
    if (const char* v = std::getenv("OSTRALE_SOCKET"); v && *v) return v;
    return "/run/ostrale/ostrale.sock";
}

CanaleXPC::CanaleXPC(BlocklistC2& c2, std::filesystem::path percorso)
    : c2_(c2), percorso_(std::move(percorso)) {}

CanaleXPC::~CanaleXPC() {
    fine_ = true;
    if (ascolto_ >= 0) ::shutdown(ascolto_, SHUT_RDWR);
    if (accettatore_.joinable()) accettatore_.join();
    if (ascolto_ >= 0) {
        ::close(ascolto_);
        std::error_code e;
        std::filesystem::remove(percorso_, e);
    }
    std::vector<std::shared_ptr<canale::ConnessioneCanale>> tutte;
    {
        std::lock_guard blocco(mutex_);
        tutte.swap(connessioni_);
        app_.clear();
        seguaci_.clear();
    }
    for (const auto& c : tutte) c->chiudi();
    for (const auto& c : tutte) c->attendi();
}

void CanaleXPC::installaGestori(GestoriCanale gestori) {
    std::lock_guard blocco(mutex_);
    gestori_ = std::move(gestori);
}

void CanaleXPC::avviaAscolto() {
    std::call_once(avviato_, [this] {
        const auto gruppo = gruppoOstrale();
        const auto cartella = percorso_.parent_path();
        std::error_code e;
        if (!cartella.empty() && !std::filesystem::exists(cartella, e)) {
            std::filesystem::create_directories(cartella, e);
            ::chmod(cartella.c_str(), 0750);
        }
        // The directory is the group's way in, also when the service manager created it; a
        // shared directory (sticky, like /tmp) or somebody else's is left alone.
        struct stat dir {};
        if (gruppo && ::stat(cartella.c_str(), &dir) == 0 && dir.st_uid == ::geteuid() &&
            (dir.st_mode & S_ISVTX) == 0) {
            if (::chown(cartella.c_str(), static_cast<uid_t>(-1), *gruppo) != 0) {
                log_.avviso("cannot give " + cartella.string() + " to group ostrale");
            }
            ::chmod(cartella.c_str(), 0750);
        }
        sockaddr_un indirizzo{};
        indirizzo.sun_family = AF_UNIX;
        if (percorso_.string().size() >= sizeof indirizzo.sun_path) {
            log_.errore("socket path too long: " + percorso_.string());
            return;
        }
        std::strcpy(indirizzo.sun_path, percorso_.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        struct stat info {};
        if (::lstat(percorso_.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
            ::unlink(percorso_.c_str());  // left by an earlier run
        }
        // Created unreachable, opened to the group once its owner and mode are right.
        const mode_t maschera = ::umask(0177);
        const bool legato =
            fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) == 0;
        ::umask(maschera);
        if (!legato || ::listen(fd, 16) != 0) {
            log_.errore("cannot listen on " + percorso_.string() + ": " + std::strerror(errno));
            if (fd >= 0) ::close(fd);
            return;
        }
        if (gruppo && ::chown(percorso_.c_str(), static_cast<uid_t>(-1), *gruppo) != 0) {
            log_.avviso("cannot give the socket to group ostrale");
        }
        ::chmod(percorso_.c_str(), 0660);
        ascolto_ = fd;
        accettatore_ = std::thread([this] { accetta(); });
        log_.info("In ascolto su " + percorso_.string());
    });
}

bool CanaleXPC::autorizzato(int fd) {
    ucred credenziali{};
    socklen_t lunghezza = sizeof credenziali;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credenziali, &lunghezza) != 0) return false;
    if (credenziali.uid == 0 || credenziali.uid == ::geteuid()) return true;
    const auto gruppo = gruppoOstrale();
    if (gruppo && (credenziali.gid == *gruppo || haGruppo(credenziali.pid, *gruppo))) return true;
    log_.avviso("Connessione rifiutata: uid " + std::to_string(credenziali.uid) + ", pid " +
                std::to_string(credenziali.pid) + " non appartiene al gruppo ostrale");
    return false;
}

void CanaleXPC::accetta() {
    // Refused peers are told why; their end stays open a moment, closed for writing, so that a
    // client that writes at once still reads the reason before it finds the end.
    using Cronometro = std::chrono::steady_clock;
    struct Rifiutate {
        std::deque<std::pair<int, Cronometro::time_point>> fd;
        void chiudi(bool tutte) {
            while (!fd.empty() &&
                   (tutte || fd.size() > 64 || fd.front().second <= Cronometro::now())) {
                ::close(fd.front().first);
                fd.pop_front();
            }
        }
        ~Rifiutate() { chiudi(true); }
    } rifiutate;
    while (!fine_) {
        rifiutate.chiudi(false);
        if (!rifiutate.fd.empty()) {
            pollfd attesa{ascolto_, POLLIN, 0};
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                                rifiutate.fd.front().second - Cronometro::now())
                                .count();
            if (::poll(&attesa, 1, static_cast<int>(std::max<long>(ms, 0)) + 1) == 0) continue;
        }
        const int fd = ::accept4(ascolto_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (fine_) return;
            log_.errore(std::string("accept failed: ") + std::strerror(errno));
            if (errno == EMFILE || errno == ENFILE || errno == ENOMEM || errno == ENOBUFS) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                continue;
            }
            return;
        }
        if (!autorizzato(fd)) {
            // Told why, so that the client says so instead of trying again and again; one
            // frame into an empty socket buffer, never waited for.
            const std::string perché = canale::codifica(
                Cornice{TipoCornice::notifica, 0, std::string(messaggi::nonAutorizzato), {}});
            [[maybe_unused]] const auto n =
                ::send(fd, perché.data(), perché.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            ::shutdown(fd, SHUT_WR);
            rifiutate.fd.emplace_back(fd, Cronometro::now() + std::chrono::seconds(1));
            continue;
        }
        auto nuova = std::make_shared<canale::ConnessioneCanale>(
            fd,
            [this](canale::ConnessioneCanale& c, Cornice cornice) {
                ricevi(c, std::move(cornice));
            },
            [this](canale::ConnessioneCanale& c) {
                std::lock_guard blocco(mutex_);
                std::erase_if(app_, [&](const auto& a) { return a.second.get() == &c; });
                std::erase_if(seguaci_, [&](const auto& s) { return s.get() == &c; });
            });
        std::vector<std::shared_ptr<canale::ConnessioneCanale>> finite;
        {
            std::lock_guard blocco(mutex_);
            // Connections that have ended are collected here, on this thread, never on theirs.
            std::erase_if(connessioni_, [&](const auto& c) {
                if (!c->finita()) return false;
                scartateChiuse_ += c->notificheScartate();
                finite.push_back(c);
                return true;
            });
            connessioni_.push_back(nuova);
        }
        for (const auto& c : finite) c->attendi();
        nuova->avvia();
    }
}

bool CanaleXPC::haConnessione() const {
    std::lock_guard blocco(mutex_);
    return !app_.empty();
}

void CanaleXPC::impostaSessioneAttiva(std::function<std::optional<std::uint32_t>()> sessione) {
    std::lock_guard blocco(mutex_);
    sessioneAttiva_ = std::move(sessione);
}

std::shared_ptr<canale::ConnessioneCanale> CanaleXPC::appDi(std::uint32_t uid) const {
    std::lock_guard blocco(mutex_);
    const auto it = app_.find(uid);
    return it == app_.end() ? nullptr : it->second;
}

std::optional<std::uint32_t> CanaleXPC::utenteApp(const canale::ConnessioneCanale& c) const {
    std::lock_guard blocco(mutex_);
    for (const auto& [uid, app] : app_) {
        if (app.get() == &c) return uid;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> CanaleXPC::chiChiedere(std::optional<std::uint32_t> uid) const {
    std::function<std::optional<std::uint32_t>()> sessione;
    {
        std::lock_guard blocco(mutex_);
        if (app_.empty()) return std::nullopt;
        if (uid && app_.contains(*uid)) return uid;
        sessione = sessioneAttiva_;
    }
    // Read outside the lock: a small file of logind's.
    const std::optional<std::uint32_t> attiva = sessione ? sessione() : uidSessioneAttiva();
    std::lock_guard blocco(mutex_);
    if (attiva) {
        if (app_.contains(*attiva)) return attiva;
        return std::nullopt;
    }
    if (app_.size() == 1) return app_.begin()->first;
    return std::nullopt;
}

std::uint64_t CanaleXPC::notificheScartate() const {
    std::lock_guard blocco(mutex_);
    std::uint64_t totale = scartateChiuse_;
    for (const auto& c : connessioni_) totale += c->notificheScartate();
    return totale;
}

std::vector<std::shared_ptr<canale::ConnessioneCanale>> CanaleXPC::destinatariFlussi(
    std::optional<std::uint32_t> uid, bool tutte) const {
    std::lock_guard blocco(mutex_);
    std::vector<std::shared_ptr<canale::ConnessioneCanale>> destinatari;
    // A user's app sees its own user's flows and the system's (and those of no known user).
    const bool diSistema = !uid || *uid < primoUtente;
    for (const auto& [utente, app] : app_) {
        if (tutte || diSistema || utente == *uid) destinatari.push_back(app);
    }
    destinatari.insert(destinatari.end(), seguaci_.begin(), seguaci_.end());
    return destinatari;
}

std::shared_ptr<canale::ConnessioneCanale> CanaleXPC::cerca(
    const canale::ConnessioneCanale& c) const {
    std::lock_guard blocco(mutex_);
    for (const auto& una : connessioni_) {
        if (una.get() == &c) return una;
    }
    return nullptr;
}

void CanaleXPC::nuovoFlusso(const EventoFlusso& evento) {
    const auto destinatari = destinatariFlussi(std::nullopt, true);
    if (destinatari.empty()) return;
    const Cornice cornice{TipoCornice::notifica, 0, std::string(messaggi::nuovoFlusso),
                          json::codifica(evento)};
    for (const auto& c : destinatari) c->invia(cornice);
}

void CanaleXPC::nuovoFlussoCondiviso(std::shared_ptr<const EventoFlusso> evento) {
    nuovoFlussoDi(std::nullopt, std::move(evento));
}

void CanaleXPC::nuovoFlussoDi(std::optional<std::uint32_t> uid,
                              std::shared_ptr<const EventoFlusso> evento) {
    for (const auto& c : destinatariFlussi(uid, false)) {
        c->notifica(
            std::string(messaggi::nuovoFlusso), [evento] { return json::codifica(*evento); },
            stimaEvento);
    }
}

void CanaleXPC::chiediDecisione(const EventoFlusso& evento) {
    if (const auto chi = chiChiedere(std::nullopt)) chiediDecisioneA(*chi, evento);
}

void CanaleXPC::chiediDecisioneA(std::uint32_t app, const EventoFlusso& evento) {
    // A question dropped for back-pressure would cost the application its flows after a minute
    // of silence: it goes ahead of the flow events that wait.
    if (const auto c = appDi(app)) {
        c->inviaPrima(Cornice{TipoCornice::notifica, 0, std::string(messaggi::chiediDecisione),
                              json::codifica(evento)});
    }
}

void CanaleXPC::regoleCambiate(const StatoRegole& stato) {
    std::vector<std::shared_ptr<canale::ConnessioneCanale>> tutte;
    {
        std::lock_guard blocco(mutex_);
        regole_ = std::make_shared<const std::string>(json::codifica(stato));
        tutte = connessioni_;
    }
    // A burst of edits reaches each client as few pushes carrying the newest rules.
    for (const auto& c : tutte) {
        c->notificaUltima(std::string(messaggi::regole), [this] {
            std::lock_guard blocco(mutex_);
            return regole_ ? *regole_ : std::string();
        });
    }
}

void CanaleXPC::ricevi(canale::ConnessioneCanale& connessione, Cornice cornice) {
    if (cornice.tipo != TipoCornice::chiamata) return;  // the app sends only calls
    GestoriCanale gestori;
    {
        std::lock_guard blocco(mutex_);
        gestori = gestori_;
    }
    if (auto carico = rispostaA(connessione, cornice, gestori)) {
        connessione.invia(
            Cornice{TipoCornice::risposta, cornice.id, cornice.nome, std::move(*carico)});
    }
}

std::optional<std::string> CanaleXPC::rispostaA(canale::ConnessioneCanale& connessione,
                                                const Cornice& cornice,
                                                const GestoriCanale& gestori) {
    const std::string_view nome = cornice.nome;
    if (nome == messaggi::registra) return canale::bool_(registraApp(connessione));
    if (nome == messaggi::informazioni) return json::codifica(informazioni(gestori));
    if (nome == messaggi::segui) return canale::bool_(segui(connessione));
    if (nome == messaggi::aggiornaRegole) {
        const auto stato = json::decodifica<StatoRegole>(cornice.carico);
        return canale::bool_(stato && (!gestori.suRegole || gestori.suRegole(*stato)));
    }
    if (nome == messaggi::modificaRegole) {
        RispostaModifica risposta{EsitoModifica::incompleta, {}};
        if (const auto modifica = json::decodifica<ModificaRegole>(cornice.carico)) {
            risposta = gestori.suModifica ? gestori.suModifica(*modifica)
                                          : RispostaModifica{EsitoModifica::nonSalvata, {}};
        }
        return json::codifica(risposta);
    }
    if (nome == messaggi::leggiRegole) {
        return json::codifica(gestori.fornitoreRegole ? gestori.fornitoreRegole() : StatoRegole{});
    }
    if (nome == messaggi::leggiStorico) {
        return json::codifica(gestori.fornitoreStorico ? gestori.fornitoreStorico()
                                                       : PacchettoStorico{});
    }
    if (nome == messaggi::leggiFlussi) return json::codifica(flussiPer(connessione, gestori));
    if (nome == messaggi::rispondiFlusso) {
        const auto decisione = canale::leggiRisposta(cornice.carico);
        if (decisione && gestori.suDecisione)
            gestori.suDecisione(decisione->first, decisione->second, utenteApp(connessione));
        return std::nullopt;
    }
    if (nome == messaggi::rispondiSospesi) {
        auto decisione = json::decodifica<RispostaSospesi>(cornice.carico);
        if (decisione && gestori.suRisposta) gestori.suRisposta(*decisione, utenteApp(connessione));
        return std::nullopt;
    }
    if (nome == messaggi::aggiornaBlocklistC2) return canale::intero(aggiornaC2(cornice.carico));
    log_.avviso("unknown message '" + std::string(nome.substr(0, 64)) + "'");
    return std::string();
}

bool CanaleXPC::registraApp(canale::ConnessioneCanale& connessione) {
    std::shared_ptr<canale::ConnessioneCanale> precedente;
    bool accettata = false;
    if (const auto questa = cerca(connessione)) {
        std::lock_guard blocco(mutex_);
        // Two copies of the app of one user never take the extension from each other: the
        // one that registered first keeps it while it lives. Other users' apps stay.
        const std::uint32_t uid = questa->uidPari().value_or(0);
        auto& posto = app_[uid];
        const bool altraCopia =
            posto && posto != questa && !posto->finita() && !posto->pariChiuso();
        if (!altraCopia) {
            std::erase_if(seguaci_, [&](const auto& s) { return s == questa; });
            std::erase_if(app_, [&](const auto& a) { return a.second == questa; });
            precedente = std::exchange(app_[uid], questa);
            accettata = true;
        }
    }
    if (!accettata) {
        log_.avviso("Registrazione rifiutata: un'altra app dello stesso utente è connessa");
    } else if (precedente && precedente.get() != &connessione) {
        log_.info("Una nuova app sostituisce la connessione precedente");
        precedente->chiudi();
    }
    return accettata;
}

InformazioniEstensione CanaleXPC::informazioni(const GestoriCanale& gestori) const {
    InformazioniEstensione info;
    info.versione = OSTRALE_VERSIONE;
    info.appConnessa = haConnessione();
    if (gestori.fornitoreDomande) info.appInAttesa = gestori.fornitoreDomande();
    info.domandeInAttesa = static_cast<std::int64_t>(info.appInAttesa.size());
    return info;
}

bool CanaleXPC::segui(const canale::ConnessioneCanale& connessione) {
    const auto questa = cerca(connessione);
    if (!questa) return false;
    std::lock_guard blocco(mutex_);
    const bool giàDentro =
        std::any_of(app_.begin(), app_.end(), [&](const auto& a) { return a.second == questa; }) ||
        std::find(seguaci_.begin(), seguaci_.end(), questa) != seguaci_.end();
    if (!giàDentro) seguaci_.push_back(questa);
    return true;
}

std::vector<EventoFlusso> CanaleXPC::flussiPer(const canale::ConnessioneCanale& connessione,
                                               const GestoriCanale& gestori) const {
    auto flussi = gestori.fornitoreFlussi ? gestori.fornitoreFlussi() : std::vector<EventoFlusso>{};
    // An app reads its own user's flows and the system's, as it is sent them.
    if (const auto app = utenteApp(connessione)) {
        std::erase_if(flussi, [&](const EventoFlusso& e) {
            return e.utente && *e.utente >= primoUtente && *e.utente != *app;
        });
    }
    return flussi;
}

std::int64_t CanaleXPC::aggiornaC2(const std::string& elenco) {
    std::int64_t quanti = 0;
    if (testo::èUtf8Valido(elenco)) {
        quanti = c2_.aggiorna(elenco);
        log_.info("Blocklist C2 aggiornata: " + std::to_string(quanti) + " indirizzi");
    }
    return quanti;
}

}  // namespace ostrale
