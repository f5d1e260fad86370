// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/modifica-regole.h"

#include <algorithm>
#include <charconv>
#include <type_traits>
#include <utility>

#include "Condiviso/testo.h"

namespace ostrale {
namespace {

constexpr std::int64_t giorniMassimi = 3650;
constexpr std::int64_t minutiDelGiorno = 1440;

bool fasciaValida(const FasciaOraria& f) {
    return f.inizio >= 0 && f.inizio <= minutiDelGiorno && f.fine >= 0 && f.fine <= minutiDelGiorno;
}

std::optional<bool> comeBool(std::string_view v) {
    const std::string s = testo::minuscole(v);
    if (s == "sì" || s == "si" || s == "yes" || s == "true" || s == "on" || s == "1") return true;
    if (s == "no" || s == "false" || s == "off" || s == "0") return false;
    return std::nullopt;
}

EsitoModifica applicaImpostazioni(ImpostazioniFiltro& imp, const ImpostazioniParziali& p) {
    if (p.giorniQuarantena && (*p.giorniQuarantena < 0 || *p.giorniQuarantena > giorniMassimi)) {
        return EsitoModifica::valoreNonValido;
    }
    ImpostazioniFiltro nuove = imp;
    ImpostazioniParziali::perOgniCampo([&](std::string_view, auto parziale, auto campo) {
        if (p.*parziale) nuove.*campo = *(p.*parziale);
    });
    if (nuove == imp) return EsitoModifica::invariata;
    imp = nuove;
    return EsitoModifica::cambiata;
}

// The rule of either kind with `id`: its action and whether it is active.
struct Trovata {
    Regola* app = nullptr;
    RegolaDominio* dominio = nullptr;
    explicit operator bool() const { return app || dominio; }
    AzioneRegola& azione() { return app ? app->azione : dominio->azione; }
    bool& attiva() { return app ? app->attiva : dominio->attiva; }
};

Trovata trova(StatoRegole& stato, const Uuid& id) {
    for (Regola& r : stato.regole) {
        if (r.id == id) return {&r, nullptr};
    }
    for (RegolaDominio& r : stato.regoleDominio) {
        if (r.id == id) return {nullptr, &r};
    }
    return {};
}

RispostaModifica aggiungiRegola(StatoRegole& stato, const ModificaRegole& m) {
    if (m.firma.empty()) return {EsitoModifica::nomeVuoto, {}};
    if (m.firma == "sconosciuta") return {EsitoModifica::appSconosciuta, {}};
    const auto it = std::find_if(stato.regole.begin(), stato.regole.end(),
                                 [&](const Regola& r) { return r.firmaApp == m.firma; });
    // Active unless the edit says otherwise; a window only when the edit gives one; as long as
    // the edit says (for ever when it says nothing).
    const bool attiva = m.attiva.value_or(true);
    if (m.fascia && !fasciaValida(*m.fascia)) return {EsitoModifica::fasciaNonValida, {}};
    if (it != stato.regole.end()) {
        // An existing rule takes the action (and window, and duration); its name stays.
        if (it->azione == *m.azione && it->attiva == attiva &&
            (!m.fascia || it->fascia == m.fascia) && it->durata == m.durata)
            return {EsitoModifica::invariata, it->id};
        it->azione = *m.azione;
        it->attiva = attiva;
        if (m.fascia) it->fascia = m.fascia;
        it->durata = m.durata;
        return {EsitoModifica::cambiata, it->id};
    }
    Regola nuova;
    nuova.firmaApp = m.firma;
    nuova.nomeApp = m.firma;
    nuova.azione = *m.azione;
    nuova.attiva = attiva;
    nuova.fascia = m.fascia;
    nuova.durata = m.durata;
    stato.regole.push_back(nuova);
    return {EsitoModifica::cambiata, nuova.id};
}

// "10.0.0.0/8": a network, which a rule of one address would silently shrink to its first.
bool èRete(std::string_view testo) {
    testo = testo::rifila(testo);
    const auto barra = testo.find('/');
    return barra != std::string_view::npos && RegolaDominio::èIndirizzo(testo.substr(0, barra)) &&
           barra + 1 < testo.size() &&
           testo.find_first_not_of("0123456789", barra + 1) == std::string_view::npos;
}

RispostaModifica aggiungiRegolaDominio(StatoRegole& stato, const ModificaRegole& m) {
    if (èRete(m.dominio)) return {EsitoModifica::dominioNonValido, {}};
    if (m.firma == "sconosciuta") return {EsitoModifica::appSconosciuta, {}};
    if (m.porta && (*m.porta < 1 || *m.porta > 65535)) return {EsitoModifica::portaNonValida, {}};
    RegolaDominio nuova;
    nuova.dominio = RegolaDominio::normalizza(m.dominio);
    if (!RegolaDominio::èIndirizzo(nuova.dominio) &&
        (nuova.dominio.find('.') == std::string::npos || nuova.dominio.size() < 4)) {
        return {EsitoModifica::dominioNonValido, {}};
    }
    if (m.fascia) return {EsitoModifica::senzaFascia, {}};
    nuova.azione = *m.azione;
    nuova.attiva = m.attiva.value_or(true);
    if (!m.firma.empty()) nuova.firmaApp = m.firma;
    nuova.porta = m.porta;
    nuova.durata = m.durata;
    // The same host, application and port: that rule takes the action and the duration.
    const auto it = std::find_if(stato.regoleDominio.begin(), stato.regoleDominio.end(),
                                 [&](const RegolaDominio& r) { return r.stessoAmbito(nuova); });
    if (it != stato.regoleDominio.end()) {
        if (it->azione == nuova.azione && it->attiva == nuova.attiva && it->durata == nuova.durata)
            return {EsitoModifica::invariata, it->id};
        it->azione = nuova.azione;
        it->attiva = nuova.attiva;
        it->durata = nuova.durata;
        return {EsitoModifica::cambiata, it->id};
    }
    stato.regoleDominio.push_back(nuova);
    return {EsitoModifica::cambiata, nuova.id};
}

bool completa(const ModificaRegole& m) {
    switch (m.operazione) {
        case OperazioneRegole::aggiungiRegola:
        case OperazioneRegole::aggiungiRegolaDominio:
            return m.azione.has_value();
        case OperazioneRegole::rimuovi:
        case OperazioneRegole::fascia:
        case OperazioneRegole::durata:
            return m.id.has_value();
        case OperazioneRegole::attiva:
            return m.id && m.attiva;
        case OperazioneRegole::azione:
            return m.id && m.azione;
        case OperazioneRegole::impostazioni:
            return true;
    }
    return false;
}

}  // namespace

std::optional<std::string> ImpostazioniParziali::impostaDaTesto(std::string_view chiave,
                                                                std::string_view valore) {
    if (chiave == "giorniQuarantena") {
        std::int64_t giorni = 0;
        const auto [fine, errore] =
            std::from_chars(valore.data(), valore.data() + valore.size(), giorni);
        if (errore != std::errc() || fine != valore.data() + valore.size() || giorni < 0 ||
            giorni > giorniMassimi) {
            return "giorniQuarantena wants a number of days from 0 to 3650";
        }
        giorniQuarantena = giorni;
        return std::nullopt;
    }
    std::optional<std::string> errore = "unknown setting '" + std::string(chiave) + "'";
    perOgniCampo([&](std::string_view nome, auto parziale, auto) {
        if constexpr (std::is_same_v<std::remove_reference_t<decltype(this->*parziale)>,
                                     std::optional<bool>>) {
            if (nome != chiave) return;
            const auto v = comeBool(valore);
            if (!v) {
                errore = std::string(chiave) + " wants yes or no (sì or no)";
                return;
            }
            this->*parziale = *v;
            errore.reset();
        }
    });
    return errore;
}

ModificaRegole ModificaRegole::nuovaRegola(std::string firma, AzioneRegola azione) {
    ModificaRegole m;
    m.operazione = OperazioneRegole::aggiungiRegola;
    m.firma = std::move(firma);
    m.azione = azione;
    return m;
}

ModificaRegole ModificaRegole::nuovaRegolaDominio(std::string dominio, AzioneRegola azione) {
    ModificaRegole m;
    m.operazione = OperazioneRegole::aggiungiRegolaDominio;
    m.dominio = std::move(dominio);
    m.azione = azione;
    return m;
}

ModificaRegole ModificaRegole::rimozione(Uuid id) {
    ModificaRegole m;
    m.operazione = OperazioneRegole::rimuovi;
    m.id = id;
    return m;
}

ModificaRegole ModificaRegole::attivazione(Uuid id, bool attiva) {
    ModificaRegole m;
    m.operazione = OperazioneRegole::attiva;
    m.id = id;
    m.attiva = attiva;
    return m;
}

ModificaRegole ModificaRegole::cambioAzione(Uuid id, AzioneRegola azione) {
    ModificaRegole m;
    m.operazione = OperazioneRegole::azione;
    m.id = id;
    m.azione = azione;
    return m;
}

ModificaRegole ModificaRegole::cambioFascia(Uuid id, std::optional<FasciaOraria> fascia) {
    ModificaRegole m;
    m.operazione = OperazioneRegole::fascia;
    m.id = id;
    m.fascia = fascia;
    return m;
}

ModificaRegole ModificaRegole::cambioImpostazioni(ImpostazioniParziali impostazioni) {
    ModificaRegole m;
    m.operazione = OperazioneRegole::impostazioni;
    m.impostazioni = impostazioni;
    return m;
}

ModificaRegole ModificaRegole::cambioDurata(Uuid id, Durata durata) {
    ModificaRegole m;
    m.operazione = OperazioneRegole::durata;
    m.id = id;
    m.durata = std::move(durata);
    return m;
}

std::string_view descrizione(EsitoModifica esito) {
    switch (esito) {
        case EsitoModifica::cambiata:
            return "changed";
        case EsitoModifica::invariata:
            return "nothing to change";
        case EsitoModifica::nomeVuoto:
            return "an application rule needs the application's identity";
        case EsitoModifica::appSconosciuta:
            return "the application could not be identified: no rule can name it";
        case EsitoModifica::dominioNonValido:
            return "not a domain (it needs a dot and at least 4 characters) nor an address";
        case EsitoModifica::regolaInesistente:
            return "no such rule";
        case EsitoModifica::fasciaNonValida:
            return "a time window runs between minutes 0 and 1440 of the day";
        case EsitoModifica::senzaFascia:
            return "domain rules have no time window";
        case EsitoModifica::valoreNonValido:
            return "giorniQuarantena wants a number of days from 0 to 3650";
        case EsitoModifica::incompleta:
            return "the edit lacks what it needs";
        case EsitoModifica::nonSalvata:
            return "the rules file could not be written";
        case EsitoModifica::nonInviata:
            return "the extension did not answer";
        case EsitoModifica::portaNonValida:
            return "a port is a number from 1 to 65535";
    }
    return "?";
}

RispostaModifica applica(StatoRegole& stato, const ModificaRegole& m) {
    if (!completa(m)) return {EsitoModifica::incompleta, {}};
    switch (m.operazione) {
        case OperazioneRegole::aggiungiRegola:
            return aggiungiRegola(stato, m);
        case OperazioneRegole::aggiungiRegolaDominio:
            return aggiungiRegolaDominio(stato, m);
        case OperazioneRegole::impostazioni:
            return {applicaImpostazioni(stato.impostazioni, m.impostazioni), {}};
        default:
            break;
    }
    Trovata r = trova(stato, *m.id);
    if (!r) return {EsitoModifica::regolaInesistente, m.id};
    auto esito = [&](bool cambiata) {
        return RispostaModifica{cambiata ? EsitoModifica::cambiata : EsitoModifica::invariata,
                                m.id};
    };
    switch (m.operazione) {
        case OperazioneRegole::rimuovi:
            if (r.app) {
                std::erase_if(stato.regole, [&](const Regola& x) { return x.id == *m.id; });
            } else {
                std::erase_if(stato.regoleDominio,
                              [&](const RegolaDominio& x) { return x.id == *m.id; });
            }
            return esito(true);
        case OperazioneRegole::attiva:
            return esito(std::exchange(r.attiva(), *m.attiva) != *m.attiva);
        case OperazioneRegole::azione:
            return esito(std::exchange(r.azione(), *m.azione) != *m.azione);
        case OperazioneRegole::fascia:
            if (!r.app) return {EsitoModifica::senzaFascia, m.id};
            if (m.fascia && !fasciaValida(*m.fascia)) return {EsitoModifica::fasciaNonValida, m.id};
            return esito(std::exchange(r.app->fascia, m.fascia) != m.fascia);
        case OperazioneRegole::durata:
            return esito(std::exchange(r.app ? r.app->durata : r.dominio->durata, m.durata) !=
                         m.durata);
        default:
            return {EsitoModifica::incompleta, {}};
    }
}

}  // namespace ostrale
