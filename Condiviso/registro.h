// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace ostrale {

enum class Livello { debug, info, avviso, errore, guasto };

struct RigaRegistro {
    std::string sottosistema;
    std::string categoria;
    Livello livello;
    std::string messaggio;
};

// Where log lines go. One destination serves the whole process.
class DestinazioneRegistro {
  public:
    virtual ~DestinazioneRegistro() = default;
    virtual void scrivi(const RigaRegistro& riga) = 0;
};

// journald when its socket exists, else standard error.
std::shared_ptr<DestinazioneRegistro> destinazionePredefinita();

// Keeps every line in memory, for tests to read.
class DestinazioneMemoria final : public DestinazioneRegistro {
  public:
    void scrivi(const RigaRegistro& riga) override;
    std::vector<RigaRegistro> righe() const;
    // Whether some line's message contains `frammento`.
    bool contiene(std::string_view frammento) const;
    void svuota();

  private:
    mutable std::mutex mutex_;
    std::vector<RigaRegistro> righe_;
};

// A named logger: subsystem and category, as the system log shows them.
class Registro {
  public:
    Registro(std::string sottosistema, std::string categoria);
    // A logger of this process's subsystem (set once by main, see `impostaSottosistema`).
    explicit Registro(std::string categoria);

    void debug(std::string_view messaggio) const { scrivi(Livello::debug, messaggio); }
    void info(std::string_view messaggio) const { scrivi(Livello::info, messaggio); }
    void avviso(std::string_view messaggio) const { scrivi(Livello::avviso, messaggio); }
    void errore(std::string_view messaggio) const { scrivi(Livello::errore, messaggio); }
    void guasto(std::string_view messaggio) const { scrivi(Livello::guasto, messaggio); }
    void scrivi(Livello livello, std::string_view messaggio) const;

    // Replaces the destination of every logger (nullptr restores the default); returns the old one.
    static std::shared_ptr<DestinazioneRegistro> impostaDestinazione(
        std::shared_ptr<DestinazioneRegistro> destinazione);
    static void impostaSottosistema(std::string sottosistema);
    // Whether debug lines go anywhere: callers may skip building them.
    static bool debugAttivo();

  private:
    std::string sottosistema_;
    std::string categoria_;
};

}  // namespace ostrale
