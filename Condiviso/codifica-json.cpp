#include "Condiviso/codifica-json.h"

#include <cmath>
#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace ostrale::json {
namespace {

using Json = nlohmann::json;

struct Errore : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void rifiuta(const std::string& cosa) {
    throw Errore(cosa);
}

// ---- reading ----

void leggi(const Json& j, bool& v) {
    if (!j.is_boolean()) rifiuta("expected a boolean");
    v = j.get<bool>();
}

void leggi(const Json& j, std::int64_t& v) {
    if (j.is_number_integer() && !j.is_number_unsigned()) {
        v = j.get<std::int64_t>();
    } else if (j.is_number_unsigned()) {
        const auto u = j.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            rifiuta("integer out of range");
        }
        v = static_cast<std::int64_t>(u);
    } else if (j.is_number_float()) {
        // A number written with a fraction or exponent is accepted only when it is exact.
        const double d = j.get<double>();
        if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18) || std::trunc(d) != d) {
            rifiuta("expected an integer");
        }
        v = static_cast<std::int64_t>(d);
    } else {
        rifiuta("expected an integer");
    }
}

void leggi(const Json& j, std::string& v) {
    if (!j.is_string()) rifiuta("expected a string");
    v = j.get<std::string>();
}

void leggi(const Json& j, Data& v) {
    if (!j.is_number()) rifiuta("expected a date number");
    const double secondi = j.get<double>();
    if (!std::isfinite(secondi)) rifiuta("date out of range");
    v = Data::daRiferimento(secondi);
}

void leggi(const Json& j, Uuid& v) {
    if (!j.is_string()) rifiuta("expected a UUID string");
    auto uuid = Uuid::daTesto(j.get_ref<const std::string&>());
    if (!uuid) rifiuta("malformed UUID");
    v = *uuid;
}

template <typename E>
requires requires {
    ValoriGrezzi<E>::valori;
}
void leggi(const Json& j, E& v) {
    if (!j.is_string()) rifiuta("expected an enumeration text");
    const auto caso = daValoreGrezzo<E>(j.get_ref<const std::string&>());
    if (!caso) rifiuta("unknown enumeration text '" + j.get<std::string>() + "'");
    v = *caso;
}

void leggi(const Json& j, FasciaOraria& v);
void leggi(const Json& j, Regola& v);
void leggi(const Json& j, RegolaDominio& v);
void leggi(const Json& j, ImpostazioniFiltro& v);
void leggi(const Json& j, StatoRegole& v);
void leggi(const Json& j, EventoFlusso& v);
void leggi(const Json& j, ContatoreOra& v);
void leggi(const Json& j, VoceAppStorico& v);
void leggi(const Json& j, VoceIPStorico& v);
void leggi(const Json& j, PacchettoStorico& v);

template <typename T>
void leggi(const Json& j, std::vector<T>& v) {
    if (!j.is_array()) rifiuta("expected an array");
    v.clear();
    v.reserve(j.size());
    std::size_t indice = 0;
    for (const Json& elemento : j) {
        T valore{};
        try {
            leggi(elemento, valore);
        } catch (const Errore& e) {
            rifiuta("[" + std::to_string(indice) + "]: " + e.what());
        }
        v.push_back(std::move(valore));
        ++indice;
    }
}

void leggi(const Json& j, std::unordered_set<std::string>& v) {
    if (!j.is_array()) rifiuta("expected an array");
    v.clear();
    for (const Json& elemento : j) {
        std::string s;
        leggi(elemento, s);
        v.insert(std::move(s));
    }
}

template <typename T>
void leggi(const Json& j, std::unordered_map<std::string, T>& v) {
    if (!j.is_object()) rifiuta("expected an object");
    v.clear();
    v.reserve(j.size());
    for (const auto& [chiave, elemento] : j.items()) {
        T valore{};
        try {
            leggi(elemento, valore);
        } catch (const Errore& e) {
            rifiuta("\"" + chiave + "\": " + e.what());
        }
        v.emplace(chiave, std::move(valore));
    }
}

const Json& oggetto(const Json& j) {
    if (!j.is_object()) rifiuta("expected an object");
    return j;
}

