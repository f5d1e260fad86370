// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/filter-data-provider.h"

#include <algorithm>

#include "Condiviso/archivio-regole.h"
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

// ---- the verdict ----

Verdetto FilterDataProvider::handleNewFlow(const std::shared_ptr<FlussoDiRete>& flusso) {
    if (!flusso->èSocket()) return Verdetto::consenti;
    Seguito q = descrivi(*flusso);
    if (passaInReteLocale(q)) return Verdetto::consenti;
    const Fotografia f = fotografa(q);
    const Segnali segnali = segnaliBloccanti(q, f.imp);

    // Inbound flows pass unless they are judged, their source is blocked, or the user's rule of
    // the source's address refuses it.
    const bool regolaRifiutaSorgente =
        f.regolaDiIndirizzo && f.regolaDominio->azione == AzioneRegola::blocca;
    if (q.direzione == DirezioneFlusso::entrata && !f.imp.filtraEntrata && !segnali.bloccatoIP &&
        !regolaRifiutaSorgente) {
        std::function<void()> lavoro = [self = shared_from_this(), q = std::move(q)]() mutable {
            altreSegnalazioni(*self->coda_.blocca(), q);
            self->segnalaAttacchi(q.rilevazioni, q.adesso, q.firma, q.host, q.portaLocale,
                                  q.direzione, q.ip);
        };
        if (!flusso->rimanda(lavoro)) lavoro();
        return Verdetto::consenti;
    }

    decidi(q, f, segnali);
    if (const auto chi = daChiedere(q, f.imp)) {
        flusso->completaRimandati();  // the flows before this one first
        const bool anomala = altreSegnalazioni(*coda_.blocca(), q);
        sospendi(flusso, q.firma, *chi, *q.evento(anomala));
        return Verdetto::sospendi;
    }

    // The verdict at once; the bookkeeping follows, here or, when the source would rather give
    // other flows their verdicts first, a little later on the same thread.
    const Verdetto v = q.consentito ? Verdetto::consenti : Verdetto::blocca;
    flusso->decisa(q.consentito);
    q.registraConsentiti = f.imp.registraConsentiti;
    std::function<void()> lavoro = [self = shared_from_this(), q = std::move(q)]() mutable {
        self->registra(q);
    };
    if (!flusso->rimanda(lavoro)) lavoro();
    return v;
}

// ---- the verdict's steps ----

FilterDataProvider::Seguito FilterDataProvider::descrivi(const FlussoDiRete& flusso) {
    Seguito q;
    q.adesso = d_.orologio.adesso();
    q.direzione = flusso.èInEntrata() ? DirezioneFlusso::entrata : DirezioneFlusso::uscita;
    const std::optional<TokenApp> token = flusso.token();
    q.firma = firmaApp(token);
    if (token) q.uid = d_.identità.utente(*token);
    const std::optional<Estremo> remoto = flusso.remoto();
    if (auto nome = flusso.nomeHost(); nome && !nome->empty()) {
        q.host = std::move(*nome);
    } else {
        q.host = remoto ? remoto->indirizzo : "?";
    }
    q.dominio = dominioDi(q.host);
    if (remoto) q.ip = remoto->indirizzo;
    q.portaRemota = remoto ? remoto->porta : "?";
    const std::optional<Estremo> locale = flusso.locale();
    q.portaLocale = locale ? locale->porta : "?";
    q.protocollo = testoProtocollo(flusso.protocollo());
    return q;
}

bool FilterDataProvider::passaInReteLocale(const Seguito& q) {
    // The local network passes unjudged; only its detections are reported. An address the user
    // ruled on (an attack's source) is judged like any other.
    if (!q.ip || !ReteLocale::èLocale(*q.ip)) return false;
    std::optional<std::vector<Sentinella::Rilevazione>> locali;
    {
        auto s = coda_.blocca();
        if (s->impostazioni.escludiLan && !s->regolaPerIndirizzo(q.ip, q.adesso)) {
            locali.emplace();
            if (s->impostazioni.rilevaAttacchi) {
                *locali = s->sentinella.osservaLan(q.adesso, q.firma, *q.ip, q.portaRemota);
            }
        }
    }
    if (!locali) return false;
    segnalaAttacchi(*locali, q.adesso, q.firma, q.host, q.portaRemota, q.direzione, q.ip);
    return true;
}

