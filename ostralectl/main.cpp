// SPDX-License-Identifier: GPL-3.0-or-later
// ostralectl: the firewall from the command line, over the same local channel as the app.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <pthread.h>

#include <nlohmann/json.hpp>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/archivio-regole.h"
#include "Condiviso/blocklist-c2.h"
#include "Condiviso/cliente-canale.h"
#include "Condiviso/codifica-json.h"
#include "Condiviso/modifica-regole.h"
#include "Condiviso/orologio.h"
#include "Condiviso/registro.h"
#include "Condiviso/risposta-domanda.h"
#include "Condiviso/risultato.h"
#include "Condiviso/scambio-regole.h"
#include "Condiviso/storico.h"
#include "Condiviso/testo.h"

namespace {

using namespace ostrale;
using canale::ClienteCanale;

// Exit codes.
constexpr int esitoOk = 0;
constexpr int esitoNonConnesso = 1;
constexpr int esitoArgomenti = 2;
constexpr int esitoNonAutorizzato = 3;
constexpr int esitoFallito = 4;

const char* const uso = R"(uso: ostralectl [--json] [--socket PERCORSO] [--contenitore DIR] COMANDO
       ostralectl --help | --version

comandi:
  stato                               the extension, the rules and today's counters
  flussi [--segui]                    the recent flows; --segui goes on with live ones
  attacchi                            the attacks in the recent flows
  storico                             hourly, per-application and per-address history
  regole                              the rules and settings
  regole app FIRMA consenti|blocca [--fascia HH:MM-HH:MM | --senza-fascia] [--per DURATA]
  regole app FIRMA attiva|disattiva
  regole dominio DOMINIO consenti|blocca [--app FIRMA] [--porta N] [--per DURATA]
  regole permanente app FIRMA         make a temporary rule permanent
  regole permanente dominio DOMINIO [--app FIRMA] [--porta N]
  regole rimuovi app FIRMA
  regole rimuovi dominio DOMINIO [--app FIRMA] [--porta N]
  regole imposta CHIAVE VALORE        e.g. bloccaTracker sì, giorniQuarantena 7
  regole esporta [FILE]               the rules and settings as one file (else to stdout)
  regole importa FILE [--sostituisci] merge such a file (--sostituisci: also remove the rest)
  rispondi FIRMA consenti|blocca      answer a paused application
  rispondi FIRMA consenti|blocca [--una-volta] [--dominio DOMINIO [--porta N]]
  c2 FILE                             deliver a command-and-control list

options of regole and rispondi:
  --per DURATA                        the rule lasts 15m, 1h, 12h, riavvio (until restart) or
                                      any N followed by s, m, h or d; without it, for ever
  --app FIRMA, --porta N              a domain rule only for that application and that port
                                      (1-65535); permanente and rimuovi name a domain rule
                                      with these too, and mean the plain one without them
  --una-volta                         only the waiting flows, no rule for the next ones
  --dominio DOMINIO [--porta N]       only the waiting flows to that host (and port)

options:
  --json                              machine-readable output
  --socket PERCORSO                   the extension's socket (default OSTRALE_SOCKET, else
                                      /run/ostrale/ostrale.sock)
  --contenitore DIR                   the shared container (default OSTRALE_CONTENITORE, else
                                      /var/lib/ostrale)
  -h, --help                          this text
  --version                           the version of ostralectl

exit codes: 0 done, 1 extension not reachable, 2 bad arguments, 3 not permitted, 4 refused
)";

struct Opzioni {
    bool json = false;
    std::filesystem::path socket;
    std::vector<std::string> argomenti;
};

int argomentiSbagliati(const std::string& perché) {
    std::cerr << "ostralectl: " << perché << "\n\n" << uso;
    return esitoArgomenti;
}

std::string ora(Data d, const char* formato = "%H:%M:%S") {
    const std::time_t t = d.secondiUnixInteri();
    std::tm locale{};
    localtime_r(&t, &locale);
    char testo[32];
    std::strftime(testo, sizeof testo, formato, &locale);
    return testo;
}

class Sessione {
  public:
    explicit Sessione(const Opzioni& o, ClienteCanale::Richiami richiami = {})
        : cliente_(o.socket, std::move(richiami)), socket_(o.socket) {}

    // Connects; on failure explains and answers the exit code.
    std::optional<int> connetti() {
        const auto errore = cliente_.connetti();
        if (!errore) return std::nullopt;
        return spiega(*errore);
    }
    // Says why a connection failed; the exit code.
    int spiega(ClienteCanale::Errore errore) const {
        if (errore == ClienteCanale::Errore::nonAutorizzato) {
            std::cerr << "ostralectl: not permitted to talk to the extension at "
                      << socket_.string() << " (root or the group ostrale only)\n";
            return esitoNonAutorizzato;
        }
        std::cerr << "ostralectl: the extension is not reachable at " << socket_.string()
                  << " (is ostrale-estensione running?)\n";
        return esitoNonConnesso;
    }
    std::optional<ClienteCanale::Errore> prova() { return cliente_.connetti(); }
    ClienteCanale& cliente() { return cliente_; }

