#include "Estensione/filter-data-provider.h"

#include <algorithm>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/fascia-oraria.h"
#include "Condiviso/rete-locale.h"
#include "Condiviso/sistema.h"
#include "Condiviso/testo.h"

namespace ostrale {
namespace {

std::string testoProtocollo(int numero) {
    if (numero == 6) return "TCP";
    if (numero == 17) return "UDP";
    return std::to_string(numero);
}

}  // namespace

std::size_t FilterDataProvider::HashToken::operator()(const TokenApp& t) const {
    return std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(t.data()), t.size()));
}

std::shared_ptr<FilterDataProvider> FilterDataProvider::crea(Dipendenze dipendenze) {
    return std::shared_ptr<FilterDataProvider>(new FilterDataProvider(std::move(dipendenze)));
}

FilterDataProvider::FilterDataProvider(Dipendenze dipendenze) : d_(std::move(dipendenze)) {}

// ---- identity ----

std::string FilterDataProvider::firmaApp(const std::optional<TokenApp>& token) {
    if (!token) return "sconosciuta";
    {
        auto stato = coda_.blocca();
        if (const auto it = stato->cacheFirme.find(*token); it != stato->cacheFirme.end()) {
            return it->second;
        }
    }
    const auto firma = d_.identità.firma(*token);
    if (!firma || firma->empty()) return "sconosciuta";
    auto stato = coda_.blocca();
    if (stato->cacheFirme.size() >= limiteCacheFirme) stato->cacheFirme.clear();
    stato->cacheFirme.insert_or_assign(*token, *firma);
    return *firma;
}

// ---- rules ----

