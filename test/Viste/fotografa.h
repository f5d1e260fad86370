// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QString>
#include <QTranslator>
#include <QWidget>
#include <functional>

namespace ostrale::test {

// Saves a picture of `w` as `nome` in the build's pictures folder, for people to look at.
inline void fotografa(QWidget* w, const QString& nome) {
    const QString cartella = QStringLiteral(OSTRALE_SCHERMATE);
    QDir().mkpath(cartella);
    EXPECT_TRUE(w->grab().save(cartella + QLatin1Char('/') + nome)) << nome.toStdString();
}

// Runs `fai` in Italian, then with the English table and English dates and numbers, with the
// language's code ("it", "en"): pictures of a view in both languages.
inline void inOgniLingua(const std::function<void(const QString& lingua)>& fai) {
    const QLocale prima;
    for (const char* lingua : {"it", "en"}) {
        SCOPED_TRACE(lingua);
        QTranslator inglese;
        if (QLatin1String(lingua) == QLatin1String("en")) {
            ASSERT_TRUE(inglese.load(QStringLiteral(":/traduzioni/ostrale_en")));
            QCoreApplication::installTranslator(&inglese);
            QLocale::setDefault(QLocale(QLocale::English));
        }
        fai(QString::fromLatin1(lingua));
        QCoreApplication::removeTranslator(&inglese);
        QLocale::setDefault(prima);
    }
}

}  // namespace ostrale::test