  private:
    ClienteCanale cliente_;
    std::filesystem::path socket_;
};

void stampaEvento(const EventoFlusso& e) {
    std::string riga = ora(e.data) + "  ";
    if (e.attacco) {
        riga += "ATTACCO  " + std::string(valoreGrezzo(*e.attacco)) + "  " + e.firmaApp + "  " +
                e.host + " porta " + e.porta +
                (!e.consentito                ? "  (bloccato)"
                 : !e.anomala.value_or(false) ? "  (abituale)"
                                              : "");
    } else {
        riga += std::string(e.consentito ? "consenti" : "blocca  ") + "  " +
                std::string(e.motivo ? valoreGrezzo(*e.motivo) : "?") + "  " + e.firmaApp +
                (e.direzione == DirezioneFlusso::entrata ? " ← " : " → ") + e.host + ":" + e.porta +
                " " + e.protocollo + (e.anomala.value_or(false) ? "  anomalo" : "");
    }
    std::cout << riga << "\n";
}

std::optional<std::vector<EventoFlusso>> leggiFlussi(ClienteCanale& c, int& esito) {
    const auto byte = c.leggiFlussi();
    if (!byte) {
        std::cerr << "ostralectl: no answer from the extension\n";
        esito = esitoNonConnesso;
        return std::nullopt;
    }
    auto eventi = json::decodifica<std::vector<EventoFlusso>>(*byte);
    if (!eventi) {
        std::cerr << "ostralectl: the extension's log could not be read: " << eventi.motivo()
                  << "\n";
        esito = esitoFallito;
        return std::nullopt;
    }
    return std::move(eventi).valore();
}

// ---- commands ----

sigset_t segnaliDiFine() {
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGINT);
    sigaddset(&s, SIGTERM);
    return s;
}

int flussi(const Opzioni& o, bool soloAttacchi) {
    bool segui = false;
    for (std::size_t i = 1; i < o.argomenti.size(); ++i) {
        if (o.argomenti[i] == "--segui" && !soloAttacchi) {
            segui = true;
        } else {
            return argomentiSbagliati("unexpected '" + o.argomenti[i] + "'");
        }
    }
    // Live events are printed by the connection's thread; signals wait in the main one.
    const sigset_t segnali = segnaliDiFine();
    pthread_sigmask(SIG_BLOCK, &segnali, nullptr);
    // Live events that arrive before the log has been printed wait, so that the order holds
    // and the connection's thread never waits for the main one.
    std::mutex uscita;
    bool logStampato = false;
    std::vector<std::string> inAttesa;
    // Output is flushed by the main thread every few hundredths of a second, not per event: a
    // busy machine sends thousands a second (and the buffer is large enough that nothing is
    // written in between).
    bool sporco = false;
    if (segui) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
    auto stampaDalVivo = [&](const std::string& byte) {
        if (o.json) {
            // The daemon's own JSON, passed through as one line.
            if (byte.empty() || byte.front() != '{' || byte.find('\n') != std::string::npos ||
                !testo::èUtf8Valido(byte))
                return;
            std::cout << byte << '\n';
        } else {
            const auto e = json::decodifica<EventoFlusso>(byte);
            if (!e) return;
            stampaEvento(*e);
        }
        sporco = true;
    };
    ClienteCanale::Richiami richiami;
    if (segui) {
        richiami.suNuovoFlusso = [&](std::string byte) {
            std::lock_guard blocco(uscita);
            if (!logStampato) {
                if (inAttesa.size() < 100000) inAttesa.push_back(std::move(byte));
                return;
            }
            stampaDalVivo(byte);
        };
        richiami.suPerso = [] { ::kill(::getpid(), SIGTERM); };
    }
    Sessione s(o, std::move(richiami));
    if (const auto esito = s.connetti()) return *esito;
    if (segui && s.cliente().segui() != true) {
        std::cerr << "ostralectl: the extension does not send its flows\n";
        return esitoFallito;
    }
    int esito = esitoOk;
    const auto eventi = leggiFlussi(s.cliente(), esito);
    if (!eventi) return esito;
    {
        std::lock_guard blocco(uscita);
        std::vector<EventoFlusso> scelti;
        for (const auto& e : *eventi) {
            if (!soloAttacchi || e.attacco) scelti.push_back(e);
        }
        if (o.json) {
            std::cout << json::codifica(scelti) << std::endl;
        } else {
            for (const auto& e : scelti) stampaEvento(e);
            if (scelti.empty())
                std::cout << (soloAttacchi ? "no attacks in the log\n" : "the log is empty\n");
            std::cout.flush();
        }
        for (const auto& byte : inAttesa) stampaDalVivo(byte);
        inAttesa.clear();
        logStampato = true;
    }
    if (!segui) return esitoOk;
    const timespec passo{0, 50'000'000};
    for (;;) {
        const int segnale = sigtimedwait(&segnali, nullptr, &passo);
        {
            std::lock_guard blocco(uscita);
            if (sporco) std::cout.flush();
            sporco = false;
        }
        if (segnale > 0) break;
    }
    return s.cliente().connesso() ? esitoOk : esitoNonConnesso;
}