FilterDataProvider::Fotografia FilterDataProvider::fotografa(Seguito& q) {
    // One consistent snapshot of rules, settings and memory. Whether the flow is anomalous plays
    // no part in its verdict: it is asked once the verdict is out.
    Fotografia f;
    {
        auto s = coda_.blocca();
        // The most specific first: a rule narrowed to this application (and port), then one of
        // the flow's own address, whatever name the flow goes by, then one of its name.
        f.regolaDominio = s->regolaRistretta(q.firma, q.host, q.ip, q.portaRemota, q.adesso);
        if (!f.regolaDominio) {
            f.regolaDominio = s->regolaPerIndirizzo(q.ip, q.adesso);
            f.regolaDiIndirizzo = f.regolaDominio.has_value();
        }
        if (!f.regolaDominio) f.regolaDominio = s->regolaPerDominio(q.host, q.adesso);
        q.primaVista = s->memoria.annotaPrimaVista(q.firma, q.adesso);
        if (const auto it = s->regole.find(q.firma);
            it != s->regole.end() && !it->second.durata.finita(q.adesso, idAvvio())) {
            f.regola = RegolaApp{it->second.azione, it->second.attiva, it->second.fascia};
        }
        f.imp = s->impostazioni;
    }
    q.rilevaAttacchi = f.imp.rilevaAttacchi;
    q.avvisaAnomalie = f.imp.avvisaAnomalie;
    q.appNuova = q.adesso.secondiDa(q.primaVista) < 86400;
    q.haRegolaConsenti = f.regola && f.regola->attiva && f.regola->azione == AzioneRegola::consenti;
    return f;
}

FilterDataProvider::Segnali FilterDataProvider::segnaliBloccanti(Seguito& q,
                                                                 const ImpostazioniFiltro& imp) {
    // The detectors that block an address or contain an application run now, since they may
    // refuse this very flow; the ones that only report run after the verdict (registra).
    Segnali segnali;
    if (!imp.rilevaAttacchi) return segnali;
    const bool portaMalfamata = q.direzione == DirezioneFlusso::uscita &&
                                (Sentinella::èPortaMalfamata(q.portaRemota) ||
                                 (q.portaRemota == "445" && q.ip && !ReteLocale::èLocale(*q.ip)));
    q.indirizziC2 = d_.c2.insieme();  // under the list's lock, before ours
    const bool c2 = q.ip && q.indirizziC2->contains(*q.ip);
    const Sentinella::Flusso flusso = q.perSentinella();
    bool contenuta = false;
    {
        auto s = coda_.blocca();
        s->sentinella.osservaSanzioni(flusso, q.rilevazioni);
        segnali.bloccatoIP = q.ip && s->sentinella.èBloccato(*q.ip, q.adesso);
        contenuta =
            q.direzione == DirezioneFlusso::uscita && s->sentinella.èContenuta(q.firma, q.adesso);
    }
    segnali.minaccia = contenuta || portaMalfamata || c2;
    return segnali;
}

void FilterDataProvider::decidi(Seguito& q, const Fotografia& f, const Segnali& segnali) const {
    // In order of precedence. Whether the host is a tracker is asked here only when it decides,
    // that is when trackers are blocked and no rule or signal came first; it is counted whatever
    // the verdict, and then asked after it.
    const auto& regola = f.regola;
    const auto& imp = f.imp;
    const bool regolaInVigore =
        regola && regola->attiva &&
        (!regola->fascia || regola->fascia->contiene(minutoDelGiorno(q.adesso)));
    if (f.regolaDominio) {
        q.consentito = f.regolaDominio->azione == AzioneRegola::consenti;
        q.motivo = MotivoDecisione::dominio;
    } else if (segnali.bloccatoIP) {
        q.consentito = false;
        q.motivo = MotivoDecisione::attacco;
    } else if (regolaInVigore) {
        q.consentito = regola->azione == AzioneRegola::consenti;
        q.motivo = regola->fascia ? MotivoDecisione::fascia : MotivoDecisione::regola;
    } else if (segnali.minaccia) {
        q.consentito = false;
        q.motivo = MotivoDecisione::attacco;
    } else if (imp.bloccaTracker && *(q.tracker = d_.tracker.contiene(q.host))) {
        q.consentito = false;
        q.motivo = MotivoDecisione::tracker;
    } else if (imp.fidatiApple && èDiSistema(q.firma)) {
        q.consentito = true;
        q.motivo = MotivoDecisione::sistema;
    } else if (imp.quarantenaAttiva && q.firma != "sconosciuta" && !èDiSistema(q.firma) &&
               q.adesso.secondiDa(q.primaVista) <
                   static_cast<double>(imp.giorniQuarantena) * 86400.0) {
        q.consentito = false;
        q.motivo = MotivoDecisione::quarantena;
    } else {
        q.consentito = !imp.bloccaSconosciute;
        q.motivo = MotivoDecisione::predefinita;
    }
}

