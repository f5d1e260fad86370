#include "Condiviso/modifica-regole.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "Condiviso/testo.h"

namespace ostrale::ModificaRegole {

bool aggiungiRegola(StatoRegole& stato, std::string_view firma, AzioneRegola azione) {
    if (firma.empty() || firma == "sconosciuta") return false;
    const auto it = std::find_if(stato.regole.begin(), stato.regole.end(),
                                 [&](const Regola& r) { return r.firmaApp == firma; });
    if (it != stato.regole.end()) {
        it->azione = azione;
        it->attiva = true;
        return true;
    }
    Regola nuova;
    nuova.firmaApp = std::string(firma);
    nuova.nomeApp = std::string(firma);
    nuova.azione = azione;
    nuova.attiva = true;
    stato.regole.push_back(std::move(nuova));
    return true;
}

bool aggiungiRegolaDominio(StatoRegole& stato, std::string_view testo, AzioneRegola azione) {
    const std::string dominio = RegolaDominio::normalizza(testo);
    if (dominio.find('.') == std::string::npos || dominio.size() < 4) return false;
    const auto it = std::find_if(stato.regoleDominio.begin(), stato.regoleDominio.end(),
                                 [&](const RegolaDominio& r) { return r.dominio == dominio; });
    if (it != stato.regoleDominio.end()) {
        it->azione = azione;
        it->attiva = true;
        return true;
    }
    stato.regoleDominio.push_back({Uuid::genera(), dominio, azione, true});
    return true;
}

namespace {

Regola* trova(StatoRegole& stato, std::string_view firma) {
    const auto it = std::find_if(stato.regole.begin(), stato.regole.end(),
                                 [&](const Regola& r) { return r.firmaApp == firma; });
    return it == stato.regole.end() ? nullptr : &*it;
}

std::optional<bool> comeBool(std::string_view v) {
    const std::string s = testo::minuscole(v);
    if (s == "sì" || s == "si" || s == "true" || s == "on" || s == "1") return true;
    if (s == "no" || s == "false" || s == "off" || s == "0") return false;
    return std::nullopt;
}

}  // namespace

bool impostaFascia(StatoRegole& stato, std::string_view firma, std::optional<FasciaOraria> fascia) {
    Regola* r = trova(stato, firma);
    if (!r) return false;
    r->fascia = fascia;
    return true;
}

bool impostaAttiva(StatoRegole& stato, std::string_view firma, bool attiva) {
    Regola* r = trova(stato, firma);
    if (!r) return false;
    r->attiva = attiva;
    return true;
}

bool rimuoviRegola(StatoRegole& stato, std::string_view firma) {
    return std::erase_if(stato.regole, [&](const Regola& r) { return r.firmaApp == firma; }) > 0;
}

bool rimuoviRegolaDominio(StatoRegole& stato, std::string_view dominio) {
    const std::string normalizzato = RegolaDominio::normalizza(dominio);
    return std::erase_if(stato.regoleDominio,
                         [&](const RegolaDominio& r) { return r.dominio == normalizzato; }) > 0;
}

std::optional<std::string> imposta(ImpostazioniFiltro& imp, std::string_view chiave,
                                   std::string_view valore) {
    if (chiave == "giorniQuarantena") {
        std::int64_t giorni = 0;
        const auto [fine, errore] =
            std::from_chars(valore.data(), valore.data() + valore.size(), giorni);
        if (errore != std::errc() || fine != valore.data() + valore.size() || giorni < 0 ||
            giorni > 3650) {
            return "giorniQuarantena wants a number of days from 0 to 3650";
        }
        imp.giorniQuarantena = giorni;
        return std::nullopt;
    }
    const std::pair<std::string_view, bool ImpostazioniFiltro::*> interruttori[] = {
        {"bloccaSconosciute", &ImpostazioniFiltro::bloccaSconosciute},
        {"filtraEntrata", &ImpostazioniFiltro::filtraEntrata},
        {"registraConsentiti", &ImpostazioniFiltro::registraConsentiti},
        {"quarantenaAttiva", &ImpostazioniFiltro::quarantenaAttiva},
        {"avvisaAnomalie", &ImpostazioniFiltro::avvisaAnomalie},
        {"bloccaTracker", &ImpostazioniFiltro::bloccaTracker},
        {"chiediPrima", &ImpostazioniFiltro::chiediPrima},
        {"fidatiApple", &ImpostazioniFiltro::fidatiApple},
        {"escludiLan", &ImpostazioniFiltro::escludiLan},
        {"rilevaAttacchi", &ImpostazioniFiltro::rilevaAttacchi},
    };
    for (const auto& [nome, campo] : interruttori) {
        if (nome != chiave) continue;
        const auto v = comeBool(valore);
        if (!v) return std::string(chiave) + " wants sì or no";
        imp.*campo = *v;
        return std::nullopt;
    }
    return "unknown setting '" + std::string(chiave) + "'";
}

}  // namespace ostrale::ModificaRegole
