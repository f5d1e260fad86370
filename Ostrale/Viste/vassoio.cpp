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
    for (auto segnale : {&StatoApp::coloreBarraCambiato, &StatoApp::faseAnelloCambiata,
                         &StatoApp::domandaInAttesaCambiata, &StatoApp::filtroAttivoCambiato}) {
        connect(&stato_, segnale, this, [this] {
            // Several changes in one turn draw the icon once.
            if (iconaDaRifare_) return;
            iconaDaRifare_ = true;
            QMetaObject::invokeMethod(
                this, [this] { aggiornaIcona(); }, Qt::QueuedConnection);
        });
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

void Vassoio::aggiornaIcona() {
    iconaDaRifare_ = false;
    QIcon icona;
    for (const qreal scala : {1.0, 2.0}) {
        icona.addPixmap(QPixmap::fromImage(
            IconaBarra::disegna(stato_.coloreBarra(), stato_.anelloAttivo(), stato_.faseAnello(),
                                stato_.domandaInAttesa(), scala)));
    }
    icona_.setIcon(icona);
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