int storico(const Opzioni& o) {
    if (o.argomenti.size() != 1) return argomentiSbagliati("storico takes no arguments");
    Sessione s(o);
    if (const auto esito = s.connetti()) return *esito;
    const auto byte = s.cliente().leggiStorico();
    if (!byte) return esitoNonConnesso;
    const auto pacchetto = json::decodifica<PacchettoStorico>(*byte);
    if (!pacchetto) {
        std::cerr << "ostralectl: the history could not be read: " << pacchetto.motivo() << "\n";
        return esitoFallito;
    }
    if (o.json) {
        std::cout << *byte << std::endl;
        return esitoOk;
    }
    std::map<std::string, ContatoreOra> ore(pacchetto->ore.begin(), pacchetto->ore.end());
    std::printf("%-14s %10s %10s %10s\n", "ORA", "CONSENTITI", "BLOCCATI", "TRACKER");
    std::size_t mostrate = 0;
    for (auto it = ore.rbegin(); it != ore.rend() && mostrate < 24; ++it, ++mostrate) {
        std::printf("%-14s %10lld %10lld %10lld\n", it->first.c_str(),
                    static_cast<long long>(it->second.consentiti),
                    static_cast<long long>(it->second.bloccati),
                    static_cast<long long>(it->second.tracker));
    }
    std::vector<std::pair<std::string, VoceAppStorico>> app(pacchetto->app.begin(),
                                                            pacchetto->app.end());
    std::sort(app.begin(), app.end(),
              [](const auto& a, const auto& b) { return a.second.totale > b.second.totale; });
    std::printf("\n%-50s %9s %9s %9s %9s\n", "APP", "FLUSSI", "TRACKER", "BLOCCATI", "ANOMALIE");
    for (std::size_t i = 0; i < app.size() && i < 20; ++i) {
        std::printf("%-50s %9lld %9lld %9lld %9lld\n", app[i].first.c_str(),
                    static_cast<long long>(app[i].second.totale),
                    static_cast<long long>(app[i].second.tracker),
                    static_cast<long long>(app[i].second.bloccati),
                    static_cast<long long>(app[i].second.anomalie));
    }
    std::printf("\n%zu addresses, %zu applications seen\n", pacchetto->ip.size(),
                pacchetto->primeViste.size());
    return esitoOk;
}

std::string testoFascia(const std::optional<FasciaOraria>& f) {
    return f ? f->testo() : "sempre";
}

std::optional<FasciaOraria> leggiFascia(std::string_view t) {
    int h1, m1, h2, m2;
    char coda;
    if (std::sscanf(std::string(t).c_str(), "%d:%d-%d:%d%c", &h1, &m1, &h2, &m2, &coda) != 4)
        return std::nullopt;
    if (h1 < 0 || h1 > 24 || h2 < 0 || h2 > 24 || m1 < 0 || m1 > 59 || m2 < 0 || m2 > 59)
        return std::nullopt;
    return FasciaOraria{h1 * 60 + m1, h2 * 60 + m2};
}

// `testo` padded to `larghezza` characters (not bytes: "sì" and identities may be UTF-8).
std::string colonna(std::string_view testo, std::size_t larghezza) {
    std::size_t caratteri = 0;
    for (const char c : testo) caratteri += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    std::string t(testo);
    if (caratteri < larghezza) t.append(larghezza - caratteri, ' ');
    return t;
}

// What is left of a rule's duration at `adesso`: "permanent", "for 14 min more", "until
// restart", or "over" for one the extension has yet to remove.
std::string testoDurata(const Durata& d, Data adesso) {
    if (d.perSempre()) return "permanent";
    if (d.finita(adesso, idAvvio())) return "over";
    if (!d.scadenza) return "until restart";
    // Whole minutes rounded up: a rule of an hour just made is "for 1 h more", never "0 min".
    const auto minuti = static_cast<std::int64_t>(std::ceil(d.scadenza->secondiDa(adesso) / 60.0));
    std::string t = "for ";
    if (minuti < 60) {
        t += std::to_string(minuti) + " min";
    } else if (minuti < std::int64_t{48} * 60) {
        t += std::to_string(minuti / 60) + " h";
        if (minuti % 60 != 0) t += " " + std::to_string(minuti % 60) + " min";
    } else {
        const std::int64_t ore = (minuti + 59) / 60;
        t += std::to_string(ore / 24) + " d";
        if (ore % 24 != 0) t += " " + std::to_string(ore % 24) + " h";
    }
    t += " more";
    if (d.avvio) t += " or until restart";
    return t;
}