std::optional<std::uint32_t> FilterDataProvider::daChiedere(Seguito& q,
                                                            const ImpostazioniFiltro& imp) {
    // Asked instead of dropped, while an app can answer: the one of the process's user, else of
    // the active session. Nothing is recorded and the detections are not reported then. An
    // application the user has just answered about is not asked again: its flows the answer
    // covers follow it until its rule arrives.
    if (q.consentito || !imp.chiediPrima || q.firma == "sconosciuta" ||
        (q.motivo != MotivoDecisione::predefinita && q.motivo != MotivoDecisione::quarantena))
        return std::nullopt;
    const std::optional<std::uint32_t> chi = d_.canale.chiChiedere(q.uid);
    if (!chi) return std::nullopt;
    auto s = coda_.blocca();
    if (const auto it = s->risposte.find({q.firma, *chi});
        it != s->risposte.end() && q.adesso.secondiDa(it->second.quando) >= 0 &&
        q.adesso.secondiDa(it->second.quando) < validitàRisposta &&
        (!it->second.dominio || copreHost(*it->second.dominio, q.host, q.ip)) &&
        (!it->second.porta || q.portaRemota == std::to_string(*it->second.porta))) {
        q.consentito = it->second.consenti;
        return std::nullopt;
    }
    return chi;
}

// ---- after the verdict ----

Sentinella::Flusso FilterDataProvider::Seguito::perSentinella() const {
    Sentinella::Flusso f;
    f.adesso = adesso;
    f.direzione = direzione;
    f.firma = firma;
    if (ip) f.ip = *ip;
    f.host = host;
    f.dominio = dominio;
    f.portaLocale = portaLocale;
    f.portaRemota = portaRemota;
    f.protocollo = protocollo;
    f.appNuova = appNuova;
    f.haRegolaConsenti = haRegolaConsenti;
    f.indirizziC2 = indirizziC2.get();
    return f;
}

std::shared_ptr<EventoFlusso> FilterDataProvider::Seguito::evento(bool anomala) const {
    auto e = std::make_shared<EventoFlusso>();
    e->data = adesso;
    e->firmaApp = firma;
    e->host = host;
    e->porta = portaRemota;
    e->protocollo = protocollo;
    e->direzione = direzione;
    e->consentito = consentito;
    e->motivo = motivo;
    e->anomala = anomala;
    e->indirizzoIP = ip;
    if (uid) e->utente = *uid;
    return e;
}

bool FilterDataProvider::altreSegnalazioni(Stato& s, Seguito& q) {
    q.destinazioneAbituale = s.memoria.abitudineConsolidata(q.firma, q.dominio, q.adesso);
    if (q.rilevaAttacchi) s.sentinella.osservaResto(q.perSentinella(), q.rilevazioni);
    return s.memoria.verificaAbitudine(q.firma, q.dominio, q.primaVista, q.adesso,
                                       q.avvisaAnomalie);
}

