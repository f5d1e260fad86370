// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/memoria.h"

#include <algorithm>
#include <cmath>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/storico.h"

namespace ostrale {
namespace {

constexpr const char* filePrimeViste = "prime-viste.json";
constexpr const char* fileAbitudini = "abitudini.json";
constexpr const char* fileAbitudiniRecenti = "abitudini-recenti.json";
constexpr double unGiorno = 86400;

// Habits learnt more than a day before `adesso` are no longer recent (nor are those learnt
// "after" it, by a clock that was set back).
void potaRecenti(PrimeViste& recenti, Data adesso) {
    std::erase_if(recenti, [&](const auto& voce) {
        const double età = adesso.secondiDa(voce.second);
        return età >= unGiorno || età < -unGiorno;
    });
}
constexpr const char* fileOre = "storico-ore.json";
constexpr const char* fileApp = "storico-app.json";
constexpr const char* fileIP = "storico-ip.json";
constexpr const char* fileRegistro = "registro-flussi.json";

template <typename T>
T leggi(const char* nome) {
    const auto testo = ArchivioCondiviso::leggi(nome);
    if (!testo) return T{};
    return json::decodifica<T>(*testo).valoreOppure(T{});
}

}  // namespace

Memoria::Contenuto Memoria::leggiFile(Data adesso) {
    Contenuto c;
    c.primeViste = leggi<PrimeViste>(filePrimeViste);
    c.abitudini = leggi<json::Abitudini>(fileAbitudini);
    c.abitudiniRecenti = leggi<PrimeViste>(fileAbitudiniRecenti);
    potaRecenti(c.abitudiniRecenti, adesso);
    c.storicoOre = Storico::pota(leggi<StoricoOre>(fileOre), adesso);
    c.storicoApp = leggi<StoricoApp>(fileApp);
    c.storicoIP = leggi<StoricoIP>(fileIP);
    auto eventi = leggi<std::vector<EventoFlusso>>(fileRegistro);
    // A file written by hand or by an older version may exceed the log's bound.
    const std::size_t da = eventi.size() > eventiMassimi ? eventi.size() - eventiMassimi : 0;
    c.registro.reserve(eventi.size() - da);
    for (std::size_t i = da; i < eventi.size(); ++i) {
        c.registro.push_back(std::make_shared<const EventoFlusso>(std::move(eventi[i])));
    }
    return c;
}

bool Memoria::scriviFile(const Contenuto& c) {
    // Every file is tried, whatever became of the others.
    bool ok = ArchivioCondiviso::salvaJSON(c.primeViste, filePrimeViste);
    ok = ArchivioCondiviso::salvaJSON(c.abitudini, fileAbitudini) && ok;
    ok = ArchivioCondiviso::salvaJSON(c.abitudiniRecenti, fileAbitudiniRecenti) && ok;
    ok = ArchivioCondiviso::salvaJSON(c.storicoOre, fileOre) && ok;
    ok = ArchivioCondiviso::salvaJSON(c.storicoApp, fileApp) && ok;
    ok = ArchivioCondiviso::salvaJSON(c.storicoIP, fileIP) && ok;
    return ArchivioCondiviso::salvaJSON(c.registro, fileRegistro) && ok;
}

void Memoria::assegna(Contenuto c) {
    primeViste_ = std::move(c.primeViste);
    abitudini_ = std::move(c.abitudini);
    abitudiniRecenti_ = std::move(c.abitudiniRecenti);
    storicoOre_ = std::move(c.storicoOre);
    storicoApp_ = std::move(c.storicoApp);
    storicoIP_ = std::move(c.storicoIP);
    registro_.assign(c.registro.begin(), c.registro.end());
    // Every application of the three tables has a last sighting: its first one, else the
    // reference date, before any real one (it goes first).
    ultimaVista_.clear();
    for (const auto& [firma, quando] : primeViste_) ultimaVista_.emplace(firma, quando);
    for (const auto& [firma, _] : abitudini_) ultimaVista_.try_emplace(firma, Data());
    for (const auto& [firma, _] : storicoApp_) ultimaVista_.try_emplace(firma, Data());
    contieniApplicazioni();
}

void Memoria::dimentica(const std::string& firma) {
    primeViste_.erase(firma);
    abitudini_.erase(firma);
    storicoApp_.erase(firma);
    ultimaVista_.erase(firma);
    daSalvare_ = true;
}

void Memoria::vista(const std::string& firma, Data adesso) {
    if (const auto [it, nuova] = ultimaVista_.try_emplace(firma, adesso); !nuova) {
        if (it->second < adesso) it->second = adesso;
    }
}

void Memoria::contieniApplicazioni() {
    while (primeViste_.size() > applicazioniMassime || abitudini_.size() > applicazioniMassime ||
           storicoApp_.size() > applicazioniMassime) {
        const auto piùVecchia =
            std::min_element(ultimaVista_.begin(), ultimaVista_.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        if (piùVecchia == ultimaVista_.end()) break;
        dimentica(std::string(piùVecchia->first));
    }
}

void Memoria::daRisalvare() {
    daSalvare_ = true;
}

Memoria::Contenuto Memoria::copia() const {
    Contenuto c;
    c.primeViste = primeViste_;
    c.abitudini = abitudini_;
    c.abitudiniRecenti = abitudiniRecenti_;
    c.storicoOre = storicoOre_;
    c.storicoApp = storicoApp_;
    c.storicoIP = storicoIP_;
    c.registro.assign(registro_.begin(), registro_.end());
    return c;
}

std::optional<Memoria::Contenuto> Memoria::prendiDaSalvare() {
    if (!daSalvare_) return std::nullopt;
    daSalvare_ = false;
    return copia();
}

Data Memoria::annotaPrimaVista(const std::string& firma, Data adesso) {
    vista(firma, adesso);
    const auto [it, nuova] = primeViste_.try_emplace(firma, adesso);
    if (!nuova) return it->second;
    daSalvare_ = true;
    contieniApplicazioni();
    return adesso;
}

bool Memoria::verificaAbitudine(const std::string& firma, const std::string& dominio,
                                Data primaVista, Data adesso, bool avvisaAnomalie) {
    if (firma == "sconosciuta" || dominio.empty()) return false;
    auto& noti = abitudini_[firma];
    if (noti.contains(dominio)) return false;
    const bool anomala = adesso.secondiDa(primaVista) > 86400 && noti.size() >= 3 && avvisaAnomalie;
    if (noti.size() < dominiPerApp) {
        noti.insert(dominio);
        // Kept for a day: the ones past it are dropped as new ones come, at most once a
        // minute (or at once when the table is full), so the file holds about a day's worth.
        if (abitudiniRecenti_.size() >= recentiMassime ||
            !(std::abs(adesso.secondiDa(ultimaPotatura_)) < 60)) {
            potaRecenti(abitudiniRecenti_, adesso);
            ultimaPotatura_ = adesso;
        }
        if (abitudiniRecenti_.size() < recentiMassime) {
            abitudiniRecenti_.insert_or_assign(firma + "|" + dominio, adesso);
        }
        daSalvare_ = true;
    }
    vista(firma, adesso);
    if (abitudini_.size() > applicazioniMassime) contieniApplicazioni();
    return anomala;
}

bool Memoria::abitudineConsolidata(const std::string& firma, const std::string& dominio,
                                   Data adesso) const {
    if (dominio.empty()) return false;
    const auto noti = abitudini_.find(firma);
    if (noti == abitudini_.end() || !noti->second.contains(dominio)) return false;
    const auto recente = abitudiniRecenti_.find(firma + "|" + dominio);
    return recente == abitudiniRecenti_.end() || adesso.secondiDa(recente->second) >= unGiorno ||
           adesso.secondiDa(recente->second) < -unGiorno;
}

void Memoria::contabilizzaFlusso(std::shared_ptr<const EventoFlusso> evento, Data adesso,
                                 bool consentito, bool tracker, bool anomala,
                                 const std::string& firma,
                                 const std::optional<std::string>& indirizzo,
                                 DirezioneFlusso direzione, const std::string& host) {
    ContatoreOra& ora = storicoOre_[Storico::chiaveOra(adesso)];
    ++(consentito ? ora.consentiti : ora.bloccati);
    if (tracker) ++ora.tracker;

    VoceAppStorico& app = storicoApp_[firma];
    ++app.totale;
    if (tracker) ++app.tracker;
    if (!consentito) ++app.bloccati;
    if (anomala) ++app.anomalie;

    vista(firma, adesso);
    if (storicoApp_.size() > applicazioniMassime) contieniApplicazioni();
    if (indirizzo && (storicoIP_.size() < indirizziMassimi || storicoIP_.contains(*indirizzo))) {
        VoceIPStorico& ip = storicoIP_[*indirizzo];
        ++ip.totale;
        if (!consentito) ++ip.bloccati;
        if (direzione == DirezioneFlusso::entrata) ++ip.entrata;
        ip.host = host;
        ip.app = firma;
    }
    aggiungiAlRegistro(std::move(evento));
    daSalvare_ = true;
}

void Memoria::contabilizzaDecisione(const std::string& firma, bool consenti, std::int64_t quanti,
                                    Data adesso) {
    ContatoreOra& ora = storicoOre_[Storico::chiaveOra(adesso)];
    (consenti ? ora.consentiti : ora.bloccati) += quanti;
    VoceAppStorico& app = storicoApp_[firma];
    app.totale += quanti;
    if (!consenti) app.bloccati += quanti;
    daSalvare_ = true;
    vista(firma, adesso);
    if (storicoApp_.size() > applicazioniMassime) contieniApplicazioni();
}

void Memoria::aggiungiAlRegistro(std::shared_ptr<const EventoFlusso> evento) {
    registro_.push_back(std::move(evento));
    while (registro_.size() > eventiMassimi) registro_.pop_front();
    daSalvare_ = true;
}

PacchettoStorico Memoria::storico() const {
    return PacchettoStorico{storicoOre_, storicoApp_, storicoIP_, primeViste_};
}

std::vector<EventoFlusso> Memoria::flussi() const {
    const std::size_t da = registro_.size() > eventiInviati ? registro_.size() - eventiInviati : 0;
    std::vector<EventoFlusso> eventi;
    eventi.reserve(registro_.size() - da);
    for (std::size_t i = da; i < registro_.size(); ++i) eventi.push_back(*registro_[i]);
    return eventi;
}

}  // namespace ostrale