void mostraRegole(const StatoRegole& stato, bool comeJson) {
    if (comeJson) {
        std::cout << json::codifica(stato) << std::endl;
        return;
    }
    const Data adesso = OrologioDiSistema().adesso();
    auto sn = [](bool b) { return b ? "sì" : "no"; };
    std::cout << colonna("AZIONE", 9) << colonna("ATTIVA", 7) << colonna("ORARIO", 13)
              << colonna("DURATA", 22) << "APP\n";
    for (const auto& r : stato.regole) {
        std::cout << colonna(valoreGrezzo(r.azione), 9) << colonna(sn(r.attiva), 7)
                  << colonna(testoFascia(r.fascia), 13)
                  << colonna(testoDurata(r.durata, adesso), 22) << r.firmaApp << "\n";
    }
    // A domain rule's scope: the host, and the application and port it is narrowed to.
    std::cout << "\n"
              << colonna("AZIONE", 9) << colonna("ATTIVA", 7) << colonna("DURATA", 22)
              << "DOMINIO\n";
    for (const auto& r : stato.regoleDominio) {
        std::cout << colonna(valoreGrezzo(r.azione), 9) << colonna(sn(r.attiva), 7)
                  << colonna(testoDurata(r.durata, adesso), 22) << scambio::nomeRegola(r) << "\n";
    }
    std::cout.flush();
    const auto& i = stato.impostazioni;
    std::printf(
        "\nbloccaSconosciute %s, filtraEntrata %s, registraConsentiti %s, quarantenaAttiva %s "
        "(giorniQuarantena %lld), avvisaAnomalie %s, bloccaTracker %s, chiediPrima %s, "
        "fidatiApple %s, escludiLan %s, rilevaAttacchi %s\n",
        sn(i.bloccaSconosciute), sn(i.filtraEntrata), sn(i.registraConsentiti),
        sn(i.quarantenaAttiva), static_cast<long long>(i.giorniQuarantena), sn(i.avvisaAnomalie),
        sn(i.bloccaTracker), sn(i.chiediPrima), sn(i.fidatiApple), sn(i.escludiLan),
        sn(i.rilevaAttacchi));
}

std::optional<AzioneRegola> azione(std::string_view t) {
    if (t == "allow") return AzioneRegola::consenti;
    if (t == "block") return AzioneRegola::blocca;
    return daValoreGrezzo<AzioneRegola>(t);
}

// A remote port as typed: a number from 1 to 65535.
std::optional<std::int64_t> leggiPorta(std::string_view t) {
    std::int64_t porta = 0;
    const auto [fine, errore] = std::from_chars(t.data(), t.data() + t.size(), porta);
    if (errore != std::errc() || fine != t.data() + t.size() || porta < 1 || porta > 65535)
        return std::nullopt;
    return porta;
}

// The options after a command's fixed words: each at most once, with its value ("" for those
// that take none), or why they cannot be read.
struct OpzioniComando {
    std::map<std::string, std::string, std::less<>> valori;
    std::optional<std::string> errore;

    const std::string* valore(std::string_view nome) const {
        const auto it = valori.find(nome);
        return it == valori.end() ? nullptr : &it->second;
    }
    bool ha(std::string_view nome) const { return valori.contains(nome); }
};

// Reads `a` from `inizio` on: the options in `conValore` take the next word, those in
// `senzaValore` none, and nothing else is accepted.
OpzioniComando leggiOpzioni(const std::vector<std::string>& a, std::size_t inizio,
                            std::initializer_list<std::string_view> conValore,
                            std::initializer_list<std::string_view> senzaValore = {}) {
    OpzioniComando o;
    for (std::size_t i = inizio; i < a.size(); ++i) {
        const std::string& nome = a[i];
        const bool vuoleValore = std::ranges::find(conValore, nome) != conValore.end();
        if (!vuoleValore && std::ranges::find(senzaValore, nome) == senzaValore.end()) {
            o.errore = "unexpected '" + nome + "'";
        } else if (o.ha(nome)) {
            o.errore = nome + " is given twice";
        } else if (vuoleValore && i + 1 == a.size()) {
            o.errore = nome + " wants a value";
        } else {
            o.valori[nome] = vuoleValore ? a[++i] : std::string();
            continue;
        }
        return o;
    }
    return o;
}

// `--porta N` into `porta` (left absent without it); an error says what is wrong.
std::optional<std::string> leggiPorta(const OpzioniComando& o, std::optional<std::int64_t>& porta) {
    const auto* testo = o.valore("--porta");
    if (!testo) return std::nullopt;
    porta = leggiPorta(*testo);
    if (!porta) return "--porta wants a number from 1 to 65535, not '" + *testo + "'";
    return std::nullopt;
}

// `--app FIRMA` and `--porta N` narrow `r`; an error says what is wrong.
std::optional<std::string> restringi(const OpzioniComando& o, RegolaDominio& r) {
    if (const auto* firma = o.valore("--app")) {
        if (firma->empty()) return "--app wants an application's identity";
        r.firmaApp = *firma;
    }
    return leggiPorta(o, r.porta);
}

// `--per DURATA` into `d` (left for ever without it); an error says what is wrong.
std::optional<std::string> leggiDurata(const OpzioniComando& o, Durata& d) {
    const auto* testo = o.valore("--per");
    if (!testo) return std::nullopt;
    const auto letta = durataDaTesto(*testo, OrologioDiSistema().adesso());
    if (!letta) {
        return "--per wants 15m, 1h, 12h, riavvio or a number followed by s, m, h or d, not '" +
               *testo + "'";
    }
    d = *letta;
    return std::nullopt;
}

