// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Stato/canale-app.h"

#include <QLocalSocket>
#include <QMetaObject>
#include <QPointer>

#include <sys/socket.h>

#include "Condiviso/codifica-json.h"

namespace ostrale {

using canale::Cornice;
using canale::TipoCornice;
namespace messaggi = canale::messaggi;

CanaleApp::CanaleApp(QString percorso, Temporizzatore& temporizzatore, QObject* parent)
    : QObject(parent), percorso_(std::move(percorso)), temporizzatore_(temporizzatore) {}

CanaleApp::~CanaleApp() {
    // Calls already made (an edit just before the app quits) leave before the connection goes.
    if (socket_) {
        socket_->flush();
        socket_->waitForBytesWritten(500);
    }
    chiudi();
}

void CanaleApp::connetti() {
    // Also while the end of the last connection is still to be reported: whoever handles it
    // decides when to try again.
    if (socket_ || fineDaDire_) return;
    lettore_ = canale::LettoreCornici();
    registrato_ = false;
    nonPermessa_ = false;
    ++tentativi_;
    socket_ = new QLocalSocket(this);
    QLocalSocket* const questo = socket_;
    connect(questo, &QLocalSocket::connected, this, [this, questo] {
        if (socket_ != questo) return;
        chiama(messaggi::registra, {}, [this](std::string carico) {
            const bool accettata = canale::leggiBool(carico) == true;
            registrato_ = accettata;
            pronto_ = true;
            emit registrazione(accettata);
        });
    });
    connect(questo, &QLocalSocket::readyRead, this, [this, questo] {
        if (socket_ == questo) leggi();
    });
    connect(questo, &QLocalSocket::disconnected, this, [this, questo] {
        if (socket_ == questo) leggiUltime();
        if (socket_ == questo) termina(!registrato_);
    });
    connect(questo, &QLocalSocket::errorOccurred, this,
            [this, questo](QLocalSocket::LocalSocketError errore) {
                if (socket_ == questo) leggiUltime();
                if (socket_ != questo) return;
                // The socket is the group's alone: the kernel refused the connection.
                if (errore == QLocalSocket::SocketAccessError) nonPermessa_ = true;
                termina(!registrato_);
            });
    socket_->connectToServer(percorso_);
}

void CanaleApp::chiudi() {
    if (!socket_) return;
    QLocalSocket* vecchio = std::exchange(socket_, nullptr);
    vecchio->disconnect(this);
    vecchio->abort();
    vecchio->deleteLater();
    for (auto& [id, attesa] : inAttesa_) temporizzatore_.annulla(attesa.scadenza);
    inAttesa_.clear();
    registrato_ = false;
    pronto_ = false;
}

void CanaleApp::termina(bool invalidazione) {
    if (!socket_) return;
    chiudi();
    // Reported from the event loop, never from inside the call that found the end.
    fineDaDire_ = true;
    QMetaObject::invokeMethod(
        this,
        [this, invalidazione] {
            fineDaDire_ = false;
            if (invalidazione) {
                emit invalidata();
            } else {
                emit interrotta();
            }
        },
        Qt::QueuedConnection);
}

void CanaleApp::inviaCornice(const Cornice& cornice) {
    std::string byte;
    try {
        byte = canale::codifica(cornice);
    } catch (const std::exception&) {
        return;  // over the frame limit: the extension could not take it either
    }
    socket_->write(byte.data(), static_cast<qint64>(byte.size()));
}

bool CanaleApp::chiama(std::string_view nome, std::string carico, SuRisposta risposta) {
    if (!socket_) return false;
    const std::uint32_t id = prossimoId_++;
    if (prossimoId_ == 0) prossimoId_ = 1;
    Attesa attesa;
    attesa.risposta = std::move(risposta);
    attesa.scadenza = temporizzatore_.dopo(attesaRisposta, [this, id, questo = QPointer(socket_)] {
        if (questo.isNull() || socket_ != questo.data()) return;
        if (inAttesa_.erase(id) > 0) termina(true);  // the extension hangs
    });
    inAttesa_.emplace(id, std::move(attesa));
    inviaCornice(Cornice{TipoCornice::chiamata, id, std::string(nome), std::move(carico)});
    return true;
}

void CanaleApp::leggiUltime() {
    // What the extension sent before it closed is read first, even when the end showed up as a
    // write that failed: its last word may say why. Taken as it is, without waiting.
    const QByteArray inCoda = socket_->readAll();
    std::string byte(inCoda.constData(), static_cast<std::size_t>(inCoda.size()));
    const auto fd = static_cast<int>(socket_->socketDescriptor());
    char buffer[4096];
    for (ssize_t n; fd >= 0 && byte.size() < (1u << 20) &&
                    (n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
        byte.append(buffer, static_cast<std::size_t>(n));
    }
    if (!byte.empty()) elabora(byte);
}

void CanaleApp::leggi() {
    const QByteArray byte = socket_->readAll();
    elabora(std::string_view(byte.constData(), static_cast<std::size_t>(byte.size())));
}

void CanaleApp::elabora(std::string_view byte) {
    lettore_.aggiungi(byte);
    QPointer<QLocalSocket> questo(socket_);
    while (auto cornice = lettore_.prossima()) {
        if (cornice->tipo == TipoCornice::risposta) {
            const auto it = inAttesa_.find(cornice->id);
            if (it == inAttesa_.end()) continue;
            Attesa attesa = std::move(it->second);
            inAttesa_.erase(it);
            temporizzatore_.annulla(attesa.scadenza);
            if (attesa.risposta) attesa.risposta(std::move(cornice->carico));
        } else if (cornice->tipo == TipoCornice::notifica) {
            if (cornice->nome == messaggi::nuovoFlusso) {
                emit nuovoFlusso(cornice->carico);
            } else if (cornice->nome == messaggi::chiediDecisione) {
                emit chiediDecisione(cornice->carico);
            } else if (cornice->nome == messaggi::regole) {
                emit regole(cornice->carico);
            } else if (cornice->nome == messaggi::nonAutorizzato) {
                // The extension's last word: it refuses this user.
                nonPermessa_ = true;
                termina(true);
                return;
            }
        }
        // A handler may have closed or replaced the connection: what is left is not ours.
        if (questo.isNull() || socket_ != questo.data()) return;
    }
    if (lettore_.rotto()) termina(true);
}

bool CanaleApp::modificaRegole(std::string json, SuRisposta risposta) {
    return chiama(messaggi::modificaRegole, std::move(json), std::move(risposta));
}

bool CanaleApp::leggiRegole(SuRisposta risposta) {
    return chiama(messaggi::leggiRegole, {}, std::move(risposta));
}

bool CanaleApp::leggiStorico(SuRisposta risposta) {
    return chiama(messaggi::leggiStorico, {}, std::move(risposta));
}

bool CanaleApp::leggiFlussi(SuRisposta risposta) {
    return chiama(messaggi::leggiFlussi, {}, std::move(risposta));
}

bool CanaleApp::rispondiSospesi(const RispostaSospesi& risposta) {
    if (!socket_) return false;
    const std::uint32_t id = prossimoId_++;
    if (prossimoId_ == 0) prossimoId_ = 1;
    // No answer comes: nothing waits for one.
    inviaCornice(Cornice{TipoCornice::chiamata, id, std::string(messaggi::rispondiSospesi),
                         json::codifica(risposta)});
    return true;
}

bool CanaleApp::aggiornaBlocklistC2(std::string testo, std::function<void(std::int64_t)> risposta) {
    return chiama(messaggi::aggiornaBlocklistC2, std::move(testo),
                  [risposta = std::move(risposta)](std::string carico) {
                      if (risposta) risposta(canale::leggiIntero(carico).value_or(0));
                  });
}

bool CanaleApp::informazioni(SuRisposta risposta) {
    return chiama(messaggi::informazioni, {}, std::move(risposta));
}

}  // namespace ostrale
