// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QNetworkAccessManager>
#include <QTimer>
#include <optional>

#include "Condiviso/evento-flusso.h"
#include "Ostrale/Stato/spiegatore.h"

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace ostrale {

class StatoApp;

// The plain-language explanation of one flow, asked of the Anthropic API with the user's key
// (asked for once, then kept in the app's settings). A sheet over the window that opens it with
// open(); it deletes itself when closed, and closing it drops the request still running.
class VistaSpiegazione final : public QDialog {
    Q_OBJECT
  public:
    VistaSpiegazione(const EventoFlusso& flusso, StatoApp& stato, QWidget* parent = nullptr);
    ~VistaSpiegazione() override;

    void done(int risultato) override;

  protected:
    void showEvent(QShowEvent* evento) override;

  private:
    QHBoxLayout* costruisciTestata();
    QLabel* costruisciApp(int spazio);
    QLabel* costruisciDestinazione(int spazio);
    // 1. The key, asked for once.
    void costruisciModulo();
    // 2. Waiting for the answer.
    void costruisciAttesa();
    // 3. What went wrong, and another try.
    void costruisciErrore();
    // 4. The explanation, selectable, scrolled when long.
    void costruisciTesto();
    // A usable key is stored (read afresh).
    bool haChiave() const;
    void salvaChiave();
    void avvia();
    void suEsito(const Spiegatore::Esito& esito);
    // Shows the body of the state, the first that holds of: key form, waiting, error, text.
    void mostraStato();
    // The busy sign at its current step.
    void disegnaRotella();

    EventoFlusso flusso_;
    StatoApp& stato_;
    QNetworkAccessManager rete_;
    Spiegatore::RichiestaSpiegazione richiesta_{rete_};  // after the manager: it goes first

    bool chiediChiave_ = false;
    bool inCorso_ = false;
    bool mostrata_ = false;
    std::optional<QString> testo_;
    std::optional<QString> errore_;

    QWidget* modulo_ = nullptr;
    QLineEdit* campoChiave_ = nullptr;
    QPushButton* salva_ = nullptr;
    QWidget* attesa_ = nullptr;
    QLabel* rotella_ = nullptr;
    QTimer giro_;
    int passoRotella_ = 0;
    QWidget* riquadroErrore_ = nullptr;
    QLabel* testoErrore_ = nullptr;
    QScrollArea* riquadroTesto_ = nullptr;
    QLabel* testoSpiegazione_ = nullptr;
};

}  // namespace ostrale
