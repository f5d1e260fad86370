// SPDX-License-Identifier: GPL-3.0-or-later
// The verdict of a new flow: its steps in their order, and the bookkeeping after it.
#include "Estensione/filter-data-provider.h"

#include "Condiviso/fascia-oraria.h"
#include "Condiviso/rete-locale.h"
#include "Condiviso/sistema.h"

namespace ostrale {
namespace {

std::string testoProtocollo(int numero) {
    if (numero == 6) return "TCP";
    if (numero == 17) return "UDP";
    return std::to_string(numero);
}

}  // namespace

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

// ---- before the host's name is known ----

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

}  // namespace ostrale
