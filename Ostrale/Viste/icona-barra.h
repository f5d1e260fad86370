// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include "Ostrale/Stato/colore-semaforo.h"

namespace ostrale {

// The tray icon, as the controller's state decides it: the red request shield while a question
// waits; else, while the ring runs, the light's shield with a bright dash travelling round its
// outline at the given phase; else the light's plain shield. Sizes are the design's points (a
// 22 × 21 image) times the device pixel ratio.
struct IconaBarra {
    // The shield outline inside `r`, in the usual y-down coordinates (the design's y grows up).
    static QPainterPath scudo(const QRectF& r);
    static QImage disegna(ColoreSemaforo luce, bool anello, double fase, bool richiesta,
                          qreal scala = 1);
    // The light's description ("Tutto regolare", …).
    static QString descrizione(ColoreSemaforo luce);
};

}  // namespace ostrale
