// SPDX-License-Identifier: GPL-3.0-or-later
#include "ostralectl/comandi.h"

namespace ostrale::ctl {
namespace {

constexpr std::string_view testaEn =
    "usage: ostralectl [--json] [--socket PATH] [--contenitore DIR] COMMAND [ARGUMENTS]\n"
    "       ostralectl COMMAND --help\n"
    "       ostralectl --help | --version\n";
constexpr std::string_view testaIt =
    "uso: ostralectl [--json] [--socket PERCORSO] [--contenitore DIR] COMANDO [ARGOMENTI]\n"
    "     ostralectl COMANDO --help\n"
    "     ostralectl --help | --version\n";

constexpr std::string_view codaEn = R"(
options:
  --json                              machine-readable output, with the same keys and values
                                      in every language
  --socket PATH                       the daemon's socket (default OSTRALE_SOCKET, else
                                      /run/ostrale/ostrale.sock)
  --contenitore DIR                   the shared container, where regole.json is (default
                                      OSTRALE_CONTENITORE, else /var/lib/ostrale)
  -h, --help                          this text; after a command, that command's usage
  --version                           the version of ostralectl

language: Italian when LC_ALL, LC_MESSAGES or LANG (the first one set) is it_*, else English.
The words are accepted in either language: status, flows, attacks, history, rules and answer
for stato, flussi, attacchi, storico, regole and rispondi; allow and block for consenti and
blocca; yes, true, on and no, false, off for sì and no; restart for riavvio; on and off for
attiva and disattiva. The other words and the options have one name only.

exit codes: 0 done, 1 daemon not reachable or stopped answering, 2 bad arguments, 3 not
permitted, 4 refused (by the daemon or the rules file, or no question waits for that
application) or an answer that cannot be read
)";
constexpr std::string_view codaIt = R"(
opzioni:
  --json                              uscita per i programmi, con le stesse chiavi e gli
                                      stessi valori in ogni lingua
  --socket PERCORSO                   il socket dell'estensione (predefinito OSTRALE_SOCKET,
                                      altrimenti /run/ostrale/ostrale.sock)
  --contenitore DIR                   il contenitore condiviso, dov'è regole.json (predefinito
                                      OSTRALE_CONTENITORE, altrimenti /var/lib/ostrale)
  -h, --help                          questo testo; dopo un comando, l'uso di quel comando
  --version                           la versione di ostralectl

lingua: italiano quando LC_ALL, LC_MESSAGES o LANG (la prima impostata) è it_*, altrimenti
inglese. Le parole si accettano in entrambe le lingue: status, flows, attacks, history, rules e
answer per stato, flussi, attacchi, storico, regole e rispondi; allow e block per consenti e
blocca; yes, true, on e no, false, off per sì e no; restart per riavvio; on e off per attiva e
disattiva. Le altre parole e le opzioni hanno un nome solo.

codici di uscita: 0 fatto, 1 estensione non raggiungibile o non risponde più, 2 argomenti
sbagliati, 3 non permesso, 4 rifiutato (dall'estensione o dal file delle regole, o nessuna
domanda attende per quell'applicazione) o una risposta illeggibile
)";

