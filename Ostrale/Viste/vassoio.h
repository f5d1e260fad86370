// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <optional>

#include "Condiviso/registro.h"
#include "Ostrale/Stato/colore-semaforo.h"

namespace ostrale {

class StatoApp;
class VistaBarraMenu;

// The tray icon (a StatusNotifierItem where the desktop has one) with the controller's light,
// ring and request icon, and its popup. Without a tray the app runs on with its window; the
// icon shows as soon as a tray host appears.
// Every new icon costs the desktop's panel a round trip and a redraw: while the popup or the main
// window is shown the icon follows the controller at once (the ring travels at its full pace);
// with the icon alone it changes at most once a second, showing the state of that moment. An
// icon the same as the last is not sent again.
class Vassoio : public QObject {
    Q_OBJECT
  public:
    explicit Vassoio(StatoApp& stato, QObject* parent = nullptr);
    ~Vassoio() override;

    static constexpr int intervalloNascosto = 1000;  // ms between two icons of the tray alone

    VistaBarraMenu& barraMenu() { return *barra_; }
    QIcon icona() const { return icona_.icon(); }
    void mostraBarraMenu(const QPoint& dove);
    // The main window: while it is shown the ring runs at its full pace.
    void seguiFinestra(QWidget* finestra);
    // Icons set so far (each one a NewIcon to the panel).
    int iconeImpostate() const { return impostate_; }

  signals:
    void apriRichiesto();
    void esciRichiesto();

  private:
    // What an icon shows; the same key, the same picture.
    struct Aspetto {
        ColoreSemaforo luce;
        bool anello;
        double fase;
        bool richiesta;
        bool operator==(const Aspetto&) const = default;
    };
    void richiediIcona();
    void aggiornaIcona();
    void cercaVassoio();
    bool animazioneVista() const;

    StatoApp& stato_;
    QSystemTrayIcon icona_;
    VistaBarraMenu* barra_;
    QTimer attesaVassoio_;
    QPointer<QWidget> finestra_;
    std::optional<Aspetto> ultimo_;
    QElapsedTimer ultimaIcona_;
    QTimer rinvio_;
    int impostate_ = 0;
    Registro log_{"it.brelt.ostrale", "vassoio"};
};

}  // namespace ostrale
