// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <cstdint>

#include "Condiviso/evento-flusso.h"

namespace ostrale {

class StatoApp;

// The controller's flows, newest first, as a table. It reads the controller's list in place
// and follows its changes in one turn of the event loop at most every `intervallo`: the events
// that came meanwhile are inserted at the top in one go, and the rows that fell off the end are
// removed.
class ModelloFlussi : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Colonna { ora, app, destinazione, protocollo, direzione, esito, azioni, colonne };
    // How often, at most, the rows follow the controller's list (milliseconds).
    static constexpr int intervallo = 100;

    explicit ModelloFlussi(StatoApp& stato, QObject* parent = nullptr);

    int rowCount(const QModelIndex& genitore = {}) const override;
    int columnCount(const QModelIndex& genitore = {}) const override;
    QVariant data(const QModelIndex& indice, int ruolo) const override;
    QVariant headerData(int sezione, Qt::Orientation orientamento, int ruolo) const override;

    // The flow of a row (valid until the controller's list changes); none when it is no longer
    // in the list and the rows have not caught up yet.
    const EventoFlusso* evento(int riga) const;
    // Whether a host is in the tracker list (false until the list is loaded).
    bool èTracker(const std::string& host) const;
    // A domain rule can be made for the host: it holds a dot.
    static bool haDominio(const std::string& host);

    // Brings the rows up to date now (the model does it by itself at the next turn).
    void sincronizza();

  private:
    void programma();

    StatoApp& stato_;
    int righe_ = 0;
    // Live events the rows hold: the ones put in front of the list since are not rows yet.
    std::uint64_t inseriti_ = 0;
    std::uint64_t generazione_ = 0;
    bool programmato_ = false;
};

}  // namespace ostrale
