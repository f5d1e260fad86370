// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/uscita-su-segnale.h"

#include <csignal>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>

namespace ostrale {
namespace {

int tubo[2] = {-1, -1};

void suSegnale(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(tubo[1], &c, 1);
}

}  // namespace

bool esciSuSegnale(QCoreApplication& app, std::function<void()> esci) {
    if (tubo[0] >= 0) return true;
    if (::pipe2(tubo, O_CLOEXEC) != 0) return false;
    std::signal(SIGINT, suSegnale);
    std::signal(SIGTERM, suSegnale);
    auto* notifica = new QSocketNotifier(tubo[0], QSocketNotifier::Read, &app);
    // A plain exit of the loop: QCoreApplication::quit() would first ask every window to
    // close, and a window that declines (a question waiting for its answer) would cancel it.
    if (!esci) esci = [] { QCoreApplication::exit(0); };
    QObject::connect(notifica, &QSocketNotifier::activated, &app, std::move(esci));
    return true;
}

}  // namespace ostrale
