// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/codifica-json.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "Condiviso/testo.h"

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
void leggi(const Json& j, InformazioniEstensione& v);
void leggi(const Json& j, ImpostazioniParziali& v);
void leggi(const Json& j, ModificaRegole& v);
void leggi(const Json& j, RispostaModifica& v);

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

// An object into a map of its keys (either kind of map).
template <typename M>
void leggiMappa(const Json& j, M& v) {
    if (!j.is_object()) rifiuta("expected an object");
    v.clear();
    for (const auto& [chiave, elemento] : j.items()) {
        typename M::mapped_type valore{};
        try {
            leggi(elemento, valore);
        } catch (const Errore& e) {
            rifiuta("\"" + chiave + "\": " + e.what());
        }
        v.emplace(chiave, std::move(valore));
    }
}

template <typename T>
void leggi(const Json& j, std::unordered_map<std::string, T>& v) {
    if (j.is_object()) v.reserve(j.size());
    leggiMappa(j, v);
}

template <typename T>
void leggi(const Json& j, std::map<std::string, T>& v) {
    leggiMappa(j, v);
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
    facoltativo(j, "scadenza", v.durata.scadenza);
    facoltativo(j, "avvio", v.durata.avvio);
}

void leggi(const Json& j, RegolaDominio& v) {
    oggetto(j);
    richiesto(j, "id", v.id);
    richiesto(j, "dominio", v.dominio);
    richiesto(j, "azione", v.azione);
    richiesto(j, "attiva", v.attiva);
    facoltativo(j, "firmaApp", v.firmaApp);
    facoltativo(j, "porta", v.porta);
    facoltativo(j, "scadenza", v.durata.scadenza);
    facoltativo(j, "avvio", v.durata.avvio);
}

