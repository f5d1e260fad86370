// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Storico/grafico-barre.h"

#include <QHelpEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>
#include <cmath>
#include <limits>

namespace ostrale {
namespace {

constexpr double margine = 4;
constexpr double spazioEtichette = 8;  // at least this much between two x labels
constexpr double larghezzaMassimaBarra = 26;

std::int64_t sommaLimitata(std::int64_t a, std::int64_t b) {
    std::int64_t r = 0;
    return __builtin_add_overflow(a, b, &r) ? std::numeric_limits<std::int64_t>::max() : r;
}

QColor secondario(const QPalette& p) {
    return p.color(QPalette::PlaceholderText);
}

}  // namespace

GraficoBarre::GraficoBarre(Scala scala, Titoli titoli, std::vector<Serie> serie, int altezza,
                           QWidget* parent)
    : QWidget(parent), scala_(scala), titoli_(std::move(titoli)), serie_(std::move(serie)) {
    setFixedHeight(altezza);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setMouseTracking(true);
}

QSize GraficoBarre::sizeHint() const {
    return {480, height()};
}

QSize GraficoBarre::minimumSizeHint() const {
    return {240, height()};
}

void GraficoBarre::imposta(std::vector<PuntoOra> punti, QDate primo, QDate ultimo) {
    punti_ = std::move(punti);
    fasce_.clear();
    primo_ = primo;
    if (scala_ == Scala::giorni && primo.isValid() && ultimo.isValid() && primo <= ultimo) {
        numeroFasce_ = static_cast<int>(primo.daysTo(ultimo)) + 1;
        // Days out of the range (a clock set back left hours "in the future") are not drawn.
        std::erase_if(punti_, [&](const PuntoOra& p) {
            const auto giorni = primo.daysTo(CalcoliStorico::giorno(p.data));
            return giorni < 0 || giorni >= numeroFasce_;
        });
        for (const PuntoOra& p : punti_) {
            fasce_.push_back(static_cast<int>(primo.daysTo(CalcoliStorico::giorno(p.data))));
        }
    } else {
        primo_ = {};
        numeroFasce_ = std::max<int>(1, static_cast<int>(punti_.size()));
        for (std::size_t i = 0; i < punti_.size(); ++i) fasce_.push_back(static_cast<int>(i));
    }
    massimo_ = 0;
    for (const PuntoOra& p : punti_) massimo_ = std::max(massimo_, altezzaPunto(p));
    evidenziato_ = -1;
    update();
}

std::int64_t GraficoBarre::valore(const PuntoOra& p, const Serie& s) const {
    return std::max<std::int64_t>(0, p.*(s.campo));
}

std::int64_t GraficoBarre::altezzaPunto(const PuntoOra& p) const {
    std::int64_t h = 0;
    for (const Serie& s : serie_) h = sommaLimitata(h, valore(p, s));
    return h;
}

std::vector<std::int64_t> GraficoBarre::tacche(std::int64_t massimo) {
    if (massimo <= 0) return {0, 1};
    // About four steps of 1, 2 or 5 times a power of ten, never less than one flow.
    const double grezzo = static_cast<double>(massimo) / 4.0;
    const double potenza = std::pow(10.0, std::floor(std::log10(grezzo)));
    double passo = 10 * potenza;
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * potenza >= grezzo) {
            passo = m * potenza;
            break;
        }
    }
    passo = std::max(1.0, std::round(passo));
    const int passi = static_cast<int>(std::ceil(static_cast<double>(massimo) / passo));
    std::vector<std::int64_t> valori;
    for (int i = 0; i <= passi; ++i) {
        valori.push_back(static_cast<std::int64_t>(std::min(i * passo, 9.2e18)));
    }
    return valori;
}

std::vector<std::int64_t> GraficoBarre::tacche() const {
    return tacche(massimo_);
}

QFont GraficoBarre::piccolo() const {
    QFont f = font();
    f.setPointSizeF(f.pointSizeF() * 0.85);
    return f;
}

double GraficoBarre::larghezzaTacche() const {
    const QFontMetricsF fm(piccolo());
    double l = fm.horizontalAdvance(titoli_.x);
    for (const std::int64_t t : tacche()) {
        l = std::max(l, fm.horizontalAdvance(QLocale().toString(static_cast<qint64>(t))));
    }
    return l + 8;
}

QRectF GraficoBarre::areaGrafico() const {
    const QFontMetricsF fm(piccolo());
    const double riga = fm.height();
    const double sinistra = margine + larghezzaTacche();
    const double alto = margine + riga + 6;
    const double basso = height() - margine - riga - 4;
    const double destra = width() - margine - 2;
    return {QPointF(sinistra, alto), QPointF(std::max(sinistra + 1, destra), basso)};
}

int GraficoBarre::fascia(int indice) const {
    return fasce_[static_cast<std::size_t>(indice)];
}

