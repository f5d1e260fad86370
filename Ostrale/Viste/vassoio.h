#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include "Condiviso/registro.h"

namespace ostrale {

class StatoApp;
class VistaBarraMenu;

// The tray icon (a StatusNotifierItem where the desktop has one) with the controller's light,
// ring and request icon, and its popup. Without a tray the app runs on with its window; the
// icon shows as soon as a tray host appears.
class Vassoio : public QObject {
    Q_OBJECT
  public:
    explicit Vassoio(StatoApp& stato, QObject* parent = nullptr);
    ~Vassoio() override;

    VistaBarraMenu& barraMenu() { return *barra_; }
    QIcon icona() const { return icona_.icon(); }
    void mostraBarraMenu(const QPoint& dove);

  signals:
    void apriRichiesto();
    void esciRichiesto();

  private:
    void aggiornaIcona();
    void cercaVassoio();

    StatoApp& stato_;
    QSystemTrayIcon icona_;
    VistaBarraMenu* barra_;
    QTimer attesaVassoio_;
    bool iconaDaRifare_ = false;
    Registro log_{"it.brelt.ostrale", "vassoio"};
};

}  // namespace ostrale
