// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Mappa/carta-mondo.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "Condiviso/registro.h"
#include "Ostrale/Viste/Mappa/linee.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/simboli.h"

namespace ostrale::mappa {
namespace {

// A night map: the lines and the cells stand out on it in light and dark themes alike.
const QColor mare{0x16, 0x21, 0x2c};
const QColor terra{0x35, 0x44, 0x53};
const QColor reticolo{0xff, 0xff, 0xff, 0x12};

constexpr double sogliaTrascinamento = 4;  // pixels before a press becomes a drag
constexpr double diametroMio = 26;

}  // namespace

CartaMondo::CartaMondo(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("carta"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
    setCursor(Qt::OpenHandCursor);
}

void CartaMondo::impostaTerre(std::shared_ptr<const Terre> terre) {
    terre_ = std::move(terre);
    ++versione_;
    update();
}

void CartaMondo::impostaPunti(std::vector<PuntoMappa> punti) {
    // The background holds the lines: drawn again only when a cell appears, goes or changes
    // its place or its colour of line, not when its counts change.
    const bool stesseLinee = std::equal(punti.begin(), punti.end(), punti_.begin(), punti_.end(),
                                        [](const PuntoMappa& a, const PuntoMappa& b) {
                                            return a.latitudine == b.latitudine &&
                                                   a.longitudine == b.longitudine &&
                                                   a.attaccato == b.attaccato;
                                        });
    punti_ = std::move(punti);
    ordinaPerDisegno();
    sopra_ = -1;
    if (!stesseLinee && mia_) ++versione_;
    update();
}

void CartaMondo::impostaPosizioneMia(std::optional<PosizioneIP> posizione) {
    if (posizione && !posizioneValida(*posizione)) posizione.reset();
    if (posizione == mia_) return;
    mia_ = std::move(posizione);
    ++versione_;
    update();
}

void CartaMondo::ordinaPerDisegno() {
    ordine_.resize(punti_.size());
    std::iota(ordine_.begin(), ordine_.end(), 0);
    // The largest first, so that a small cell beside a large one stays visible and clickable.
    std::stable_sort(ordine_.begin(), ordine_.end(),
                     [this](int a, int b) { return punti_[a].conteggio > punti_[b].conteggio; });
}

// ---- the camera ----

double CartaMondo::scalaMinima() const {
    return std::max(0.1, std::min(width() / 360.0, height() / 180.0));
}

void CartaMondo::vistaIniziale() {
    scala_ = std::clamp(std::min(width() / ampiezzaLongitudine, height() / ampiezzaLatitudine),
                        scalaMinima(), scalaMassima);
    centro_ = QPointF(longitudineIniziale, latitudineIniziale);
    iniziale_ = true;
    cameraCambiata();
}

void CartaMondo::zoom(double fattore, QPointF fisso) {
    if (!std::isfinite(fattore) || fattore <= 0) return;
    const QPointF l = luogo(fisso);
    const double nuova = std::clamp(scala_ * fattore, scalaMinima(), scalaMassima);
    if (nuova == scala_) return;
    scala_ = nuova;
    centro_ = QPointF(l.x() - (fisso.x() - width() / 2.0) / scala_,
                      l.y() + (fisso.y() - height() / 2.0) / scala_);
    iniziale_ = false;
    limita();
    cameraCambiata();
}

void CartaMondo::sposta(QPointF pixel) {
    centro_ += QPointF(-pixel.x() / scala_, pixel.y() / scala_);
    iniziale_ = false;
    limita();
    cameraCambiata();
}

void CartaMondo::limita() {
    // The centre stays on the world, so that some of it is always in view.
    centro_.setX(std::clamp(centro_.x(), -180.0, 180.0));
    centro_.setY(std::clamp(centro_.y(), -90.0, 90.0));
}

void CartaMondo::cameraCambiata() {
    update();
    emit vistaCambiata();
}

QPointF CartaMondo::schermo(double latitudine, double longitudine) const {
    return {(longitudine - centro_.x()) * scala_ + width() / 2.0,
            (centro_.y() - latitudine) * scala_ + height() / 2.0};
}

QPointF CartaMondo::luogo(QPointF s) const {
    return {centro_.x() + (s.x() - width() / 2.0) / scala_,
            centro_.y() - (s.y() - height() / 2.0) / scala_};
}

// ---- what is where ----

int CartaMondo::cellaIn(QPointF s) const {
    for (auto i = ordine_.rbegin(); i != ordine_.rend(); ++i) {
        const PuntoMappa& p = punti_[static_cast<std::size_t>(*i)];
        const QPointF c = schermo(p.latitudine, p.longitudine);
        const double raggio = diametro(p.conteggio) / 2 + 1;
        if (std::hypot(s.x() - c.x(), s.y() - c.y()) <= raggio) return *i;
    }
    return -1;
}

bool CartaMondo::mioIn(QPointF s) const {
    if (!mia_) return false;
    const QPointF c = schermo(mia_->latitudine, mia_->longitudine);
    return std::hypot(s.x() - c.x(), s.y() - c.y()) <= diametroMio / 2;
}

QString CartaMondo::suggerimentoIn(QPointF s) const {
    // The cells are drawn over this computer's marker only where they are; the marker wins
    // where both are, as it is the one place that is not a destination.
    if (mioIn(s)) return suggerimentoMio(*mia_);
    const int i = cellaIn(s);
    return i < 0 ? QString() : suggerimento(punti_[static_cast<std::size_t>(i)]);
}

// ---- drawing ----

struct CartaMondo::Richiesta {
    std::shared_ptr<const Terre> terre;
    QPointF centro;
    double scala;
    QSizeF dimensione;
    double rapporto;            // device pixels a point
    std::vector<QLineF> linee;  // white
    std::vector<QLineF> rosse;
    std::uint64_t versione;
};

CartaMondo::Sfondo CartaMondo::disegnaSfondo(const Richiesta& r) {
    Sfondo s{QImage((r.dimensione * r.rapporto).toSize(), QImage::Format_RGB32), r.centro, r.scala,
             r.dimensione, r.versione};
    s.immagine.setDevicePixelRatio(r.rapporto);
    QPainter p(&s.immagine);
    p.fillRect(QRectF(QPointF(0, 0), r.dimensione), mare);
    auto schermo = [&](double lat, double lon) {
        return QPointF((lon - r.centro.x()) * r.scala + r.dimensione.width() / 2,
                       (r.centro.y() - lat) * r.scala + r.dimensione.height() / 2);
    };
    if (r.terre) {
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        QTransform m =
            QTransform::fromTranslate(r.dimensione.width() / 2, r.dimensione.height() / 2);
        m.scale(r.scala, r.scala);
        m.translate(-r.centro.x(), r.centro.y());
        p.setTransform(m);
        p.setPen(Qt::NoPen);
        p.setBrush(terra);
        p.drawPath(r.terre->perScala(r.scala));
        p.restore();
    }
    // Meridians and parallels every 30 degrees, barely there.
    p.setPen(QPen(reticolo, 1));
    for (int g = -150; g <= 150; g += 30) {
        const double x = schermo(0, g).x();
        p.drawLine(QLineF(x, schermo(90, 0).y(), x, schermo(-90, 0).y()));
    }
    for (int g = -60; g <= 60; g += 30) {
        const double y = schermo(g, 0).y();
        p.drawLine(QLineF(schermo(0, -180).x(), y, schermo(0, 180).x(), y));
    }
    p.end();
    lineeBianche(s.immagine, r.linee, 0.65);
    // The lines to attacked cells, red and wider, over the white ones.
    if (!r.rosse.empty()) {
        p.begin(&s.immagine);
        p.setRenderHint(QPainter::Antialiasing);
        QColor rosso = colori::rosso;
        rosso.setAlphaF(0.9);
        p.setPen(QPen(rosso, 1.8));
        p.drawLines(r.rosse.data(), static_cast<int>(r.rosse.size()));
    }
    return s;
}

bool CartaMondo::sfondoScaduto() const {
    if (sfondo_.immagine.isNull() || sfondo_.scala != scala_ || sfondo_.versione != versione_ ||
        sfondo_.immagine.devicePixelRatio() != devicePixelRatioF()) {
        return true;
    }
    // Still round the whole widget?
    const QPointF angolo =
        QPointF(width() / 2.0, height() / 2.0) -
        QPointF(sfondo_.dimensione.width() / 2, sfondo_.dimensione.height() / 2) +
        QPointF((sfondo_.centro.x() - centro_.x()) * scala_,
                (centro_.y() - sfondo_.centro.y()) * scala_);
    return !QRectF(angolo, sfondo_.dimensione).contains(QRectF(rect()));
}

void CartaMondo::richiediSfondo() {
    if (inCorso_ || !isVisible() || width() <= 0 || height() <= 0 || !sfondoScaduto()) return;
    // A margin of a third of the larger side all round: panning that far costs nothing.
    const double margine = std::round(std::max(width(), height()) / 3.0);
    auto r = std::make_shared<Richiesta>();
    r->terre = terre_;
    r->centro = centro_;
    r->scala = scala_;
    r->dimensione = QSizeF(width() + 2 * margine, height() + 2 * margine);
    r->rapporto = devicePixelRatioF();
    r->versione = versione_;
    if (mia_) {
        const QPointF spostamento(margine, margine);
        const QPointF casa = schermo(mia_->latitudine, mia_->longitudine) + spostamento;
        r->linee.reserve(punti_.size());
        for (const PuntoMappa& c : punti_) {
            (c.attaccato ? r->rosse : r->linee)
                .emplace_back(casa, schermo(c.latitudine, c.longitudine) + spostamento);
        }
    }
    inCorso_ = true;
    QPointer<CartaMondo> guardia(this);
    QThreadPool::globalInstance()->start([r, guardia] {
        QElapsedTimer t;
        t.start();
        auto fatto = std::make_shared<Sfondo>(disegnaSfondo(*r));
        const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
        // Handed to the main thread through the application, which outlives every map.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [guardia, fatto, ms] {
            if (!guardia) return;
            CartaMondo& c = *guardia;
            c.inCorso_ = false;
            if (c.sfondo_.immagine.isNull() && Registro::debugAttivo()) {
                Registro("mappa").debug("Primo sfondo della mappa disegnato");
            }
            c.sfondo_ = std::move(*fatto);
            c.ultimoSfondoMs_ = ms;
            c.update();
            c.richiediSfondo();  // the camera or the data may have moved on meanwhile
        });
    });
}