void leggi(const Json& j, RispostaSospesi& v) {
    oggetto(j);
    richiesto(j, "firma", v.firma);
    richiesto(j, "consenti", v.consenti);
    facoltativo(j, "unaVolta", v.unaVolta);
    facoltativo(j, "dominio", v.dominio);
    facoltativo(j, "porta", v.porta);
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
    facoltativo(j, "utente", v.utente);
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

void leggi(const Json& j, InformazioniEstensione& v) {
    oggetto(j);
    richiesto(j, "versione", v.versione);
    richiesto(j, "appConnessa", v.appConnessa);
    richiesto(j, "domandeInAttesa", v.domandeInAttesa);
    facoltativo(j, "appInAttesa", v.appInAttesa);
}

void leggi(const Json& j, ImpostazioniParziali& v) {
    oggetto(j);
    v = ImpostazioniParziali{};
    ImpostazioniParziali::perOgniCampo(
        [&](const char* nome, auto campo, auto) { facoltativo(j, nome, v.*campo); });
}

void leggi(const Json& j, ModificaRegole& v) {
    oggetto(j);
    v = ModificaRegole{};
    richiesto(j, "operazione", v.operazione);
    facoltativo(j, "id", v.id);
    facoltativo(j, "firma", v.firma);
    facoltativo(j, "dominio", v.dominio);
    facoltativo(j, "azione", v.azione);
    facoltativo(j, "attiva", v.attiva);
    facoltativo(j, "fascia", v.fascia);
    facoltativo(j, "porta", v.porta);
    facoltativo(j, "scadenza", v.durata.scadenza);
    facoltativo(j, "avvio", v.durata.avvio);
    facoltativo(j, "impostazioni", v.impostazioni);
}

void leggi(const Json& j, RispostaModifica& v) {
    oggetto(j);
    v = RispostaModifica{};
    richiesto(j, "esito", v.esito);
    facoltativo(j, "id", v.id);
}

// ---- writing ----
// Written straight into the output text, without building a document first: the extension
// encodes its whole memory every minute and every event it pushes.

class Scrittore {
  public:
    std::string testo;

    void valore(bool v) { testo += v ? "true" : "false"; }
    void valore(std::int64_t v) { numero(v); }
    void valore(Data v) {
        const double d = v.secondiDalRiferimento();
        numero(std::isfinite(d) ? d : 0.0);
    }
    void valore(const Uuid& v) { stringa(v.testo()); }
    void valore(const std::string& v) { stringa(v); }
    template <typename E>
    requires requires { ValoriGrezzi<E>::valori; }
    void valore(E v) { stringa(valoreGrezzo(v)); }

    void valore(const FasciaOraria& v) {
        Oggetto o(*this);
        o.campo("inizio", v.inizio);
        o.campo("fine", v.fine);
    }
    void valore(const Regola& v) {
        Oggetto o(*this);
        o.campo("id", v.id);
        o.campo("firmaApp", v.firmaApp);
        o.campo("nomeApp", v.nomeApp);
        o.campo("azione", v.azione);
        o.campo("attiva", v.attiva);
        o.campo("fascia", v.fascia);
        o.campo("scadenza", v.durata.scadenza);
        o.campo("avvio", v.durata.avvio);
    }
    void valore(const RegolaDominio& v) {
        Oggetto o(*this);
        o.campo("id", v.id);
        o.campo("dominio", v.dominio);
        o.campo("azione", v.azione);
        o.campo("attiva", v.attiva);
        o.campo("firmaApp", v.firmaApp);
        o.campo("porta", v.porta);
        o.campo("scadenza", v.durata.scadenza);
        o.campo("avvio", v.durata.avvio);
    }
    void valore(const RispostaSospesi& v) {
        Oggetto o(*this);
        o.campo("firma", v.firma);
        o.campo("consenti", v.consenti);
        o.campo("unaVolta", v.unaVolta);
        o.campo("dominio", v.dominio);
        o.campo("porta", v.porta);
    }
    void valore(const ImpostazioniFiltro& v) {
        Oggetto o(*this);
        o.campo("bloccaSconosciute", v.bloccaSconosciute);
        o.campo("filtraEntrata", v.filtraEntrata);
        o.campo("registraConsentiti", v.registraConsentiti);
        o.campo("quarantenaAttiva", v.quarantenaAttiva);
        o.campo("giorniQuarantena", v.giorniQuarantena);
        o.campo("avvisaAnomalie", v.avvisaAnomalie);
        o.campo("bloccaTracker", v.bloccaTracker);
        o.campo("chiediPrima", v.chiediPrima);
        o.campo("fidatiApple", v.fidatiApple);
        o.campo("escludiLan", v.escludiLan);
        o.campo("rilevaAttacchi", v.rilevaAttacchi);
    }
    void valore(const StatoRegole& v) {
        Oggetto o(*this);
        o.campo("regole", v.regole);
        o.campo("regoleDominio", v.regoleDominio);
        o.campo("impostazioni", v.impostazioni);
    }
    void valore(const EventoFlusso& v) {
        Oggetto o(*this);
        o.campo("id", v.id);
        o.campo("data", v.data);
        o.campo("firmaApp", v.firmaApp);
        o.campo("host", v.host);
        o.campo("porta", v.porta);
        o.campo("protocollo", v.protocollo);
        o.campo("direzione", v.direzione);
        o.campo("consentito", v.consentito);
        o.campo("motivo", v.motivo);
        o.campo("anomala", v.anomala);
        o.campo("indirizzoIP", v.indirizzoIP);
        o.campo("attacco", v.attacco);
        o.campo("utente", v.utente);
    }
    void valore(const ContatoreOra& v) {
        Oggetto o(*this);
        o.campo("consentiti", v.consentiti);
        o.campo("bloccati", v.bloccati);
        o.campo("tracker", v.tracker);
    }
    void valore(const VoceAppStorico& v) {
        Oggetto o(*this);
        o.campo("totale", v.totale);
        o.campo("tracker", v.tracker);
        o.campo("bloccati", v.bloccati);
        o.campo("anomalie", v.anomalie);
    }
    void valore(const VoceIPStorico& v) {
        Oggetto o(*this);
        o.campo("totale", v.totale);
        o.campo("bloccati", v.bloccati);
        o.campo("entrata", v.entrata);
        o.campo("host", v.host);
        o.campo("app", v.app);
    }
    void valore(const PacchettoStorico& v) {
        Oggetto o(*this);
        o.campo("ore", v.ore);
        o.campo("app", v.app);
        o.campo("ip", v.ip);
        o.campo("primeViste", v.primeViste);
    }
    void valore(const InformazioniEstensione& v) {
        Oggetto o(*this);
        o.campo("versione", v.versione);
        o.campo("appConnessa", v.appConnessa);
        o.campo("domandeInAttesa", v.domandeInAttesa);
        o.campo("appInAttesa", v.appInAttesa);
    }
    void valore(const ImpostazioniParziali& v) {
        Oggetto o(*this);
        ImpostazioniParziali::perOgniCampo(
            [&](const char* nome, auto campo, auto) { o.campo(nome, v.*campo); });
    }
    void valore(const ModificaRegole& v) {
        Oggetto o(*this);
        o.campo("operazione", v.operazione);
        o.campo("id", v.id);
        if (!v.firma.empty()) o.campo("firma", v.firma);
        if (!v.dominio.empty()) o.campo("dominio", v.dominio);
        o.campo("azione", v.azione);
        o.campo("attiva", v.attiva);
        o.campo("fascia", v.fascia);
        o.campo("porta", v.porta);
        o.campo("scadenza", v.durata.scadenza);
        o.campo("avvio", v.durata.avvio);
        if (v.impostazioni != ImpostazioniParziali{}) o.campo("impostazioni", v.impostazioni);
    }
    void valore(const RispostaModifica& v) {
        Oggetto o(*this);
        o.campo("esito", v.esito);
        o.campo("id", v.id);
    }
    template <typename T>
    void valore(const std::shared_ptr<const T>& v) {
        valore(*v);
    }
    template <typename T>
    void valore(const std::vector<T>& v) {
        testo.reserve(testo.size() + v.size() * 64);
        testo.push_back('[');
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (i > 0) testo.push_back(',');
            valore(v[i]);
        }
        testo.push_back(']');
    }
    void valore(const std::unordered_set<std::string>& v) {
        testo.push_back('[');
        bool primo = true;
        for (const std::string& elemento : v) {
            if (!primo) testo.push_back(',');
            primo = false;
            stringa(elemento);
        }
        testo.push_back(']');
    }
    template <typename T>
    void valore(const std::map<std::string, T>& v) {
        mappa(v);
    }
    template <typename T>
    void valore(const std::unordered_map<std::string, T>& v) {
        mappa(v);
    }
    // An object of a map's entries, in the map's order.
    template <typename M>
    void mappa(const M& v) {
        testo.push_back('{');
        bool primo = true;
        for (const auto& [chiave, elemento] : v) {
            if (!primo) testo.push_back(',');
            primo = false;
            stringa(chiave);
            testo.push_back(':');
            valore(elemento);
        }
        testo.push_back('}');
    }

  private:
    // The members of one object; an absent optional member is left out.
    class Oggetto {
      public:
        explicit Oggetto(Scrittore& s) : s_(s) { s_.testo.push_back('{'); }
        ~Oggetto() { s_.testo.push_back('}'); }
        Oggetto(const Oggetto&) = delete;
        Oggetto& operator=(const Oggetto&) = delete;

        template <typename T>
        void campo(std::string_view nome, const T& v) {
            chiave(nome);
            s_.valore(v);
        }
        template <typename T>
        void campo(std::string_view nome, const std::optional<T>& v) {
            if (!v) return;
            chiave(nome);
            s_.valore(*v);
        }

      private:
        void chiave(std::string_view nome) {
            if (!primo_) s_.testo.push_back(',');
            primo_ = false;
            s_.testo.push_back('"');
            s_.testo.append(nome);
            s_.testo += "\":";
        }
        Scrittore& s_;
        bool primo_ = true;
    };

    template <typename N>
    void numero(N v) {
        char buffer[32];
        const auto [fine, errore] = std::to_chars(buffer, buffer + sizeof buffer, v);
        testo.append(buffer, fine);
    }

    // A JSON string; malformed UTF-8 (texts from the network) becomes U+FFFD.
    void stringa(std::string_view s) {
        testo.push_back('"');
        std::size_t i = 0;
        while (i < s.size()) {
            // Runs of characters that need no care are copied at once.
            std::size_t fine = i;
            while (fine < s.size()) {
                const auto c = static_cast<unsigned char>(s[fine]);
                if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') break;
                ++fine;
            }
            testo.append(s.data() + i, fine - i);
            i = fine;
            if (i == s.size()) break;
            const auto c = static_cast<unsigned char>(s[i]);
            if (c >= 0x80) {
                const std::size_t lunghezza = testo::lunghezzaUtf8(s, i);
                if (lunghezza == 0) {
                    testo += "\xEF\xBF\xBD";
                    ++i;
                } else {
                    testo.append(s.substr(i, lunghezza));
                    i += lunghezza;
                }
            } else if (c == '"' || c == '\\') {
                testo.push_back('\\');
                testo.push_back(static_cast<char>(c));
                ++i;
            } else {
                static constexpr char esadecimali[] = "0123456789abcdef";
                testo += "\\u00";
                testo.push_back(esadecimali[c >> 4]);
                testo.push_back(esadecimali[c & 0xF]);
                ++i;
            }
        }
        testo.push_back('"');
    }
};

