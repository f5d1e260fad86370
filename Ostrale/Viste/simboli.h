// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>

class QPainter;

// The small signs of the lists, drawn in a colour so that they follow the theme and the state.
namespace ostrale::simboli {

enum class Simbolo {
    occhio,     // a tracker or advertising domain
    fulmine,    // a destination never seen before
    mano,       // blocked
    spunta,     // allowed
    divieto,    // block a domain everywhere
    scintille,  // explain
    orologio,   // a time window
    frecce,     // flows (the empty list)
    portatile,  // this computer (on the map)
    globo,      // the world (the empty map)
    spillo,     // a place on the map
};

// Draws `simbolo` inside `dove` (a square is best).
void disegna(QPainter& p, Simbolo simbolo, const QRectF& dove, const QColor& colore);
// The sign as an icon, drawn at whatever size and device pixel ratio it is asked for.
QIcon icona(Simbolo simbolo, const QColor& colore);

}  // namespace ostrale::simboli