void CartaMondo::disegnaPunti(QPainter& p) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF visibile = QRectF(rect()).adjusted(-30, -30, 30, 30);
    std::optional<QPointF> casa;
    if (mia_) casa = schermo(mia_->latitudine, mia_->longitudine);
    for (const int i : ordine_) {
        const PuntoMappa& c = punti_[static_cast<std::size_t>(i)];
        const QPointF centro = schermo(c.latitudine, c.longitudine);
        if (!visibile.contains(centro)) continue;
        const QPixmap& s = sprite(c, i == sopra_, p.device()->devicePixelRatioF());
        const QSizeF lato = s.deviceIndependentSize();
        p.drawPixmap(QPointF(centro.x() - lato.width() / 2, centro.y() - lato.height() / 2), s);
    }
    if (casa) {
        QColor alone = colori::blu;
        alone.setAlphaF(0.35);
        p.setPen(Qt::NoPen);
        p.setBrush(alone);
        p.drawEllipse(*casa, diametroMio / 2, diametroMio / 2);
        const QRectF scatola(casa->x() - 9.5, casa->y() - 9.5, 19, 19);
        p.setBrush(colori::blu);
        p.drawRoundedRect(scatola, 5, 5);
        simboli::disegna(p, simboli::Simbolo::portatile, scatola.adjusted(4, 4, -4, -4), Qt::white);
    }
    p.restore();
}

