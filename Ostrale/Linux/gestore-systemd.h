// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantMap>
#include <functional>

#include "Ostrale/Stato/gestore-filtro.h"

namespace ostrale {

// The filter as the unit ostrale-estensione.service of systemd, over its D-Bus API:
// - on: the unit is active (or on its way there); switching = StartUnit / StopUnit, enabling
//   the unit first when it is not;
// - installed: systemd knows the unit file; approved: the unit is enabled. Enabling asks the
//   administrator through polkit (interactively); a refusal leaves the copy awaiting approval;
// - replacing a running copy = restarting the unit, which runs the installed program;
// - the configuration changed: the unit's properties changed, or the unit files did.
class GestoreSystemd final : public GestoreFiltro {
    Q_OBJECT
  public:
    static constexpr const char* unita = "ostrale-estensione.service";
    static constexpr const char* servizio = "org.freedesktop.systemd1";
    static constexpr const char* percorsoManager = "/org/freedesktop/systemd1";
    static constexpr const char* interfacciaManager = "org.freedesktop.systemd1.Manager";
    // How long a call that may ask the administrator can take (a password typed).
    static constexpr int attesaInterattiva = 5 * 60 * 1000;

    // Whether systemd runs this machine.
    static bool disponibile();
    // The object path systemd gives the unit.
    static QString percorsoUnita();

    explicit GestoreSystemd(QDBusConnection bus = QDBusConnection::systemBus(),
                            QObject* parent = nullptr);

    void leggiStato(SuStato risposta) override;
    void imposta(bool attivo, SuFatto risposta) override;
    void leggiCopie(SuCopie risposta) override;
    void attiva(SuAttivazione risposta) override;

  private slots:
    void proprietaCambiate(const QString& interfaccia, const QVariantMap& cambiate,
                           const QStringList& invalidate);
    void fileCambiati();

  private:
    using SuRisposta = std::function<void(const QDBusMessage& risposta)>;
    void chiama(QDBusMessage messaggio, SuRisposta risposta, bool interattiva = false);
    QDBusMessage metodo(const char* nome) const;
    // The unit's enablement: "enabled", "disabled", …; empty with an error when unknown.
    void statoFile(std::function<void(Errore errore, QString stato)> risposta);
    void abilita(std::function<void(Errore errore, bool rifiutata)> risposta);

    QDBusConnection bus_;
    bool rifiutata_ = false;  // the administrator has not authorised enabling yet
};

}  // namespace ostrale