QRectF GraficoBarre::colonna(int indice) const {
    if (indice < 0 || indice >= static_cast<int>(punti_.size())) return {};
    const QRectF a = areaGrafico();
    const double l = a.width() / numeroFasce_;
    return {a.left() + l * fascia(indice), a.top(), l, a.height()};
}

QRectF GraficoBarre::barra(int indice) const {
    const QRectF c = colonna(indice);
    if (c.isNull()) return {};
    const std::vector<std::int64_t> t = tacche();
    const double cima = static_cast<double>(t.back());
    const double h = c.height() * static_cast<double>(altezzaPunto(punti_[indice])) / cima;
    const double l = std::clamp(c.width() * 0.72, 1.0, larghezzaMassimaBarra);
    return {c.center().x() - l / 2, c.bottom() - h, l, h};
}

int GraficoBarre::puntoIn(QPointF dove) const {
    for (int i = 0; i < static_cast<int>(punti_.size()); ++i) {
        if (colonna(i).contains(dove)) return i;
    }
    return -1;
}

QString GraficoBarre::testoX(const PuntoOra& p) const {
    return QStringLiteral("%1").arg(CalcoliStorico::ora(p.data), 2, 10, QLatin1Char('0'));
}

QString GraficoBarre::suggerimento(int indice) const {
    if (indice < 0 || indice >= static_cast<int>(punti_.size())) return {};
    const PuntoOra& p = punti_[static_cast<std::size_t>(indice)];
    const QLocale l;
    const QDate g = CalcoliStorico::giorno(p.data);
    QString testo = scala_ == Scala::ore
                        ? l.toString(g, QStringLiteral("d MMM")) + QStringLiteral(", ") +
                              testoX(p) + QStringLiteral(":00")
                        : l.toString(g, QStringLiteral("dddd d MMMM"));
    for (const Serie& s : serie_) {
        testo += QStringLiteral("\n%1: %2").arg(s.nome).arg(p.*(s.campo));
    }
    return testo;
}

std::vector<GraficoBarre::Etichetta> GraficoBarre::etichetteX() const {
    const QRectF a = areaGrafico();
    const QFontMetricsF fm(piccolo());
    const double l = a.width() / numeroFasce_;
    // Candidates: each labelled slot with its text.
    std::vector<std::pair<int, QString>> candidati;
    if (scala_ == Scala::giorni && primo_.isValid()) {
        for (int f = 0; f < numeroFasce_; ++f) {
            candidati.emplace_back(f,
                                   QLocale().toString(primo_.addDays(f), QStringLiteral("d MMM")));
        }
    } else {
        for (int i = 0; i < static_cast<int>(punti_.size()); ++i) {
            candidati.emplace_back(fascia(i), testoX(punti_[static_cast<std::size_t>(i)]));
        }
    }
    double larghezza = 0;
    for (const auto& [f, t] : candidati) larghezza = std::max(larghezza, fm.horizontalAdvance(t));
    // The smallest round step that leaves room between labels: hours on multiples of it, days
    // counted back from the last, which is always labelled.
    const std::vector<int> passi = scala_ == Scala::ore
                                       ? std::vector<int>{1, 2, 3, 4, 6, 12, 24}
                                       : std::vector<int>{1, 2, 3, 5, 7, 10, 15, 30};
    int passo = passi.back();
    for (const int p : passi) {
        if (p * l >= larghezza + spazioEtichette) {
            passo = p;
            break;
        }
    }
    std::vector<Etichetta> etichette;
    for (std::size_t k = 0; k < candidati.size(); ++k) {
        const auto& [f, testo] = candidati[k];
        const bool scelta = scala_ == Scala::ore ? CalcoliStorico::ora(punti_[k].data) % passo == 0
                                                 : (numeroFasce_ - 1 - f) % passo == 0;
        if (!scelta) continue;
        const double w = fm.horizontalAdvance(testo);
        QRectF r(a.left() + l * (f + 0.5) - w / 2, a.bottom() + 3, w, fm.height());
        // Clear of the axis's title (under the y values), inside the widget, and never over the
        // previous label (an hour repeated or skipped by the clocks can break the rhythm).
        r.moveLeft(std::clamp(r.left(), a.left() - 2, width() - margine - w));
        if (!etichette.empty() &&
            r.left() < etichette.back().rettangolo.right() + spazioEtichette / 2) {
            continue;
        }
        etichette.push_back({testo, r});
    }
    return etichette;
}

bool GraficoBarre::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        const auto* h = static_cast<QHelpEvent*>(e);
        const int i = puntoIn(h->pos());
        if (i >= 0) {
            QToolTip::showText(h->globalPos(), suggerimento(i), this, colonna(i).toAlignedRect());
        } else {
            QToolTip::hideText();
            e->ignore();
        }
        return true;
    }
    return QWidget::event(e);
}

void GraficoBarre::mouseMoveEvent(QMouseEvent* e) {
    const int i = puntoIn(e->position());
    if (i != evidenziato_) {
        evidenziato_ = i;
        update();
    }
    QWidget::mouseMoveEvent(e);
}