// A cell's circle and centre dot, drawn once per look and size (diameters to half a point).
const QPixmap& CartaMondo::sprite(const PuntoMappa& c, bool evidenziata, double scala) const {
    if (scala != scalaSprite_) {
        sprite_.clear();
        scalaSprite_ = scala;
    }
    const int mezziPunti = static_cast<int>(std::lround(diametro(c.conteggio) * 2));
    const int tinta = c.bloccati == 0 ? 0 : c.bloccati >= c.conteggio ? 2 : 1;
    const int chiave = mezziPunti * 8 + tinta * 2 + (evidenziata ? 1 : 0);
    auto [voce, nuova] = sprite_.try_emplace(chiave);
    if (!nuova) return voce->second;
    const double d = mezziPunti / 2.0;
    const double lato = std::ceil(d + 4);
    QPixmap pm(QSize(static_cast<int>(lato), static_cast<int>(lato)) * scala);
    pm.setDevicePixelRatio(scala);
    pm.fill(Qt::transparent);
    QPainter q(&pm);
    q.setRenderHint(QPainter::Antialiasing);
    const QPointF centro(lato / 2, lato / 2);
    QColor riempi = colore(c);
    riempi.setAlphaF(0.45);
    q.setPen(evidenziata ? QPen(Qt::white, 1.5) : QPen(Qt::NoPen));
    q.setBrush(riempi);
    q.drawEllipse(centro, d / 2, d / 2);
    q.setPen(QPen(Qt::white, 1));
    q.setBrush(c.bloccati > 0 ? colori::rosso : QColor(Qt::black));
    q.drawEllipse(centro, 4, 4);
    return voce->second = pm;
}

