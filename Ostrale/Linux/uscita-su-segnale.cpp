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

bool esciSuSegnale(QCoreApplication& app) {
    if (tubo[0] >= 0) return true;
    if (::pipe2(tubo, O_CLOEXEC) != 0) return false;
    std::signal(SIGINT, suSegnale);
    std::signal(SIGTERM, suSegnale);
    auto* notifica = new QSocketNotifier(tubo[0], QSocketNotifier::Read, &app);
    QObject::connect(notifica, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    return true;
}

}  // namespace ostrale