template <typename T>
void richiesto(const Json& j, const char* chiave, T& v) {
    const auto it = j.find(chiave);
    if (it == j.end() || it->is_null()) rifiuta(std::string("missing key '") + chiave + "'");
    try {
        leggi(*it, v);
    } catch (const Errore& e) {
        rifiuta(std::string(chiave) + ": " + e.what());
    }
}

// Absent or null leaves `v` as it is (its default).
template <typename T>
void facoltativo(const Json& j, const char* chiave, T& v) {
    const auto it = j.find(chiave);
    if (it == j.end() || it->is_null()) return;
    try {
        leggi(*it, v);
    } catch (const Errore& e) {
        rifiuta(std::string(chiave) + ": " + e.what());
    }
}

template <typename T>
void facoltativo(const Json& j, const char* chiave, std::optional<T>& v) {
    v.reset();
    const auto it = j.find(chiave);
    if (it == j.end() || it->is_null()) return;
    T valore{};
    try {
        leggi(*it, valore);
    } catch (const Errore& e) {
        rifiuta(std::string(chiave) + ": " + e.what());
    }
    v = std::move(valore);
}

void leggi(const Json& j, FasciaOraria& v) {
    oggetto(j);
    richiesto(j, "inizio", v.inizio);
    richiesto(j, "fine", v.fine);
}

void leggi(const Json& j, Regola& v) {
    oggetto(j);
    richiesto(j, "id", v.id);
    richiesto(j, "firmaApp", v.firmaApp);
    richiesto(j, "nomeApp", v.nomeApp);
    richiesto(j, "azione", v.azione);
    richiesto(j, "attiva", v.attiva);
    facoltativo(j, "fascia", v.fascia);
}

void leggi(const Json& j, RegolaDominio& v) {
    oggetto(j);
    richiesto(j, "id", v.id);
    richiesto(j, "dominio", v.dominio);
    richiesto(j, "azione", v.azione);
    richiesto(j, "attiva", v.attiva);
}

void leggi(const Json& j, ImpostazioniFiltro& v) {
    oggetto(j);
    v = ImpostazioniFiltro{};
    facoltativo(j, "bloccaSconosciute", v.bloccaSconosciute);
    facoltativo(j, "filtraEntrata", v.filtraEntrata);
    facoltativo(j, "registraConsentiti", v.registraConsentiti);
    facoltativo(j, "quarantenaAttiva", v.quarantenaAttiva);
    facoltativo(j, "giorniQuarantena", v.giorniQuarantena);
    facoltativo(j, "avvisaAnomalie", v.avvisaAnomalie);
    facoltativo(j, "bloccaTracker", v.bloccaTracker);
    facoltativo(j, "chiediPrima", v.chiediPrima);
    facoltativo(j, "fidatiApple", v.fidatiApple);
    facoltativo(j, "escludiLan", v.escludiLan);
    facoltativo(j, "rilevaAttacchi", v.rilevaAttacchi);
}

void leggi(const Json& j, StatoRegole& v) {
    oggetto(j);
    v = StatoRegole{};
    facoltativo(j, "regole", v.regole);
    facoltativo(j, "regoleDominio", v.regoleDominio);
    facoltativo(j, "impostazioni", v.impostazioni);
}

void leggi(const Json& j, EventoFlusso& v) {
    oggetto(j);
    richiesto(j, "id", v.id);
    richiesto(j, "data", v.data);
    richiesto(j, "firmaApp", v.firmaApp);
    richiesto(j, "host", v.host);
    richiesto(j, "porta", v.porta);
    richiesto(j, "protocollo", v.protocollo);
    richiesto(j, "direzione", v.direzione);
    richiesto(j, "consentito", v.consentito);
    facoltativo(j, "motivo", v.motivo);
    facoltativo(j, "anomala", v.anomala);
    facoltativo(j, "indirizzoIP", v.indirizzoIP);
    facoltativo(j, "attacco", v.attacco);
}

void leggi(const Json& j, ContatoreOra& v) {
    oggetto(j);
    richiesto(j, "consentiti", v.consentiti);
    richiesto(j, "bloccati", v.bloccati);
    richiesto(j, "tracker", v.tracker);
}

