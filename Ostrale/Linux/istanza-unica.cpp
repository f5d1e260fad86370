// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/istanza-unica.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace ostrale {

QString IstanzaUnica::percorsoBlocco() {
    const QString scelto = qEnvironmentVariable("OSTRALE_BLOCCO_APP");
    if (!scelto.isEmpty()) return scelto;
    QString cartella = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (cartella.isEmpty()) {
        cartella = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    }
    return cartella + QStringLiteral("/ostrale/app.lock");
}

std::unique_ptr<IstanzaUnica> IstanzaUnica::prendi(std::chrono::milliseconds attesa) {
    const QString percorso = percorsoBlocco();
    const QString cartella = QFileInfo(percorso).absolutePath();
    if (!QFileInfo::exists(cartella) && QDir().mkpath(cartella)) {
        QFile::setPermissions(
            cartella, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    auto blocco = BloccoFile::prendi(percorso.toStdString(), BloccoFile::Modo::proprio, attesa);
    if (!blocco) return nullptr;
    return std::unique_ptr<IstanzaUnica>(new IstanzaUnica(std::move(*blocco)));
}

std::optional<pid_t> IstanzaUnica::altra() {
    return BloccoFile::titolare(percorsoBlocco().toStdString());
}

bool IstanzaUnica::chiediFinestra(const QString& sezione) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;
    QDBusMessage chiamata =
        QDBusMessage::createMethodCall(QString::fromLatin1(servizio), QString::fromLatin1(oggetto),
                                       QString::fromLatin1(interfaccia), QStringLiteral("Mostra"));
    chiamata << sezione;
    return bus.call(chiamata, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage;
}

bool IstanzaUnica::pubblica() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() &&
           bus.registerObject(QString::fromLatin1(oggetto), this,
                              QDBusConnection::ExportScriptableSlots) &&
           bus.registerService(QString::fromLatin1(servizio));
}

void IstanzaUnica::Mostra(const QString& sezione) {
    emit finestraRichiesta(sezione);
}

}  // namespace ostrale
