// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QLineF>
#include <vector>

namespace ostrale::mappa {

// Draws thin antialiased white lines of opacity `opacita` (0 to 1) straight into an image of 32
// bits a pixel (RGB32 or premultiplied ARGB32), in its device pixels, each clipped to it first.
// Thousands of long lines from one point are the map's usual load: QPainter hands every 255
// spans of them to a thread pool, which costs far more than the pixels; this costs the pixels.
void lineeBianche(QImage& immagine, const std::vector<QLineF>& linee, double opacita);

}  // namespace ostrale::mappa