void leggi(const Json& j, VoceAppStorico& v) {
    oggetto(j);
    richiesto(j, "totale", v.totale);
    richiesto(j, "tracker", v.tracker);
    richiesto(j, "bloccati", v.bloccati);
    richiesto(j, "anomalie", v.anomalie);
}

void leggi(const Json& j, VoceIPStorico& v) {
    oggetto(j);
    richiesto(j, "totale", v.totale);
    richiesto(j, "bloccati", v.bloccati);
    richiesto(j, "entrata", v.entrata);
    richiesto(j, "host", v.host);
    richiesto(j, "app", v.app);
}

void leggi(const Json& j, PacchettoStorico& v) {
    oggetto(j);
    richiesto(j, "ore", v.ore);
    richiesto(j, "app", v.app);
    richiesto(j, "ip", v.ip);
    richiesto(j, "primeViste", v.primeViste);
}

// ---- writing ----

Json scrivi(bool v) {
    return v;
}
Json scrivi(const std::string& v) {
    return v;
}
Json scrivi(Data v) {
    return v.secondiDalRiferimento();
}
Json scrivi(const Uuid& v) {
    return v.testo();
}

template <typename E>
requires requires {
    ValoriGrezzi<E>::valori;
}
Json scrivi(E v) {
    return std::string(valoreGrezzo(v));
}

Json scrivi(const FasciaOraria& v);
Json scrivi(const Regola& v);
Json scrivi(const RegolaDominio& v);
Json scrivi(const ImpostazioniFiltro& v);
Json scrivi(const EventoFlusso& v);
Json scrivi(const ContatoreOra& v);
Json scrivi(const VoceAppStorico& v);
Json scrivi(const VoceIPStorico& v);

template <typename T>
Json scrivi(const std::vector<T>& v) {
    Json a = Json::array();
    for (const T& elemento : v) a.push_back(scrivi(elemento));
    return a;
}

Json scrivi(const std::unordered_set<std::string>& v) {
    Json a = Json::array();
    for (const std::string& elemento : v) a.push_back(elemento);
    return a;
}

template <typename T>
Json scrivi(const std::unordered_map<std::string, T>& v) {
    Json o = Json::object();
    for (const auto& [chiave, elemento] : v) o[chiave] = scrivi(elemento);
    return o;
}

template <typename T>
void sePresente(Json& o, const char* chiave, const std::optional<T>& v) {
    if (v) o[chiave] = scrivi(*v);
}

Json scrivi(const FasciaOraria& v) {
    return {{"inizio", v.inizio}, {"fine", v.fine}};
}

Json scrivi(const Regola& v) {
    Json o = {{"id", scrivi(v.id)},
              {"firmaApp", v.firmaApp},
              {"nomeApp", v.nomeApp},
              {"azione", scrivi(v.azione)},
              {"attiva", v.attiva}};
    sePresente(o, "fascia", v.fascia);
    return o;
}

Json scrivi(const RegolaDominio& v) {
    return {{"id", scrivi(v.id)},
            {"dominio", v.dominio},
            {"azione", scrivi(v.azione)},
            {"attiva", v.attiva}};
}

Json scrivi(const ImpostazioniFiltro& v) {
    return {{"bloccaSconosciute", v.bloccaSconosciute},
            {"filtraEntrata", v.filtraEntrata},
            {"registraConsentiti", v.registraConsentiti},
            {"quarantenaAttiva", v.quarantenaAttiva},
            {"giorniQuarantena", v.giorniQuarantena},
            {"avvisaAnomalie", v.avvisaAnomalie},
            {"bloccaTracker", v.bloccaTracker},
            {"chiediPrima", v.chiediPrima},
            {"fidatiApple", v.fidatiApple},
            {"escludiLan", v.escludiLan},
            {"rilevaAttacchi", v.rilevaAttacchi}};
}

Json scrivi(const StatoRegole& v) {
    return {{"regole", scrivi(v.regole)},
            {"regoleDominio", scrivi(v.regoleDominio)},
            {"impostazioni", scrivi(v.impostazioni)}};
}

