// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/registro.h"

#include <syslog.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <systemd/sd-journal.h>

namespace ostrale {
namespace {

class DestinazioneJournal final : public DestinazioneRegistro {
  public:
    void scrivi(const RigaRegistro& riga) override {
        sd_journal_send("MESSAGE=%s", riga.messaggio.c_str(), "PRIORITY=%d", priorità(riga.livello),
                        "SUBSYSTEM=%s", riga.sottosistema.c_str(), "CATEGORY=%s",
                        riga.categoria.c_str(), "SYSLOG_IDENTIFIER=%s", riga.sottosistema.c_str(),
                        nullptr);
    }

  private:
    static int priorità(Livello livello) {
        switch (livello) {
            case Livello::debug:
                return LOG_DEBUG;
            case Livello::info:
                return LOG_INFO;
            case Livello::avviso:
                return LOG_WARNING;
            case Livello::errore:
                return LOG_ERR;
            case Livello::guasto:
                return LOG_CRIT;
        }
        return LOG_INFO;
    }
};

class DestinazioneErrore final : public DestinazioneRegistro {
  public:
    void scrivi(const RigaRegistro& riga) override {
        std::lock_guard blocco(mutex_);
        std::fprintf(stderr, "%s [%s] %s: %s\n", riga.sottosistema.c_str(), riga.categoria.c_str(),
                     nome(riga.livello), riga.messaggio.c_str());
    }

  private:
    static const char* nome(Livello livello) {
        switch (livello) {
            case Livello::debug:
                return "debug";
            case Livello::info:
                return "info";
            case Livello::avviso:
                return "warning";
            case Livello::errore:
                return "error";
            case Livello::guasto:
                return "fault";
        }
        return "info";
    }
    std::mutex mutex_;
};

struct StatoGlobale {
    std::mutex mutex;
    // Debug lines are kept only when asked for (OSTRALE_DEBUG) or by a destination of a
    // test's: a busy machine would fill the journal with them.
    std::atomic<bool> debug = std::getenv("OSTRALE_DEBUG") != nullptr;
    std::shared_ptr<DestinazioneRegistro> destinazione = destinazionePredefinita();
    std::string sottosistema = "it.brelt.ostrale";
};

StatoGlobale& globale() {
    static StatoGlobale stato;
    return stato;
}

}  // namespace

std::shared_ptr<DestinazioneRegistro> destinazionePredefinita() {
    std::error_code errore;
    if (std::filesystem::exists("/run/systemd/journal/socket", errore)) {
        return std::make_shared<DestinazioneJournal>();
    }
    return std::make_shared<DestinazioneErrore>();
}

void DestinazioneMemoria::scrivi(const RigaRegistro& riga) {
    std::lock_guard blocco(mutex_);
    righe_.push_back(riga);
}

std::vector<RigaRegistro> DestinazioneMemoria::righe() const {
    std::lock_guard blocco(mutex_);
    return righe_;
}

bool DestinazioneMemoria::contiene(std::string_view frammento) const {
    std::lock_guard blocco(mutex_);
    for (const auto& riga : righe_) {
        if (riga.messaggio.find(frammento) != std::string::npos) return true;
    }
    return false;
}

void DestinazioneMemoria::svuota() {
    std::lock_guard blocco(mutex_);
    righe_.clear();
}

Registro::Registro(std::string sottosistema, std::string categoria)
    : sottosistema_(std::move(sottosistema)), categoria_(std::move(categoria)) {}

Registro::Registro(std::string categoria) : categoria_(std::move(categoria)) {}

bool Registro::debugAttivo() {
    return globale().debug.load(std::memory_order_relaxed);
}

void Registro::scrivi(Livello livello, std::string_view messaggio) const {
    if (livello == Livello::debug && !debugAttivo()) return;
    std::shared_ptr<DestinazioneRegistro> destinazione;
    std::string sottosistema = sottosistema_;
    {
        auto& stato = globale();
        std::lock_guard blocco(stato.mutex);
        destinazione = stato.destinazione;
        if (sottosistema.empty()) sottosistema = stato.sottosistema;
    }
    destinazione->scrivi(
        RigaRegistro{std::move(sottosistema), categoria_, livello, std::string(messaggio)});
}

std::shared_ptr<DestinazioneRegistro> Registro::impostaDestinazione(
    std::shared_ptr<DestinazioneRegistro> destinazione) {
    auto& stato = globale();
    std::lock_guard blocco(stato.mutex);
    auto precedente = std::move(stato.destinazione);
    stato.debug = destinazione != nullptr || std::getenv("OSTRALE_DEBUG") != nullptr;
    stato.destinazione = destinazione ? std::move(destinazione) : destinazionePredefinita();
    return precedente;
}

void Registro::impostaSottosistema(std::string sottosistema) {
    auto& stato = globale();
    std::lock_guard blocco(stato.mutex);
    stato.sottosistema = std::move(sottosistema);
}

}  // namespace ostrale
