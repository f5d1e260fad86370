// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QLabel>
#include <QListView>
#include <QStackedLayout>
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "Ostrale/Stato/contatori-app.h"

namespace ostrale {

class StatoApp;

// A grade of the privacy report card: the share of an application's flows that went to tracker
// and advertising domains.
struct Voto {
    static double quota(const ContatoriApp& c);
    static QString lettera(const ContatoriApp& c);  // "A" … "D"
    static QColor colore(const ContatoriApp& c);

    // The counts line beside the identity, part by part: the flows always; the trackers, the
    // blocked flows and the anomalies when there are any.
    struct Parte {
        QString testo;
        QColor colore;  // invalid: the text's own colour
        bool operator==(const Parte&) const = default;
    };
    static std::vector<Parte> conteggi(const ContatoriApp& c);
};

// The report card's rows, worst first: larger quota, then more flows.
class ModelloPagella : public QAbstractListModel {
    Q_OBJECT
  public:
    enum Ruolo { firma = Qt::UserRole + 1, contatori };
    explicit ModelloPagella(StatoApp& stato, QObject* parent = nullptr);
    int rowCount(const QModelIndex& genitore = {}) const override;
    QVariant data(const QModelIndex& indice, int ruolo) const override;
    void ricarica();

  private:
    StatoApp& stato_;
    std::vector<std::pair<std::string, ContatoriApp>> righe_;
};

// The privacy report card section: one grade per application, a button to block it.
class VistaPagella : public QWidget {
    Q_OBJECT
  public:
    explicit VistaPagella(StatoApp& stato, QWidget* parent = nullptr);
    ModelloPagella& modello() { return modello_; }

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void aggiorna();

    StatoApp& stato_;
    ModelloPagella modello_;
    QListView* elenco_;
    QLabel* piede_;
    QStackedLayout* pile_;
    bool sporca_ = true;
};

}  // namespace ostrale
