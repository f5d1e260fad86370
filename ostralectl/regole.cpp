// SPDX-License-Identifier: GPL-3.0-or-later
// `regole`: the rules and settings listed, edited one named change at a time, exported and
// imported, through the daemon whenever one answers and in the container's file otherwise.
#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "Condiviso/codifica-json.h"
#include "Condiviso/orologio.h"
#include "Condiviso/risultato.h"
#include "Condiviso/scambio-regole.h"
#include "ostralectl/comandi.h"
#include "ostralectl/fonte-regole.h"

namespace ostrale::ctl {
namespace {

constexpr std::string_view comando = "regole";

int sbagliato(std::string_view perché) {
    return argomentiSbagliati(comando, perché);
}

void mostraRegole(const StatoRegole& stato, bool comeJson) {
    if (comeJson) {
        std::cout << json::codifica(stato) << std::endl;
        return;
    }
    const Data adesso = OrologioDiSistema().adesso();
    Tabella app({t("ACTION", "AZIONE"), t("ACTIVE", "ATTIVA"), t("WINDOW", "FASCIA"),
                 t("DURATION", "DURATA"), t("APPLICATION", "APPLICAZIONE")});
    for (const auto& r : stato.regole) {
        app.aggiungi({testoAzione(r.azione), testoSìNo(r.attiva), testoFascia(r.fascia),
                      testoDurata(r.durata, adesso), r.firmaApp});
    }
    // A domain rule's scope: the host, and the application and port it is narrowed to.
    Tabella domini({t("ACTION", "AZIONE"), t("ACTIVE", "ATTIVA"), t("DURATION", "DURATA"),
                    t("DOMAIN", "DOMINIO")});
    for (const auto& r : stato.regoleDominio) {
        domini.aggiungi({testoAzione(r.azione), testoSìNo(r.attiva), testoDurata(r.durata, adesso),
                         nomeRegola(r)});
    }
    std::string impostazioni;
    ImpostazioniParziali::perOgniCampo([&](std::string_view nome, auto, auto campo) {
        const auto valore = stato.impostazioni.*campo;
        if constexpr (std::is_same_v<decltype(valore), const bool>) {
            impostazioni +=
                (impostazioni.empty() ? "" : ", ") + std::string(nome) + " " + testoSìNo(valore);
        } else {
            // A number belongs to the switch before it: "quarantenaAttiva yes (giorniQuarantena
            // 3)".
            impostazioni += " (" + std::string(nome) + " " + std::to_string(valore) + ")";
        }
    });
    std::cout << app.testo() << "\n" << domini.testo() << "\n" << impostazioni << "\n";
}

// The id of the application's rule, as the rules stand.
std::optional<Uuid> idRegolaApp(const StatoRegole& stato, const std::string& firma) {
    for (const Regola& r : stato.regole) {
        if (r.firmaApp == firma) return r.id;
    }
    return std::nullopt;
}

// The domain rule of exactly that scope (a plain one when `ambito` names no application or
// port), as the rules stand; else why not, with the scopes the domain has.
Risultato<Uuid> idRegolaDominio(const StatoRegole& stato, RegolaDominio ambito) {
    ambito.dominio = RegolaDominio::normalizza(ambito.dominio);
    std::string altre;
    for (const RegolaDominio& r : stato.regoleDominio) {
        if (r.stessoAmbito(ambito)) return r.id;
        if (r.dominio == ambito.dominio) altre += (altre.empty() ? "" : "; ") + nomeRegola(r);
    }
    std::string motivo = t("no rule for '", "nessuna regola per '") + nomeRegola(ambito) + "'";
    if (!altre.empty()) {
        motivo += t(" (there are: " + altre + "; name one with --app and --porta)",
                    " (ci sono: " + altre + "; nominane una con --app e --porta)");
    }
    return Risultato<Uuid>::rifiuto(motivo);
}

// `--app FIRMA` and `--porta N` narrow `r`; an error says what is wrong.
std::optional<std::string> restringi(const OpzioniComando& o, RegolaDominio& r) {
    if (const auto* firma = o.valore("--app")) {
        if (const auto errore = controllaIdentità(*firma)) return "--app: " + *errore;
        r.firmaApp = *firma;
    }
    return leggiPorta(o, r.porta);
}

// `regole imposta CHIAVE VALORE` into `campi`; an error says what is wrong.
std::optional<std::string> imposta(std::string_view chiave, std::string_view valore,
                                   ImpostazioniParziali& campi) {
    const std::string c(chiave);
    const std::string v(valore);
    if (chiave == "giorniQuarantena") {
        std::int64_t giorni = -1;
        const auto [fine, errore] = std::from_chars(v.data(), v.data() + v.size(), giorni);
        if (errore != std::errc() || fine != v.data() + v.size() || giorni < 0 || giorni > 3650) {
            return t("giorniQuarantena wants a number of days from 0 to 3650, not '" + v + "'",
                     "giorniQuarantena vuole un numero di giorni da 0 a 3650, non '" + v + "'");
        }
        campi.giorniQuarantena = giorni;
        return std::nullopt;
    }
    std::string nomi;
    bool trovata = false;
    std::optional<std::string> errore;
    ImpostazioniParziali::perOgniCampo([&](std::string_view nome, auto parziale, auto) {
        nomi += (nomi.empty() ? "" : ", ") + std::string(nome);
        if constexpr (std::is_same_v<std::remove_reference_t<decltype(campi.*parziale)>,
                                     std::optional<bool>>) {
            if (nome != chiave) return;
            trovata = true;
            const auto sìNo = leggiSìNo(valore);
            if (!sìNo) {
                errore = t(c + " wants yes or no, not '" + v + "'",
                           c + " vuole sì o no, non '" + v + "'");
                return;
            }
            campi.*parziale = *sìNo;
        }
    });
    if (!trovata) {
        return t("unknown setting '" + c + "' (the settings: " + nomi + ")",
                 "impostazione sconosciuta '" + c + "' (le impostazioni: " + nomi + ")");
    }
    return errore;
}

// A rule's duration in a plan: "for ever", "until restart", "until 2026-05-01 18:00".
std::string durataAssoluta(const Durata& d) {
    if (d.avvio) return t("until restart", "fino al riavvio");
    if (d.scadenza) return t("until ", "fino al ") + ora(*d.scadenza, "%Y-%m-%d %H:%M");
    return t("for ever", "per sempre");
}

std::string testoAttiva(bool attiva) {
    return attiva ? t("active", "attiva") : t("inactive", "inattiva");
}

// What an import will do, a line each, in the language of this run: the rules added, changed
// (each with what changes) and removed, and the settings.
struct Descrizione {
    std::vector<std::string> aggiunte, cambiate, rimosse;
};

Descrizione descrivi(const StatoRegole& attuali, const scambio::Piano& piano) {
    Descrizione d;
    auto app = [&](const Uuid& id) -> const Regola* {
        const auto it = std::ranges::find(attuali.regole, id, &Regola::id);
        return it == attuali.regole.end() ? nullptr : &*it;
    };
    auto dominio = [&](const Uuid& id) -> const RegolaDominio* {
        const auto it = std::ranges::find(attuali.regoleDominio, id, &RegolaDominio::id);
        return it == attuali.regoleDominio.end() ? nullptr : &*it;
    };
    auto nome = [&](const Uuid& id) {
        if (const Regola* r = app(id)) return "app " + r->firmaApp;
        if (const RegolaDominio* r = dominio(id)) return t("domain ", "dominio ") + nomeRegola(*r);
        return id.testo();
    };
    // The changes of one rule come one after the other: they make one line.
    std::optional<Uuid> ultimo;
    auto cambia = [&](const Uuid& id, const std::string& cosa) {
        if (ultimo == id) {
            d.cambiate.back() += ", " + cosa;
        } else {
            d.cambiate.push_back(nome(id) + ": " + cosa);
            ultimo = id;
        }
    };
    for (const ModificaRegole& m : piano.passi) {
        const std::string durata =
            m.durata.perSempre() ? std::string() : ", " + durataAssoluta(m.durata);
        switch (m.operazione) {
            case OperazioneRegole::aggiungiRegola:
                d.aggiunte.push_back(
                    "app " + m.firma + ": " + testoAzione(*m.azione) + ", " +
                    testoAttiva(m.attiva.value_or(true)) + ", " +
                    (m.fascia ? m.fascia->testo() : t("no window", "senza fascia")) + durata);
                break;
            case OperazioneRegole::aggiungiRegolaDominio: {
                RegolaDominio ambito;
                ambito.dominio = RegolaDominio::normalizza(m.dominio);
                if (!m.firma.empty()) ambito.firmaApp = m.firma;
                ambito.porta = m.porta;
                d.aggiunte.push_back(t("domain ", "dominio ") + nomeRegola(ambito) + ": " +
                                     testoAzione(*m.azione) + ", " +
                                     testoAttiva(m.attiva.value_or(true)) + durata);
                break;
            }
            case OperazioneRegole::rimuovi:
                d.rimosse.push_back(nome(*m.id));
                break;
            case OperazioneRegole::azione: {
                const Regola* r = app(*m.id);
                const RegolaDominio* rd = dominio(*m.id);
                const auto prima = r ? r->azione : rd ? rd->azione : *m.azione;
                cambia(*m.id, testoAzione(prima) + " → " + testoAzione(*m.azione));
                break;
            }
            case OperazioneRegole::attiva:
                cambia(*m.id, testoAttiva(!*m.attiva) + " → " + testoAttiva(*m.attiva));
                break;
            case OperazioneRegole::durata: {
                const Regola* r = app(*m.id);
                const RegolaDominio* rd = dominio(*m.id);
                const Durata prima = r ? r->durata : rd ? rd->durata : Durata{};
                cambia(*m.id, durataAssoluta(prima) + " → " + durataAssoluta(m.durata));
                break;
            }
            case OperazioneRegole::fascia: {
                const Regola* r = app(*m.id);
                const auto prima = r ? r->fascia : std::nullopt;
                auto testo = [](const std::optional<FasciaOraria>& f) {
                    return f ? f->testo() : t("no window", "senza fascia");
                };
                cambia(*m.id, testo(prima) + " → " + testo(m.fascia));
                break;
            }
            case OperazioneRegole::impostazioni: {
                std::string cambi;
                ImpostazioniParziali::perOgniCampo(
                    [&](std::string_view n, auto parziale, auto campo) {
                        const auto& nuovo = m.impostazioni.*parziale;
                        if (!nuovo) return;
                        auto testo = [](auto v) {
                            if constexpr (std::is_same_v<decltype(v), bool>) {
                                return testoSìNo(v);
                            } else {
                                return std::to_string(v);
                            }
                        };
                        cambi += (cambi.empty() ? " " : ", ") + std::string(n) + " " +
                                 testo(attuali.impostazioni.*campo) + " → " + testo(*nuovo);
                    });
                d.cambiate.push_back(t("settings:", "impostazioni:") + cambi);
                ultimo.reset();
                break;
            }
        }
    }
    return d;
}

// `regole esporta [FILE]`.
int esporta(const Opzioni& o) {
    const auto& a = o.argomenti;
    if (a.size() > 3)
        return sbagliato(
            t("regole esporta takes at most a file", "regole esporta vuole al più un file"));
    FonteRegole fonte(o);
    if (const auto esito = fonte.apri()) return *esito;
    int esito = esitoOk;
    const auto stato = fonte.leggi(esito);
    if (!stato) return esito;
    fonte.diciFile(false);
    const std::string testo = scambio::esporta(*stato);
    if (a.size() == 2) {
        std::cout << testo;
        return esitoOk;
    }
    std::ofstream file(a[2], std::ios::binary | std::ios::trunc);
    if (!file || !(file << testo) || !file.flush()) {
        dici(t("cannot write " + a[2], "non posso scrivere " + a[2]));
        return esitoFallito;
    }
    const std::string app = std::to_string(stato->regole.size());
    const std::string domini = std::to_string(stato->regoleDominio.size());
    dici(t(
        app + " application rules, " + domini + " domain rules and the settings written to " + a[2],
        app + " regole di applicazione, " + domini +
            " regole di dominio e le impostazioni scritte in " + a[2]));
    return esitoOk;
}

// `regole importa FILE [--sostituisci]`: the whole file checked and the edits tried before the
// first is sent.
int importa(const Opzioni& o) {
    const auto& a = o.argomenti;
    const bool sostituisci = a.size() == 4 && a[3] == "--sostituisci";
    if (a.size() != 3 && !sostituisci) {
        return sbagliato(t("regole importa takes a file, then --sostituisci if wanted",
                           "regole importa vuole un file, poi --sostituisci se serve"));
    }
    const std::string& nome = a[2];
    const std::string nienteImportato = t(": nothing imported", ": non è stato importato nulla");
    std::error_code errore;
    const auto dimensione = std::filesystem::file_size(nome, errore);
    if (errore) {
        dici(t("cannot read ", "non posso leggere ") + nome + ": " + testoErrore(errore));
        return esitoArgomenti;
    }
    if (dimensione > scambio::dimensioneMassima) {
        const std::string massimo = std::to_string(scambio::dimensioneMassima >> 20);
        dici(t(nome + " is larger than " + massimo + " MiB", nome + " supera " + massimo + " MiB") +
             nienteImportato);
        return esitoArgomenti;
    }
    std::ifstream file(nome, std::ios::binary);
    const std::string testo((std::istreambuf_iterator<char>(file)), {});
    const auto importate = scambio::leggi(testo);
    if (!importate) {
        dici(nome + ": " + motivoInLingua(importate.motivo()) + nienteImportato);
        return esitoArgomenti;
    }
    FonteRegole fonte(o);
    if (const auto esito = fonte.apri()) return *esito;
    int esito = esitoOk;
    const auto attuali = fonte.leggi(esito);
    if (!attuali) return esito;
    const auto piano = scambio::pianifica(*attuali, *importate, sostituisci);
    if (!piano) {
        dici(motivoInLingua(piano.motivo()) + nienteImportato);
        return esitoFallito;
    }
    const Descrizione d = descrivi(*attuali, *piano);
    for (const auto& riga : d.aggiunte)
        std::cout << colonna(t("added", "aggiunta"), 9) << riga << "\n";
    for (const auto& riga : d.cambiate)
        std::cout << colonna(t("changed", "cambiata"), 9) << riga << "\n";
    for (const auto& riga : d.rimosse)
        std::cout << colonna(t("removed", "rimossa"), 9) << riga << "\n";
    std::size_t fatti = 0;
    for (const ModificaRegole& m : piano->passi) {
        const auto risposta = fonte.modifica(m);
        // Refused now only when the rules changed since they were read (another client).
        if (!risposta || èRifiuto(risposta->esito)) {
            const std::string quanti =
                std::to_string(fatti) + t(" of ", " di ") + std::to_string(piano->passi.size());
            if (risposta) {
                dici(testoEsito(risposta->esito) +
                     t(" after " + quanti + " edits: run the import again",
                       " dopo " + quanti + " modifiche: ripeti l'importazione"));
            }
            fonte.diciFile(fatti > 0);
            return risposta ? esitoFallito : esitoNonConnesso;
        }
        ++fatti;
    }
    const std::string aggiunte = std::to_string(d.aggiunte.size());
    const std::string cambiate = std::to_string(d.cambiate.size());
    const std::string rimosse = std::to_string(d.rimosse.size());
    std::cout << t(aggiunte + " added, " + cambiate + " changed, " + rimosse + " removed",
                   aggiunte + " aggiunte, " + cambiate + " cambiate, " + rimosse + " rimosse")
              << "\n";
    std::cout.flush();
    if (piano->vuoto()) dici(t("nothing to change", "niente da cambiare"));
    fonte.diciFile(!piano->vuoto());
    return esitoOk;
}

}  // namespace

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
    // An application rule set again without a window option keeps its window: it is told.
    std::optional<std::string> tieneFascia;
    const std::string& cosa = a.size() > 1 ? a[1] : std::string();
    const std::string azioni =
        t("the action is allow or block (consenti or blocca)", "l'azione è consenti o blocca");
    if (a.size() == 1) {
        // only listed
    } else if (cosa == "app" && a.size() >= 4) {
        if (a[3] == "attiva" || a[3] == "disattiva" || a[3] == "on" || a[3] == "off") {
            if (a.size() != 4) {
                return sbagliato(t("unexpected '" + a[4] + "'", "'" + a[4] + "' non è atteso qui"));
            }
            passi.push_back(
                {.modifica = ModificaRegole::attivazione(Uuid{}, a[3] == "attiva" || a[3] == "on"),
                 .app = a[2]});
        } else {
            if (const auto errore = controllaIdentità(a[2])) return sbagliato(*errore);
            const auto az = leggiAzione(a[3]);
            if (!az) return sbagliato(azioni);
            const auto lette = leggiOpzioni(a, 4, {"--fascia", "--per"}, {"--senza-fascia"});
            if (lette.errore) return sbagliato(*lette.errore);
            if (lette.ha("--fascia") && lette.ha("--senza-fascia")) {
                return sbagliato(t("--fascia and --senza-fascia exclude each other",
                                   "--fascia e --senza-fascia si escludono"));
            }
            auto nuova = ModificaRegole::nuovaRegola(a[2], *az);
            if (const auto* fascia = lette.valore("--fascia")) {
                if (const auto errore = leggiFascia(*fascia, nuova.fascia))
                    return sbagliato(*errore);
            }
            if (const auto errore = leggiDurata(lette, nuova.durata)) return sbagliato(*errore);
            passi.push_back({.modifica = nuova});
            // A new rule has no window anyway; an existing one keeps its own unless told.
            if (lette.ha("--senza-fascia")) {
                passi.push_back({.modifica = ModificaRegole::cambioFascia(Uuid{}, std::nullopt),
                                 .idPrecedente = true});
            } else if (!lette.ha("--fascia")) {
                tieneFascia = a[2];
            }
        }
    } else if (cosa == "dominio" && a.size() >= 4) {
        if (const auto errore = controllaDominio(a[2])) return sbagliato(*errore);
        const auto az = leggiAzione(a[3]);
        if (!az) return sbagliato(azioni);
        const auto lette = leggiOpzioni(a, 4, {"--app", "--porta", "--per"});
        if (lette.errore) return sbagliato(*lette.errore);
        RegolaDominio ambito;
        if (const auto errore = restringi(lette, ambito)) return sbagliato(*errore);
        auto nuova = ModificaRegole::nuovaRegolaDominio(a[2], *az);
        nuova.firma = ambito.firmaApp.value_or("");
        nuova.porta = ambito.porta;
        if (const auto errore = leggiDurata(lette, nuova.durata)) return sbagliato(*errore);
        passi.push_back({.modifica = nuova});
    } else if ((cosa == "permanente" || cosa == "rimuovi") && a.size() >= 4 &&
               (a[2] == "app" || a[2] == "dominio")) {
        const auto modifica = cosa == "rimuovi" ? ModificaRegole::rimozione(Uuid{})
                                                : ModificaRegole::cambioDurata(Uuid{}, Durata{});
        if (a[2] == "app") {
            if (a.size() != 4) {
                return sbagliato(t("unexpected '" + a[4] + "'", "'" + a[4] + "' non è atteso qui"));
            }
            passi.push_back({.modifica = modifica, .app = a[3]});
        } else {
            const auto lette = leggiOpzioni(a, 4, {"--app", "--porta"});
            if (lette.errore) return sbagliato(*lette.errore);
            RegolaDominio ambito;
            ambito.dominio = a[3];
            if (const auto errore = restringi(lette, ambito)) return sbagliato(*errore);
            passi.push_back({.modifica = modifica, .dominio = ambito});
        }
    } else if (cosa == "imposta" && a.size() == 4) {
        ImpostazioniParziali campi;
        if (const auto errore = imposta(a[2], a[3], campi)) return sbagliato(*errore);
        passi.push_back({.modifica = ModificaRegole::cambioImpostazioni(campi)});
    } else {
        return sbagliato(t("unknown use of regole", "uso sconosciuto di regole"));
    }

