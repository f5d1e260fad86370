#include "Condiviso/archivio-regole.h"

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

// What the file holds; a file that does not decode is put aside, once, before it is replaced.
std::optional<StatoRegole> leggiPerCambiare() {
    const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole);
    if (!testo) return std::nullopt;
    auto stato = json::decodifica<StatoRegole>(*testo);
    if (stato) return std::move(stato).valore();
    registro().errore("regole.json non leggibile (" + stato.motivo() + "): lo conservo come " +
                      std::string(nomeIlleggibile));
    ArchivioCondiviso::salvaFile(*testo, nomeIlleggibile);
    return std::nullopt;
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
    const auto blocco = BloccoFile::prendi(*percorsoBlocco, attesaBlocco);
    if (!blocco) {
        registro().errore("regole.json: another writer holds " + percorsoBlocco->string());
        return {EsitoModifica::nonSalvata, {}};
    }
    StatoRegole stato = leggiPerCambiare().value_or(base);
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
    const auto blocco = BloccoFile::prendi(*percorsoBlocco, attesaBlocco);
    if (!blocco) return false;
    return ArchivioCondiviso::salvaJSON(stato, ArchivioCondiviso::nomeRegole);
}

}  // namespace ostrale::ArchivioRegole
