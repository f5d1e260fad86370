// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPixmap>

// Small drawn signs the views share, at a device pixel ratio.
namespace ostrale::disegni {

// A filled disc of `lato` points.
QPixmap disco(const QColor& colore, int lato, qreal scala);
// The shield of the tray icon, filled, in a square of `lato` points.
QPixmap scudo(const QColor& colore, int lato, qreal scala);
// A disc with a white bar: something blocked.
QPixmap divieto(const QColor& colore, int lato, qreal scala);

}  // namespace ostrale::disegni
