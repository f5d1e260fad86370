// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSortFilterProxyModel>
#include <QString>
#include <string>

namespace ostrale {

class ModelloFlussi;

// The rows the flow list shows: blocked flows only when asked, and those whose application or
// host holds the search text, whatever the case. The order stays the controller's.
class FiltroFlussi : public QSortFilterProxyModel {
    Q_OBJECT
  public:
    explicit FiltroFlussi(ModelloFlussi& modello, QObject* parent = nullptr);

    void impostaRicerca(const QString& testo);
    void impostaSoloBloccati(bool solo);
    const QString& ricerca() const { return ricerca_; }
    bool soloBloccati() const { return soloBloccati_; }

  protected:
    bool filterAcceptsRow(int riga, const QModelIndex& genitore) const override;

  private:
    ModelloFlussi& modello_;
    QString ricerca_;
    std::string ricercaMinuscola_;  // UTF-8, lower case
    bool soloBloccati_ = false;
};

}  // namespace ostrale
