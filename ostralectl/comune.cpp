// SPDX-License-Identifier: GPL-3.0-or-later
#include "ostralectl/comune.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <iterator>
#include <utility>

#include "Condiviso/orologio.h"
#include "Condiviso/risposta-domanda.h"
#include "Condiviso/testo.h"
#include "ostralectl/comandi.h"

namespace ostrale::ctl {
namespace {

Lingua& linguaCorrente() {
    static Lingua l = Lingua::inglese;
    return l;
}

struct Coppia {
    std::string_view en, it;
};

std::string inLingua(const Coppia& c) {
    return t(c.en, c.it);
}

bool èSpazio(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool èControllo(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

bool èLettera(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool èCifra(char c) {
    return c >= '0' && c <= '9';
}

// A Flatpak-style id: two or more elements joined by dots, each of letters, digits, '_' and '-'
// and not beginning with a digit.
bool èIdSandbox(std::string_view id) {
    if (id.size() > 255 || id.find('.') == std::string_view::npos) return false;
    std::size_t inizio = 0;
    for (;;) {
        const std::size_t fine = std::min(id.find('.', inizio), id.size());
        const std::string_view elemento = id.substr(inizio, fine - inizio);
        if (elemento.empty() || èCifra(elemento.front())) return false;
        for (const char c : elemento) {
            if (!èLettera(c) && !èCifra(c) && c != '_' && c != '-') return false;
        }
        if (fine == id.size()) return true;
        inizio = fine + 1;
    }
}

// A snap's name: 1 to 40 lower-case letters, digits and single hyphens, with a letter, neither
// beginning nor ending with a hyphen.
bool èNomeSnap(std::string_view nome) {
    if (nome.empty() || nome.size() > 40 || nome.front() == '-' || nome.back() == '-' ||
        nome.find("--") != std::string_view::npos)
        return false;
    bool lettera = false;
    for (const char c : nome) {
        if (!(c >= 'a' && c <= 'z') && !èCifra(c) && c != '-') return false;
        lettera |= c >= 'a' && c <= 'z';
    }
    return lettera;
}

// Two digits of an hour or a minute, or one of an hour; absent when not.
std::optional<int> numero(std::string_view t, std::size_t massimoCifre) {
    if (t.empty() || t.size() > massimoCifre) return std::nullopt;
    int n = 0;
    for (const char c : t) {
        if (!èCifra(c)) return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// "HH:MM" in minutes of the day; 24:00 only when `fine`.
std::optional<std::int64_t> minuto(std::string_view t, bool fine) {
    const auto due = t.find(':');
    if (due == std::string_view::npos) return std::nullopt;
    const auto h = numero(t.substr(0, due), 2);
    const auto m = numero(t.substr(due + 1), 2);
    if (!h || !m || t.size() - due - 1 != 2 || *m > 59) return std::nullopt;
    if (*h > 23 && !(fine && *h == 24 && *m == 0)) return std::nullopt;
    return *h * 60 + *m;
}

}  // namespace

// ---- the language of a run ----

Lingua linguaDa(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* v : {lcAll, lcMessages, lang}) {
        if (v == nullptr || *v == '\0') continue;
        const std::string_view s(v);
        const bool italiano =
            s.starts_with("it") && (s.size() == 2 || s[2] == '_' || s[2] == '.' || s[2] == '@');
        return italiano ? Lingua::italiano : Lingua::inglese;
    }
    return Lingua::inglese;
}

Lingua lingua() {
    return linguaCorrente();
}

void impostaLingua(Lingua l) {
    linguaCorrente() = l;
}

// ---- a run ----

void dici(std::string_view messaggio) {
    std::cerr << "ostralectl: " << messaggio << "\n";
}

int argomentiSbagliati(std::string_view comando, std::string_view perché) {
    dici(perché);
    const Comando* c = trovaComando(comando);
    std::cerr << "\n" << (c ? uso(*c) : uso());
    return esitoArgomenti;
}

Sessione::Sessione(const Opzioni& o, canale::ClienteCanale::Richiami richiami)
    : cliente_(o.socket, std::move(richiami)), socket_(o.socket) {}

std::optional<int> Sessione::connetti() {
    const auto errore = cliente_.connetti();
    if (!errore) return std::nullopt;
    return spiega(*errore);
}

int Sessione::spiega(canale::ClienteCanale::Errore errore) const {
    const std::string s = socket_.string();
    if (errore == canale::ClienteCanale::Errore::nonAutorizzato) {
        dici(t("not permitted to talk to the daemon at " + s + " (root or the group ostrale only)",
               "non è permesso parlare con l'estensione su " + s +
                   " (solo root o il gruppo ostrale)"));
        return esitoNonAutorizzato;
    }
    if (errore == canale::ClienteCanale::Errore::senzaRisposta) {
        dici(
            t("the daemon at " + s + " accepted the connection but did not answer in time",
              "l'estensione su " + s + " ha accettato la connessione ma non ha risposto in tempo"));
        return esitoNonConnesso;
    }
    dici(t("no daemon answers at " + s + " (is ostrale-estensione running?)",
           "nessuna estensione risponde su " + s + " (ostrale-estensione è avviata?)"));
    return esitoNonConnesso;
}

int Sessione::senzaRisposta() const {
    dici(t("the daemon at " + socket_.string() + " stopped answering",
           "l'estensione su " + socket_.string() + " non risponde più"));
    return esitoNonConnesso;
}

// ---- output ----

std::size_t caratteri(std::string_view testo) {
    std::size_t n = 0;
    for (const char c : testo) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string colonna(std::string_view testo, std::size_t larghezza, bool aDestra) {
    const std::size_t n = caratteri(testo);
    const std::string spazi(n < larghezza ? larghezza - n : 0, ' ');
    return aDestra ? spazi + std::string(testo) : std::string(testo) + spazi;
}

Tabella::Tabella(std::vector<std::string> intestazione, std::vector<bool> aDestra)
    : aDestra_(std::move(aDestra)) {
    righe_.push_back(std::move(intestazione));
}

void Tabella::aggiungi(std::vector<std::string> riga) {
    righe_.push_back(std::move(riga));
}

std::string Tabella::testo() const {
    std::vector<std::size_t> larghezze;
    for (const auto& riga : righe_) {
        larghezze.resize(std::max(larghezze.size(), riga.size()));
        for (std::size_t i = 0; i < riga.size(); ++i)
            larghezze[i] = std::max(larghezze[i], caratteri(riga[i]));
    }
    std::string t;
    for (const auto& riga : righe_) {
        for (std::size_t i = 0; i < riga.size(); ++i) {
            const bool destra = i < aDestra_.size() && aDestra_[i];
            const bool ultima = i + 1 == riga.size();
            if (i > 0) t += destra ? " " : "  ";
            t += ultima && !destra ? riga[i] : colonna(riga[i], larghezze[i], destra);
        }
        t += "\n";
    }
    return t;
}

std::string ora(Data d, const char* formato) {
    const std::time_t secondi = d.secondiUnixInteri();
    std::tm locale{};
    localtime_r(&secondi, &locale);
    char testo[32];
    std::strftime(testo, sizeof testo, formato, &locale);
    return testo;
}

std::string testoAzione(AzioneRegola a) {
    return a == AzioneRegola::consenti ? t("allow", "consenti") : t("block", "blocca");
}

std::string testoSìNo(bool b) {
    return b ? t("yes", "sì") : "no";
}

std::string testoMotivo(MotivoDecisione m) {
    static constexpr Coppia nomi[] = {
        {"rule", "regola"},    {"default", "predefinita"}, {"quarantine", "quarantena"},
        {"window", "fascia"},  {"tracker", "tracker"},     {"domain", "dominio"},
        {"system", "sistema"}, {"attack", "attacco"},
    };
    static_assert(std::size(nomi) == ValoriGrezzi<MotivoDecisione>::valori.size());
    return inLingua(nomi[static_cast<std::size_t>(m)]);
}

std::string testoAttacco(TipoAttacco a) {
    static constexpr Coppia nomi[] = {
        {"port scan", "scansione di porte"},
        {"brute force", "forza bruta"},
        {"burst", "raffica"},
        {"DNS tunnel", "tunnel DNS"},
        {"beaconing", "beaconing"},
        {"suspicious domains", "domini sospetti"},
        {"outbound scan", "scansione in uscita"},
        {"notorious port", "porta malfamata"},
        {"UDP flood", "flood UDP"},
        {"look-alike domain", "dominio contraffatto"},
        {"direct IP", "IP diretto"},
        {"known C2", "C2 noto"},
        {"persistent channel", "canale persistente"},
        {"slow exfiltration", "esfiltrazione lenta"},
        {"odd protocol", "protocollo anomalo"},
        {"lateral movement in the LAN", "movimento laterale nella LAN"},
    };
    static_assert(std::size(nomi) == ValoriGrezzi<TipoAttacco>::valori.size());
    return inLingua(nomi[static_cast<std::size_t>(a)]);
}

std::string testoFascia(const std::optional<FasciaOraria>& f) {
    return f ? f->testo() : t("always", "sempre");
}

std::string testoDurata(const Durata& d, Data adesso) {
    if (d.perSempre()) return t("permanent", "permanente");
    if (d.finita(adesso, idAvvio())) return t("over", "scaduta");
    if (!d.scadenza) return t("until restart", "fino al riavvio");
    // Whole minutes rounded up: a rule of an hour just made is "for 1 h more", never "0 min".
    const auto minuti = static_cast<std::int64_t>(std::ceil(d.scadenza->secondiDa(adesso) / 60.0));
    std::string quanto;
    if (minuti < 60) {
        quanto = std::to_string(minuti) + " min";
    } else if (minuti < std::int64_t{48} * 60) {
        quanto = std::to_string(minuti / 60) + " h";
        if (minuti % 60 != 0) quanto += " " + std::to_string(minuti % 60) + " min";
    } else {
        const std::int64_t ore = (minuti + 59) / 60;
        quanto = std::to_string(ore / 24) + t(" d", " g");
        if (ore % 24 != 0) quanto += " " + std::to_string(ore % 24) + " h";
    }
    std::string testo = t("for " + quanto + " more", "ancora " + quanto);
    if (d.avvio) testo += t(" or until restart", " o fino al riavvio");
    return testo;
}

std::string nomeRegola(const RegolaDominio& r) {
    std::string nome = r.dominio;
    if (r.porta) nome += t(" port ", " porta ") + std::to_string(*r.porta);
    if (r.firmaApp) nome += t(" for ", " per ") + *r.firmaApp;
    return nome;
}

std::string testoErrore(const std::error_code& e) {
    if (e == std::errc::no_such_file_or_directory) return t("no such file", "il file non esiste");
    if (e == std::errc::permission_denied || e == std::errc::operation_not_permitted)
        return t("permission denied", "permesso negato");
    if (e == std::errc::is_a_directory) return t("it is a folder", "è una cartella");
    return e.message();
}

std::string testoEsito(EsitoModifica e) {
    static constexpr Coppia testi[] = {
        {"changed", "cambiata"},
        {"nothing to change", "niente da cambiare"},
        {"an application rule needs the application's identity",
         "una regola di applicazione vuole l'identità dell'applicazione"},
        {"the application could not be identified: no rule can name it",
         "l'applicazione non è stata identificata: nessuna regola può nominarla"},
        {"not a domain (it needs a dot and at least 4 characters) nor an address",
         "né un dominio (vuole un punto e almeno 4 caratteri) né un indirizzo"},
        {"no such rule", "la regola non esiste"},
        {"a time window runs between minutes 0 and 1440 of the day",
         "una fascia oraria va dal minuto 0 al 1440 del giorno"},
        {"domain rules have no time window", "le regole di dominio non hanno fascia oraria"},
        {"giorniQuarantena wants a number of days from 0 to 3650",
         "giorniQuarantena vuole un numero di giorni da 0 a 3650"},
        {"the edit lacks what it needs", "alla modifica manca quel che le serve"},
        {"the rules file could not be written: nothing changed",
         "il file delle regole non si è potuto scrivere: nulla è cambiato"},
        {"the daemon did not answer", "l'estensione non ha risposto"},
        {"a port is a number from 1 to 65535", "una porta è un numero da 1 a 65535"},
    };
    static_assert(std::size(testi) == ValoriGrezzi<EsitoModifica>::valori.size());
    return inLingua(testi[static_cast<std::size_t>(e)]);
}

std::string motivoInLingua(std::string motivo) {
    auto sostituisci = [&](std::string_view da, std::string_view a) {
        for (std::size_t i = motivo.find(da); i != std::string::npos;
             i = motivo.find(da, i + a.size()))
            motivo.replace(i, da.size(), a);
    };
    // The planner's refusals: "application X: <outcome>", "domain X: …", "an edit: …".
    for (const EsitoModifica e : tuttiICasi<EsitoModifica>()) {
        if (èRifiuto(e)) sostituisci(descrizione(e), testoEsito(e));
    }
    if (!inItaliano()) return motivo;
    // The phrases of the file reader and the decoder, longest first where one holds another.
    static constexpr Coppia frasi[] = {
        {"not a file of exported rules (no", "non è un file di regole esportate (manca"},
        {"; this program reads version", "; questo programma legge la versione"},
        {"the file holds text that is not UTF-8", "il file contiene testo che non è UTF-8"},
        {"the file is larger than", "il file supera"},
        {"two rules have the id", "due regole hanno l'id"},
        {"two rules for the application", "due regole per l'applicazione"},
        {"two rules for the domain", "due regole per il dominio"},
        {"not JSON at line", "non è JSON alla riga"},
        {"not JSON:", "non è JSON:"},
        {", column ", ", colonna "},
        {"version missing", "versione assente"},
        {"version ", "versione "},
        {"expected a boolean", "atteso un booleano"},
        {"integer out of range", "intero fuori intervallo"},
        {"expected an integer", "atteso un intero"},
        {"expected a string", "attesa una stringa"},
        {"expected a date number", "attesa una data in secondi"},
        {"date out of range", "data fuori intervallo"},
        {"expected a UUID string", "atteso un UUID"},
        {"malformed UUID", "UUID malformato"},
        {"expected an enumeration text", "atteso uno dei valori ammessi"},
        {"unknown enumeration text", "valore sconosciuto"},
        {"expected an array", "atteso un elenco"},
        {"expected an object", "atteso un oggetto"},
        {"missing key", "manca la chiave"},
        {" port ", " porta "},
        {" for /", " per /"},
    };
    for (const Coppia& c : frasi) sostituisci(c.en, c.it);
    if (motivo.starts_with("application ")) motivo.replace(0, 12, "applicazione ");
    if (motivo.starts_with("domain ")) motivo.replace(0, 7, "dominio ");
    if (motivo.starts_with("an edit: ")) motivo.replace(0, 9, "una modifica: ");
    return motivo;
}

// ---- what a user types ----

std::optional<AzioneRegola> leggiAzione(std::string_view t) {
    const std::string s = testo::minuscole(t);
    if (s == "consenti" || s == "allow") return AzioneRegola::consenti;
    if (s == "blocca" || s == "block") return AzioneRegola::blocca;
    return std::nullopt;
}

std::optional<bool> leggiSìNo(std::string_view t) {
    const std::string s = testo::minuscole(t);
    if (s == "sì" || s == "si" || s == "yes" || s == "true" || s == "on" || s == "1") return true;
    if (s == "no" || s == "false" || s == "off" || s == "0") return false;
    return std::nullopt;
}

std::optional<std::string> leggiFascia(std::string_view testo,
                                       std::optional<FasciaOraria>& fascia) {
    const std::string s(testo);
    const auto trattino = testo.find('-');
    const auto inizio = trattino == std::string_view::npos
                            ? std::nullopt
                            : minuto(testo.substr(0, trattino), false);
    const auto fine = trattino == std::string_view::npos ? std::nullopt
                                                         : minuto(testo.substr(trattino + 1), true);
    if (!inizio || !fine) {
        return t("the window is written HH:MM-HH:MM, as 22:00-07:00, not '" + s + "'",
                 "la fascia si scrive HH:MM-HH:MM, come 22:00-07:00, non '" + s + "'");
    }
    if (*inizio == *fine) {
        return t(
            "the window " + s + " is empty, it ends when it starts (for all day, --senza-fascia)",
            "la fascia " + s +
                " è vuota, finisce quando comincia (per tutto il giorno, --senza-fascia)");
    }
    fascia = FasciaOraria{*inizio, *fine};
    return std::nullopt;
}

std::optional<std::string> controllaIdentità(std::string_view firma) {
    const std::string f(firma);
    const std::string forme =
        t(": an identity is an absolute path (/usr/bin/curl), a Flatpak-style id with a dot "
          "(org.mozilla.firefox) or a snap name (firefox)",
          ": un'identità è un percorso assoluto (/usr/bin/curl), un id in stile Flatpak con un "
          "punto (org.mozilla.firefox) o il nome di uno snap (firefox)");
    if (firma.empty()) return t("an application's identity is empty", "l'identità è vuota") + forme;
    if (!testo::èUtf8Valido(firma)) {
        return t(
            "the identity is not UTF-8: write such bytes as \\xHH, as ostralectl flussi "
            "shows them",
            "l'identità non è UTF-8: quei byte si scrivono \\xHH, come li mostra ostralectl "
            "flussi");
    }
    if (std::ranges::any_of(firma,
                            [](char c) { return èControllo(static_cast<unsigned char>(c)); }))
        return t("the identity holds a control character",
                 "l'identità contiene un carattere di controllo") +
               forme;
    if (firma == "sconosciuta") {
        return t("sconosciuta stands for flows of no known application: no rule can name them",
                 "sconosciuta indica flussi di nessuna applicazione nota: nessuna regola può "
                 "nominarli");
    }
    // The daemon marks a path it could not verify with "?" before it, and shows it so.
    std::string_view percorso = firma;
    if (percorso.starts_with("?/")) percorso.remove_prefix(1);
    if (percorso.starts_with('/')) {
        if (percorso.size() > 1 && percorso.back() != '/') return std::nullopt;
        return t("'" + f + "' is a folder, not a program",
                 "'" + f + "' è una cartella, non un programma");
    }
    if (èIdSandbox(firma) || èNomeSnap(firma)) return std::nullopt;
    if (firma.find('/') != std::string_view::npos)
        return t("'" + f + "' is a relative path: write it whole, from /",
                 "'" + f + "' è un percorso relativo: scrivilo intero, da /");
    return t("'" + f + "' is not an application's identity",
             "'" + f + "' non è l'identità di un'applicazione") +
           forme;
}

std::optional<std::string> controllaDominio(std::string_view inserito) {
    const std::string d(inserito);
    const std::string_view rifilato = testo::rifila(inserito);
    if (rifilato.empty()) return t("the domain is empty", "il dominio è vuoto");
    if (std::ranges::any_of(rifilato,
                            [](char c) { return èSpazio(static_cast<unsigned char>(c)); }))
        return t("'" + d + "' is not a domain: a domain has no spaces",
                 "'" + d + "' non è un dominio: un dominio non ha spazi");
    if (rifilato.find('*') != std::string_view::npos) {
        std::string senza = RegolaDominio::normalizza(rifilato);
        while (senza.starts_with("*.")) senza.erase(0, 2);
        if (senza.find('*') == std::string::npos && !senza.empty()) {
            return t(senza + " covers its subdomains: write it without *.",
                     senza + " comprende i suoi sottodomini: scrivilo senza *.");
        }
        return t("'" + d +
                     "' is not a domain: * is no wildcard here, a domain covers its "
                     "subdomains",
                 "'" + d +
                     "' non è un dominio: * qui non è un jolly, un dominio comprende i suoi "
                     "sottodomini");
    }
    const auto barra = rifilato.find('/');
    if (barra != std::string_view::npos && RegolaDominio::èIndirizzo(rifilato.substr(0, barra)) &&
        rifilato.find_first_not_of("0123456789", barra + 1) == std::string_view::npos) {
        return t("'" + d + "' is a network: a rule names one address or one domain",
                 "'" + d + "' è una rete: una regola nomina un indirizzo o un dominio");
    }
    const std::string host = RegolaDominio::normalizza(rifilato);
    if (RegolaDominio::èIndirizzo(host)) return std::nullopt;
    if (host.find(':') != std::string::npos) {
        return t("'" + d + "' names a port: give it with --porta",
                 "'" + d + "' nomina una porta: dalla con --porta");
    }
    bool valido = !host.empty() && host.front() != '.' && host.back() != '.' &&
                  host.find("..") == std::string::npos && testo::èUtf8Valido(host);
    for (const char c : host) {
        valido &= èLettera(c) || èCifra(c) || c == '-' || c == '_' || c == '.' ||
                  static_cast<unsigned char>(c) >= 0x80;
    }
    if (!valido) return t("'" + d + "' is not a domain", "'" + d + "' non è un dominio");
    if (host.find('.') == std::string::npos || host.size() < 4) {
        return t("'" + d +
                     "' is not a domain: it needs a dot and at least 4 characters "
                     "(example.com), or it is an address",
                 "'" + d +
                     "' non è un dominio: vuole un punto e almeno 4 caratteri "
                     "(example.com), oppure è un indirizzo");
    }
    return std::nullopt;
}

OpzioniComando leggiOpzioni(const std::vector<std::string>& a, std::size_t inizio,
                            std::initializer_list<std::string_view> conValore,
                            std::initializer_list<std::string_view> senzaValore) {
    OpzioniComando o;
    for (std::size_t i = inizio; i < a.size(); ++i) {
        const std::string& nome = a[i];
        const bool vuoleValore = std::ranges::find(conValore, nome) != conValore.end();
        if (!vuoleValore && std::ranges::find(senzaValore, nome) == senzaValore.end()) {
            o.errore = t("unexpected '" + nome + "'", "'" + nome + "' non è atteso qui");
        } else if (o.ha(nome)) {
            o.errore = t(nome + " is given twice", nome + " è dato due volte");
        } else if (vuoleValore && i + 1 == a.size()) {
            o.errore = t(nome + " wants a value", nome + " vuole un valore");
        } else {
            o.valori[nome] = vuoleValore ? a[++i] : std::string();
            continue;
        }
        return o;
    }
    return o;
}

std::optional<std::string> leggiPorta(const OpzioniComando& o, std::optional<std::int64_t>& porta) {
    const auto* testo = o.valore("--porta");
    if (!testo) return std::nullopt;
    std::int64_t n = 0;
    const auto [fine, errore] = std::from_chars(testo->data(), testo->data() + testo->size(), n);
    if (errore != std::errc() || fine != testo->data() + testo->size() || n < 1 || n > 65535) {
        return t("--porta wants a number from 1 to 65535, not '" + *testo + "'",
                 "--porta vuole un numero da 1 a 65535, non '" + *testo + "'");
    }
    porta = n;
    return std::nullopt;
}

std::optional<std::string> leggiDurata(const OpzioniComando& o, Durata& d) {
    const auto* testo = o.valore("--per");
    if (!testo) return std::nullopt;
    const auto letta = durataDaTesto(*testo, OrologioDiSistema().adesso());
    if (!letta) {
        return t(
            "--per wants 15m, 1h, 12h, riavvio (or restart) or a number followed by s, m, h "
            "or d, not '" +
                *testo + "'",
            "--per vuole 15m, 1h, 12h, riavvio o un numero seguito da s, m, h o d, non '" + *testo +
                "'");
    }
    d = *letta;
    return std::nullopt;
}

}  // namespace ostrale::ctl