// Where the rules are read and edited: the extension, whenever one answers (it stores them and
// tells every client); else "regole.json" in the container, as the extension will read it.
class Regole {
  public:
    explicit Regole(const Opzioni& o) : sessione_(o), socket_(o.socket) {}

    // Connects; absent when ready, else the exit code (not permitted: nothing is touched).
    std::optional<int> apri() {
        const auto errore = sessione_.prova();
        if (!errore) {
            viaEstensione_ = true;
            return std::nullopt;
        }
        if (*errore == ClienteCanale::Errore::nonAutorizzato) return sessione_.spiega(*errore);
        const auto file = ArchivioCondiviso::url();
        if (!file) {
            std::cerr << "ostralectl: no extension answers at " << socket_.string()
                      << ", and there is no container (OSTRALE_CONTENITORE or /var/lib/ostrale)\n";
            return esitoNonConnesso;
        }
        std::cerr << "ostralectl: no extension answers at " << socket_.string()
                  << ": the rules stored in " << file->string()
                  << " (the extension reads them when it starts)\n";
        return std::nullopt;
    }

    std::optional<StatoRegole> leggi() {
        if (viaEstensione_) return sessione_.cliente().leggiRegole();
        return ArchivioRegole::leggi().value_or(StatoRegole{});
    }

    std::optional<RispostaModifica> modifica(const ModificaRegole& m) {
        if (viaEstensione_) return sessione_.cliente().modificaRegole(m);
        StatoRegole dopo;
        return ArchivioRegole::modifica(m, StatoRegole{}, dopo);
    }

  private:
    Sessione sessione_;
    std::filesystem::path socket_;
    bool viaEstensione_ = false;
};

// The id of the application's rule, as the rules stand.
std::optional<Uuid> idRegolaApp(const StatoRegole& stato, const std::string& firma) {
    for (const Regola& r : stato.regole) {
        if (r.firmaApp == firma) return r.id;
    }
    return std::nullopt;
}

// The id of the domain rule of exactly that scope (a plain one when `ambito` names no
// application or port), as the rules stand; else why not, with the scopes the domain has.
Risultato<Uuid> idRegolaDominio(const StatoRegole& stato, RegolaDominio ambito) {
    ambito.dominio = RegolaDominio::normalizza(ambito.dominio);
    std::string altre;
    for (const RegolaDominio& r : stato.regoleDominio) {
        if (r.stessoAmbito(ambito)) return r.id;
        if (r.dominio == ambito.dominio)
            altre += (altre.empty() ? "" : "; ") + scambio::nomeRegola(r);
    }
    std::string motivo = "no rule for '" + scambio::nomeRegola(ambito) + "'";
    if (!altre.empty()) motivo += " (there are: " + altre + "; name one with --app and --porta)";
    return Risultato<Uuid>::rifiuto(motivo);
}

// `regole esporta [FILE]`.
int esporta(const Opzioni& o) {
    const auto& a = o.argomenti;
    if (a.size() > 3) return argomentiSbagliati("regole esporta takes at most a file");
    Regole r(o);
    if (const auto esito = r.apri()) return *esito;
    const auto stato = r.leggi();
    if (!stato) return esitoNonConnesso;
    const std::string testo = scambio::esporta(*stato);
    if (a.size() == 2) {
        std::cout << testo;
        return esitoOk;
    }
    std::ofstream file(a[2], std::ios::binary | std::ios::trunc);
    if (!file || !(file << testo) || !file.flush()) {
        std::cerr << "ostralectl: cannot write " << a[2] << "\n";
        return esitoFallito;
    }
    std::cerr << "ostralectl: " << stato->regole.size() << " application rules, "
              << stato->regoleDominio.size() << " domain rules and the settings written to " << a[2]
              << "\n";
    return esitoOk;
}

