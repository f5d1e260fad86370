// SPDX-License-Identifier: GPL-3.0-or-later
// A desktop panel's side of the tray, on the session bus: a StatusNotifierWatcher with a host
// registered, as a panel offers them, that counts the icons each item sends (NewIcon), second
// by second. Usage: osservatore-vassoio SECONDS
// Prints one line: NewIcon total, seconds, the busiest second's count, and the items seen.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <map>

namespace {

class Osservatore : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ ospite)
    Q_PROPERTY(int ProtocolVersion READ protocollo)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ elementi)

  public:
    bool ospite() const { return true; }
    int protocollo() const { return 0; }
    QStringList elementi() const { return elementi_; }

    void avvia() {
        orologio_.start();
        QDBusConnection::sessionBus().connect(QString(), QString(),
                                              QStringLiteral("org.kde.StatusNotifierItem"),
                                              QStringLiteral("NewIcon"), this, SLOT(nuovaIcona()));
    }
    void stampa(double secondi) const {
        int massimo = 0, totale = 0;
        for (const auto& [s, n] : perSecondo_) {
            massimo = std::max(massimo, n);
            totale += n;
        }
        std::printf("NewIcon %d in %.0f s (%.2f a second), busiest second %d, items %lld\n", totale,
                    secondi, totale / secondi, massimo, static_cast<long long>(elementi_.size()));
    }

  public slots:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString& servizio) {
        if (!elementi_.contains(servizio)) elementi_ << servizio;
        emit StatusNotifierItemRegistered(servizio);
    }
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString&) {}
    void nuovaIcona() { ++perSecondo_[orologio_.elapsed() / 1000]; }

  signals:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString& servizio);
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString& servizio);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();

  private:
    QStringList elementi_;
    QElapsedTimer orologio_;
    std::map<qint64, int> perSecondo_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double secondi = argc > 1 ? std::atof(argv[1]) : 30;
    Osservatore osservatore;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &osservatore,
                            QDBusConnection::ExportAllContents) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "osservatore-vassoio: the watcher's name is taken\n");
        return 1;
    }
    osservatore.avvia();
    QTimer::singleShot(static_cast<int>(secondi * 1000), &app, [&] {
        osservatore.stampa(secondi);
        QCoreApplication::quit();
    });
    return QCoreApplication::exec();
}

#include "osservatore-vassoio.moc"
