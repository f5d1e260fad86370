// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QModelIndex>
#include <QPersistentModelIndex>
#include <QRect>
#include <QStyledItemDelegate>
#include <array>

namespace ostrale {

class ModelloFlussi;

// The buttons of a flow's row, painted rather than made of widgets (a list of thousands of rows
// keeps four buttons each): "Blocca", "Consenti", block the domain everywhere, explain.
class DelegatoAzioni : public QStyledItemDelegate {
    Q_OBJECT
  public:
    enum class Azione { blocca, consenti, bloccaDominio, spiega };

    DelegatoAzioni(ModelloFlussi& modello, QObject* parent = nullptr);

    // Where each button lies in a cell, in the order of `Azione`.
    static std::array<QRect, 4> bottoni(const QRect& cella, const QFontMetrics& fm);
    // Whether the button can be used for the flow of `indice` (any model over ModelloFlussi).
    bool abilitata(Azione azione, const QModelIndex& indice) const;

    void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const override;
    bool editorEvent(QEvent* e, QAbstractItemModel* m, const QStyleOptionViewItem& o,
                     const QModelIndex& i) override;
    bool helpEvent(QHelpEvent* e, QAbstractItemView* vista, const QStyleOptionViewItem& o,
                   const QModelIndex& i) override;

  signals:
    void azioneScelta(ostrale::DelegatoAzioni::Azione azione, const QModelIndex& indice);

  private:
    int rigaSorgente(const QModelIndex& indice) const;
    int bottoneIn(const QStyleOptionViewItem& o, QPoint punto) const;

    ModelloFlussi& modello_;
    QPersistentModelIndex sopra_;
    int bottoneSopra_ = -1;
    QPersistentModelIndex premuto_;
    int bottonePremuto_ = -1;
};

}  // namespace ostrale