// `regole importa FILE [--sostituisci]`: the whole file checked and the edits tried before the
// first is sent.
int importa(const Opzioni& o) {
    const auto& a = o.argomenti;
    const bool sostituisci = a.size() == 4 && a[3] == "--sostituisci";
    if (a.size() != 3 && !sostituisci) {
        return argomentiSbagliati("regole importa takes a file, then --sostituisci if wanted");
    }
    std::error_code errore;
    const auto dimensione = std::filesystem::file_size(a[2], errore);
    if (errore) {
        std::cerr << "ostralectl: cannot read " << a[2] << ": " << errore.message() << "\n";
        return esitoArgomenti;
    }
    if (dimensione > scambio::dimensioneMassima) {
        std::cerr << "ostralectl: " << a[2] << " is larger than "
                  << (scambio::dimensioneMassima >> 20) << " MiB: nothing imported\n";
        return esitoArgomenti;
    }
    std::ifstream file(a[2], std::ios::binary);
    const std::string testo((std::istreambuf_iterator<char>(file)), {});
    const auto importate = scambio::leggi(testo);
    if (!importate) {
        std::cerr << "ostralectl: " << a[2] << ": " << importate.motivo() << ": nothing imported\n";
        return esitoArgomenti;
    }
    Regole r(o);
    if (const auto esito = r.apri()) return *esito;
    const auto attuali = r.leggi();
    if (!attuali) return esitoNonConnesso;
    const auto piano = scambio::pianifica(*attuali, *importate, sostituisci);
    if (!piano) {
        std::cerr << "ostralectl: " << piano.motivo() << ": nothing imported\n";
        return esitoFallito;
    }
    for (const auto& riga : piano->aggiunte) std::cout << "added    " << riga << "\n";
    for (const auto& riga : piano->cambiate) std::cout << "changed  " << riga << "\n";
    for (const auto& riga : piano->rimosse) std::cout << "removed  " << riga << "\n";
    std::size_t fatti = 0;
    for (const ModificaRegole& m : piano->passi) {
        const auto risposta = r.modifica(m);
        // Refused now only when the rules changed since they were read (another client).
        if (!risposta || èRifiuto(risposta->esito)) {
            std::cerr << "ostralectl: "
                      << (risposta ? std::string(descrizione(risposta->esito))
                                   : std::string("no answer from the extension"))
                      << " after " << fatti << " of " << piano->passi.size()
                      << " edits: run the import again\n";
            return risposta ? esitoFallito : esitoNonConnesso;
        }
        ++fatti;
    }
    std::cout << piano->aggiunte.size() << " added, " << piano->cambiate.size() << " changed, "
              << piano->rimosse.size() << " removed"
              << (piano->vuoto() ? ": nothing to change" : "") << "\n";
    return esitoOk;
}

int regole(const Opzioni& o) {
    const auto& a = o.argomenti;
    if (a.size() >= 2 && a[1] == "esporta") return esporta(o);
    if (a.size() >= 2 && a[1] == "importa") return importa(o);
    // The edits the command asks for, in order; the id of a rule the previous edit made or
    // changed stands in for `idPrecedente`.
    struct Passo {
        ModificaRegole modifica;
        // The rule whose id the edit wants: an application's, or the domain rule of that scope.
        std::optional<std::string> app = std::nullopt;
        std::optional<RegolaDominio> dominio = std::nullopt;
        bool idPrecedente = false;
    };
    std::vector<Passo> passi;
    const std::string& cosa = a.size() > 1 ? a[1] : std::string();
    if (a.size() == 1) {
        // only listed
    } else if (cosa == "app" && a.size() >= 4) {
        if (a[3] == "attiva" || a[3] == "disattiva" || a[3] == "on" || a[3] == "off") {
            if (a.size() != 4) return argomentiSbagliati("too many arguments");
            passi.push_back(
                {.modifica = ModificaRegole::attivazione(Uuid{}, a[3] == "attiva" || a[3] == "on"),
                 .app = a[2]});
        } else {
            const auto az = azione(a[3]);
            if (!az) return argomentiSbagliati("the action is consenti or blocca");
            const auto lette = leggiOpzioni(a, 4, {"--fascia", "--per"}, {"--senza-fascia"});
            if (lette.errore) return argomentiSbagliati(*lette.errore);
            if (lette.ha("--fascia") && lette.ha("--senza-fascia"))
                return argomentiSbagliati("--fascia and --senza-fascia exclude each other");
            auto nuova = ModificaRegole::nuovaRegola(a[2], *az);
            if (const auto* fascia = lette.valore("--fascia")) {
                nuova.fascia = leggiFascia(*fascia);
                if (!nuova.fascia) return argomentiSbagliati("the window is written HH:MM-HH:MM");
            }
            if (const auto errore = leggiDurata(lette, nuova.durata))
                return argomentiSbagliati(*errore);
            passi.push_back({.modifica = nuova});
            // A new rule has no window anyway; an existing one keeps its own unless told.
            if (lette.ha("--senza-fascia")) {
                passi.push_back({.modifica = ModificaRegole::cambioFascia(Uuid{}, std::nullopt),
                                 .idPrecedente = true});
            }
        }
    } else if (cosa == "dominio" && a.size() >= 4) {
        const auto az = azione(a[3]);
        if (!az) return argomentiSbagliati("the action is consenti or blocca");
        const auto lette = leggiOpzioni(a, 4, {"--app", "--porta", "--per"});
        if (lette.errore) return argomentiSbagliati(*lette.errore);
        RegolaDominio ambito;
        if (const auto errore = restringi(lette, ambito)) return argomentiSbagliati(*errore);
        auto nuova = ModificaRegole::nuovaRegolaDominio(a[2], *az);
        nuova.firma = ambito.firmaApp.value_or("");
        nuova.porta = ambito.porta;
        if (const auto errore = leggiDurata(lette, nuova.durata))
            return argomentiSbagliati(*errore);
        passi.push_back({.modifica = nuova});
    } else if ((cosa == "permanente" || cosa == "rimuovi") && a.size() >= 4 &&
               (a[2] == "app" || a[2] == "dominio")) {
        const auto modifica = cosa == "rimuovi" ? ModificaRegole::rimozione(Uuid{})
                                                : ModificaRegole::cambioDurata(Uuid{}, Durata{});
        if (a[2] == "app") {
            if (a.size() != 4) return argomentiSbagliati("unexpected '" + a[4] + "'");
            passi.push_back({.modifica = modifica, .app = a[3]});
        } else {
            const auto lette = leggiOpzioni(a, 4, {"--app", "--porta"});
            if (lette.errore) return argomentiSbagliati(*lette.errore);
            RegolaDominio ambito;
            ambito.dominio = a[3];
            if (const auto errore = restringi(lette, ambito)) return argomentiSbagliati(*errore);
            passi.push_back({.modifica = modifica, .dominio = ambito});
        }
    } else if (cosa == "imposta" && a.size() == 4) {
        ImpostazioniParziali campi;
        if (const auto errore = campi.impostaDaTesto(a[2], a[3]))
            return argomentiSbagliati(*errore);
        passi.push_back({.modifica = ModificaRegole::cambioImpostazioni(campi)});
    } else {
        return argomentiSbagliati("unknown use of regole");
    }

    Regole r(o);
    if (const auto esito = r.apri()) return *esito;
    std::optional<Uuid> precedente;
    bool cambiate = false;
    for (Passo& p : passi) {
        if (p.app || p.dominio) {
            const auto stato = r.leggi();
            if (!stato) return esitoNonConnesso;
            if (p.app) {
                p.modifica.id = idRegolaApp(*stato, *p.app);
                if (!p.modifica.id) return argomentiSbagliati("no rule for '" + *p.app + "'");
            } else {
                const auto id = idRegolaDominio(*stato, *p.dominio);
                if (!id) return argomentiSbagliati(id.motivo());
                p.modifica.id = *id;
            }
        }
        if (p.idPrecedente) p.modifica.id = precedente;
        const auto risposta = r.modifica(p.modifica);
        if (!risposta) {
            std::cerr << "ostralectl: no answer from the extension\n";
            return esitoNonConnesso;
        }
        if (èRifiuto(risposta->esito)) {
            std::cerr << "ostralectl: " << descrizione(risposta->esito) << "\n";
            return esitoFallito;
        }
        cambiate |= risposta->esito == EsitoModifica::cambiata;
        precedente = risposta->id;
    }
    if (!passi.empty() && !cambiate) std::cerr << "ostralectl: nothing to change\n";
    const auto stato = r.leggi();
    if (!stato) return esitoNonConnesso;
    mostraRegole(*stato, o.json);
    return esitoOk;
}

