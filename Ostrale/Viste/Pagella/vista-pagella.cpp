// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Pagella/vista-pagella.h"

#include <climits>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyledItemDelegate>
#include <QVBoxLayout>
#include <algorithm>

#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/colori.h"

namespace ostrale {

double Voto::quota(const ContatoriApp& c) {
    return c.totale == 0 ? 0.0 : static_cast<double>(c.tracker) / static_cast<double>(c.totale);
}

QString Voto::lettera(const ContatoriApp& c) {
    const double q = quota(c);
    return q < 0.05  ? QStringLiteral("A")
           : q < 0.2 ? QStringLiteral("B")
           : q < 0.5 ? QStringLiteral("C")
                     : QStringLiteral("D");
}

QColor Voto::colore(const ContatoriApp& c) {
    const double q = quota(c);
    return q < 0.05  ? colori::verde
           : q < 0.2 ? colori::verdeAcqua
           : q < 0.5 ? colori::arancio
                     : colori::rosso;
}

std::vector<Voto::Parte> Voto::conteggi(const ContatoriApp& c) {
    const int flussi = static_cast<int>(std::min<qint64>(c.totale, INT_MAX));
    std::vector<Parte> parti;
    parti.push_back(
        {QCoreApplication::translate("ostrale::VistaPagella", "%n flussi", "", flussi), QColor()});
    if (c.tracker >= 1) {
        parti.push_back({QStringLiteral("%1 tracker (%2%)")
                             .arg(c.tracker)
                             .arg(static_cast<int>(quota(c) * 100)),
                         colori::viola});
    }
    if (c.bloccati >= 1) {
        parti.push_back(
            {QCoreApplication::translate("ostrale::VistaPagella", "%1 bloccati").arg(c.bloccati),
             colori::rosso});
    }
    if (c.anomalie >= 1) {
        parti.push_back({QStringLiteral("⚡ ") +
                             QCoreApplication::translate("ostrale::VistaPagella", "%1 anomalie")
                                 .arg(c.anomalie),
                         colori::arancio});
    }
    return parti;
}

ModelloPagella::ModelloPagella(StatoApp& stato, QObject* parent)
    : QAbstractListModel(parent), stato_(stato) {}

int ModelloPagella::rowCount(const QModelIndex& genitore) const {
    return genitore.isValid() ? 0 : static_cast<int>(righe_.size());
}

QVariant ModelloPagella::data(const QModelIndex& indice, int ruolo) const {
    if (!indice.isValid() || indice.row() >= rowCount()) return {};
    const auto& [nome, c] = righe_[static_cast<std::size_t>(indice.row())];
    switch (ruolo) {
        case Qt::DisplayRole:
        case firma:
            return QString::fromStdString(nome);
        case Qt::AccessibleTextRole:
            return QString::fromStdString(nome) + QLatin1Char(' ') + Voto::lettera(c);
        default:
            return {};
    }
}

void ModelloPagella::ricarica() {
    beginResetModel();
    righe_.assign(stato_.pagella().begin(), stato_.pagella().end());
    std::stable_sort(righe_.begin(), righe_.end(), [](const auto& a, const auto& b) {
        const double qa = Voto::quota(a.second), qb = Voto::quota(b.second);
        if (qa != qb) return qa > qb;
        return a.second.totale > b.second.totale;
    });
    endResetModel();
}

namespace {

// One row: the grade's square, the identity with its counts, the bar, and "Blocca".
class DelegatoPagella : public QStyledItemDelegate {
  public:
    DelegatoPagella(StatoApp& stato, QObject* genitore)
        : QStyledItemDelegate(genitore), stato_(stato) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {400, 56};
    }

    static QRect bottone(const QRect& r) { return {r.right() - 84, r.top() + 16, 76, 24}; }