    FonteRegole fonte(o);
    if (const auto esito = fonte.apri()) return *esito;
    int esito = esitoOk;
    std::optional<Uuid> precedente;
    bool cambiate = false;
    std::optional<FasciaOraria> fasciaTenuta;
    // Every rule a step names must exist before the first edit is sent.
    if (!passi.empty()) {
        const auto stato = fonte.leggi(esito);
        if (!stato) return esito;
        for (Passo& p : passi) {
            if (p.app) {
                p.modifica.id = idRegolaApp(*stato, *p.app);
                if (!p.modifica.id) {
                    return sbagliato(
                        t("no rule for '" + *p.app + "'", "nessuna regola per '" + *p.app + "'"));
                }
            } else if (p.dominio) {
                const auto id = idRegolaDominio(*stato, *p.dominio);
                if (!id) return sbagliato(id.motivo());
                p.modifica.id = *id;
            }
        }
        if (tieneFascia) {
            const auto it = std::ranges::find(stato->regole, *tieneFascia, &Regola::firmaApp);
            if (it != stato->regole.end()) fasciaTenuta = it->fascia;
        }
    }
    for (Passo& p : passi) {
        if (p.idPrecedente) p.modifica.id = precedente;
        const auto risposta = fonte.modifica(p.modifica);
        if (!risposta) {
            fonte.diciFile(cambiate);
            return esitoNonConnesso;
        }
        if (èRifiuto(risposta->esito)) {
            dici(testoEsito(risposta->esito));
            fonte.diciFile(cambiate);
            return esitoFallito;
        }
        cambiate |= risposta->esito == EsitoModifica::cambiata;
        precedente = risposta->id;
    }
    if (!passi.empty() && !cambiate) dici(t("nothing to change", "niente da cambiare"));
    if (fasciaTenuta) {
        const std::string f = fasciaTenuta->testo();
        dici(t("the existing window " + f + " is kept (--senza-fascia removes it)",
               "la fascia esistente " + f + " resta (--senza-fascia la toglie)"));
    }
    const auto stato = fonte.leggi(esito);
    if (!stato) return esito;
    fonte.diciFile(cambiate);
    mostraRegole(*stato, o.json);
    return esitoOk;
}

}  // namespace ostrale::ctl