std::optional<RegolaDominio> FilterDataProvider::Stato::regolaPerDominio(
    std::string_view host) const {
    if (host == "?" || regoleDominio.empty()) return std::nullopt;
    // The host in lower case with its labels joined by single dots (empty labels dropped); then
    // each ending of at least two labels, longest first.
    const bool ascii = std::all_of(host.begin(), host.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    const std::string minuscolo = ascii ? std::string() : testo::minuscole(host);
    const std::string_view sorgente = ascii ? host : std::string_view(minuscolo);
    std::string nome;
    nome.reserve(sorgente.size());
    std::size_t etichette = 0;
    bool inEtichetta = false;
    for (char c : sorgente) {
        if (c == '.') {
            inEtichetta = false;
            continue;
        }
        if (!inEtichetta) {
            if (etichette > 0) nome.push_back('.');
            ++etichette;
            inEtichetta = true;
        }
        nome.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    std::string_view resto = nome;
    for (; etichette >= 2; --etichette) {
        const auto it = regoleDominio.find(resto);
        if (it != regoleDominio.end() && it->second.attiva) return it->second;
        resto.remove_prefix(resto.find('.') + 1);
    }
    return std::nullopt;
}

void FilterDataProvider::applicaRegole(const StatoRegole& stato) {
    std::unordered_map<std::string, Regola> regole;
    for (const Regola& r : stato.regole) regole.insert_or_assign(r.firmaApp, r);
    std::unordered_map<std::string, RegolaDominio, HashTesto, std::equal_to<>> regoleDominio;
    for (const RegolaDominio& r : stato.regoleDominio) {
        regoleDominio.insert_or_assign(testo::minuscole(r.dominio), r);
    }
    auto s = coda_.blocca();
    s->regole = std::move(regole);
    s->regoleDominio = std::move(regoleDominio);
    s->impostazioni = stato.impostazioni;
}

void FilterDataProvider::caricaRegole() {
    StatoRegole stato;
    if (const auto testo = ArchivioCondiviso::leggi(ArchivioCondiviso::nomeRegole)) {
        stato = json::decodifica<StatoRegole>(*testo).valoreOppure(StatoRegole{});
    }
    applicaRegole(stato);
    log_.info("Regole caricate: " + std::to_string(stato.regole.size()) + " app, " +
              std::to_string(stato.regoleDominio.size()) + " domini");
}

// ---- the verdict ----

Verdetto FilterDataProvider::handleNewFlow(const std::shared_ptr<FlussoDiRete>& flusso) {
    // 1-4: what the flow is.
    if (!flusso->èSocket()) return Verdetto::consenti;
    const DirezioneFlusso direzione =
        flusso->èInEntrata() ? DirezioneFlusso::entrata : DirezioneFlusso::uscita;
    const std::string firma = firmaApp(flusso->token());
    const Data adesso = d_.orologio.adesso();
    const int minuto = minutoDelGiorno(adesso);
    const std::optional<Estremo> remoto = flusso->remoto();
    std::string host;
    if (auto nome = flusso->nomeHost(); nome && !nome->empty()) {
        host = std::move(*nome);
    } else {
        host = remoto ? remoto->indirizzo : "?";
    }
    const std::string dominio = dominioDi(host);
    const std::optional<std::string> ip =
        remoto ? std::optional<std::string>(remoto->indirizzo) : std::nullopt;
    const std::string portaRemota = remoto ? remoto->porta : "?";

    // 5: the local network passes unjudged; only its detections are reported.
    if (ip && ReteLocale::èLocale(*ip)) {
        std::optional<std::vector<Sentinella::Rilevazione>> locali;
        {
            auto s = coda_.blocca();
            if (s->impostazioni.escludiLan) {
                locali.emplace();
                if (s->impostazioni.rilevaAttacchi) {
                    *locali = s->sentinella.osservaLan(adesso, firma, *ip, portaRemota);
                }
            }
        }
        if (locali) {
            segnalaAttacchi(*locali, adesso, firma, host, portaRemota, direzione, ip);
            return Verdetto::consenti;
        }
    }

    // 6: one consistent snapshot of rules, settings and memory. Whether the flow is anomalous
    // plays no part in its verdict: it is asked once the verdict is out (below).
    std::optional<RegolaDominio> regolaDominio;
    // What the decision needs of the application's rule (its names stay in the table).
    struct RegolaApp {
        AzioneRegola azione;
        bool attiva;
        std::optional<FasciaOraria> fascia;
    };
    std::optional<RegolaApp> regola;
    ImpostazioniFiltro imp;
    Data primaVista;
    {
        auto s = coda_.blocca();
        regolaDominio = s->regolaPerDominio(host);
        primaVista = s->memoria.annotaPrimaVista(firma, adesso);
        if (const auto it = s->regole.find(firma); it != s->regole.end()) {
            regola = RegolaApp{it->second.azione, it->second.attiva, it->second.fascia};
        }
        imp = s->impostazioni;
    }

    // 7
    const std::optional<Estremo> locale = flusso->locale();
    const std::string portaLocale = locale ? locale->porta : "?";
    const std::string protocollo = testoProtocollo(flusso->protocollo());

    // 8: attack signals. The detectors that block an address or contain an application run
    // now, since they may refuse this very flow; the ones that only report run after the
    // verdict (altreSegnalazioni).
    std::vector<Sentinella::Rilevazione> rilevazioni;
    bool bloccatoIP = false;
    bool minaccia = false;
    Sentinella::Flusso f;
    std::shared_ptr<const InsiemeTesti> indirizziC2;
    if (imp.rilevaAttacchi) {
        const bool portaMalfamata = direzione == DirezioneFlusso::uscita &&
                                    (Sentinella::èPortaMalfamata(portaRemota) ||
                                     (portaRemota == "445" && ip && !ReteLocale::èLocale(*ip)));
        indirizziC2 = d_.c2.insieme();  // under the list's lock, before ours
        const bool c2 = ip && indirizziC2->contains(*ip);
        f.adesso = adesso;
        f.direzione = direzione;
        f.firma = firma;
        if (ip) f.ip = *ip;
        f.host = host;
        f.dominio = dominio;
        f.portaLocale = portaLocale;
        f.portaRemota = portaRemota;
        f.protocollo = protocollo;
        f.appNuova = adesso.secondiDa(primaVista) < 86400;
        f.haRegolaConsenti = regola && regola->attiva && regola->azione == AzioneRegola::consenti;
        f.indirizziC2 = indirizziC2.get();
        bool contenuta = false;
        {
            auto s = coda_.blocca();
            s->sentinella.osservaSanzioni(f, rilevazioni);
            bloccatoIP = ip && s->sentinella.èBloccato(*ip, adesso);
            contenuta =
                direzione == DirezioneFlusso::uscita && s->sentinella.èContenuta(firma, adesso);
        }
        minaccia = contenuta || portaMalfamata || c2;
    }
    // The reporting detectors and the habits, for a flow whose verdict is out or that waits.
    auto altreSegnalazioni = [&] {
        auto s = coda_.blocca();
        if (imp.rilevaAttacchi) s->sentinella.osservaResto(f, rilevazioni);
        return s->memoria.verificaAbitudine(firma, dominio, primaVista, adesso,
                                            imp.avvisaAnomalie);
    };

    // 9: inbound flows pass unless they are judged or their source is blocked.
    if (direzione == DirezioneFlusso::entrata && !imp.filtraEntrata && !bloccatoIP) {
        altreSegnalazioni();
        segnalaAttacchi(rilevazioni, adesso, firma, host, portaLocale, direzione, ip);
        return Verdetto::consenti;
    }

    // 11, asked once: it decides when trackers are blocked and no rule or signal came first, and
    // is counted whatever the verdict (then asked after it).
    std::optional<bool> tracker;

    // 10: the decision, in order of precedence.
    bool consentito;
    MotivoDecisione motivo;
    const bool regolaInVigore =
        regola && regola->attiva && (!regola->fascia || regola->fascia->contiene(minuto));
    if (regolaDominio) {
        consentito = regolaDominio->azione == AzioneRegola::consenti;
        motivo = MotivoDecisione::dominio;
    } else if (bloccatoIP) {
        consentito = false;
        motivo = MotivoDecisione::attacco;
    } else if (regolaInVigore) {
        consentito = regola->azione == AzioneRegola::consenti;
        motivo = regola->fascia ? MotivoDecisione::fascia : MotivoDecisione::regola;
    } else if (minaccia) {
        consentito = false;
        motivo = MotivoDecisione::attacco;
    } else if (imp.bloccaTracker && *(tracker = d_.tracker.contiene(host))) {
        consentito = false;
        motivo = MotivoDecisione::tracker;
    } else if (imp.fidatiApple && èDiSistema(firma)) {
        consentito = true;
        motivo = MotivoDecisione::sistema;
    } else if (imp.quarantenaAttiva && firma != "sconosciuta" && !èDiSistema(firma) &&
               adesso.secondiDa(primaVista) < static_cast<double>(imp.giorniQuarantena) * 86400.0) {
        consentito = false;
        motivo = MotivoDecisione::quarantena;
    } else {
        consentito = !imp.bloccaSconosciute;
        motivo = MotivoDecisione::predefinita;
    }

    // 13: ask instead of dropping, while the app can answer.
    const bool chiedi = !consentito && imp.chiediPrima && firma != "sconosciuta" &&
                        (motivo == MotivoDecisione::predefinita ||
                         motivo == MotivoDecisione::quarantena) &&
                        d_.canale.haConnessione();
    // 14: a flow that need not wait has its verdict now, before the bookkeeping.
    if (!chiedi) flusso->decisa(consentito);
    const bool anomala = altreSegnalazioni();
    if (!tracker) tracker = d_.tracker.contiene(host);

    // 12 (made once, then shared by the log)
    const auto evento = std::make_shared<EventoFlusso>();
    evento->data = adesso;
    evento->firmaApp = firma;
    evento->host = host;
    evento->porta = portaRemota;
    evento->protocollo = protocollo;
    evento->direzione = direzione;
    evento->consentito = consentito;
    evento->motivo = motivo;
    evento->anomala = anomala;
    evento->indirizzoIP = ip;

    if (chiedi) {
        sospendi(flusso, firma, *evento);
        return Verdetto::sospendi;
    }

    // 14: record, push, report.
    {
        auto s = coda_.blocca();
        s->memoria.contabilizzaFlusso(evento, adesso, consentito, *tracker, anomala, firma, ip,
                                      direzione, host);
    }
    if (anomala || !consentito || imp.registraConsentiti) d_.canale.nuovoFlusso(*evento);
    if (d_.osservatore) d_.osservatore(*evento, consentito ? Verdetto::consenti : Verdetto::blocca);
    segnalaAttacchi(rilevazioni, adesso, firma, host,
                    direzione == DirezioneFlusso::uscita ? portaRemota : portaLocale, direzione,
                    ip);
    return consentito ? Verdetto::consenti : Verdetto::blocca;
}

// ---- paused flows ----

void FilterDataProvider::sospendi(const std::shared_ptr<FlussoDiRete>& flusso,
                                  const std::string& firma, const EventoFlusso& evento) {
    std::optional<std::uint64_t> nuovoLotto;
    {
        auto s = coda_.blocca();
        auto [it, nuovo] = s->sospesi.try_emplace(firma);
        if (nuovo) it->second.numero = nuovoLotto.emplace(++s->ultimoLotto);
        it->second.flussi.push_back(flusso);
    }
    if (d_.osservatore) d_.osservatore(evento, Verdetto::sospendi);
    if (!nuovoLotto) return;  // the question of this batch is already pending
    d_.canale.chiediDecisione(evento);
    d_.pianificatore.dopo(attesaDecisione,
                          [debole = weak_from_this(), firma, numero = *nuovoLotto] {
                              if (auto provider = debole.lock())
                                  provider->risolviLotto(firma, false, numero);
                          });
}

void FilterDataProvider::risolviSospesi(const std::string& firma, bool consenti) {
    risolviLotto(firma, consenti, std::nullopt);
}

void FilterDataProvider::risolviLotto(const std::string& firma, bool consenti,
                                      std::optional<std::uint64_t> numero) {
    std::vector<std::shared_ptr<FlussoDiRete>> flussi;
    {
        auto s = coda_.blocca();
        const auto it = s->sospesi.find(firma);
        if (it == s->sospesi.end() || (numero && it->second.numero != *numero)) return;
        flussi = std::move(it->second.flussi);
        s->sospesi.erase(it);
    }
    if (flussi.empty()) return;
    for (const auto& flusso : flussi) flusso->riprendi(consenti);
    log_.info("Flussi sospesi risolti per " + firma + ": " + std::to_string(flussi.size()) + " → " +
              (consenti ? "consenti" : "blocca"));
    const Data adesso = d_.orologio.adesso();
    auto s = coda_.blocca();
    s->memoria.contabilizzaDecisione(firma, consenti, static_cast<std::int64_t>(flussi.size()),
                                     adesso);
}

// ---- attack events ----

void FilterDataProvider::segnalaAttacchi(const std::vector<Sentinella::Rilevazione>& rilevazioni,
                                         Data adesso, const std::string& firma,
                                         const std::string& host, const std::string& porta,
                                         DirezioneFlusso direzione,
                                         const std::optional<std::string>& ip) {
    for (const Sentinella::Rilevazione& r : rilevazioni) {
        EventoFlusso evento;
        evento.data = adesso;
        evento.firmaApp = firma;
        evento.host = host;
        evento.porta = porta;
        evento.protocollo = "—";
        evento.direzione = direzione;
        evento.consentito = !r.bloccata;
        evento.motivo = MotivoDecisione::attacco;
        evento.anomala = false;
        evento.indirizzoIP = ip;
        evento.attacco = r.tipo;
        coda_.blocca()->memoria.aggiungiAlRegistro(evento);
        log_.info("Attacco riconosciuto: " + std::string(valoreGrezzo(r.tipo)) + " da " + r.chiave +
                  " (bloccato: " + (r.bloccata ? "sì" : "no") + ")");
        d_.canale.nuovoFlusso(evento);
        if (d_.osservatore)
            d_.osservatore(evento, r.bloccata ? Verdetto::blocca : Verdetto::consenti);
    }
}

// ---- memory ----

void FilterDataProvider::caricaMemoria() {
    Memoria::Contenuto contenuto = Memoria::leggiFile(d_.orologio.adesso());
    coda_.blocca()->memoria.assegna(std::move(contenuto));
}

void FilterDataProvider::salvaMemoriaSeServe() {
    std::optional<Memoria::Contenuto> copia = coda_.blocca()->memoria.prendiDaSalvare();
    if (copia) Memoria::scriviFile(*copia);
}

PacchettoStorico FilterDataProvider::storico() {
    return coda_.blocca()->memoria.storico();
}

std::vector<EventoFlusso> FilterDataProvider::flussi() {
    return coda_.blocca()->memoria.flussi();
}

// ---- lifecycle ----

void FilterDataProvider::startFilter(SorgenteFlussi& sorgente,
                                     std::function<void(std::optional<std::string>)> fatto) {
    caricaRegole();
    caricaMemoria();
    const std::weak_ptr<FilterDataProvider> debole = weak_from_this();
    GestoriCanale gestori;
    gestori.suRegole = [debole](const StatoRegole& stato) {
        const auto provider = debole.lock();
        if (!provider) return;
        provider->applicaRegole(stato);
        ArchivioCondiviso::salva(stato);
        provider->log_.info("Regole ricevute via XPC: " + std::to_string(stato.regole.size()));
    };
    gestori.fornitoreStorico = [debole] {
        const auto provider = debole.lock();
        return provider ? provider->storico() : PacchettoStorico{};
    };
    gestori.fornitoreFlussi = [debole] {
        const auto provider = debole.lock();
        return provider ? provider->flussi() : std::vector<EventoFlusso>{};
    };
    gestori.suDecisione = [debole](const std::string& firma, bool consenti) {
        if (const auto provider = debole.lock()) provider->risolviSospesi(firma, consenti);
    };
    d_.canale.installaGestori(std::move(gestori));
    d_.canale.avviaAscolto();
    std::call_once(timerArmato_, [&] {
        d_.pianificatore.ogni(intervalloSalvataggio, [debole] {
            if (const auto provider = debole.lock()) provider->salvaMemoriaSeServe();
        });
    });
    sorgente.applicaImpostazioni(
        *this, [this, fatto = std::move(fatto)](std::optional<std::string> errore) {
            if (errore) log_.errore("Errore applicando i settaggi: " + *errore);
            if (fatto) fatto(std::move(errore));
        });
}

void FilterDataProvider::stopFilter() {
    salvaMemoriaSeServe();
}

// ---- observations ----

ImpostazioniFiltro FilterDataProvider::impostazioni() {
    return coda_.blocca()->impostazioni;
}

std::size_t FilterDataProvider::vociCacheFirme() {
    return coda_.blocca()->cacheFirme.size();
}

std::size_t FilterDataProvider::flussiSospesi(const std::string& firma) {
    auto s = coda_.blocca();
    const auto it = s->sospesi.find(firma);
    return it == s->sospesi.end() ? 0 : it->second.flussi.size();
}

Memoria::Contenuto FilterDataProvider::copiaMemoria() {
    auto s = coda_.blocca();
    const Memoria& m = s->memoria;
    return {m.primeViste(), m.abitudini(),
            m.storicoOre(), m.storicoApp(),
            m.storicoIP(),  json::RegistroCondiviso(m.registro().begin(), m.registro().end())};
}

}  // namespace ostrale
