// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <optional>

#include "Condiviso/orologio.h"
#include "Ostrale/Stato/presentatore-domande.h"
#include "Ostrale/Viste/finestra-domanda.h"

namespace ostrale {

// The questions as windows. Held-flow questions are shown one at a time, in the order they
// came, the next when the previous is answered, each with the seconds it has left; the question
// after a block (one at a time by the controller) is shown at once.
class PresentatoreFinestre final : public QObject, public PresentatoreDomande {
    Q_OBJECT
  public:
    explicit PresentatoreFinestre(const Orologio& orologio, QObject* parent = nullptr);
    ~PresentatoreFinestre() override;

    void chiediSuBlocco(const EventoFlusso& evento, Risposta risposta) override;
    // A question shown after another was answered offers that answer's duration and scope.
    void chiediDecisione(std::uint64_t domanda, const EventoFlusso& evento, Data scadenza,
                         const RispostaDecisione& ultima, RispostaSospesa risposta) override;
    void ritira(std::uint64_t domanda) override;
    // Every question goes, unanswered (the app quits: held flows follow the extension's own
    // time limit).
    void ritiraTutte();

    // The held-flow question on screen, and how many wait behind it.
    FinestraDomanda* domandaSospesa() const { return mostrata_; }
    std::size_t inCoda() const { return coda_.size(); }
    // Shows the time left anew (every second while a held-flow question is on screen).
    void aggiornaTempo();

  private:
    struct InAttesa {
        std::uint64_t domanda;
        EventoFlusso evento;
        Data scadenza;
        RispostaDecisione ultima;
        RispostaSospesa risposta;
    };
    void mostraProssima();
    void mostra(FinestraDomanda* finestra);

    const Orologio& orologio_;
    std::deque<InAttesa> coda_;
    QPointer<FinestraDomanda> mostrata_;
    std::uint64_t idMostrata_ = 0;
    Data scadenzaMostrata_;
    QPointer<FinestraDomanda> blocco_;
    std::optional<RispostaDecisione> datePrima_;  // the last answer given here
    QTimer orologioTempo_;
};

}  // namespace ostrale