void FilterDataProvider::registra(Seguito& q) {
    const bool tracker = q.tracker ? *q.tracker : d_.tracker.contiene(q.host);
    std::shared_ptr<EventoFlusso> evento;
    bool anomala;
    {
        auto s = coda_.blocca();
        anomala = altreSegnalazioni(*s, q);
        evento = q.evento(anomala);
        s->memoria.contabilizzaFlusso(evento, q.adesso, q.consentito, tracker, anomala, q.firma,
                                      q.ip, q.direzione, q.host);
    }
    if (anomala || !q.consentito || q.registraConsentiti) d_.canale.nuovoFlussoDi(q.uid, evento);
    if (d_.osservatore)
        d_.osservatore(*evento, q.consentito ? Verdetto::consenti : Verdetto::blocca);
    segnalaAttacchi(q.rilevazioni, q.adesso, q.firma, q.host,
                    q.direzione == DirezioneFlusso::uscita ? q.portaRemota : q.portaLocale,
                    q.direzione, q.ip, !q.appNuova, q.destinazioneAbituale);
}

// ---- paused flows ----

void FilterDataProvider::sospendi(const std::shared_ptr<FlussoDiRete>& flusso,
                                  const std::string& firma, std::uint32_t app,
                                  const EventoFlusso& evento) {
    std::optional<std::uint64_t> nuovoLotto;
    {
        auto s = coda_.blocca();
        auto [it, nuovo] = s->sospesi.try_emplace({firma, app});
        if (nuovo) it->second.numero = nuovoLotto.emplace(++s->ultimoLotto);
        it->second.flussi.push_back({flusso, std::make_shared<const EventoFlusso>(evento)});
    }
    if (d_.osservatore) d_.osservatore(evento, Verdetto::sospendi);
    if (!nuovoLotto) return;  // the question of this batch is already pending
    chiediLotto(firma, app, *nuovoLotto, evento);
}

void FilterDataProvider::chiediLotto(const std::string& firma, std::uint32_t app,
                                     std::uint64_t numero, const EventoFlusso& evento) {
    d_.canale.chiediDecisioneA(app, evento);
    d_.pianificatore.dopo(attesaDecisione, [debole = weak_from_this(), firma, app, numero] {
        if (auto provider = debole.lock()) provider->risolviLotto(firma, app, std::nullopt, numero);
    });
}

void FilterDataProvider::risolviSospesi(const std::string& firma, bool consenti,
                                        std::optional<std::uint32_t> app) {
    risolviSospesi(RispostaSospesi{firma, consenti, false, std::nullopt, std::nullopt}, app);
}

void FilterDataProvider::risolviSospesi(const RispostaSospesi& risposta,
                                        std::optional<std::uint32_t> app) {
    if (app) {
        risolviLotto(risposta.firma, *app, risposta, std::nullopt);
        return;
    }
    // From the command line: every user's batch of the application.
    std::vector<std::uint32_t> utenti;
    {
        auto s = coda_.blocca();
        for (auto it = s->sospesi.lower_bound({risposta.firma, 0});
             it != s->sospesi.end() && it->first.first == risposta.firma; ++it)
            utenti.push_back(it->first.second);
    }
    for (const std::uint32_t u : utenti) risolviLotto(risposta.firma, u, risposta, std::nullopt);
}

