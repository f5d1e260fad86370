#pragma once

#include <gtest/gtest.h>
#include <QDir>
#include <QString>
#include <QWidget>

namespace ostrale::test {

// Saves a picture of `w` as `nome` in the build's pictures folder, for people to look at.
inline void fotografa(QWidget* w, const QString& nome) {
    const QString cartella = QStringLiteral(OSTRALE_SCHERMATE);
    QDir().mkpath(cartella);
    EXPECT_TRUE(w->grab().save(cartella + QLatin1Char('/') + nome)) << nome.toStdString();
}

}  // namespace ostrale::test
