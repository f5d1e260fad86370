// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Stato/temporizzatore.h"

#include <algorithm>
#include <cmath>

#include <QObject>
#include <QTimer>

namespace ostrale {

TemporizzatoreQt::TemporizzatoreQt() : radice_(std::make_unique<QObject>()) {}

TemporizzatoreQt::~TemporizzatoreQt() = default;

Temporizzatore::Id TemporizzatoreQt::aggiungi(double secondi, bool ripeti,
                                              std::function<void()> compito) {
    const Id id = prossimo_++;
    auto* timer = new QTimer(radice_.get());
    timer->setTimerType(Qt::PreciseTimer);
    timer->setSingleShot(!ripeti);
    timer->setInterval(static_cast<int>(std::clamp(std::lround(secondi * 1000), 0L, 1L << 30)));
    QObject::connect(timer, &QTimer::timeout, timer,
                     [this, id, ripeti, compito = std::move(compito)] {
                         if (!ripeti) {
                             // Forgotten before it runs: the task may cancel or add others.
                             const auto it = timer_.find(id);
                             if (it != timer_.end()) {
                                 it->second->deleteLater();
                                 timer_.erase(it);
                             }
                         }
                         compito();
                     });
    timer_.emplace(id, timer);
    timer->start();
    return id;
}

Temporizzatore::Id TemporizzatoreQt::dopo(double secondi, std::function<void()> compito) {
    return aggiungi(secondi, false, std::move(compito));
}

Temporizzatore::Id TemporizzatoreQt::ogni(double secondi, std::function<void()> compito) {
    return aggiungi(secondi, true, std::move(compito));
}

void TemporizzatoreQt::annulla(Id id) {
    const auto it = timer_.find(id);
    if (it == timer_.end()) return;
    static_cast<QTimer*>(it->second)->stop();
    it->second->deleteLater();
    timer_.erase(it);
}

Temporizzatore::Id TemporizzatoreFinto::aggiungi(double secondi, double periodo,
                                                 std::function<void()> compito) {
    const Id id = prossimo_++;
    compiti_.emplace(id, Compito{orologio_.adesso().piùSecondi(secondi), sequenza_++, periodo,
                                 std::move(compito)});
    return id;
}

Temporizzatore::Id TemporizzatoreFinto::dopo(double secondi, std::function<void()> compito) {
    return aggiungi(secondi, 0, std::move(compito));
}

Temporizzatore::Id TemporizzatoreFinto::ogni(double secondi, std::function<void()> compito) {
    return aggiungi(secondi, secondi, std::move(compito));
}

void TemporizzatoreFinto::annulla(Id id) {
    compiti_.erase(id);
}

std::size_t TemporizzatoreFinto::ripetuti(double periodo) const {
    return static_cast<std::size_t>(
        std::count_if(compiti_.begin(), compiti_.end(), [&](const auto& c) {
            return c.second.periodo > 0 && std::abs(c.second.periodo - periodo) < 1e-9;
        }));
}

void TemporizzatoreFinto::avanza(double secondi) {
    const Data fine = orologio_.adesso().piùSecondi(secondi);
    for (;;) {
        auto primo = compiti_.end();
        for (auto it = compiti_.begin(); it != compiti_.end(); ++it) {
            if (it->second.quando > fine) continue;
            if (primo == compiti_.end() || it->second.quando < primo->second.quando ||
                (it->second.quando == primo->second.quando &&
                 it->second.ordine < primo->second.ordine)) {
                primo = it;
            }
        }
        if (primo == compiti_.end()) break;
        orologio_.imposta(primo->second.quando);
        // A copy: the task may cancel itself or add others.
        const auto azione = primo->second.azione;
        if (primo->second.periodo > 0) {
            primo->second.quando = primo->second.quando.piùSecondi(primo->second.periodo);
            primo->second.ordine = sequenza_++;
        } else {
            compiti_.erase(primo);
        }
        azione();
    }
    orologio_.imposta(fine);
}

}  // namespace ostrale
