// SPDX-License-Identifier: GPL-3.0-or-later
// The windows' tests: real widgets on the offscreen platform, the Italian texts, and a PNG of
// each window in the build tree's schermate/ for people to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "Ostrale/Stato/testi.h"
#include "test/Ostrale/supporto-app.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TZ", "Europe/Rome", 1);
    ::setenv("LANG", "it_IT.UTF-8", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ostrale-test"));
    // A session bus of the tests' own, before anything uses one.
    ostrale::test::BusPrivato bus;
    if (bus.indirizzo().isEmpty()) return 1;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.indirizzo().toUtf8().constData(), 1);
    if (!ostrale::testi::installaTraduzioni(app, QStringLiteral("it"))) return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
