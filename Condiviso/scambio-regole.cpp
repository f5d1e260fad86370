// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/scambio-regole.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>
#include <tuple>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "Condiviso/codifica-json.h"

namespace ostrale::scambio {
namespace {

constexpr const char* nomeFormato = "ostrale-regole";

std::string testoAzione(AzioneRegola a) {
    return std::string(valoreGrezzo(a));
}

std::string testoFascia(const std::optional<FasciaOraria>& f) {
    return f ? f->testo() : "no window";
}

std::string testoAttiva(bool attiva) {
    return attiva ? "active" : "inactive";
}

std::string testoDurata(const Durata& d) {
    if (d.avvio) return "until restart";
    if (d.scadenza) {
        const std::time_t t = d.scadenza->secondiUnixInteri();
        std::tm tm{};
        gmtime_r(&t, &tm);
        char testo[32];
        std::strftime(testo, sizeof testo, "%Y-%m-%d %H:%M UTC", &tm);
        return std::string("until ") + testo;
    }
    return "for ever";
}

// Line and column (from 1) of the byte at `posizione` (from 1, as the parser counts).
std::string dove(std::string_view testo, std::size_t posizione) {
    std::size_t riga = 1, colonna = 1;
    for (std::size_t i = 0; i + 1 < posizione && i < testo.size(); ++i) {
        if (testo[i] == '\n') {
            ++riga;
            colonna = 1;
        } else {
            ++colonna;
        }
    }
    return "line " + std::to_string(riga) + ", column " + std::to_string(colonna);
}

}  // namespace

std::string nomeRegola(const RegolaDominio& r) {
    std::string nome = r.dominio;
    if (r.porta) nome += " port " + std::to_string(*r.porta);
    if (r.firmaApp) nome += " for " + *r.firmaApp;
    return nome;
}

std::string esporta(const StatoRegole& stato) {
    // The rules' own form, with the format's name and version first.
    nlohmann::ordered_json file;
    file["formato"] = nomeFormato;
    file["versione"] = versioneFormato;
    const auto regole = nlohmann::ordered_json::parse(json::codifica(stato));
    for (auto it = regole.begin(); it != regole.end(); ++it) file[it.key()] = it.value();
    return file.dump(2) + "\n";
}

Risultato<StatoRegole> leggi(std::string_view testo) {
    if (testo.size() > dimensioneMassima) {
        return Risultato<StatoRegole>::rifiuto("the file is larger than " +
                                               std::to_string(dimensioneMassima >> 20) + " MiB");
    }
    nlohmann::json file;
    try {
        file = nlohmann::json::parse(testo);
    } catch (const nlohmann::json::parse_error& e) {
        return Risultato<StatoRegole>::rifiuto("not JSON at " + dove(testo, e.byte));
    } catch (const nlohmann::json::exception& e) {
        // A number out of range, say: no place to point at.
        return Risultato<StatoRegole>::rifiuto(std::string("not JSON: ") + e.what());
    }
    if (!file.is_object() || file.value("formato", nlohmann::json()) != nomeFormato) {
        return Risultato<StatoRegole>::rifiuto("not a file of exported rules (no \"formato\": \"" +
                                               std::string(nomeFormato) + "\")");
    }
    const auto versione = file.find("versione");
    if (versione == file.end() || !versione->is_number_integer() ||
        versione->get<std::int64_t>() != versioneFormato) {
        return Risultato<StatoRegole>::rifiuto(
            "version " + (versione == file.end() ? std::string("missing") : versione->dump()) +
            "; this program reads version " + std::to_string(versioneFormato));
    }
    std::string regole;
    try {
        regole = file.dump();
    } catch (const nlohmann::json::exception&) {
        return Risultato<StatoRegole>::rifiuto("the file holds text that is not UTF-8");
    }
    auto stato = json::decodifica<StatoRegole>(regole);
    if (!stato) return Risultato<StatoRegole>::rifiuto(stato.motivo());

    std::set<Uuid> id;
    std::set<std::string> app;
    std::set<std::tuple<std::string, std::optional<std::string>, std::optional<std::int64_t>>>
        domini;
    for (const Regola& r : stato->regole) {
        if (!id.insert(r.id).second) {
            return Risultato<StatoRegole>::rifiuto("two rules have the id " + r.id.testo());
        }
        if (!app.insert(r.firmaApp).second) {
            return Risultato<StatoRegole>::rifiuto("two rules for the application " + r.firmaApp);
        }
    }
    for (const RegolaDominio& r : stato->regoleDominio) {
        if (!id.insert(r.id).second) {
            return Risultato<StatoRegole>::rifiuto("two rules have the id " + r.id.testo());
        }
        const auto firma = r.firmaApp && !r.firmaApp->empty() ? r.firmaApp : std::nullopt;
        if (!domini.insert({RegolaDominio::normalizza(r.dominio), firma, r.porta}).second) {
            return Risultato<StatoRegole>::rifiuto("two rules for the domain " + nomeRegola(r));
        }
    }
    return stato;
}

Risultato<Piano> pianifica(const StatoRegole& attuali, const StatoRegole& importate,
                           bool sostituisci) {
    Piano piano;
    std::set<Uuid> tenute;

    // A rule of the file against the rules in force: the one of its id, else of its name.
    auto unisci = [&](const auto& r, const auto& elenco, const std::string& nome, auto delNome,
                      ModificaRegole nuova, const char* genere, std::string dettagli) {
        auto esistente =
            std::find_if(elenco.begin(), elenco.end(), [&](const auto& a) { return a.id == r.id; });
        if (esistente == elenco.end())
            esistente = std::find_if(elenco.begin(), elenco.end(), delNome);
        if (esistente == elenco.end()) {
            if (!r.attiva) nuova.attiva = false;
            piano.passi.push_back(std::move(nuova));
            piano.nomiAggiunti.push_back(nome);
            piano.aggiunte.push_back(std::string(genere) + " " + nome + ": " +
                                     testoAzione(r.azione) + ", " + testoAttiva(r.attiva) +
                                     dettagli);
            return;
        }
        tenute.insert(esistente->id);
        std::vector<std::string> cosa;
        if (esistente->azione != r.azione) {
            piano.passi.push_back(ModificaRegole::cambioAzione(esistente->id, r.azione));
            cosa.push_back(testoAzione(esistente->azione) + " → " + testoAzione(r.azione));
        }
        if (esistente->attiva != r.attiva) {
            piano.passi.push_back(ModificaRegole::attivazione(esistente->id, r.attiva));
            cosa.push_back(testoAttiva(esistente->attiva) + " → " + testoAttiva(r.attiva));
        }
        if (esistente->durata != r.durata) {
            piano.passi.push_back(ModificaRegole::cambioDurata(esistente->id, r.durata));
            cosa.push_back(testoDurata(esistente->durata) + " → " + testoDurata(r.durata));
        }
        if constexpr (std::is_same_v<std::decay_t<decltype(r)>, Regola>) {
            if (esistente->fascia != r.fascia) {
                piano.passi.push_back(ModificaRegole::cambioFascia(esistente->id, r.fascia));
                cosa.push_back(testoFascia(esistente->fascia) + " → " + testoFascia(r.fascia));
            }
        }
        if (cosa.empty()) return;
        piano.nomiCambiati.push_back(nome);
        std::string riga = std::string(genere) + " " + nome + ":";
        for (std::size_t i = 0; i < cosa.size(); ++i) riga += (i ? ", " : " ") + cosa[i];
        piano.cambiate.push_back(std::move(riga));
    };
    for (const Regola& r : importate.regole) {
        ModificaRegole nuova = ModificaRegole::nuovaRegola(r.firmaApp, r.azione);
        nuova.fascia = r.fascia;
        nuova.durata = r.durata;
        unisci(
            r, attuali.regole, r.firmaApp,
            [&](const Regola& a) { return a.firmaApp == r.firmaApp; }, std::move(nuova), "app",
            ", " + testoFascia(r.fascia) +
                (r.durata.perSempre() ? std::string() : ", " + testoDurata(r.durata)));
    }
    for (const RegolaDominio& r : importate.regoleDominio) {
        RegolaDominio normale = r;
        normale.dominio = RegolaDominio::normalizza(r.dominio);
        if (normale.firmaApp && normale.firmaApp->empty()) normale.firmaApp.reset();
        ModificaRegole nuova = ModificaRegole::nuovaRegolaDominio(r.dominio, r.azione);
        nuova.firma = r.firmaApp.value_or("");
        nuova.porta = r.porta;
        nuova.durata = r.durata;
        unisci(
            r, attuali.regoleDominio, nomeRegola(normale),
            [&](const RegolaDominio& a) { return a.stessoAmbito(normale); }, std::move(nuova),
            "domain", r.durata.perSempre() ? std::string() : ", " + testoDurata(r.durata));
    }

    if (sostituisci) {
        for (const Regola& r : attuali.regole) {
            if (tenute.contains(r.id)) continue;
            piano.passi.push_back(ModificaRegole::rimozione(r.id));
            piano.rimosse.push_back("app " + r.firmaApp);
            piano.nomiRimossi.push_back(r.firmaApp);
        }
        for (const RegolaDominio& r : attuali.regoleDominio) {
            if (tenute.contains(r.id)) continue;
            piano.passi.push_back(ModificaRegole::rimozione(r.id));
            piano.rimosse.push_back("domain " + nomeRegola(r));
            piano.nomiRimossi.push_back(nomeRegola(r));
        }
    }

    ImpostazioniParziali impostazioni;
    std::string cambi;
    ImpostazioniParziali::perOgniCampo([&](std::string_view nome, auto parziale, auto campo) {
        if (attuali.impostazioni.*campo == importate.impostazioni.*campo) return;
        impostazioni.*parziale = importate.impostazioni.*campo;
        auto testo = [](auto v) {
            if constexpr (std::is_same_v<decltype(v), bool>) {
                return std::string(v ? "yes" : "no");
            } else {
                return std::to_string(v);
            }
        };
        cambi += (cambi.empty() ? " " : ", ") + std::string(nome) + " " +
                 testo(attuali.impostazioni.*campo) + " → " + testo(importate.impostazioni.*campo);
    });
    if (!cambi.empty()) {
        piano.passi.push_back(ModificaRegole::cambioImpostazioni(impostazioni));
        piano.cambiate.push_back("settings:" + cambi);
        piano.impostazioniCambiate = true;
    }

    // Tried on a copy: an edit refused there would be refused by the extension too.
    StatoRegole prova = attuali;
    for (const ModificaRegole& m : piano.passi) {
        const RispostaModifica risposta = applica(prova, m);
        if (èRifiuto(risposta.esito)) {
            const std::string chi = !m.firma.empty()     ? "application " + m.firma
                                    : !m.dominio.empty() ? "domain " + m.dominio
                                                         : "an edit";
            return Risultato<Piano>::rifiuto(chi + ": " + std::string(descrizione(risposta.esito)));
        }
    }
    return piano;
}

StatoRegole applicato(StatoRegole stato, const Piano& piano) {
    for (const ModificaRegole& m : piano.passi) applica(stato, m);
    return stato;
}

}  // namespace ostrale::scambio
