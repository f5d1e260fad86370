// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/cliente-canale.h"

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "Condiviso/codifica-json.h"

namespace ostrale::canale {

ClienteCanale::ClienteCanale(std::filesystem::path percorso, Richiami richiami, Ruolo ruolo)
    : percorso_(std::move(percorso)), richiami_(std::move(richiami)), ruolo_(ruolo) {}

ClienteCanale::~ClienteCanale() {
    {
        std::lock_guard blocco(mutex_);
        fine_ = true;
        mantieni_ = false;
    }
    sveglia_.notify_all();
    if (ciclo_.joinable()) ciclo_.join();
    // Their threads call back into this object: they must be gone before it is.
    std::vector<std::shared_ptr<ConnessioneCanale>> tutte;
    {
        std::lock_guard blocco(mutex_);
        tutte = vecchie_;
        if (connessione_) tutte.push_back(connessione_);
    }
    for (const auto& c : tutte) c->chiudi();
    for (const auto& c : tutte) c->attendi();
}

std::optional<ClienteCanale::Errore> ClienteCanale::connetti(Durata attesa) {
    if (connesso()) return std::nullopt;
    sockaddr_un indirizzo{};
    indirizzo.sun_family = AF_UNIX;
    if (percorso_.string().size() >= sizeof indirizzo.sun_path) return Errore::nonRaggiungibile;
    std::strcpy(indirizzo.sun_path, percorso_.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return Errore::nonRaggiungibile;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo) != 0) {
        const int causa = errno;
        ::close(fd);
        return causa == EACCES || causa == EPERM ? Errore::nonAutorizzato
                                                 : Errore::nonRaggiungibile;
    }
    auto connessione = std::make_shared<ConnessioneCanale>(
        fd, [this](ConnessioneCanale&, Cornice c) { ricevi(std::move(c)); },
        [this](ConnessioneCanale& c) { perso(c); });
    {
        // Ended connections wait in `vecchie_` until the destructor: this may run on one of
        // their own threads (a reconnection from suPerso), which cannot join itself.
        std::lock_guard blocco(mutex_);
        if (connessione_) vecchie_.push_back(std::move(connessione_));
        connessione_ = connessione;
        registrato_ = false;
    }
    connessione->avvia();
    bool accettata = false;
    if (ruolo_ == Ruolo::app) {
        const auto risposta = chiama(messaggi::registra, {}, attesa);
        if (risposta && leggiBool(*risposta) == false) {
            connessione->chiudi();
            return Errore::altraApp;
        }
        accettata = risposta.has_value();
    } else {
        accettata = informazioni(attesa).has_value();
    }
    if (!accettata) {
        // The extension closes at once the connections it does not accept; one still open when
        // the wait ended is an extension that did not answer in time.
        const bool rifiutata = connessione->finita();
        connessione->chiudi();
        return rifiutata ? Errore::nonAutorizzato : Errore::senzaRisposta;
    }
    {
        std::lock_guard blocco(mutex_);
        registrato_ = true;
    }
    falliti_ = 0;
    if (richiami_.suRegistrato) richiami_.suRegistrato();
    return std::nullopt;
}

void ClienteCanale::disconnetti() {
    std::shared_ptr<ConnessioneCanale> connessione;
    {
        std::lock_guard blocco(mutex_);
        connessione = connessione_;
    }
    if (connessione) connessione->chiudi();
}

bool ClienteCanale::connesso() const {
    std::lock_guard blocco(mutex_);
    return connessione_ && !connessione_->finita();
}

void ClienteCanale::mantieniConnessione() {
    std::lock_guard blocco(mutex_);
    if (mantieni_ || fine_) return;
    mantieni_ = true;
    ciclo_ = std::thread([this] { ciclo(); });
}

void ClienteCanale::ciclo() {
    std::unique_lock blocco(mutex_);
    while (mantieni_ && !fine_) {
        const bool serve = !connessione_ || connessione_->finita();
        if (serve) {
            // This thread is none of the connections': ended ones are joined here.
            std::vector<std::shared_ptr<ConnessioneCanale>> finite;
            std::erase_if(vecchie_, [&](const auto& c) {
                if (!c->finita()) return false;
                finite.push_back(c);
                return true;
            });
            blocco.unlock();
            for (const auto& c : finite) c->attendi();
            finite.clear();
            if (connetti()) ++falliti_;
            blocco.lock();
        }
        sveglia_.wait_for(blocco, pausaRiconnessione, [this] { return fine_ || !mantieni_; });
    }
}

void ClienteCanale::perso(ConnessioneCanale& connessione) {
    std::map<std::uint32_t, std::shared_ptr<Attesa>> abbandonate;
    bool eraCorrente = false;
    {
        std::lock_guard blocco(mutex_);
        if (connessione_.get() == &connessione) {
            eraCorrente = true;
            vecchie_.push_back(std::move(connessione_));
            connessione_.reset();
            abbandonate.swap(inAttesa_);
            for (auto& [id, attesa] : abbandonate) attesa->conclusa = true;
        }
    }
    risposte_.notify_all();
    if (eraCorrente && richiami_.suPerso) richiami_.suPerso();
}