constexpr Comando tutti[] = {
    {"stato", "status", stato,
     "  stato                               the daemon, the rules and today's counters\n",
     "  stato                               l'estensione, le regole e i contatori di oggi\n", "",
     ""},
    {"flussi", "flows", flussi,
     "  flussi [--segui]                    the recent flows; --segui goes on with live ones\n",
     "  flussi [--segui]                    i flussi recenti; --segui continua con quelli dal "
     "vivo\n",
     R"(  --segui goes on until interrupted; when the daemon goes away it says so and exits 1.
)",
     R"(  --segui continua finché lo si interrompe; se l'estensione se ne va lo dice ed esce con 1.
)"},
    {"attacchi", "attacks", attacchi,
     "  attacchi                            the attacks in the recent flows\n",
     "  attacchi                            gli attacchi nei flussi recenti\n", "", ""},
    {"storico", "history", storico,
     "  storico                             hourly, per-application and per-address history\n",
     "  storico                             lo storico per ora, per applicazione e per indirizzo\n",
     "", ""},
    {"regole", "rules", regole,
     R"(  regole                              the rules and settings
  regole app IDENTITY allow|block [--fascia HH:MM-HH:MM | --senza-fascia] [--per DURATION]
  regole app IDENTITY on|off
  regole dominio DOMAIN allow|block [--app IDENTITY] [--porta N] [--per DURATION]
  regole permanente app IDENTITY      make a temporary rule permanent
  regole permanente dominio DOMAIN [--app IDENTITY] [--porta N]
  regole rimuovi app IDENTITY
  regole rimuovi dominio DOMAIN [--app IDENTITY] [--porta N]
  regole imposta KEY VALUE            e.g. bloccaTracker yes, giorniQuarantena 7
  regole esporta [FILE]               the rules and settings as one file (else to stdout)
  regole importa FILE [--sostituisci] merge such a file (--sostituisci: also remove the rest)
)",
     R"(  regole                              le regole e le impostazioni
  regole app FIRMA consenti|blocca [--fascia HH:MM-HH:MM | --senza-fascia] [--per DURATA]
  regole app FIRMA attiva|disattiva
  regole dominio DOMINIO consenti|blocca [--app FIRMA] [--porta N] [--per DURATA]
  regole permanente app FIRMA         rende permanente una regola temporanea
  regole permanente dominio DOMINIO [--app FIRMA] [--porta N]
  regole rimuovi app FIRMA
  regole rimuovi dominio DOMINIO [--app FIRMA] [--porta N]
  regole imposta CHIAVE VALORE        per esempio bloccaTracker sì, giorniQuarantena 7
  regole esporta [FILE]               regole e impostazioni in un file (o sull'uscita standard)
  regole importa FILE [--sostituisci] unisce un tale file (--sostituisci: toglie il resto)
)",
     R"(  The rules are those the daemon holds, read and edited through it whenever one answers;
  with none, the file regole.json in the container (the daemon reads it when it starts), and
  a line on standard error says so.
  IDENTITY: an absolute path (/usr/bin/curl; ?/path for one the daemon could not verify), a
  Flatpak-style id with a dot (org.mozilla.firefox) or a snap name (firefox).
  DOMAIN: a domain, which covers its subdomains (example.com, never *.example.com), or an
  IPv4 or IPv6 address.
  --fascia HH:MM-HH:MM                the rule holds only in that daily window (22:00-07:00
                                      runs past midnight); an empty one is refused
  --senza-fascia                      the rule holds all day; without either option an
                                      existing rule keeps its window
  --per DURATION                      the rule lasts 15m, 1h, 12h, riavvio (or restart: until
                                      the computer restarts) or any N followed by s, m, h or
                                      d; without it, for ever
  --app IDENTITY, --porta N           a domain rule only for that application and that port
                                      (1-65535); permanente and rimuovi name a domain rule
                                      with these too, and mean the plain one without them
)",
     R"(  Le regole sono quelle dell'estensione, lette e cambiate tramite lei quando risponde;
  se nessuna risponde, il file regole.json nel contenitore (l'estensione lo legge all'avvio),
  e una riga sull'errore standard lo dice.
  FIRMA: un percorso assoluto (/usr/bin/curl; ?/percorso per uno che l'estensione non ha
  potuto verificare), un id in stile Flatpak con un punto (org.mozilla.firefox) o il nome di
  uno snap (firefox).
  DOMINIO: un dominio, che comprende i suoi sottodomini (example.com, mai *.example.com), o
  un indirizzo IPv4 o IPv6.
  --fascia HH:MM-HH:MM                la regola vale solo in quella fascia del giorno
                                      (22:00-07:00 passa la mezzanotte); una vuota è rifiutata
  --senza-fascia                      la regola vale tutto il giorno; senza l'una né l'altra
                                      opzione una regola esistente tiene la sua fascia
  --per DURATA                        la regola dura 15m, 1h, 12h, riavvio (fino al riavvio) o
                                      N seguito da s, m, h o d; senza, per sempre
  --app FIRMA, --porta N              una regola di dominio solo per quell'applicazione e
                                      quella porta (1-65535); permanente e rimuovi nominano
                                      così una regola di dominio, e senza intendono quella
                                      semplice
)"},
    {"rispondi", "answer", rispondi,
     "  rispondi IDENTITY allow|block [--una-volta] [--dominio DOMAIN [--porta N]]\n",
     "  rispondi FIRMA consenti|blocca [--una-volta] [--dominio DOMINIO [--porta N]]\n",
     R"(  Answers an application whose flows wait for a decision; when none of its flows waits
  nothing is sent (exit 4).
  --una-volta                         only the waiting flows, no rule for the next ones
  --dominio DOMAIN [--porta N]        only the waiting flows to that host (and port)
)",
     R"(  Risponde per un'applicazione i cui flussi attendono una decisione; se nessuno dei suoi
  flussi attende non si invia nulla (uscita 4).
  --una-volta                         solo i flussi in attesa, nessuna regola per i prossimi
  --dominio DOMINIO [--porta N]       solo i flussi in attesa verso quell'host (e porta)
)"},
    {"c2", "c2", c2, "  c2 FILE                             deliver a command-and-control list\n",
     "  c2 FILE                             consegna un elenco di server di comando e controllo\n",
     "", ""},
};

}  // namespace

const Comando* trovaComando(std::string_view parola) {
    for (const Comando& c : tutti) {
        if (parola == c.nome || parola == c.inglese) return &c;
    }
    return nullptr;
}

std::string uso() {
    std::string u = t(testaEn, testaIt) + "\n" + t("commands:\n", "comandi:\n");
    for (const Comando& c : tutti) u += t(c.sintassiEn, c.sintassiIt);
    for (const Comando& c : tutti) {
        if (c.noteEn.empty()) continue;
        u += "\n" + t(std::string(c.nome) + ":\n", std::string(c.nome) + ":\n") +
             t(c.noteEn, c.noteIt);
    }
    return u + t(codaEn, codaIt);
}

std::string uso(const Comando& c) {
    std::string u = t("usage: ostralectl [--json] [--socket PATH] [--contenitore DIR] ",
                      "uso: ostralectl [--json] [--socket PERCORSO] [--contenitore DIR] ") +
                    std::string(c.nome) + " …\n" + t(c.sintassiEn, c.sintassiIt);
    if (!c.noteEn.empty()) u += "\n" + t(c.noteEn, c.noteIt);
    u += "\n";
    if (c.inglese != c.nome) {
        u += t("The English word " + std::string(c.inglese) + " works as well.\n",
               "Va bene anche la parola inglese " + std::string(c.inglese) + ".\n");
    }
    return u + t("ostralectl --help: the options, the words accepted in either language and the "
                 "exit codes.\n",
                 "ostralectl --help: le opzioni, le parole accettate nelle due lingue e i codici "
                 "di uscita.\n");
}

}  // namespace ostrale::ctl
