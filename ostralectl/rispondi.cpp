// SPDX-License-Identifier: GPL-3.0-or-later
// `rispondi`: the answer for an application whose flows the daemon holds for a decision.
#include <algorithm>
#include <iostream>
#include <string>

#include "Condiviso/risposta-domanda.h"
#include "ostralectl/comandi.h"

namespace ostrale::ctl {

int rispondi(const Opzioni& o) {
    const auto& a = o.argomenti;
    const std::string_view comando = "rispondi";
    if (a.size() < 3) {
        return argomentiSbagliati(
            comando, t("rispondi IDENTITY allow|block", "rispondi FIRMA consenti|blocca"));
    }
    const std::string& firma = a[1];
    if (const auto errore = controllaIdentità(firma)) return argomentiSbagliati(comando, *errore);
    const auto az = leggiAzione(a[2]);
    if (!az) {
        return argomentiSbagliati(comando, t("the answer is allow or block (consenti or blocca)",
                                             "la risposta è consenti o blocca"));
    }
    const auto lette = leggiOpzioni(a, 3, {"--dominio", "--porta"}, {"--una-volta"});
    if (lette.errore) return argomentiSbagliati(comando, *lette.errore);
    RispostaSospesi risposta{firma, *az == AzioneRegola::consenti, lette.ha("--una-volta"), {}, {}};
    if (const auto* dominio = lette.valore("--dominio")) {
        if (const auto errore = controllaDominio(*dominio))
            return argomentiSbagliati(comando, "--dominio: " + *errore);
        risposta.dominio = RegolaDominio::normalizza(*dominio);
    }
    if (lette.ha("--porta") && !risposta.dominio) {
        return argomentiSbagliati(comando,
                                  t("--porta goes with --dominio", "--porta va con --dominio"));
    }
    if (const auto errore = leggiPorta(lette, risposta.porta))
        return argomentiSbagliati(comando, *errore);

    Sessione s(o);
    if (const auto esito = s.connetti()) return *esito;
    const auto info = s.cliente().informazioni();
    if (!info) return s.senzaRisposta();
    // An older daemon tells how many applications wait, not which: it is answered anyway.
    const bool attende = std::ranges::find(info->appInAttesa, firma) != info->appInAttesa.end();
    if (!attende && (!info->appInAttesa.empty() || info->domandeInAttesa == 0)) {
        std::string quali;
        for (const auto& app : info->appInAttesa) quali += (quali.empty() ? "" : ", ") + app;
        dici(t("no question waits for " + firma + ": nothing was sent",
               "nessuna domanda attende per " + firma + ": non è stato inviato nulla") +
             (quali.empty() ? t(" (no application waits for an answer)",
                                " (nessuna applicazione attende una risposta)")
                            : t(" (waiting: " + quali + ")", " (in attesa: " + quali + ")")));
        return esitoFallito;
    }
    // Without options the plain answer, which every daemon understands.
    const bool inviata = lette.valori.empty() ? s.cliente().rispondiFlusso(firma, risposta.consenti)
                                              : s.cliente().rispondiSospesi(risposta);
    // The answer has no reply: a round trip makes sure it was read before the connection ends.
    if (!inviata || !s.cliente().informazioni()) return s.senzaRisposta();
    if (o.json) return esitoOk;
    std::string perché;
    if (risposta.dominio) {
        perché += t(" to ", " verso ") + *risposta.dominio;
        if (risposta.porta) perché += t(" port ", " porta ") + std::to_string(*risposta.porta);
    }
    if (risposta.unaVolta) perché += t(", this time only", ", solo questa volta");
    std::cout << t("answer sent: ", "risposta inviata: ") << testoAzione(*az)
              << t(" the waiting flows of ", " i flussi in attesa di ") << firma << perché << "\n";
    return esitoOk;
}

}  // namespace ostrale::ctl