template <typename T>
std::string comeTesto(const T& valore) {
    Scrittore scrittore;
    scrittore.valore(valore);
    return std::move(scrittore.testo);
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
    return comeTesto(v);
}
std::string codifica(const ImpostazioniFiltro& v) {
    return comeTesto(v);
}
std::string codifica(const Regola& v) {
    return comeTesto(v);
}
std::string codifica(const RegolaDominio& v) {
    return comeTesto(v);
}
std::string codifica(const EventoFlusso& v) {
    return comeTesto(v);
}
std::string codifica(const std::vector<EventoFlusso>& v) {
    return comeTesto(v);
}
std::string codifica(const PacchettoStorico& v) {
    return comeTesto(v);
}
std::string codifica(const StoricoOre& v) {
    return comeTesto(v);
}
std::string codifica(const StoricoApp& v) {
    return comeTesto(v);
}
std::string codifica(const StoricoIP& v) {
    return comeTesto(v);
}
std::string codifica(const PrimeViste& v) {
    return comeTesto(v);
}
std::string codifica(const Abitudini& v) {
    return comeTesto(v);
}
std::string codifica(const RegistroCondiviso& v) {
    return comeTesto(v);
}
std::string codifica(const InformazioniEstensione& v) {
    return comeTesto(v);
}
std::string codifica(const Conteggi& v) {
    return comeTesto(v);
}
std::string codifica(const Testi& v) {
    return comeTesto(v);
}
std::string codifica(const ModificaRegole& v) {
    return comeTesto(v);
}
std::string codifica(const RispostaModifica& v) {
    return comeTesto(v);
}
std::string codifica(const RispostaSospesi& v) {
    return comeTesto(v);
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
template Risultato<RispostaSospesi> decodifica(std::string_view);
template Risultato<EventoFlusso> decodifica(std::string_view);
template Risultato<std::vector<EventoFlusso>> decodifica(std::string_view);
template Risultato<PacchettoStorico> decodifica(std::string_view);
template Risultato<StoricoOre> decodifica(std::string_view);
template Risultato<StoricoApp> decodifica(std::string_view);
template Risultato<StoricoIP> decodifica(std::string_view);
template Risultato<PrimeViste> decodifica(std::string_view);
template Risultato<Abitudini> decodifica(std::string_view);
template Risultato<InformazioniEstensione> decodifica(std::string_view);
template Risultato<Conteggi> decodifica(std::string_view);
template Risultato<Testi> decodifica(std::string_view);
template Risultato<ModificaRegole> decodifica(std::string_view);
template Risultato<RispostaModifica> decodifica(std::string_view);

}  // namespace ostrale::json