void FilterDataProvider::risolviLotto(const std::string& firma, std::uint32_t app,
                                      const std::optional<RispostaSospesi>& risposta,
                                      std::optional<std::uint64_t> numero) {
    const bool consenti = risposta && risposta->consenti;
    std::optional<std::string> dominio;
    if (risposta && risposta->dominio) {
        dominio = RegolaDominio::indirizzoCanonico(*risposta->dominio)
                      .value_or(testo::minuscole(*risposta->dominio));
    }
    const std::optional<std::int64_t> porta = risposta ? risposta->porta : std::nullopt;
    auto copre = [&](const EventoFlusso& e) {
        return (!dominio || copreHost(*dominio, e.host, e.indirizzoIP)) &&
               (!porta || e.porta == std::to_string(*porta));
    };
    std::vector<std::shared_ptr<FlussoDiRete>> flussi;
    std::optional<std::pair<std::uint64_t, std::shared_ptr<const EventoFlusso>>> ancora;
    const Data adesso = d_.orologio.adesso();
    {
        auto s = coda_.blocca();
        const auto it = s->sospesi.find({firma, app});
        if (it == s->sospesi.end() || (numero && it->second.numero != *numero)) return;
        // The user's answer to a question asked (not the silence of an expiry, not an answer
        // nobody asked for, not one for this time only) decides the application's next flows
        // it covers for a while.
        if (risposta && !numero && !risposta->unaVolta) {
            if (s->risposte.size() >= 1024) {
                std::erase_if(s->risposte, [&](const auto& r) {
                    return !(adesso.secondiDa(r.second.quando) < validitàRisposta);
                });
            }
            if (s->risposte.size() < 1024)
                s->risposte.insert_or_assign({firma, app},
                                             Risposta{consenti, adesso, dominio, porta});
        }
        // The flows the answer covers go; the others form a new batch, asked about anew.
        std::vector<Sospeso> restanti;
        for (Sospeso& sospeso : it->second.flussi) {
            if (copre(*sospeso.evento)) {
                flussi.push_back(std::move(sospeso.flusso));
            } else {
                restanti.push_back(std::move(sospeso));
            }
        }
        if (restanti.empty()) {
            s->sospesi.erase(it);
        } else {
            it->second.flussi = std::move(restanti);
            it->second.numero = ++s->ultimoLotto;
            ancora.emplace(it->second.numero, it->second.flussi.front().evento);
        }
    }
    if (ancora) chiediLotto(firma, app, ancora->first, *ancora->second);
    if (flussi.empty()) return;
    for (const auto& flusso : flussi) flusso->riprendi(consenti);
    log_.info("Flussi sospesi risolti per " + firma + ": " + std::to_string(flussi.size()) + " → " +
              (consenti ? "consenti" : "blocca") +
              (ancora ? " (altri ancora in attesa di risposta)" : ""));
    auto s = coda_.blocca();
    s->memoria.contabilizzaDecisione(firma, consenti, static_cast<std::int64_t>(flussi.size()),
                                     adesso);
}

bool FilterDataProvider::decisoSenzaNome(const std::optional<TokenApp>& token,
                                         std::string_view ip) {
    if (ReteLocale::èLocale(ip)) return true;
    const std::string firma = firmaApp(token);
    const Data adesso = d_.orologio.adesso();
    bool attacchi;
    {
        auto s = coda_.blocca();
        // A domain rule comes before everything else: a name could still allow the flow.
        if (s->consentiPerDominio) return false;
        if (const auto it = s->regole.find(firma); it != s->regole.end() && it->second.attiva &&
                                                   it->second.azione == AzioneRegola::blocca &&
                                                   !it->second.fascia &&
                                                   !it->second.durata.finita(adesso, idAvvio())) {
            return true;
        }
        attacchi = s->impostazioni.rilevaAttacchi;
        if (attacchi &&
            (s->sentinella.èBloccato(ip, adesso) || s->sentinella.èContenuta(firma, adesso)))
            return true;
    }
    return attacchi && d_.c2.contiene(ip);  // the list's own lock, never under ours
}

// ---- attack events ----

bool FilterDataProvider::osservaDomandaDns(const std::optional<TokenApp>& token,
                                           std::string_view nome, std::uint16_t tipo) {
    const std::string firma = firmaApp(token);
    const Data adesso = d_.orologio.adesso();
    std::optional<Sentinella::Rilevazione> rilevazione;
    {
        auto s = coda_.blocca();
        if (!s->impostazioni.rilevaAttacchi) return false;
        const auto it = s->regole.find(firma);
        const bool consenti = it != s->regole.end() && it->second.attiva &&
                              it->second.azione == AzioneRegola::consenti &&
                              !it->second.durata.finita(adesso, idAvvio());
        rilevazione = s->sentinella.osservaDomandaDns({adesso, firma, nome, tipo, consenti});
        if (!rilevazione) return s->sentinella.èContenuta(firma, adesso);
    }
    // The question may hold bytes of any kind (tunnels encode data in it): only its printable
    // part names the event.
    std::string host;
    for (const char c : nome.substr(0, 253)) {
        const auto u = static_cast<unsigned char>(c);
        host.push_back(u > 0x20 && u < 0x7F ? c : '?');
    }
    segnalaAttacchi({*rilevazione}, adesso, firma, host, "53", DirezioneFlusso::uscita,
                    std::nullopt);
    return rilevazione->bloccata;
}

