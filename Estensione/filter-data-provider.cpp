// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/filter-data-provider.h"

namespace ostrale {

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
