// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <deque>

#include "Ostrale/Stato/gestore-filtro.h"

class QProcess;

namespace ostrale {

class ImpostazioniApp;

// The filter on a machine without systemd as its service manager (development, the demo,
// tests): the app runs the extension as its own child. The switch is remembered in the app's
// preferences, like the system's switch, and a switched-on filter is started again with the app;
// a child that ends by itself leaves the switch on (reviving it is the controller's business).
class GestoreLocale final : public GestoreFiltro {
    Q_OBJECT
  public:
    // OSTRALE_COMANDO_ESTENSIONE when set, else `ostrale-estensione --sorgente simulata` from
    // beside this program, the build tree or the PATH.
    static QStringList comandoPredefinito();

    GestoreLocale(QStringList comando, ImpostazioniApp& preferenze, QObject* parent = nullptr);
    // How long a stopping extension has to save its memory before it is killed (ms).
    static constexpr int attesaFine = 1500;

    // Stops the child, giving it `attesaFine` to save its memory.
    ~GestoreLocale() override;

    void leggiStato(SuStato risposta) override;
    void imposta(bool attivo, SuFatto risposta) override;
    void leggiCopie(SuCopie risposta) override;
    void attiva(SuAttivazione risposta) override;

    // The child's process id, 0 while none runs.
    qint64 pid() const;
    const QStringList& comando() const { return comando_; }

  private:
    struct Operazione {
        bool avvia;
        SuFatto fatto;
    };
    void accoda(bool avvia, SuFatto fatto);
    void prossima();
    void conclusa(Errore errore);
    void avviaFiglio();
    void fermaFiglio();
    bool inEsecuzione() const;

    const QStringList comando_;
    ImpostazioniApp& preferenze_;
    QProcess* figlio_ = nullptr;
    std::deque<Operazione> coda_;
    bool occupato_ = false;
};

}  // namespace ostrale
