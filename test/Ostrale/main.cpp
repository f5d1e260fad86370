// SPDX-License-Identifier: GPL-3.0-or-later
// The app's tests run with a Qt event loop of their own, turned by the tests as they wait, and
// the Italian texts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <csignal>

#include "Ostrale/Stato/testi.h"

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ostrale-test"));
    // The texts as an Italian user sees them: the table's entries for the identifier keys.
    if (!ostrale::testi::installaTraduzioni(app, QStringLiteral("it"))) return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
