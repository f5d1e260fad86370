// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Flussi/delegato-azioni.h"

#include <QAbstractItemView>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QToolTip>

#include "Ostrale/Viste/Flussi/modello-flussi.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/simboli.h"

namespace ostrale {
namespace {

QString testoBottone(int i) {
    return i == 0 ? DelegatoAzioni::tr("Blocca") : DelegatoAzioni::tr("Consenti");
}

}  // namespace

DelegatoAzioni::DelegatoAzioni(ModelloFlussi& modello, QObject* parent)
    : QStyledItemDelegate(parent), modello_(modello) {}

std::array<QRect, 4> DelegatoAzioni::bottoni(const QRect& cella, const QFontMetrics& fm) {
    constexpr int spazio = 3;
    const int alto = std::min(cella.height() - 6, 22);
    const int y = cella.top() + (cella.height() - alto) / 2;
    std::array<QRect, 4> r;
    // The two text buttons take what the two icon buttons leave of the cell.
    const int icona = alto;
    const int testo = std::max(0, cella.width() - 2 * icona - 5 * spazio);
    const int a = fm.horizontalAdvance(testoBottone(0)), b = fm.horizontalAdvance(testoBottone(1));
    const int primo = std::min(std::max(testo * a / std::max(1, a + b), 20), testo);
    int x = cella.left() + spazio;
    r[0] = QRect(x, y, primo, alto);
    x += primo + spazio;
    r[1] = QRect(x, y, testo - primo, alto);
    x += testo - primo + spazio;
    r[2] = QRect(x, y, icona, alto);
    x += icona + spazio;
    r[3] = QRect(x, y, icona, alto);
    return r;
}

int DelegatoAzioni::rigaSorgente(const QModelIndex& indice) const {
    QModelIndex i = indice;
    while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(i.model())) {
        i = proxy->mapToSource(i);
    }
    return i.model() == &modello_ ? i.row() : -1;
}

bool DelegatoAzioni::abilitata(Azione azione, const QModelIndex& indice) const {
    const int riga = rigaSorgente(indice);
    if (riga < 0) return false;
    const EventoFlusso* flusso = modello_.evento(riga);
    if (!flusso) return false;
    const EventoFlusso& e = *flusso;
    switch (azione) {
        case Azione::blocca:
        case Azione::consenti:
            return !e.firmaApp.empty() && e.firmaApp != "sconosciuta";
        case Azione::bloccaDominio:
            return ModelloFlussi::haDominio(e.host);
        case Azione::spiega:
            return true;
    }
    return false;
}

void DelegatoAzioni::paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const {
    QStyleOptionViewItem sfondo = o;
    initStyleOption(&sfondo, i);
    QStyle* stile = o.widget ? o.widget->style() : QApplication::style();
    stile->drawPrimitive(QStyle::PE_PanelItemViewItem, &sfondo, p, o.widget);
    const auto r = bottoni(o.rect, o.fontMetrics);
    for (int b = 0; b < 4; ++b) {
        const auto azione = static_cast<Azione>(b);
        const bool attivo = abilitata(azione, i);
        QStyleOptionButton bottone;
        bottone.rect = r[static_cast<std::size_t>(b)];
        bottone.palette = o.palette;
        bottone.fontMetrics = o.fontMetrics;
        bottone.state = QStyle::State_Raised;
        if (attivo) bottone.state |= QStyle::State_Enabled;
        if (attivo && sopra_ == i && bottoneSopra_ == b) bottone.state |= QStyle::State_MouseOver;
        if (attivo && premuto_ == i && bottonePremuto_ == b) bottone.state |= QStyle::State_Sunken;
        if (b < 2) bottone.text = testoBottone(b);
        stile->drawControl(QStyle::CE_PushButtonBevel, &bottone, p, o.widget);
        p->save();
        QColor tinta = b == 0   ? colori::rosso
                       : b == 1 ? colori::verde
                                : o.palette.color(QPalette::ButtonText);
        if (b == 3) tinta = colori::viola;
        if (!attivo) tinta = o.palette.color(QPalette::Disabled, QPalette::ButtonText);
        if (b < 2) {
            p->setPen(tinta);
            p->setFont(o.font);
            p->drawText(bottone.rect, Qt::AlignCenter, bottone.text);
        } else {
            const QRect dentro = bottone.rect.adjusted(4, 3, -4, -3);
            simboli::disegna(*p, b == 2 ? simboli::Simbolo::divieto : simboli::Simbolo::scintille,
                             dentro, b == 2 && attivo ? colori::rosso : tinta);
        }
        p->restore();
    }
}

