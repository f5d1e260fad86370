// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "Condiviso/orologio.h"
#include "Ostrale/Stato/temporizzatore.h"

class QCoreApplication;

namespace ostrale {

class GestoreFiltro;
class ImpostazioniApp;
class NotificatoreDBus;
class PosizioneLocale;
class PresentatoreDomande;
class ServiziDati;
class StatoApp;

// The controller and its services as both front ends build them (the windowed app and the
// headless runner), in the one order they need: the preferences and the texts in their
// language, the filter's manager, the clock and the timer, whoever answers the questions, the
// notifications, the controller, the threat and location data, this computer's position.
// Everything is built here and nothing starts before `avvia`.
class AvvioApp {
  public:
    struct Scelte {
        QString preferenze;             // the preferences file; empty: the user's
        QString gestore;                // empty: OSTRALE_GESTORE, else the machine's
        QStringList comandoEstensione;  // the extension the local manager runs; empty: its own
        QString socket;                 // empty: OSTRALE_SOCKET, else the system's
        bool notifiche = true;          // post notifications on the session bus
    };
    // Makes whoever answers the questions, once the clock exists.
    using CreaDomande = std::function<std::unique_ptr<PresentatoreDomande>(const Orologio&)>;

    // Absent when `scelte.gestore` (or OSTRALE_GESTORE) names no manager; nothing else is built
    // then, beyond the preferences and the texts.
    static std::unique_ptr<AvvioApp> crea(QCoreApplication& app, const Scelte& scelte,
                                          const CreaDomande& creaDomande);
    ~AvvioApp();

    ImpostazioniApp& preferenze() { return *preferenze_; }
    StatoApp& stato() { return *stato_; }
    ServiziDati& dati() { return *dati_; }

    // Starts the controller and the data services, and asks where this computer is.
    void avvia();

  private:
    AvvioApp() = default;

    std::unique_ptr<ImpostazioniApp> preferenze_;
    std::unique_ptr<GestoreFiltro> gestore_;
    OrologioDiSistema orologio_;
    TemporizzatoreQt temporizzatore_;
    std::unique_ptr<PresentatoreDomande> domande_;
    std::unique_ptr<NotificatoreDBus> notifiche_;
    std::unique_ptr<StatoApp> stato_;
    std::unique_ptr<ServiziDati> dati_;
    std::unique_ptr<PosizioneLocale> posizione_;
};

}  // namespace ostrale
