// The windows' tests: real widgets on the offscreen platform, the Italian texts, and a PNG of
// each window in the build tree's schermate/ for people to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "Ostrale/Stato/testi.h"

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TZ", "Europe/Rome", 1);
    ::setenv("LANG", "it_IT.UTF-8", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ostrale-test"));
    if (!ostrale::testi::installaTraduzioni(app, QStringLiteral("it"))) return 1;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