void FilterDataProvider::segnalaAttacchi(const std::vector<Sentinella::Rilevazione>& rilevazioni,
                                         Data adesso, const std::string& firma,
                                         const std::string& host, const std::string& porta,
                                         DirezioneFlusso direzione,
                                         const std::optional<std::string>& ip, bool appAffermata,
                                         bool destinazioneAbituale) {
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
        // For an attack, whether it is out of the application's habits: the app tells the user
        // at once about those, and about every source stopped; the rest it keeps in the archive.
        evento.anomala = Sentinella::fuoriAbitudine(r, firma, appAffermata, destinazioneAbituale);
        evento.indirizzoIP = ip;
        evento.attacco = r.tipo;
        coda_.blocca()->memoria.aggiungiAlRegistro(evento);
        log_.info("Attacco riconosciuto: " + std::string(valoreGrezzo(r.tipo)) + " da " + r.chiave +
                  " (bloccato: " + (r.bloccata ? "sì" : "no") +
                  (r.bloccata || *evento.anomala ? "" : ", abituale") + ")");
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
    // One save at a time, from the copy to the rename: the timer's and the stop's must not
    // overlap, or an older copy could be renamed into place after a newer one.
    std::lock_guard salvataggio(salvataggio_);
    std::optional<Memoria::Contenuto> copia = coda_.blocca()->memoria.prendiDaSalvare();
    if (copia && !Memoria::scriviFile(*copia)) {
        // (A full disk, say: nothing is lost while the daemon runs, the next save tries again.)
        coda_.blocca()->memoria.daRisalvare();
        log_.errore("The memory could not be saved; the next save tries again");
    }
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
        return provider && provider->sostituisciRegole(stato);
    };
    gestori.suModifica = [debole](const ModificaRegole& modifica) {
        const auto provider = debole.lock();
        return provider ? provider->modificaRegole(modifica)
                        : RispostaModifica{EsitoModifica::nonInviata, {}};
    };
    gestori.fornitoreRegole = [debole] {
        const auto provider = debole.lock();
        return provider ? provider->regoleUtente() : StatoRegole{};
    };
    gestori.fornitoreStorico = [debole] {
        const auto provider = debole.lock();
        return provider ? provider->storico() : PacchettoStorico{};
    };
    gestori.fornitoreFlussi = [debole] {
        const auto provider = debole.lock();
        return provider ? provider->flussi() : std::vector<EventoFlusso>{};
    };
    gestori.suDecisione = [debole](const std::string& firma, bool consenti,
                                   std::optional<std::uint32_t> app) {
        if (const auto provider = debole.lock()) provider->risolviSospesi(firma, consenti, app);
    };
    gestori.suRisposta = [debole](const RispostaSospesi& risposta,
                                  std::optional<std::uint32_t> app) {
        if (const auto provider = debole.lock()) provider->risolviSospesi(risposta, app);
    };
    gestori.fornitoreDomande = [debole] {
        std::vector<std::string> app;
        if (const auto provider = debole.lock()) {
            auto s = provider->coda_.blocca();
            // By application, each once (the map keeps one application's users together).
            for (const auto& [chi, lotto] : s->sospesi) {
                if (app.empty() || app.back() != chi.first) app.push_back(chi.first);
            }
        }
        return app;
    };
    d_.canale.installaGestori(std::move(gestori));
    d_.canale.avviaAscolto();
    std::call_once(timerArmato_, [&] {
        d_.pianificatore.ogni(intervalloSalvataggio, [debole] {
            if (const auto provider = debole.lock()) provider->salvaMemoriaSeServe();
        });
        d_.pianificatore.ogni(intervalloScadenze, [debole] {
            if (const auto provider = debole.lock()) provider->rimuoviScadute();
        });
    });
    rimuoviScadute();
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
    std::size_t quanti = 0;
    for (auto it = s->sospesi.lower_bound({firma, 0});
         it != s->sospesi.end() && it->first.first == firma; ++it)
        quanti += it->second.flussi.size();
    return quanti;
}

Memoria::Contenuto FilterDataProvider::copiaMemoria() {
    return coda_.blocca()->memoria.copia();
}

}  // namespace ostrale
