// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace ostrale {

// The system's side of the filter: whether it is switched on, switching it, and the state of
// the installed extension. Every answer comes later, on the main thread, never from inside the
// call. On a systemd machine the filter is the unit ostrale-estensione.service; elsewhere the
// app runs the extension itself.
class GestoreFiltro : public QObject {
    Q_OBJECT
  public:
    using Errore = std::optional<QString>;

    // One installed copy of the extension.
    struct Copia {
        bool abilitata = false;    // installed and approved: it may run
        bool daApprovare = false;  // installed, waiting for the administrator's authorisation
    };

    // What an activation (install, or replace the running copy) came to. An activation may
    // first answer `daApprovare`, then, once authorised, one of the others.
    enum class Esito { daApprovare, completata, dopoRiavvio, altro, fallita };

    using SuStato = std::function<void(Errore errore, bool attivo)>;
    using SuFatto = std::function<void(Errore errore)>;
    using SuCopie = std::function<void(std::vector<Copia> copie)>;
    using SuAttivazione = std::function<void(Esito esito, QString errore)>;

    using QObject::QObject;

    // The switch as the system has it (the filter runs, or is meant to).
    virtual void leggiStato(SuStato risposta) = 0;
    // Switches the filter on or off.
    virtual void imposta(bool attivo, SuFatto risposta) = 0;
    // The installed copies (empty when none is).
    virtual void leggiCopie(SuCopie risposta) = 0;
    // Installs and approves the extension, and replaces a running copy with the installed one.
    virtual void attiva(SuAttivazione risposta) = 0;

  signals:
    // The system's configuration of the filter changed (switched elsewhere, the daemon ended).
    void configurazioneCambiata();
};

}  // namespace ostrale
