// SPDX-License-Identifier: GPL-3.0-or-later
// The user's rules: as the file holds them, changed one edit at a time, and as the verdicts
// look them up.
#include "Estensione/filter-data-provider.h"

#include <algorithm>

#include "Condiviso/archivio-regole.h"
#include "Condiviso/testo.h"

namespace ostrale {

std::optional<RegolaDominio> FilterDataProvider::Stato::regolaPerIndirizzo(
    const std::optional<std::string>& ip, Data adesso) const {
    if (!ip || regoleDominio.empty()) return std::nullopt;
    const auto it = regoleDominio.find(*ip);
    if (it == regoleDominio.end() || !it->second.attiva ||
        it->second.durata.finita(adesso, idAvvio()))
        return std::nullopt;
    return it->second;
}

std::optional<RegolaDominio> FilterDataProvider::Stato::regolaPerDominio(std::string_view host,
                                                                         Data adesso) const {
    if (host == "?" || regoleDominio.empty()) return std::nullopt;
    // Each ending of at least two labels of the host, lower case, longest first.
    std::size_t etichette;
    const std::string nome = testo::nomeNormalizzato(host, etichette);
    std::string_view resto = nome;
    for (; etichette >= 2; --etichette) {
        if (lunghezzeDomini[std::min<std::size_t>(resto.size(), 255)]) {
            const auto it = regoleDominio.find(resto);
            if (it != regoleDominio.end() && it->second.attiva &&
                !it->second.durata.finita(adesso, idAvvio()))
                return it->second;
        }
        resto.remove_prefix(resto.find('.') + 1);
    }
    return std::nullopt;
}

std::optional<RegolaDominio> FilterDataProvider::Stato::regolaRistretta(
    const std::string& firma, std::string_view host, const std::optional<std::string>& ip,
    std::string_view porta, Data adesso) const {
    if (regoleRistrette.empty()) return std::nullopt;
    const RegolaDominio* migliore = nullptr;
    std::tuple<int, bool, std::size_t> rango{};
    auto considera = [&](const std::vector<RegolaDominio>& elenco) {
        for (const RegolaDominio& r : elenco) {
            if (!r.attiva || r.durata.finita(adesso, idAvvio())) continue;
            if (r.porta && porta != std::to_string(*r.porta)) continue;
            const bool diIndirizzo = ip && r.dominio == *ip;
            if (!diIndirizzo && !copreHost(r.dominio, host, std::nullopt)) continue;
            const std::tuple<int, bool, std::size_t> questo{
                (r.firmaApp ? 2 : 0) + (r.porta ? 1 : 0), diIndirizzo, r.dominio.size()};
            if (!migliore || questo > rango) {
                migliore = &r;
                rango = questo;
            }
        }
    };
    if (const auto it = regoleRistrette.find(firma); it != regoleRistrette.end())
        considera(it->second);
    if (const auto it = regoleRistrette.find(std::string()); it != regoleRistrette.end())
        considera(it->second);
    return migliore ? std::optional<RegolaDominio>(*migliore) : std::nullopt;
}

void FilterDataProvider::applicaRegole(const StatoRegole& stato) {
    // A rule of an earlier boot never applies again; one that runs out is skipped when judged.
    const std::string& avvio = idAvvio();
    auto diQuestoAvvio = [&](const Durata& d) { return !d.avvio || *d.avvio == avvio; };
    std::unordered_map<std::string, Regola> regole;
    for (const Regola& r : stato.regole) {
        if (diQuestoAvvio(r.durata)) regole.insert_or_assign(r.firmaApp, r);
    }
    std::unordered_map<std::string, RegolaDominio, HashTesto, std::equal_to<>> regoleDominio;
    std::unordered_map<std::string, std::vector<RegolaDominio>> ristrette;
    std::bitset<256> lunghezze;
    bool consentiPerDominio = false;
    for (RegolaDominio r : stato.regoleDominio) {
        if (!diQuestoAvvio(r.durata)) continue;
        consentiPerDominio |= r.attiva && r.azione == AzioneRegola::consenti;
        // An address as the flows write it, however the file has it.
        r.dominio =
            RegolaDominio::indirizzoCanonico(r.dominio).value_or(testo::minuscole(r.dominio));
        if (r.ristretta()) {
            ristrette[r.firmaApp.value_or("")].push_back(std::move(r));
            continue;
        }
        lunghezze.set(std::min<std::size_t>(r.dominio.size(), 255));
        std::string chiave = r.dominio;
        regoleDominio.insert_or_assign(std::move(chiave), std::move(r));
    }
    auto s = coda_.blocca();
    s->regole = std::move(regole);
    s->regoleDominio = std::move(regoleDominio);
    s->regoleRistrette = std::move(ristrette);
    s->lunghezzeDomini = lunghezze;
    s->consentiPerDominio = consentiPerDominio;
    s->impostazioni = stato.impostazioni;
}

void FilterDataProvider::caricaRegole() {
    std::lock_guard blocco(mutexRegole_);
    regoleUtente_ = ArchivioRegole::leggi().value_or(StatoRegole{});
    applicaRegole(regoleUtente_);
    log_.info("Regole caricate: " + std::to_string(regoleUtente_.regole.size()) + " app, " +
              std::to_string(regoleUtente_.regoleDominio.size()) + " domini");
}

RispostaModifica FilterDataProvider::modificaRegole(const ModificaRegole& modifica) {
    std::lock_guard blocco(mutexRegole_);
    StatoRegole dopo;
    const RispostaModifica risposta = ArchivioRegole::modifica(modifica, regoleUtente_, dopo);
    if (risposta.esito == EsitoModifica::nonSalvata) {
        log_.errore("Regole non salvate: la modifica non si applica");
        return risposta;
    }
    // Also when this edit changed nothing: the file may hold another program's change.
    if (dopo != regoleUtente_) {
        regoleUtente_ = std::move(dopo);
        applicaRegole(regoleUtente_);
        d_.canale.regoleCambiate(regoleUtente_);
    }
    if (risposta.esito == EsitoModifica::cambiata) {
        log_.info("Regole modificate (" + std::string(valoreGrezzo(modifica.operazione)) +
                  "): " + std::to_string(regoleUtente_.regole.size()) + " app, " +
                  std::to_string(regoleUtente_.regoleDominio.size()) + " domini");
    }
    return risposta;
}

bool FilterDataProvider::sostituisciRegole(const StatoRegole& stato) {
    std::lock_guard blocco(mutexRegole_);
    if (!ArchivioRegole::sostituisci(stato)) {
        log_.errore("Regole ricevute via XPC non salvate: restano le precedenti");
        return false;
    }
    log_.info("Regole ricevute via XPC: " + std::to_string(stato.regole.size()));
    if (stato == regoleUtente_) return true;
    regoleUtente_ = stato;
    applicaRegole(regoleUtente_);
    d_.canale.regoleCambiate(regoleUtente_);
    return true;
}

StatoRegole FilterDataProvider::regoleUtente() {
    std::lock_guard blocco(mutexRegole_);
    if (auto lette = ArchivioRegole::leggi(); lette && *lette != regoleUtente_) {
        log_.info("Regole cambiate nel file da un altro programma: le applico");
        regoleUtente_ = std::move(*lette);
        applicaRegole(regoleUtente_);
        d_.canale.regoleCambiate(regoleUtente_);
    }
    return regoleUtente_;
}

void FilterDataProvider::rimuoviScadute() {
    std::vector<std::pair<Uuid, std::string>> finite;
    {
        std::lock_guard blocco(mutexRegole_);
        const Data adesso = d_.orologio.adesso();
        for (const Regola& r : regoleUtente_.regole) {
            if (r.durata.finita(adesso, idAvvio())) finite.emplace_back(r.id, r.firmaApp);
        }
        for (const RegolaDominio& r : regoleUtente_.regoleDominio) {
            if (r.durata.finita(adesso, idAvvio())) finite.emplace_back(r.id, r.dominio);
        }
    }
    // One edit each, as any client's: stored, applied and announced in order.
    for (const auto& [id, nome] : finite) {
        if (modificaRegole(ModificaRegole::rimozione(id)).esito == EsitoModifica::cambiata)
            log_.info("Regola scaduta rimossa: " + nome);
    }
}

}  // namespace ostrale