void GraficoBarre::leaveEvent(QEvent* e) {
    if (evidenziato_ != -1) {
        evidenziato_ = -1;
        update();
    }
    QWidget::leaveEvent(e);
}

void GraficoBarre::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF a = areaGrafico();
    const QFont f = piccolo();
    const QFontMetricsF fm(f);
    p.setFont(f);
    disegnaTesta(p, fm);
    disegnaAsseY(p, a, fm);
    disegnaBarre(p, a);
    disegnaAsseX(p, a, fm);
}

// The y axis's title at the top left, the legend at the top right.
void GraficoBarre::disegnaTesta(QPainter& p, const QFontMetricsF& fm) const {
    const QPalette& tavolozza = palette();
    p.setPen(secondario(tavolozza));
    const QRectF testa(margine, margine, width() - 2 * margine, fm.height());
    p.drawText(testa, Qt::AlignLeft | Qt::AlignVCenter, titoli_.y);
    if (serie_.size() > 1) {
        const double quadretto = std::round(fm.height() * 0.6);
        double x = testa.right();
        for (auto s = serie_.rbegin(); s != serie_.rend(); ++s) {
            const double w = fm.horizontalAdvance(s->nome);
            x -= w;
            p.setPen(tavolozza.color(QPalette::WindowText));
            p.drawText(QRectF(x, testa.top(), w, testa.height()), Qt::AlignVCenter, s->nome);
            x -= quadretto + 4;
            p.setPen(Qt::NoPen);
            p.setBrush(s->colore);
            p.drawRoundedRect(QRectF(x, testa.center().y() - quadretto / 2, quadretto, quadretto),
                              2, 2);
            x -= 12;
        }
        p.setPen(secondario(tavolozza));
        p.setBrush(Qt::NoBrush);
        p.drawText(QRectF(testa.left(), testa.top(), x - testa.left(), testa.height()),
                   Qt::AlignRight | Qt::AlignVCenter, titoli_.legenda);
    }
}

// The lines of the y axis and their values.
void GraficoBarre::disegnaAsseY(QPainter& p, const QRectF& a, const QFontMetricsF& fm) const {
    const QPalette& tavolozza = palette();
    const std::vector<std::int64_t> t = tacche();
    const double cima = static_cast<double>(t.back());
    QColor linea = tavolozza.color(QPalette::Mid);
    linea.setAlphaF(0.45f);
    for (const std::int64_t v : t) {
        const double y = std::round(a.bottom() - a.height() * static_cast<double>(v) / cima) + 0.5;
        QColor c = linea;
        if (v == 0) c.setAlphaF(0.9f);
        p.setPen(QPen(c, 1));
        p.drawLine(QPointF(a.left(), y), QPointF(a.right(), y));
        p.setPen(secondario(tavolozza));
        p.drawText(QRectF(margine, y - fm.height() / 2, a.left() - margine - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QLocale().toString(static_cast<qint64>(v)));
    }
}

// The hovered column, then the bars, each series stacked on the ones before it.
void GraficoBarre::disegnaBarre(QPainter& p, const QRectF& a) const {
    if (evidenziato_ >= 0) {
        QColor c = palette().color(QPalette::Highlight);
        c.setAlphaF(0.12f);
        p.fillRect(colonna(evidenziato_), c);
    }
    p.setPen(Qt::NoPen);
    for (int i = 0; i < static_cast<int>(punti_.size()); ++i) {
        const QRectF b = barra(i);
        if (b.height() <= 0) continue;
        // Rounded at the top only.
        const double raggio = std::min({3.0, b.width() / 2, b.height()});
        QPainterPath forma;
        forma.addRoundedRect(b.adjusted(0, 0, 0, raggio), raggio, raggio);
        p.save();
        p.setClipRect(QRectF(b.left() - 1, a.top() - 1, b.width() + 2, a.height() + 1));
        p.setClipPath(forma, Qt::IntersectClip);
        double base = b.bottom();
        const double totale =
            static_cast<double>(altezzaPunto(punti_[static_cast<std::size_t>(i)]));
        for (const Serie& s : serie_) {
            const double parte =
                b.height() * static_cast<double>(valore(punti_[static_cast<std::size_t>(i)], s)) /
                totale;
            if (parte <= 0) continue;
            p.fillRect(QRectF(b.left(), base - parte, b.width(), parte),
                       i == evidenziato_ ? s.colore.lighter(115) : s.colore);
            base -= parte;
        }
        p.restore();
    }
}

// The x axis: its labels, its title under the y axis's values.
void GraficoBarre::disegnaAsseX(QPainter& p, const QRectF& a, const QFontMetricsF& fm) const {
    p.setPen(secondario(palette()));
    for (const Etichetta& e : etichetteX()) p.drawText(e.rettangolo, Qt::AlignCenter, e.testo);
    p.drawText(QRectF(margine, a.bottom() + 3, a.left() - margine - 6, fm.height()),
               Qt::AlignRight | Qt::AlignVCenter, titoli_.x);
}

}  // namespace ostrale
