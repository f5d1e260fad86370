// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "Condiviso/cliente-canale.h"
#include "Condiviso/data.h"
#include "Condiviso/durata.h"
#include "Condiviso/enumerazioni.h"
#include "Condiviso/fascia-oraria.h"
#include "Condiviso/modifica-regole.h"
#include "Condiviso/regola-dominio.h"

// What ostralectl's commands share: the options of a run, the language it speaks, exit codes,
// the connection, columns, and the readers of what a user types.
namespace ostrale::ctl {

// Exit codes, as the usage, the man page and the README list them.
inline constexpr int esitoOk = 0;
inline constexpr int esitoNonConnesso = 1;  // no daemon answers, or it stopped answering
inline constexpr int esitoArgomenti = 2;
inline constexpr int esitoNonAutorizzato = 3;
inline constexpr int esitoFallito = 4;  // refused, or an answer that cannot be read

// ---- the language of a run ----

enum class Lingua { inglese, italiano };

// Italian when the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty names it
// ("it", "it_IT.UTF-8", "it_CH", "it@euro"), else English. Only the variables are read: the C
// library's locale data need not be installed.
Lingua linguaDa(const char* lcAll, const char* lcMessages, const char* lang);
Lingua lingua();
void impostaLingua(Lingua l);
inline bool inItaliano() {
    return lingua() == Lingua::italiano;
}
// The text in the language of this run: every line ostralectl prints goes through here.
inline std::string t(std::string_view en, std::string_view it) {
    return std::string(inItaliano() ? it : en);
}

// ---- a run ----

struct Opzioni {
    bool json = false;
    std::filesystem::path socket;
    std::vector<std::string> argomenti;  // the command first
};

// Says on standard error, after "ostralectl: ", one line.
void dici(std::string_view messaggio);
// A bad argument of `comando`: why, then how the command is used; the exit code.
int argomentiSbagliati(std::string_view comando, std::string_view perché);

// A connection to the daemon.
class Sessione {
  public:
    explicit Sessione(const Opzioni& o, canale::ClienteCanale::Richiami richiami = {});

    // Connects; on failure says why and answers the exit code.
    std::optional<int> connetti();
    // Connects; on failure only why.
    std::optional<canale::ClienteCanale::Errore> prova() { return cliente_.connetti(); }
    // Says why a connection failed; the exit code.
    int spiega(canale::ClienteCanale::Errore errore) const;
    // Says that the daemon did not answer a call; the exit code.
    int senzaRisposta() const;
    canale::ClienteCanale& cliente() { return cliente_; }
    const std::filesystem::path& socket() const { return socket_; }

  private:
    canale::ClienteCanale cliente_;
    std::filesystem::path socket_;
};

// ---- output ----

// `testo` padded with spaces to `larghezza` characters (UTF-8 code points, not bytes), or to the
// right of them when `aDestra`.
std::string colonna(std::string_view testo, std::size_t larghezza, bool aDestra = false);
std::size_t caratteri(std::string_view testo);

// Rows printed as columns as wide as their widest cell; the last column is not padded.
class Tabella {
  public:
    explicit Tabella(std::vector<std::string> intestazione, std::vector<bool> aDestra = {});
    void aggiungi(std::vector<std::string> riga);
    std::string testo() const;

  private:
    std::vector<std::vector<std::string>> righe_;
    std::vector<bool> aDestra_;
};

// `d` in local time, as `formato` says.
std::string ora(Data d, const char* formato = "%H:%M:%S");

std::string testoAzione(AzioneRegola a);
std::string testoSìNo(bool b);
std::string testoMotivo(MotivoDecisione m);
std::string testoAttacco(TipoAttacco a);
std::string testoFascia(const std::optional<FasciaOraria>& f);
// What is left of a rule at `adesso`: "permanent", "for 14 min more", "until restart", or "over"
// for one the daemon has yet to remove.
std::string testoDurata(const Durata& d, Data adesso);
// A domain rule's scope: "example.com", "example.com port 443 for /usr/bin/curl".
std::string nomeRegola(const RegolaDominio& r);
// Why a file could not be read.
std::string testoErrore(const std::error_code& e);
// An edit's outcome.
std::string testoEsito(EsitoModifica e);
// A reason given by the shared code in English (reading a file of rules, planning an import),
// in the language of this run.
std::string motivoInLingua(std::string motivo);

// ---- what a user types ----

// consenti/allow, blocca/block.
std::optional<AzioneRegola> leggiAzione(std::string_view t);
// sì/si/yes/true/on/1, no/false/off/0.
std::optional<bool> leggiSìNo(std::string_view t);
// "HH:MM-HH:MM", hours 00-23 (24:00 as an end), minutes 00-59; an empty window is refused.
// An error says what is wrong.
std::optional<std::string> leggiFascia(std::string_view t, std::optional<FasciaOraria>& fascia);
// An application identity as the daemon forms them; an error says what is wrong.
std::optional<std::string> controllaIdentità(std::string_view firma);
// A domain or an address, as typed; an error says what is wrong.
std::optional<std::string> controllaDominio(std::string_view dominio);

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
                            std::initializer_list<std::string_view> senzaValore = {});

// `--porta N` into `porta` (left absent without it); an error says what is wrong.
std::optional<std::string> leggiPorta(const OpzioniComando& o, std::optional<std::int64_t>& porta);
// `--per DURATA` into `d` (left for ever without it); an error says what is wrong.
std::optional<std::string> leggiDurata(const OpzioniComando& o, Durata& d);

}  // namespace ostrale::ctl
