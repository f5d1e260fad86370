// SPDX-License-Identifier: GPL-3.0-or-later
// The paused flows: kept in batches per application and user, asked about once per batch,
// released by the answers or by the silence of an expiry.
#include "Estensione/filter-data-provider.h"

#include "Condiviso/testo.h"

namespace ostrale {

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

}  // namespace ostrale