int DelegatoAzioni::bottoneIn(const QStyleOptionViewItem& o, QPoint punto) const {
    const auto r = bottoni(o.rect, o.fontMetrics);
    for (int b = 0; b < 4; ++b) {
        if (r[static_cast<std::size_t>(b)].contains(punto)) return b;
    }
    return -1;
}

bool DelegatoAzioni::editorEvent(QEvent* e, QAbstractItemModel*, const QStyleOptionViewItem& o,
                                 const QModelIndex& i) {
    auto* vista = qobject_cast<QAbstractItemView*>(parent());
    auto ridisegna = [&](const QModelIndex& indice) {
        if (vista && indice.isValid()) vista->update(indice);
    };
    switch (e->type()) {
        case QEvent::MouseMove: {
            const int b = bottoneIn(o, static_cast<QMouseEvent*>(e)->position().toPoint());
            if (sopra_ != i || bottoneSopra_ != b) {
                const QModelIndex prima = sopra_;
                sopra_ = i;
                bottoneSopra_ = b;
                ridisegna(prima);
                ridisegna(i);
            }
            return false;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto* m = static_cast<QMouseEvent*>(e);
            if (m->button() != Qt::LeftButton) return false;
            const int b = bottoneIn(o, m->position().toPoint());
            if (b < 0 || !abilitata(static_cast<Azione>(b), i)) return false;
            premuto_ = i;
            bottonePremuto_ = b;
            ridisegna(i);
            // The view goes on as with any press (it selects the row): the release on the same
            // button is the click.
            return false;
        }
        case QEvent::MouseButtonRelease: {
            const auto* m = static_cast<QMouseEvent*>(e);
            const int b = bottoneIn(o, m->position().toPoint());
            const bool valida = premuto_ == i && bottonePremuto_ == b && b >= 0;
            const QModelIndex prima = premuto_;
            premuto_ = QModelIndex();
            bottonePremuto_ = -1;
            ridisegna(prima);
            if (!valida || !abilitata(static_cast<Azione>(b), i)) return false;
            emit azioneScelta(static_cast<Azione>(b), i);
            return true;
        }
        default:
            return false;
    }
}

bool DelegatoAzioni::helpEvent(QHelpEvent* e, QAbstractItemView* vista,
                               const QStyleOptionViewItem& o, const QModelIndex& i) {
    if (e->type() != QEvent::ToolTip) return QStyledItemDelegate::helpEvent(e, vista, o, i);
    QString testo;
    const int b = bottoneIn(o, e->pos());
    if (b >= 0 && !abilitata(static_cast<Azione>(b), i)) {
        // Why not.
        testo = b == 2 ? tr("L'host non è un dominio: nessuna regola di dominio può nominarlo")
                       : tr("L'app non è identificata: nessuna regola può nominarla");
        QToolTip::showText(e->globalPos(), testo, vista);
        return true;
    }
    switch (b) {
        case 0:
            testo = tr("Blocca questa app: una regola per app");
            break;
        case 1:
            testo = tr("Consenti questa app: una regola per app");
            break;
        case 2:
            testo = tr("Blocca questo dominio ovunque, in qualunque app");
            break;
        case 3:
            testo = tr("Spiegami questo flusso (Claude)");
            break;
        default:
            break;
    }
    if (testo.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(e->globalPos(), testo, vista);
    return true;
}

}  // namespace ostrale
