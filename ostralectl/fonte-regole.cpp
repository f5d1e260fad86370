// SPDX-License-Identifier: GPL-3.0-or-later
#include "ostralectl/fonte-regole.h"

#include <cerrno>
#include <system_error>

#include <sys/stat.h>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/archivio-regole.h"
#include "Condiviso/codifica-json.h"

namespace ostrale::ctl {

std::optional<int> FonteRegole::apri() {
    const auto errore = sessione_.prova();
    if (!errore) {
        viaDemone_ = true;
        return std::nullopt;
    }
    // The rules file is edited directly only when no extension runs: never behind the back of
    // one that refused this user or is slow to answer.
    if (*errore == canale::ClienteCanale::Errore::nonAutorizzato ||
        *errore == canale::ClienteCanale::Errore::senzaRisposta)
        return sessione_.spiega(*errore);
    const std::string socket = sessione_.socket().string();
    const auto file = ArchivioCondiviso::url();
    if (!file) {
        dici(t("no daemon answers at " + socket +
                   ", and there is no container (OSTRALE_CONTENITORE or /var/lib/ostrale)",
               "nessuna estensione risponde su " + socket +
                   ", e non c'è un contenitore (OSTRALE_CONTENITORE o /var/lib/ostrale)"));
        return esitoNonConnesso;
    }
    file_ = *file;
    // A file that cannot be read is reported, never taken for no rules (nor replaced).
    int esito = esitoOk;
    if (!leggi(esito)) return esito;
    return std::nullopt;
}

std::optional<StatoRegole> FonteRegole::leggi(int& esito) {
    if (viaDemone_) {
        auto stato = sessione_.cliente().leggiRegole();
        if (!stato) esito = sessione_.senzaRisposta();
        return stato;
    }
    const std::string nome = file_.string();
    struct stat info {};
    if (::lstat(file_.c_str(), &info) != 0) {
        if (errno == ENOENT) return StatoRegole{};
        dici(t("cannot read " + nome + ": ", "non posso leggere " + nome + ": ") +
             testoErrore(std::error_code(errno, std::generic_category())));
        esito = esitoFallito;
        return std::nullopt;
    }
    const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole);
    if (!testo) {
        dici(t("cannot read " + nome + " (it must be a regular file this user may read)",
               "non posso leggere " + nome +
                   " (dev'essere un file regolare leggibile da questo "
                   "utente)"));
        esito = esitoFallito;
        return std::nullopt;
    }
    auto stato = json::decodifica<StatoRegole>(*testo);
    if (!stato) {
        dici(t(nome + " holds no rules that can be read: ",
               nome + " non contiene regole leggibili: ") +
             motivoInLingua(stato.motivo()));
        esito = esitoFallito;
        return std::nullopt;
    }
    return std::move(stato).valore();
}

std::optional<RispostaModifica> FonteRegole::modifica(const ModificaRegole& m) {
    if (viaDemone_) {
        auto risposta = sessione_.cliente().modificaRegole(m);
        if (!risposta) sessione_.senzaRisposta();
        return risposta;
    }
    StatoRegole dopo;
    return ArchivioRegole::modifica(m, StatoRegole{}, dopo);
}

void FonteRegole::diciFile(bool cambiato) {
    if (viaDemone_ || detto_) return;
    detto_ = true;
    const std::string socket = sessione_.socket().string();
    const std::string cartella = file_.parent_path().string();
    if (!cambiato && !std::filesystem::exists(file_)) {
        dici(t("no daemon answers at " + socket + " and " + cartella +
                   " holds no rules file yet: no rules, the default settings",
               "nessuna estensione risponde su " + socket + " e " + cartella +
                   " non ha ancora un file delle regole: nessuna regola, le impostazioni "
                   "predefinite"));
        return;
    }
    dici(cambiato ? t("no daemon answers at " + socket + ": the rules file in " + cartella +
                          " was changed directly (the daemon reads it when it starts)",
                      "nessuna estensione risponde su " + socket + ": il file delle regole in " +
                          cartella +
                          " è stato cambiato direttamente (l'estensione lo legge "
                          "all'avvio)")
                  : t("no daemon answers at " + socket + ": the rules file in " + cartella +
                          " was read directly",
                      "nessuna estensione risponde su " + socket + ": il file delle regole in " +
                          cartella + " è stato letto direttamente"));
}

}  // namespace ostrale::ctl