int rispondi(const Opzioni& o) {
    const auto& a = o.argomenti;
    if (a.size() < 3) return argomentiSbagliati("rispondi FIRMA consenti|blocca");
    const auto az = azione(a[2]);
    if (!az) return argomentiSbagliati("the answer is consenti or blocca");
    const auto lette = leggiOpzioni(a, 3, {"--dominio", "--porta"}, {"--una-volta"});
    if (lette.errore) return argomentiSbagliati(*lette.errore);
    RispostaSospesi risposta{a[1], *az == AzioneRegola::consenti, lette.ha("--una-volta"), {}, {}};
    if (const auto* dominio = lette.valore("--dominio")) {
        risposta.dominio = RegolaDominio::normalizza(*dominio);
        if (risposta.dominio->empty())
            return argomentiSbagliati("--dominio wants a host, not '" + *dominio + "'");
    }
    if (lette.ha("--porta") && !risposta.dominio)
        return argomentiSbagliati("--porta goes with --dominio");
    if (const auto errore = leggiPorta(lette, risposta.porta)) return argomentiSbagliati(*errore);
    Sessione s(o);
    if (const auto esito = s.connetti()) return *esito;
    // Without options the plain answer, which every extension understands.
    const bool inviata = lette.valori.empty() ? s.cliente().rispondiFlusso(a[1], risposta.consenti)
                                              : s.cliente().rispondiSospesi(risposta);
    if (!inviata) return esitoNonConnesso;
    // The answer has no reply: a round trip makes sure it was read before the connection ends.
    s.cliente().leggiStorico();
    return esitoOk;
}

int c2(const Opzioni& o) {
    if (o.argomenti.size() != 2) return argomentiSbagliati("c2 FILE");
    const auto testo = ArchivioCondiviso::leggiFile(o.argomenti[1], true);
    if (!testo) {
        std::cerr << "ostralectl: cannot read " << o.argomenti[1] << "\n";
        return esitoArgomenti;
    }
    Sessione s(o);
    if (const auto esito = s.connetti()) return *esito;
    const auto quanti = s.cliente().aggiornaBlocklistC2(*testo);
    if (!quanti) return esitoNonConnesso;
    if (o.json) {
        std::cout << "{\"indirizzi\":" << *quanti << "}" << std::endl;
    } else if (*quanti == 0) {
        std::cout << "the list was refused (fewer than " << BlocklistC2::vociMinime
                  << " addresses, or not UTF-8): the current one stays\n";
    } else {
        std::cout << *quanti << " addresses installed\n";
    }
    return *quanti == 0 ? esitoFallito : esitoOk;
}