Json scrivi(const EventoFlusso& v) {
    Json o = {{"id", scrivi(v.id)},
              {"data", scrivi(v.data)},
              {"firmaApp", v.firmaApp},
              {"host", v.host},
              {"porta", v.porta},
              {"protocollo", v.protocollo},
              {"direzione", scrivi(v.direzione)},
              {"consentito", v.consentito}};
    sePresente(o, "motivo", v.motivo);
    sePresente(o, "anomala", v.anomala);
    sePresente(o, "indirizzoIP", v.indirizzoIP);
    sePresente(o, "attacco", v.attacco);
    return o;
}

Json scrivi(const ContatoreOra& v) {
    return {{"consentiti", v.consentiti}, {"bloccati", v.bloccati}, {"tracker", v.tracker}};
}

Json scrivi(const VoceAppStorico& v) {
    return {{"totale", v.totale},
            {"tracker", v.tracker},
            {"bloccati", v.bloccati},
            {"anomalie", v.anomalie}};
}

Json scrivi(const VoceIPStorico& v) {
    return {{"totale", v.totale},
            {"bloccati", v.bloccati},
            {"entrata", v.entrata},
            {"host", v.host},
            {"app", v.app}};
}

Json scrivi(const PacchettoStorico& v) {
    return {{"ore", scrivi(v.ore)},
            {"app", scrivi(v.app)},
            {"ip", scrivi(v.ip)},
            {"primeViste", scrivi(v.primeViste)}};
}

std::string comeTesto(const Json& j) {
    // Texts from the network (host names) may hold malformed UTF-8: it is replaced, never thrown.
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// Every record nests a few levels deep at most. Deeper input is refused before it is parsed,
// so a hostile document cannot make the parser build millions of nested values.
constexpr int profonditàMassima = 32;

bool troppoProfondo(std::string_view testo) {
    int profondità = 0;
    bool inStringa = false;
    for (std::size_t i = 0; i < testo.size(); ++i) {
        const char c = testo[i];
        if (inStringa) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inStringa = false;
            }
        } else if (c == '"') {
            inStringa = true;
        } else if (c == '[' || c == '{') {
            if (++profondità > profonditàMassima) return true;
        } else if (c == ']' || c == '}') {
            --profondità;
        }
    }
    return false;
}

}  // namespace

std::string codifica(const StatoRegole& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const ImpostazioniFiltro& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const Regola& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const RegolaDominio& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const EventoFlusso& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const std::vector<EventoFlusso>& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const PacchettoStorico& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const StoricoOre& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const StoricoApp& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const StoricoIP& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const PrimeViste& v) {
    return comeTesto(scrivi(v));
}
std::string codifica(const Abitudini& v) {
    return comeTesto(scrivi(v));
}

template <typename T>
Risultato<T> decodifica(std::string_view testo) {
    if (troppoProfondo(testo)) return Risultato<T>::rifiuto("nested too deeply");
    try {
        const Json j = Json::parse(testo.begin(), testo.end());
        T valore{};
        leggi(j, valore);
        return valore;
    } catch (const Errore& e) {
        return Risultato<T>::rifiuto(e.what());
    } catch (const Json::exception& e) {
        return Risultato<T>::rifiuto(e.what());
    }
}

template Risultato<StatoRegole> decodifica(std::string_view);
template Risultato<ImpostazioniFiltro> decodifica(std::string_view);
template Risultato<Regola> decodifica(std::string_view);
template Risultato<RegolaDominio> decodifica(std::string_view);
template Risultato<EventoFlusso> decodifica(std::string_view);
template Risultato<std::vector<EventoFlusso>> decodifica(std::string_view);
template Risultato<PacchettoStorico> decodifica(std::string_view);
template Risultato<StoricoOre> decodifica(std::string_view);
template Risultato<StoricoApp> decodifica(std::string_view);
template Risultato<StoricoIP> decodifica(std::string_view);
template Risultato<PrimeViste> decodifica(std::string_view);
template Risultato<Abitudini> decodifica(std::string_view);

}  // namespace ostrale::json