void ClienteCanale::ricevi(Cornice cornice) {
    if (cornice.tipo == TipoCornice::risposta) {
        std::lock_guard blocco(mutex_);
        const auto it = inAttesa_.find(cornice.id);
        if (it == inAttesa_.end()) return;
        it->second->risposta = std::move(cornice.carico);
        it->second->conclusa = true;
        inAttesa_.erase(it);
        risposte_.notify_all();
        return;
    }
    if (cornice.tipo != TipoCornice::notifica) return;
    if (cornice.nome == messaggi::nuovoFlusso && richiami_.suNuovoFlusso) {
        richiami_.suNuovoFlusso(std::move(cornice.carico));
    } else if (cornice.nome == messaggi::chiediDecisione && richiami_.suChiediDecisione) {
        richiami_.suChiediDecisione(std::move(cornice.carico));
    } else if (cornice.nome == messaggi::regole && richiami_.suRegole) {
        richiami_.suRegole(std::move(cornice.carico));
    }
}

std::optional<std::string> ClienteCanale::chiama(std::string_view nome, std::string carico,
                                                 Durata attesa) {
    auto voce = std::make_shared<Attesa>();
    std::shared_ptr<ConnessioneCanale> connessione;
    std::uint32_t id;
    {
        std::lock_guard blocco(mutex_);
        if (!connessione_) return std::nullopt;
        connessione = connessione_;
        id = prossimoId_++;
        inAttesa_[id] = voce;
    }
    if (!connessione->invia(
            Cornice{TipoCornice::chiamata, id, std::string(nome), std::move(carico)})) {
        std::lock_guard blocco(mutex_);
        inAttesa_.erase(id);
        return std::nullopt;
    }
    std::unique_lock blocco(mutex_);
    if (!risposte_.wait_for(blocco, attesa, [&] { return voce->conclusa; })) {
        inAttesa_.erase(id);
        return std::nullopt;
    }
    return voce->risposta;
}

std::optional<bool> ClienteCanale::aggiornaRegole(std::string json, Durata attesa) {
    const auto r = chiama(messaggi::aggiornaRegole, std::move(json), attesa);
    return r ? leggiBool(*r) : std::nullopt;
}

std::optional<std::string> ClienteCanale::leggiStorico(Durata attesa) {
    return chiama(messaggi::leggiStorico, {}, attesa);
}

std::optional<std::string> ClienteCanale::leggiFlussi(Durata attesa) {
    return chiama(messaggi::leggiFlussi, {}, attesa);
}

std::optional<std::int64_t> ClienteCanale::aggiornaBlocklistC2(std::string testo, Durata attesa) {
    const auto r = chiama(messaggi::aggiornaBlocklistC2, std::move(testo), attesa);
    return r ? leggiIntero(*r) : std::nullopt;
}

std::optional<InformazioniEstensione> ClienteCanale::informazioni(Durata attesa) {
    const auto r = chiama(messaggi::informazioni, {}, attesa);
    if (!r) return std::nullopt;
    auto info = json::decodifica<InformazioniEstensione>(*r);
    if (!info) return std::nullopt;
    return std::move(info).valore();
}

std::optional<RispostaModifica> ClienteCanale::modificaRegole(const ModificaRegole& modifica,
                                                              Durata attesa) {
    const auto r = chiama(messaggi::modificaRegole, json::codifica(modifica), attesa);
    if (!r) return std::nullopt;
    auto risposta = json::decodifica<RispostaModifica>(*r);
    if (!risposta) return std::nullopt;
    return *risposta;
}

std::optional<StatoRegole> ClienteCanale::leggiRegole(Durata attesa) {
    const auto r = chiama(messaggi::leggiRegole, {}, attesa);
    if (!r) return std::nullopt;
    auto stato = json::decodifica<StatoRegole>(*r);
    if (!stato) return std::nullopt;
    return std::move(stato).valore();
}

std::optional<bool> ClienteCanale::segui(Durata attesa) {
    const auto r = chiama(messaggi::segui, {}, attesa);
    return r ? leggiBool(*r) : std::nullopt;
}

bool ClienteCanale::rispondiFlusso(const std::string& firma, bool consenti) {
    return senzaRisposta(messaggi::rispondiFlusso, risposta(firma, consenti));
}

bool ClienteCanale::rispondiSospesi(const RispostaSospesi& decisione) {
    return senzaRisposta(messaggi::rispondiSospesi, json::codifica(decisione));
}

bool ClienteCanale::senzaRisposta(std::string_view nome, std::string carico) {
    std::shared_ptr<ConnessioneCanale> connessione;
    std::uint32_t id;
    {
        std::lock_guard blocco(mutex_);
        if (!connessione_) return false;
        connessione = connessione_;
        id = prossimoId_++;
    }
    return connessione->invia(
        Cornice{TipoCornice::chiamata, id, std::string(nome), std::move(carico)});
}

}  // namespace ostrale::canale
