// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "Ostrale/Stato/stato-app.h"

namespace ostrale {

class CodaSeriale;

// Places remote addresses with the city database, on one background thread, each address at
// most once until `azzera`; every position found is handed to the main thread, in the order the
// addresses came. Local, private and malformed addresses are skipped at once.
class GeoLocalizzatore : public QObject {
    Q_OBJECT
  public:
    explicit GeoLocalizzatore(QObject* parent = nullptr);
    ~GeoLocalizzatore() override;

    // Starts with these addresses already known; logs once when there is no database.
    void avvia(std::set<std::string> giàInCache = {});
    void cerca(const std::string& ip);
    // Forgets what was looked up (after a new database): every address is looked up again.
    void azzera();
    // Waits until the lookups given so far are done and their results queued (tests).
    void attendi();

    // Host names, malformed text and local or private addresses are not looked up.
    static bool èPrivato(std::string_view ip);

  signals:
    void risultati(const ostrale::MappaPosizioni& posizioni);

  private:
    std::unique_ptr<CodaSeriale> coda_;
    std::set<std::string> giàCercati_;  // on the queue's thread only
};

}  // namespace ostrale
