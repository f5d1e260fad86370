// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <optional>

#include "Condiviso/data.h"
#include "Condiviso/evento-flusso.h"
#include "Ostrale/Stato/risposta-decisione.h"

class QComboBox;
class QFormLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace ostrale {

// One of the two questions as a window of its own that floats above the others: after a block
// ("Accesso bloccato per sicurezza") or while a flow is held ("Connessione sospesa: decidi tu").
// It never blocks the event loop; the answer comes as `risposta`. It cannot be closed without an
// answer: the flows (or the question's throttle) wait for one. A held flow's question also asks
// for how long and for what the answer holds.
class FinestraDomanda final : public QDialog {
    Q_OBJECT
  public:
    enum class Tipo { blocco, sospesa };

    // `proposta`: the duration and the scope chosen first (a held flow's question only; a scope
    // the event does not allow gives way to a wider one).
    FinestraDomanda(Tipo tipo, const EventoFlusso& evento, const RispostaDecisione& proposta = {},
                    QWidget* parent = nullptr);

    Tipo tipo() const { return tipo_; }
    // What the answer holds for, as chosen now (for ever and the application after a block).
    DurataRisposta durata() const;
    AmbitoRisposta ambito() const;
    // The time left for a held flow, shown under the text; none after a block.
    void mostraTempo(double secondiRimasti);

    void reject() override {}
    // As tall as the wrapped text needs at the width the window opens with (a wrapped label's
    // own hint is for a narrower width, and left an empty band above the buttons).
    QSize sizeHint() const override;

  signals:
    void risposta(bool consenti);

  protected:
    void closeEvent(QCloseEvent* evento) override;

  private:
    static QString testoTempoScaduto();
    QLabel* costruisciIcona(bool sospesa);
    // The title, the body and, for a held flow, the two choices and the time left.
    QVBoxLayout* costruisciTesto(bool sospesa, const EventoFlusso& evento,
                                 const RispostaDecisione& proposta);
    void costruisciTempo();
    // For how long and for what the answer holds.
    QFormLayout* costruisciScelte(const EventoFlusso& evento, const RispostaDecisione& proposta);
    void costruisciDurata(const RispostaDecisione& proposta);
    void costruisciAmbito(const EventoFlusso& evento, const RispostaDecisione& proposta);
    QHBoxLayout* costruisciBottoni(bool sospesa);
    void rispondi(bool consenti);

    Tipo tipo_;
    QLabel* tempo_ = nullptr;
    QComboBox* durata_ = nullptr;
    QComboBox* ambito_ = nullptr;
    bool risposto_ = false;
};

}  // namespace ostrale