void CartaMondo::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (sfondo_.immagine.isNull()) {
        p.fillRect(rect(), mare);
    } else {
        // The background where its camera puts it under the current one: moved, and scaled
        // while a zoom waits for its own.
        const double k = scala_ / sfondo_.scala;
        const QPointF angolo =
            QPointF(width() / 2.0, height() / 2.0) -
            QPointF(sfondo_.dimensione.width() / 2, sfondo_.dimensione.height() / 2) * k +
            QPointF((sfondo_.centro.x() - centro_.x()) * scala_,
                    (centro_.y() - sfondo_.centro.y()) * scala_);
        if (k == 1) {
            p.drawImage(QPointF(std::round(angolo.x()), std::round(angolo.y())), sfondo_.immagine);
        } else {
            p.fillRect(rect(), mare);
            p.drawImage(QRectF(angolo, sfondo_.dimensione * k), sfondo_.immagine);
        }
    }
    disegnaPunti(p);
    if (sfondoScaduto()) richiediSfondo();
}

void CartaMondo::resizeEvent(QResizeEvent*) {
    if (iniziale_) {
        vistaIniziale();
    } else {
        scala_ = std::clamp(scala_, scalaMinima(), scalaMassima);
        cameraCambiata();
    }
}

// ---- the hand ----

void CartaMondo::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
    premuto_ = e->position();
    ultimo_ = e->position();
    trascinato_ = false;
}

void CartaMondo::mouseMoveEvent(QMouseEvent* e) {
    if (premuto_) {
        const QPointF da = e->position() - *premuto_;
        if (!trascinato_ && std::abs(da.x()) + std::abs(da.y()) >= sogliaTrascinamento) {
            trascinato_ = true;
            setCursor(Qt::ClosedHandCursor);
            QToolTip::hideText();
        }
        if (trascinato_) sposta(e->position() - ultimo_);
        ultimo_ = e->position();
        return;
    }
    const int sopra = cellaIn(e->position());
    if (sopra != sopra_) {
        sopra_ = sopra;
        setCursor(sopra >= 0 ? Qt::PointingHandCursor : Qt::OpenHandCursor);
        update();
    }
}

void CartaMondo::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !premuto_) return QWidget::mouseReleaseEvent(e);
    const bool scelta = !trascinato_;
    premuto_.reset();
    trascinato_ = false;
    setCursor(Qt::OpenHandCursor);
    if (!scelta) return;
    const int i = cellaIn(e->position());
    if (i >= 0) emit puntoScelto(punti_[static_cast<std::size_t>(i)]);
}

void CartaMondo::mouseDoubleClickEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && cellaIn(e->position()) < 0) zoom(2, e->position());
}

void CartaMondo::wheelEvent(QWheelEvent* e) {
    const double passi = e->angleDelta().y() / 120.0;
    if (passi != 0) zoom(std::pow(1.25, passi), e->position());
    e->accept();
}

void CartaMondo::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoom(1.5);
            break;
        case Qt::Key_Minus:
            zoom(1 / 1.5);
            break;
        case Qt::Key_Left:
            sposta(QPointF(80, 0));
            break;
        case Qt::Key_Right:
            sposta(QPointF(-80, 0));
            break;
        case Qt::Key_Up:
            sposta(QPointF(0, 80));
            break;
        case Qt::Key_Down:
            sposta(QPointF(0, -80));
            break;
        case Qt::Key_0:
        case Qt::Key_Home:
            vistaIniziale();
            break;
        default:
            QWidget::keyPressEvent(e);
    }
}

void CartaMondo::leaveEvent(QEvent*) {
    if (sopra_ >= 0) {
        sopra_ = -1;
        update();
    }
}

bool CartaMondo::event(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        auto* aiuto = static_cast<QHelpEvent*>(e);
        const QString testo = premuto_ ? QString() : suggerimentoIn(aiuto->pos());
        if (testo.isEmpty()) {
            QToolTip::hideText();
            e->ignore();
        } else {
            QToolTip::showText(aiuto->globalPos(), testo, this);
        }
        return true;
    }
    if (e->type() == QEvent::NativeGesture) {
        auto* gesto = static_cast<QNativeGestureEvent*>(e);
        if (gesto->gestureType() == Qt::ZoomNativeGesture) {
            zoom(1 + gesto->value(), gesto->position());
            return true;
        }
    }
    return QWidget::event(e);
}

}  // namespace ostrale::mappa
