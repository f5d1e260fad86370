// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "Condiviso/orologio.h"
#include "Estensione/canale-estensione.h"
#include "Estensione/flusso-di-rete.h"
#include "Estensione/pianificatore.h"
#include "Estensione/risolutore-identita.h"
#include "Estensione/sorgente-flussi.h"

namespace ostrale::test {

// A flow with plain fields; remembers how it was resumed.
class FlussoFinto final : public FlussoDiRete {
  public:
    bool socket = true;
    std::optional<TokenApp> tokenApp;
    bool entrata = false;
    std::optional<std::string> nome;
    std::optional<Estremo> estremoRemoto = Estremo{"203.0.113.10", "443"};
    std::optional<Estremo> estremoLocale = Estremo{"10.0.0.2", "51000"};
    int numeroProtocollo = 6;

    bool èSocket() const override { return socket; }
    std::optional<TokenApp> token() const override { return tokenApp; }
    bool èInEntrata() const override { return entrata; }
    std::optional<std::string> nomeHost() const override { return nome; }
    std::optional<Estremo> remoto() const override { return estremoRemoto; }
    std::optional<Estremo> locale() const override { return estremoLocale; }
    int protocollo() const override { return numeroProtocollo; }

    void riprendi(bool consenti) override {
        std::lock_guard blocco(mutex_);
        riprese_.push_back(consenti);
    }
    // When `rimandati` is set, the flow takes its bookkeeping there, as the netfilter source
    // does, and notes its verdict in `decisioni` when decisa gives it.
    std::deque<std::function<void()>>* rimandati = nullptr;
    std::vector<bool> decisioni;
    void decisa(bool consenti) override { decisioni.push_back(consenti); }
    bool rimanda(std::function<void()>& lavoro) override {
        if (!rimandati) return false;
        rimandati->push_back(std::move(lavoro));
        return true;
    }
    void completaRimandati() override {
        while (rimandati && !rimandati->empty()) {
            auto primo = std::move(rimandati->front());
            rimandati->pop_front();
            primo();
        }
    }
    std::vector<bool> riprese() const {
        std::lock_guard blocco(mutex_);
        return riprese_;
    }

  private:
    mutable std::mutex mutex_;
    std::vector<bool> riprese_;
};

// Token i (its first two bytes) names the application of `firme`; other tokens are unknown.
inline TokenApp tokenDi(int i) {
    TokenApp t{};
    t[0] = static_cast<std::uint8_t>(i & 0xFF);
    t[1] = static_cast<std::uint8_t>((i >> 8) & 0xFF);
    t[31] = 1;
    return t;
}

class RisolutoreFinto final : public RisolutoreIdentità {
  public:
    std::optional<std::string> firma(const TokenApp& token) override {
        std::lock_guard blocco(mutex_);
        ++chiamate;
        const auto it = firme.find(token);
        if (it != firme.end()) return it->second;
        return std::nullopt;
    }
    void imposta(const TokenApp& token, std::string firma) {
        std::lock_guard blocco(mutex_);
        firme[token] = std::move(firma);
    }
    std::optional<std::uint32_t> utente(const TokenApp& token) const override {
        std::lock_guard blocco(mutex_);
        const auto it = utenti.find(token);
        if (it != utenti.end()) return it->second;
        return std::nullopt;
    }
    void impostaUtente(const TokenApp& token, std::uint32_t uid) {
        std::lock_guard blocco(mutex_);
        utenti[token] = uid;
    }
    int numeroChiamate() {
        std::lock_guard blocco(mutex_);
        return chiamate;
    }