    void paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        const std::string firma = i.data(ModelloPagella::firma).toString().toStdString();
        const auto it = stato_.pagella().find(firma);
        if (it == stato_.pagella().end()) return;
        const ContatoriApp& c = it->second;
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        const QRect r = o.rect;
        // The grade.
        const QRectF quadrato(r.left() + 10, r.top() + 10, 36, 36);
        QPainterPath arrotondato;
        arrotondato.addRoundedRect(quadrato, 8, 8);
        p->fillPath(arrotondato, Voto::colore(c));
        QFont f = o.font;
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.5);
        p->setFont(f);
        p->setPen(Qt::white);
        p->drawText(quadrato, Qt::AlignCenter, Voto::lettera(c));
        // The identity and the counts.
        const int x = r.left() + 58;
        QFont medio = o.font;
        medio.setWeight(QFont::Medium);
        p->setFont(medio);
        p->setPen(o.palette.color(QPalette::Text));
        const QString nome = QString::fromStdString(firma);
        const QFontMetrics fm(medio);
        const int spazio = bottone(r).left() - x - 10;
        const QString nomeCorto = fm.elidedText(nome, Qt::ElideMiddle, spazio / 2);
        p->drawText(QPoint(x, r.top() + 24), nomeCorto);
        QFont piccolo = o.font;
        piccolo.setPointSizeF(piccolo.pointSizeF() * 0.9);
        p->setFont(piccolo);
        int cx = x + fm.horizontalAdvance(nomeCorto) + 10;
        for (const Voto::Parte& parte : Voto::conteggi(c)) {
            p->setPen(parte.colore.isValid() ? parte.colore : o.palette.color(QPalette::Text));
            p->drawText(QPoint(cx, r.top() + 24), parte.testo);
            cx += QFontMetrics(piccolo).horizontalAdvance(parte.testo) + 10;
        }
        // The bar.
        const QRectF barra(x, r.top() + 34, std::min(260, spazio), 6);
        QPainterPath fondo;
        fondo.addRoundedRect(barra, 3, 3);
        p->fillPath(fondo, o.palette.color(QPalette::Mid));
        if (Voto::quota(c) > 0) {
            QPainterPath pieno;
            pieno.addRoundedRect(QRectF(barra.topLeft(), QSizeF(barra.width() * Voto::quota(c), 6)),
                                 3, 3);
            p->fillPath(pieno, Voto::colore(c));
        }
        // "Blocca".
        p->setFont(o.font);
        p->setPen(colori::blu);
        p->drawText(bottone(r), Qt::AlignCenter,
                    QCoreApplication::translate("ostrale::VistaPagella", "Blocca"));
        p->restore();
    }

    bool editorEvent(QEvent* e, QAbstractItemModel*, const QStyleOptionViewItem& o,
                     const QModelIndex& i) override {
        if (e->type() != QEvent::MouseButtonRelease) return false;
        const auto* m = static_cast<QMouseEvent*>(e);
        if (!bottone(o.rect).contains(m->position().toPoint())) return false;
        stato_.aggiungiRegola(i.data(ModelloPagella::firma).toString().toStdString(),
                              AzioneRegola::blocca);
        return true;
    }

  private:
    StatoApp& stato_;
};

}  // namespace

VistaPagella::VistaPagella(StatoApp& stato, QWidget* parent)
    : QWidget(parent), stato_(stato), modello_(stato) {
    setObjectName(QStringLiteral("pagella"));
    elenco_ = new QListView(this);
    elenco_->setObjectName(QStringLiteral("elencoPagella"));
    elenco_->setModel(&modello_);
    elenco_->setItemDelegate(new DelegatoPagella(stato_, elenco_));
    elenco_->setUniformItemSizes(true);
    elenco_->setSelectionMode(QAbstractItemView::NoSelection);
    elenco_->setMouseTracking(true);
    elenco_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    elenco_->setResizeMode(QListView::Adjust);
    piede_ = new QLabel(this);
    piede_->setWordWrap(true);
    piede_->setEnabled(false);
    auto* pieno = new QWidget(this);
    auto* l = new QVBoxLayout(pieno);
    l->addWidget(elenco_, 1);
    l->addWidget(piede_);

    auto* vuoto = new QWidget(this);
    vuoto->setObjectName(QStringLiteral("pagellaVuota"));
    auto* v = new QVBoxLayout(vuoto);
    auto* titolo = new QLabel(tr("Nessun dato ancora"), vuoto);
    QFont f = titolo->font();
    f.setBold(true);
    f.setPointSizeF(f.pointSizeF() * 1.3);
    titolo->setFont(f);
    titolo->setAlignment(Qt::AlignCenter);
    auto* descrizione = new QLabel(
        tr("La pagella si riempie man mano che arrivano i flussi con il firewall acceso."), vuoto);
    descrizione->setAlignment(Qt::AlignCenter);
    descrizione->setWordWrap(true);
    descrizione->setEnabled(false);
    v->addStretch(1);
    v->addWidget(titolo);
    v->addWidget(descrizione);
    v->addStretch(1);

    pile_ = new QStackedLayout(this);
    pile_->addWidget(vuoto);
    pile_->addWidget(pieno);
    connect(&stato_, &StatoApp::dominiTrackerCambiati, this, [this] {
        sporca_ = true;
        if (isVisible()) aggiorna();
    });
    connect(&stato_, &StatoApp::pagellaCambiata, this, [this] {
        sporca_ = true;
        if (isVisible()) aggiorna();
    });
    aggiorna();
}

void VistaPagella::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (sporca_) aggiorna();
}

void VistaPagella::aggiorna() {
    sporca_ = false;
    modello_.ricarica();
    pile_->setCurrentIndex(stato_.pagella().empty() ? 0 : 1);
    piede_->setText(tr("Voti sulla quota di connessioni verso domini tracker/pubblicità (lista "
                       "locale, %1 domini), sull'intero storico. A = pulita, D = più di metà "
                       "tracker.")
                        .arg(QLocale().toString(static_cast<qint64>(stato_.dominiTracker()))));
}

}  // namespace ostrale
