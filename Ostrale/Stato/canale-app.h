// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "Condiviso/cornice.h"
#include "Condiviso/risposta-domanda.h"
#include "Ostrale/Stato/temporizzatore.h"

class QLocalSocket;

namespace ostrale {

// The app's end of the local channel, driven by the main event loop: nothing here ever waits.
// It connects, registers as the app, makes calls whose answers come back as callbacks on the
// main thread, and hands over the extension's pushes in the order they arrived.
//
// How a connection ends decides what the controller does next:
// - invalidation: no connection could be made, the extension closed it before the registration
//   was answered, the stream broke, or a call went unanswered for `attesaRisposta` seconds (a
//   hung extension);
// - interruption: a registered connection ended (the extension stopped or restarted).
// A connection the extension refused (this user may not use it) is an invalidation that
// `nonPermessa()` tells apart.
class CanaleApp : public QObject {
    Q_OBJECT
  public:
    static constexpr double attesaRisposta = 10;

    using SuRisposta = std::function<void(std::string carico)>;

    CanaleApp(QString percorso, Temporizzatore& temporizzatore, QObject* parent = nullptr);
    ~CanaleApp() override;

    // Connects and sends `registra:`; does nothing while a connection is held.
    void connetti();
    // Closes the connection without reporting its end (the app quits).
    void chiudi();
    bool connesso() const { return socket_ != nullptr; }
    bool registrato() const { return registrato_; }
    // The registration was answered (either way): calls can go.
    bool pronto() const { return pronto_; }
    // The last connection failed because the extension does not let this user in.
    bool nonPermessa() const { return nonPermessa_; }
    // Connections tried so far.
    std::uint64_t tentativi() const { return tentativi_; }

    // A call. Skipped (false) without a connection; its answer is dropped with the connection.
    bool chiama(std::string_view nome, std::string carico, SuRisposta risposta = {});

    // The calls of the protocol.
    bool modificaRegole(std::string json, SuRisposta risposta);
    bool leggiRegole(SuRisposta risposta);
    bool leggiStorico(SuRisposta risposta);
    bool leggiFlussi(SuRisposta risposta);
    // The user's answer about an application's held flows: how long and for what it holds.
    bool rispondiSospesi(const RispostaSospesi& risposta);
    bool aggiornaBlocklistC2(std::string testo, std::function<void(std::int64_t)> risposta);
    bool informazioni(SuRisposta risposta);

    QString percorso() const { return percorso_; }

  signals:
    // The answer to `registra:`.
    void registrazione(bool accettata);
    void invalidata();
    void interrotta();
    void nuovoFlusso(const std::string& dati);
    void chiediDecisione(const std::string& dati);
    // The user's rules as they stand after any client changed them.
    void regole(const std::string& dati);

  private:
    void leggi();
    void leggiUltime();
    // Takes bytes in and hands out the frames they complete.
    void elabora(std::string_view byte);
    void inviaCornice(const canale::Cornice& cornice);
    // Ends the current connection; the signal follows on the next turn of the event loop.
    void termina(bool invalidazione);

    const QString percorso_;
    Temporizzatore& temporizzatore_;
    QLocalSocket* socket_ = nullptr;
    canale::LettoreCornici lettore_;
    bool registrato_ = false;
    bool pronto_ = false;
    bool nonPermessa_ = false;
    std::uint64_t tentativi_ = 0;
    bool fineDaDire_ = false;  // an ended connection's signal is on its way
    std::uint32_t prossimoId_ = 1;
    struct Attesa {
        SuRisposta risposta;
        Temporizzatore::Id scadenza = 0;
    };
    std::map<std::uint32_t, Attesa> inAttesa_;
};

}  // namespace ostrale