int stato(const Opzioni& o) {
    if (o.argomenti.size() != 1) return argomentiSbagliati("stato takes no arguments");
    Sessione s(o);
    const auto errore = s.connetti();
    std::optional<PacchettoStorico> pacchetto;
    std::optional<InformazioniEstensione> info;
    // The extension's rules while one answers, else those it would read at its start.
    StatoRegole regole = ArchivioRegole::leggi().value_or(StatoRegole{});
    if (!errore) {
        if (auto lette = s.cliente().leggiRegole()) regole = std::move(*lette);
        info = s.cliente().informazioni();
        if (const auto byte = s.cliente().leggiStorico()) {
            if (auto p = json::decodifica<PacchettoStorico>(*byte))
                pacchetto = std::move(p).valore();
        }
    }
    ContatoreOra oggi;
    const std::string giorno = ora(OrologioDiSistema().adesso(), "%Y-%m-%d");
    if (pacchetto) {
        for (const auto& [chiave, c] : pacchetto->ore) {
            if (chiave.rfind(giorno, 0) != 0) continue;
            oggi.consentiti += c.consentiti;
            oggi.bloccati += c.bloccati;
            oggi.tracker += c.tracker;
        }
    }
    if (o.json) {
        std::cout << "{\"connessa\":" << (errore ? "false" : "true");
        if (info) {
            std::cout << ",\"versione\":"
                      << nlohmann::json(info->versione)
                             .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                      << ",\"appConnessa\":" << (info->appConnessa ? "true" : "false")
                      << ",\"domandeInAttesa\":" << info->domandeInAttesa;
        }
        std::cout << ",\"regoleApp\":" << regole.regole.size()
                  << ",\"regoleDominio\":" << regole.regoleDominio.size()
                  << ",\"oggi\":{\"consentiti\":" << oggi.consentiti
                  << ",\"bloccati\":" << oggi.bloccati << ",\"tracker\":" << oggi.tracker << "}}"
                  << std::endl;
    } else {
        std::cout << "estensione: "
                  << (errore ? (*errore == esitoNonAutorizzato ? "not permitted" : "not reachable")
                             : "connected");
        if (info) std::cout << " (version " << info->versione << ")";
        std::cout << "\n";
        if (info) {
            std::cout << "app: " << (info->appConnessa ? "connected" : "not connected") << "\n";
            if (info->domandeInAttesa == 0) {
                std::cout << "questions: none waiting\n";
            } else {
                std::cout << "questions: " << info->domandeInAttesa
                          << (info->domandeInAttesa == 1 ? " application waits"
                                                         : " applications wait")
                          << " for an answer (ostralectl rispondi FIRMA consenti|blocca)\n";
            }
        }
        std::cout << "regole: " << regole.regole.size() << " app, " << regole.regoleDominio.size()
                  << " domini\n";
        if (pacchetto) {
            std::cout << "oggi: " << oggi.consentiti << " consentiti, " << oggi.bloccati
                      << " bloccati, " << oggi.tracker << " tracker\n";
        }
    }
    return errore.value_or(esitoOk);
}

}  // namespace

int main(int argc, char** argv) {
    Opzioni o;
    o.socket = [] {
        if (const char* v = std::getenv("OSTRALE_SOCKET"); v && *v) return std::filesystem::path(v);
        return std::filesystem::path("/run/ostrale/ostrale.sock");
    }();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--json") {
            o.json = true;
        } else if (a == "--socket" || a == "--contenitore") {
            if (i + 1 >= argc) return argomentiSbagliati(a + " wants a value");
            if (a == "--socket") {
                o.socket = argv[++i];
            } else {
                ::setenv("OSTRALE_CONTENITORE", argv[++i], 1);
            }
        } else if (a == "-h" || a == "--help" || a == "--aiuto") {
            std::cout << uso;
            return esitoOk;
        } else if (a == "--version") {
            std::cout << "ostralectl " OSTRALE_VERSIONE "\n";
            return esitoOk;
        } else if (o.argomenti.empty() && a.size() > 1 && a.front() == '-') {
            // An unknown option before the command is a mistake; after it, the command judges it.
            return argomentiSbagliati("unknown option '" + a + "'");
        } else {
            o.argomenti.push_back(a);
        }
    }
    // Without a reader a broken pipe must not kill us; the channel uses MSG_NOSIGNAL anyway.
    std::signal(SIGPIPE, SIG_IGN);
    Registro::impostaDestinazione(std::make_shared<DestinazioneMemoria>());
    if (o.argomenti.empty()) return argomentiSbagliati("which command?");
    const std::string& comando = o.argomenti[0];
    if (comando == "stato") return stato(o);
    if (comando == "flussi") return flussi(o, false);
    if (comando == "attacchi") return flussi(o, true);
    if (comando == "storico") return storico(o);
    if (comando == "regole") return regole(o);
    if (comando == "rispondi") return rispondi(o);
    if (comando == "c2") return c2(o);
    return argomentiSbagliati("unknown command '" + comando + "'");
}
