// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sys/types.h>

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>
#include <optional>

#include "Condiviso/blocco-file.h"

namespace ostrale {

// One app per user. The copy that runs holds a lock in the user's runtime directory for its
// whole life (released by the kernel however it ends), and answers on the session bus, as
// "it.brelt.ostrale", a request to show its window. A later copy finds the lock held and makes
// that request instead of running.
class IstanzaUnica : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "it.brelt.ostrale.App")
  public:
    static constexpr const char* servizio = "it.brelt.ostrale";
    static constexpr const char* oggetto = "/it/brelt/ostrale";
    static constexpr const char* interfaccia = "it.brelt.ostrale.App";

    // OSTRALE_BLOCCO_APP when set, else $XDG_RUNTIME_DIR/ostrale/app.lock (Qt's runtime
    // location when that is unset).
    static QString percorsoBlocco();
    // The lock, when no other copy holds it within `attesa` (a relaunch waits for the old copy).
    static std::unique_ptr<IstanzaUnica> prendi(std::chrono::milliseconds attesa = {});
    // The process id of the copy that holds it, when one does.
    static std::optional<pid_t> altra();
    // Asks the running copy to show its window (at `sezione`, when one is named); whether it
    // answered.
    static bool chiediFinestra(const QString& sezione = {});

    // Answers the requests on the session bus from now on; false without a bus.
    bool pubblica();

  public slots:
    Q_SCRIPTABLE void Mostra(const QString& sezione);

  signals:
    void finestraRichiesta(const QString& sezione);

  private:
    explicit IstanzaUnica(BloccoFile blocco) : blocco_(std::move(blocco)) {}
    BloccoFile blocco_;
};

}  // namespace ostrale