  private:
    mutable std::mutex mutex_;
    std::map<TokenApp, std::string> firme;
    std::map<TokenApp, std::uint32_t> utenti;
    int chiamate = 0;
};

// Records what the provider pushes and serves.
class CanaleFinto final : public CanaleEstensione {
  public:
    void installaGestori(GestoriCanale g) override {
        std::lock_guard blocco(mutex_);
        gestori = std::move(g);
        passi.push_back("gestori");
    }
    void avviaAscolto() override {
        std::lock_guard blocco(mutex_);
        passi.push_back("ascolto");
    }
    bool haConnessione() const override {
        std::lock_guard blocco(mutex_);
        return connesso;
    }
    void nuovoFlusso(const EventoFlusso& e) override {
        std::lock_guard blocco(mutex_);
        ++contati;
        if (e.attacco) attacchiVisti.insert(*e.attacco);
        if (conserva) nuovi.push_back(e);
    }
    // With apps per user: a flow's question goes to its user's app, else to nobody.
    std::optional<std::uint32_t> chiChiedere(std::optional<std::uint32_t> uid) const override {
        std::lock_guard blocco(mutex_);
        if (appUtenti.empty()) return connesso ? std::optional<std::uint32_t>(0) : std::nullopt;
        if (uid && appUtenti.contains(*uid)) return uid;
        return std::nullopt;
    }
    void chiediDecisioneA(std::uint32_t app, const EventoFlusso& e) override {
        std::lock_guard blocco(mutex_);
        domandeA.emplace_back(app, e.host);
        domande.push_back(e);
    }
    void chiediDecisione(const EventoFlusso& e) override {
        std::lock_guard blocco(mutex_);
        domande.push_back(e);
    }
    void connetti(bool si) {
        std::lock_guard blocco(mutex_);
        connesso = si;
    }
    std::vector<EventoFlusso> flussiInviati() const {
        std::lock_guard blocco(mutex_);
        return nuovi;
    }
    std::vector<EventoFlusso> domandeInviate() const {
        std::lock_guard blocco(mutex_);
        return domande;
    }

    GestoriCanale gestori;
    std::vector<std::string> passi;
    std::set<std::uint32_t> appUtenti;                            // set before the flows
    std::vector<std::pair<std::uint32_t, std::string>> domandeA;  // the app asked, the host
    bool conserva = true;  // false: only count pushes and note attack types
    std::size_t contati = 0;
    std::set<TipoAttacco> attacchiVisti;

  private:
    mutable std::mutex mutex_;
    bool connesso = false;
    std::vector<EventoFlusso> nuovi, domande;
};

// Runs delayed work when the fake clock is moved past its time.
class PianificatoreFinto final : public Pianificatore {
  public:
    explicit PianificatoreFinto(OrologioFinto& orologio) : orologio_(orologio) {}

    void dopo(double secondi, std::function<void()> compito) override {
        std::lock_guard blocco(mutex_);
        compiti_.emplace(orologio_.adesso().piùSecondi(secondi), Voce{std::move(compito), 0});
    }
    void ogni(double secondi, std::function<void()> compito) override {
        std::lock_guard blocco(mutex_);
        compiti_.emplace(orologio_.adesso().piùSecondi(secondi), Voce{std::move(compito), secondi});
    }
    // Moves the clock forward by `secondi`, running every task due on the way, in time order.
    void avanza(double secondi) {
        const Data fine = orologio_.adesso().piùSecondi(secondi);
        for (;;) {
            std::unique_lock blocco(mutex_);
            if (compiti_.empty() || compiti_.begin()->first > fine) break;
            auto nodo = compiti_.extract(compiti_.begin());
            blocco.unlock();
            orologio_.imposta(nodo.key());
            nodo.mapped().azione();
            if (nodo.mapped().periodo > 0) {
                blocco.lock();
                nodo.key() = nodo.key().piùSecondi(nodo.mapped().periodo);
                compiti_.insert(std::move(nodo));
            }
        }
        orologio_.imposta(fine);
    }
    std::size_t inAttesa() {
        std::lock_guard blocco(mutex_);
        return compiti_.size();
    }

  private:
    struct Voce {
        std::function<void()> azione;
        double periodo;
    };
    OrologioFinto& orologio_;
    std::mutex mutex_;
    std::multimap<Data, Voce> compiti_;
};

class SorgenteFinta final : public SorgenteFlussi {
  public:
    std::optional<std::string> errore;
    int applicazioni = 0;
    void applicaImpostazioni(FilterDataProvider&,
                             std::function<void(std::optional<std::string>)> fatto) override {
        ++applicazioni;
        fatto(errore);
    }
};

}  // namespace ostrale::test
