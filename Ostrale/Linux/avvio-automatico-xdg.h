// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "Ostrale/Stato/avvio-automatico.h"

namespace ostrale {

class CodaSeriale;

// Launch at login as an XDG autostart entry, $XDG_CONFIG_HOME/autostart/ostrale.desktop
// (~/.config when the variable is unset or not absolute). The app starts at login while the file
// exists and says neither Hidden=true nor X-GNOME-Autostart-enabled=false. Registering writes the
// whole entry anew (a temporary file in the same folder, then a rename); unregistering removes
// the file, so nothing of ours is left behind. Files are touched on a thread of its own.
class AvvioAutomaticoXdg final : public AvvioAutomatico {
  public:
    static constexpr qint64 letturaMassima = 64 << 10;  // an entry is a few lines

    static QString percorsoPredefinito();
    // The entry that starts `eseguibile` in the tray; none when the path has characters an entry
    // cannot carry (control characters).
    static std::optional<QByteArray> voce(const QString& eseguibile);
    // Whether an entry's text lets the app start.
    static bool èAttiva(const QByteArray& testo);

    explicit AvvioAutomaticoXdg(QString eseguibile, QString percorso = percorsoPredefinito());
    ~AvvioAutomaticoXdg() override;

    void leggi(Risposta risposta) override;
    void imposta(bool attivo, Risposta risposta) override;

    const QString& percorso() const { return percorso_; }

  private:
    void inCoda(std::function<Esito()> lavoro, Risposta risposta);

    QString eseguibile_;
    QString percorso_;
    std::unique_ptr<QObject> contesto_;  // where the answers are delivered
    std::unique_ptr<CodaSeriale> coda_;  // goes first: a write already asked still happens
};

}  // namespace ostrale
