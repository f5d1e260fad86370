// SPDX-License-Identifier: GPL-3.0-or-later
// `stato`: the daemon, the rules and today's counters.
#include <iostream>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "Condiviso/codifica-json.h"
#include "Condiviso/informazioni-estensione.h"
#include "Condiviso/orologio.h"
#include "Condiviso/pacchetto-storico.h"
#include "ostralectl/comandi.h"
#include "ostralectl/fonte-regole.h"

namespace ostrale::ctl {
namespace {

std::string quante(std::int64_t n, std::string_view unaEn, std::string_view moltiEn,
                   std::string_view unaIt, std::string_view moltiIt) {
    return std::to_string(n) + " " + (n == 1 ? t(unaEn, unaIt) : t(moltiEn, moltiIt));
}

std::string testoDomande(const InformazioniEstensione& info) {
    if (info.domandeInAttesa == 0) return t("none waiting", "nessuna in attesa");
    std::string testo = quante(info.domandeInAttesa, "application waits", "applications wait",
                               "applicazione attende", "applicazioni attendono") +
                        t(" for an answer", " una risposta");
    // An older daemon tells only how many.
    for (std::size_t i = 0; i < info.appInAttesa.size(); ++i)
        testo += (i == 0 ? ": " : ", ") + info.appInAttesa[i];
    return testo + t(" (ostralectl rispondi IDENTITY allow|block)",
                     " (ostralectl rispondi FIRMA consenti|blocca)");
}

}  // namespace

int stato(const Opzioni& o) {
    if (o.argomenti.size() != 1)
        return argomentiSbagliati("stato",
                                  t("stato takes no arguments", "stato non vuole argomenti"));
    FonteRegole fonte(o);
    const std::optional<int> chiusa = fonte.apri();
    const bool connessa = fonte.viaDemone();
    std::optional<InformazioniEstensione> info;
    std::optional<StatoRegole> regole;
    std::optional<PacchettoStorico> pacchetto;
    int esito = connessa ? esitoOk : esitoNonConnesso;
    if (chiusa == esitoNonAutorizzato) esito = esitoNonAutorizzato;
    if (connessa) {
        auto& cliente = fonte.sessione().cliente();
        info = cliente.informazioni();
        if (!info) return fonte.sessione().senzaRisposta();
        regole = fonte.leggi(esito);
        if (!regole) return esito;
        if (const auto byte = cliente.leggiStorico()) {
            if (auto p = json::decodifica<PacchettoStorico>(*byte))
                pacchetto = std::move(p).valore();
        }
    } else if (!chiusa) {
        // No daemon: the rules it would start with.
        int nessuno = esitoOk;
        regole = fonte.leggi(nessuno);
        fonte.diciFile(false);
    }
    ContatoreOra oggi;
    const std::string giorno = ora(OrologioDiSistema().adesso(), "%Y-%m-%d");
    if (pacchetto) {
        for (const auto& [chiave, c] : pacchetto->ore) {
            if (chiave.rfind(giorno, 0) != 0) continue;
            oggi.consentiti += c.consentiti;
            oggi.bloccati += c.bloccati;
            oggi.tracker += c.tracker;
        }
    }
    const std::size_t regoleApp = regole ? regole->regole.size() : 0;
    const std::size_t regoleDominio = regole ? regole->regoleDominio.size() : 0;
    if (o.json) {
        std::cout << "{\"connessa\":" << (connessa ? "true" : "false");
        if (info) {
            std::cout << ",\"versione\":"
                      << nlohmann::json(info->versione)
                             .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                      << ",\"appConnessa\":" << (info->appConnessa ? "true" : "false")
                      << ",\"domandeInAttesa\":" << info->domandeInAttesa;
        }
        std::cout << ",\"regoleApp\":" << regoleApp << ",\"regoleDominio\":" << regoleDominio
                  << ",\"oggi\":{\"consentiti\":" << oggi.consentiti
                  << ",\"bloccati\":" << oggi.bloccati << ",\"tracker\":" << oggi.tracker << "}}"
                  << std::endl;
        return esito;
    }
    std::cout << t("daemon: ", "estensione: ");
    if (info) {
        std::cout << t("connected (version ", "connessa (versione ") << info->versione << ")\n"
                  << "app: "
                  << (info->appConnessa ? t("connected", "connessa")
                                        : t("not connected", "non connessa"))
                  << "\n"
                  << t("questions: ", "domande: ") << testoDomande(*info) << "\n";
    } else {
        std::cout << (esito == esitoNonAutorizzato ? t("not permitted", "non permessa")
                                                   : t("not reachable", "non raggiungibile"))
                  << "\n";
    }
    if (regole) {
        std::cout << t("rules: ", "regole: ")
                  << quante(static_cast<std::int64_t>(regoleApp), "application", "applications",
                            "applicazione", "applicazioni")
                  << ", "
                  << quante(static_cast<std::int64_t>(regoleDominio), "domain", "domains",
                            "dominio", "domini")
                  << (connessa ? "" : t(" (in the rules file)", " (nel file delle regole)"))
                  << "\n";
    }
    if (pacchetto) {
        std::cout << t("today: ", "oggi: ") << oggi.consentiti << t(" allowed, ", " consentiti, ")
                  << oggi.bloccati << t(" blocked, ", " bloccati, ") << oggi.tracker
                  << (oggi.tracker == 1 ? " tracker" : t(" trackers", " tracker")) << "\n";
    }
    return esito;
}

}  // namespace ostrale::ctl
