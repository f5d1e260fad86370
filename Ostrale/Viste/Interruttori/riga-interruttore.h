// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;

namespace ostrale {

// One switch of the "Interruttori" section: its title on a checkbox named after what it is bound
// to (`nome`), a detail under it, and a note that says why a change did not happen. It shows what
// it is given and tells what the user chose; it changes nothing by itself.
class RigaInterruttore : public QWidget {
    Q_OBJECT
  public:
    RigaInterruttore(const QString& nome, const QString& titolo, const QString& dettaglio,
                     QWidget* parent = nullptr);

    void mostra(bool acceso);
    bool acceso() const;
    void impostaDettaglio(const QString& testo);
    QString dettaglio() const;
    // A word under the detail; empty hides it.
    void dici(const QString& nota);
    QString nota() const;
    QCheckBox& interruttore() const { return *interruttore_; }

  signals:
    // The user turned it on or off.
    void scelto(bool acceso);

  private:
    QCheckBox* interruttore_;
    QLabel* dettaglio_;
    QLabel* nota_;
};

}  // namespace ostrale
