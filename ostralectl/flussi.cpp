// SPDX-License-Identifier: GPL-3.0-or-later
// `flussi [--segui]` and `attacchi`: the daemon's log of flows, and live ones.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <pthread.h>
#include <unistd.h>

#include "Condiviso/codifica-json.h"
#include "Condiviso/evento-flusso.h"
#include "Condiviso/testo.h"
#include "ostralectl/comandi.h"

namespace ostrale::ctl {
namespace {

void stampaEvento(const EventoFlusso& e) {
    std::string riga = ora(e.data) + "  ";
    if (e.attacco) {
        riga += t("ATTACK  ", "ATTACCO  ") + testoAttacco(*e.attacco) + "  " + e.firmaApp + "  " +
                e.host + t(" port ", " porta ") + e.porta +
                (!e.consentito                ? t("  (blocked)", "  (bloccato)")
                 : !e.anomala.value_or(false) ? t("  (usual)", "  (abituale)")
                                              : "");
    } else {
        const std::size_t larghezza = inItaliano() ? 8 : 5;
        riga += colonna(testoAzione(e.consentito ? AzioneRegola::consenti : AzioneRegola::blocca),
                        larghezza) +
                "  " + (e.motivo ? testoMotivo(*e.motivo) : "?") + "  " + e.firmaApp +
                (e.direzione == DirezioneFlusso::entrata ? " ← " : " → ") + e.host + ":" + e.porta +
                " " + e.protocollo + (e.anomala.value_or(false) ? t("  unusual", "  anomalo") : "");
    }
    std::cout << riga << "\n";
}

std::optional<std::vector<EventoFlusso>> leggiFlussi(Sessione& s, int& esito) {
    const auto byte = s.cliente().leggiFlussi();
    if (!byte) {
        esito = s.senzaRisposta();
        return std::nullopt;
    }
    auto eventi = json::decodifica<std::vector<EventoFlusso>>(*byte);
    if (!eventi) {
        dici(t("the daemon's log could not be read: ",
               "il registro dell'estensione è illeggibile: ") +
             eventi.motivo());
        esito = esitoFallito;
        return std::nullopt;
    }
    return std::move(eventi).valore();
}

sigset_t segnaliDiFine() {
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGINT);
    sigaddset(&s, SIGTERM);
    return s;
}

int registro(const Opzioni& o, bool soloAttacchi) {
    const std::string_view comando = soloAttacchi ? "attacchi" : "flussi";
    const auto lette = soloAttacchi ? leggiOpzioni(o.argomenti, 1, {})
                                    : leggiOpzioni(o.argomenti, 1, {}, {"--segui"});
    if (lette.errore) return argomentiSbagliati(comando, *lette.errore);
    const bool segui = lette.ha("--segui");
    // Live events are printed by the connection's thread; signals wait in the main one.
    const sigset_t segnali = segnaliDiFine();
    pthread_sigmask(SIG_BLOCK, &segnali, nullptr);
    // Live events that arrive before the log has been printed wait, so that the order holds
    // and the connection's thread never waits for the main one.
    std::mutex uscita;
    bool logStampato = false;
    std::vector<std::string> inAttesa;
    // Output is flushed by the main thread every few hundredths of a second, not per event: a
    // busy machine sends thousands a second (and the buffer is large enough that nothing is
    // written in between).
    bool sporco = false;
    if (segui) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 20);
    auto stampaDalVivo = [&](const std::string& byte) {
        if (o.json) {
            // The daemon's own JSON, passed through as one line.
            if (byte.empty() || byte.front() != '{' || byte.find('\n') != std::string::npos ||
                !testo::èUtf8Valido(byte))
                return;
            std::cout << byte << '\n';
        } else {
            const auto e = json::decodifica<EventoFlusso>(byte);
            if (!e) return;
            stampaEvento(*e);
        }
        sporco = true;
    };
    // Set when the daemon went away while we followed; not when we leave.
    std::atomic<bool> perso = false;
    std::atomic<bool> finito = false;
    canale::ClienteCanale::Richiami richiami;
    if (segui) {
        richiami.suNuovoFlusso = [&](std::string byte) {
            std::lock_guard blocco(uscita);
            if (!logStampato) {
                if (inAttesa.size() < 100000) inAttesa.push_back(std::move(byte));
                return;
            }
            stampaDalVivo(byte);
        };
        richiami.suPerso = [&] {
            if (finito) return;
            perso = true;
            ::kill(::getpid(), SIGTERM);
        };
    }
    Sessione s(o, std::move(richiami));
    if (const auto esito = s.connetti()) return *esito;
    if (segui && s.cliente().segui() != true) {
        dici(t("the daemon does not send its flows", "l'estensione non invia i suoi flussi"));
        return esitoFallito;
    }
    int esito = esitoOk;
    const auto eventi = leggiFlussi(s, esito);
    if (!eventi) return esito;
    bool vuoto = false;
    {
        std::lock_guard blocco(uscita);
        std::vector<EventoFlusso> scelti;
        for (const auto& e : *eventi) {
            if (!soloAttacchi || e.attacco) scelti.push_back(e);
        }
        if (o.json) {
            std::cout << json::codifica(scelti) << std::endl;
        } else {
            for (const auto& e : scelti) stampaEvento(e);
            vuoto = scelti.empty();
            std::cout.flush();
        }
        for (const auto& byte : inAttesa) stampaDalVivo(byte);
        inAttesa.clear();
        logStampato = true;
    }
    if (vuoto) {
        dici(soloAttacchi ? t("no attacks in the log", "nessun attacco nel registro")
                          : t("the log is empty", "il registro è vuoto"));
    }
    if (!segui) return esitoOk;
    const timespec passo{0, 50'000'000};
    for (;;) {
        const int segnale = sigtimedwait(&segnali, nullptr, &passo);
        {
            std::lock_guard blocco(uscita);
            if (sporco) std::cout.flush();
            sporco = false;
        }
        if (segnale > 0) break;
    }
    finito = true;
    if (perso || !s.cliente().connesso()) {
        dici(t("the daemon at " + s.socket().string() + " went away: no more flows to follow",
               "l'estensione su " + s.socket().string() +
                   " se n'è andata: non ci sono più flussi da seguire"));
        return esitoNonConnesso;
    }
    return esitoOk;
}

}  // namespace

int flussi(const Opzioni& o) {
    return registro(o, false);
}

int attacchi(const Opzioni& o) {
    return registro(o, true);
}

}  // namespace ostrale::ctl
