// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/vassoio.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/icona-barra.h"
#include "Ostrale/Viste/vista-barra-menu.h"

namespace ostrale {

Vassoio::Vassoio(StatoApp& stato, QObject* parent)
    : QObject(parent), stato_(stato), barra_(new VistaBarraMenu(stato)) {
    barra_->setWindowFlags(Qt::Popup);
    connect(barra_, &VistaBarraMenu::apriRichiesto, this, [this] {
        barra_->hide();
        emit apriRichiesto();
    });
    connect(barra_, &VistaBarraMenu::esciRichiesto, this, &Vassoio::esciRichiesto);
    icona_.setToolTip(QStringLiteral("Ostrale"));
    connect(&icona_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason) { mostraBarraMenu(QCursor::pos()); });
    rinvio_.setSingleShot(true);
    connect(&rinvio_, &QTimer::timeout, this, &Vassoio::aggiornaIcona);
    for (auto segnale : {&StatoApp::coloreBarraCambiato, &StatoApp::faseAnelloCambiata,
                         &StatoApp::domandaInAttesaCambiata, &StatoApp::filtroAttivoCambiato,
                         &StatoApp::lampeggioAccesoCambiato}) {
        connect(&stato_, segnale, this, &Vassoio::richiediIcona);
    }
    aggiornaIcona();
    attesaVassoio_.setInterval(5000);
    connect(&attesaVassoio_, &QTimer::timeout, this, &Vassoio::cercaVassoio);
    cercaVassoio();
}

Vassoio::~Vassoio() {
    delete barra_;
}

void Vassoio::cercaVassoio() {
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        attesaVassoio_.stop();
        icona_.show();
        return;
    }
    if (!attesaVassoio_.isActive()) {
        log_.info("Nessuna area di notifica sul desktop: l'icona comparirà quando ce ne sarà una");
        attesaVassoio_.start();
    }
}

void Vassoio::seguiFinestra(QWidget* finestra) {
    finestra_ = finestra;
}

bool Vassoio::animazioneVista() const {
    return barra_->isVisible() ||
           (finestra_ && finestra_->isVisible() && !finestra_->isMinimized());
}

void Vassoio::richiediIcona() {
    // Several changes in one turn, or in the second the tray alone waits, make one icon.
    if (rinvio_.isActive()) return;
    const bool subito = animazioneVista() || !ultimaIcona_.isValid();
    rinvio_.start(subito ? 0
                         : static_cast<int>(
                               std::max<qint64>(0, intervalloNascosto - ultimaIcona_.elapsed())));
}

void Vassoio::aggiornaIcona() {
    // A question on screen shows the request icon; an alert (an attack, an application waking
    // up) makes it blink.
    bool richiesta = stato_.domandaInAttesa() || stato_.lampeggioAcceso();
    if (!stato_.domandaInAttesa() && stato_.lampeggioInCorso() && ultimo_ && !animazioneVista()) {
        // Alone, the icon changes once a second: the alert alternates at that pace, or a
        // blink sampled once a second would mostly show one of its sides.
        richiesta = !ultimo_->richiesta;
    }
    const Aspetto aspetto{stato_.coloreBarra(), stato_.anelloAttivo(), stato_.faseAnello(),
                          richiesta};
    // The ring is not drawn under the request icon: its phase alone changes nothing there.
    const bool stessoAspetto =
        ultimo_ && (aspetto == *ultimo_ || (aspetto.richiesta && ultimo_->richiesta));
    if (stessoAspetto) return;
    ultimo_ = aspetto;
    QIcon icona;
    for (const qreal scala : {1.0, 2.0}) {
        icona.addPixmap(QPixmap::fromImage(IconaBarra::disegna(
            aspetto.luce, aspetto.anello, aspetto.fase, aspetto.richiesta, scala)));
    }
    icona_.setIcon(icona);
    ultimaIcona_.start();
    ++impostate_;
}

void Vassoio::mostraBarraMenu(const QPoint& dove) {
    barra_->adjustSize();
    QPoint punto = dove;
    if (const QScreen* schermo = QGuiApplication::screenAt(dove)) {
        const QRect area = schermo->availableGeometry();
        punto.setX(std::clamp(dove.x() - barra_->width() / 2, area.left(),
                              area.right() - barra_->width()));
        punto.setY(dove.y() > area.center().y() ? dove.y() - barra_->height() - 8 : dove.y() + 8);
    }
    barra_->move(punto);
    barra_->show();
    barra_->raise();
    barra_->activateWindow();
}

}  // namespace ostrale
