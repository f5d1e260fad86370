// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/archivio-regole.h"

#include <cerrno>

#include <sys/stat.h>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/blocco-file.h"
#include "Condiviso/registro.h"

namespace ostrale::ArchivioRegole {
namespace {

constexpr std::string_view nomeBlocco = ".regole.json.lock";
constexpr std::string_view nomeIlleggibile = "regole.json.illeggibile";

const Registro& registro() {
    static const Registro r("archivio");
    return r;
}

// What the file holds, to be changed. Absent `stato`: there is no file, or it did not decode
// (it is put aside before it is replaced). `intoccabile`: something is there that cannot be
// read (a link, a FIFO, a file too large or not ours to read): it must not be replaced blindly.
struct DaCambiare {
    std::optional<StatoRegole> stato;
    bool intoccabile = false;
};

DaCambiare leggiPerCambiare(const std::filesystem::path& percorso) {
    struct stat info {};
    if (::lstat(percorso.c_str(), &info) != 0) return {std::nullopt, errno != ENOENT};
    const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole);
    if (!testo) return {std::nullopt, true};
    auto stato = json::decodifica<StatoRegole>(*testo);
    if (stato) return {std::move(stato).valore(), false};
    registro().errore("regole.json non leggibile (" + stato.motivo() + "): lo conservo come " +
                      std::string(nomeIlleggibile));
    if (!ArchivioCondiviso::salvaFile(*testo, nomeIlleggibile)) return {std::nullopt, true};
    return {};
}

}  // namespace

std::optional<StatoRegole> leggi() {
    const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole);
    if (!testo) return std::nullopt;
    auto stato = json::decodifica<StatoRegole>(*testo);
    if (!stato) {
        registro().avviso("regole.json non leggibile: " + stato.motivo());
        return std::nullopt;
    }
    return std::move(stato).valore();
}

RispostaModifica modifica(const ModificaRegole& m, const StatoRegole& base, StatoRegole& dopo) {
    const auto percorsoBlocco = ArchivioCondiviso::urlContenitore(nomeBlocco);
    if (!percorsoBlocco) {
        dopo = base;
        return applica(dopo, m);
    }
    const auto blocco =
        BloccoFile::prendi(*percorsoBlocco, BloccoFile::Modo::condiviso, attesaBlocco);
    if (!blocco) {
        registro().errore("regole.json: another writer holds " + percorsoBlocco->string());
        return {EsitoModifica::nonSalvata, {}};
    }
    DaCambiare letto = leggiPerCambiare(*ArchivioCondiviso::url());
    if (letto.intoccabile) {
        registro().errore("regole.json c'è ma non si può leggere: non lo sostituisco");
        return {EsitoModifica::nonSalvata, {}};
    }
    StatoRegole stato = std::move(letto.stato).value_or(base);
    const RispostaModifica risposta = applica(stato, m);
    if (risposta.esito == EsitoModifica::cambiata &&
        !ArchivioCondiviso::salvaJSON(stato, ArchivioCondiviso::nomeRegole)) {
        return {EsitoModifica::nonSalvata, {}};
    }
    dopo = std::move(stato);
    return risposta;
}

bool sostituisci(const StatoRegole& stato) {
    const auto percorsoBlocco = ArchivioCondiviso::urlContenitore(nomeBlocco);
    if (!percorsoBlocco) return true;
    const auto blocco =
        BloccoFile::prendi(*percorsoBlocco, BloccoFile::Modo::condiviso, attesaBlocco);
    if (!blocco) return false;
    return ArchivioCondiviso::salvaJSON(stato, ArchivioCondiviso::nomeRegole);
}

}  // namespace ostrale::ArchivioRegole
