// SPDX-License-Identifier: GPL-3.0-or-later
// Saves a picture of the whole screen of the display in DISPLAY (the demo under Xvfb).
// Usage: fotografa-schermo FILE.png
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fotografa-schermo FILE.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    QScreen* schermo = QGuiApplication::primaryScreen();
    return schermo && schermo->grabWindow(0).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
