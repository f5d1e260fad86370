// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Mappa/linee.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace ostrale::mappa {
namespace {

// Liang–Barsky: the part of the segment inside [0, w) × [0, h), if any.
bool ritaglia(double& x0, double& y0, double& x1, double& y1, double w, double h) {
    double t0 = 0, t1 = 1;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0, w - 1 - x0, y0, h - 1 - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) return false;
    }
    x1 = x0 + t1 * dx;
    y1 = y0 + t1 * dy;
    x0 = x0 + t0 * dx;
    y0 = y0 + t0 * dy;
    return true;
}

// White over the pixel with coverage `a` (0 to 255): every channel moves toward 255, which is
// premultiplied white, so the same sum serves RGB32 and premultiplied ARGB32. Two channels at a
// time: (255 − c) × a / 255, rounded, added to c.
inline void schiarisci(std::uint32_t& pixel, std::uint32_t a) {
    const std::uint32_t resto = ~pixel;
    std::uint32_t pari = (resto & 0x00ff00ffu) * a;
    pari = ((pari + ((pari >> 8) & 0x00ff00ffu) + 0x00800080u) >> 8) & 0x00ff00ffu;
    std::uint32_t dispari = ((resto >> 8) & 0x00ff00ffu) * a;
    dispari = (dispari + ((dispari >> 8) & 0x00ff00ffu) + 0x00800080u) & 0xff00ff00u;
    pixel += pari | dispari;
}

}  // namespace

void lineeBianche(QImage& immagine, const std::vector<QLineF>& linee, double opacita) {
    if (immagine.depth() != 32 || immagine.isNull()) return;
    const int w = immagine.width(), h = immagine.height();
    const double scala = immagine.devicePixelRatio();
    const auto alfa = static_cast<std::uint32_t>(std::clamp(opacita, 0.0, 1.0) * 255 + 0.5);
    auto* bits = immagine.bits();
    const auto riga = immagine.bytesPerLine();
    for (const QLineF& l : linee) {
        double x0 = l.x1() * scala, y0 = l.y1() * scala, x1 = l.x2() * scala, y1 = l.y2() * scala;
        if (!std::isfinite(x0 + y0 + x1 + y1)) continue;
        if (!ritaglia(x0, y0, x1, y1, w, h)) continue;
        // Xiaolin Wu: along the long axis, the two pixels across each step share the coverage;
        // the cross position in 16.16 fixed point.
        const bool ripida = std::abs(y1 - y0) > std::abs(x1 - x0);
        if (ripida) {
            std::swap(x0, y0);
            std::swap(x1, y1);
        }
        if (x0 > x1) {
            std::swap(x0, x1);
            std::swap(y0, y1);
        }
        const double dx = x1 - x0;
        const double pendenza = dx == 0 ? 0 : (y1 - y0) / dx;
        const int inizio = static_cast<int>(std::lround(x0));
        const int fine = static_cast<int>(std::lround(x1));
        const int limite = ripida ? w : h;  // across the long axis
        const auto passo = static_cast<std::int64_t>(std::llround(pendenza * 65536));
        auto y = static_cast<std::int64_t>(std::llround((y0 + pendenza * (inizio - x0)) * 65536));
        for (int x = inizio; x <= fine; ++x, y += passo) {
            const auto yi = static_cast<int>(y >> 16);
            const auto f = static_cast<std::uint32_t>((y >> 8) & 0xff);
            const std::uint32_t sotto = (alfa * f + 127) / 255, sopra = alfa - sotto;
            if (yi < 0 || yi >= limite) continue;
            std::uint32_t* p = ripida ? reinterpret_cast<std::uint32_t*>(bits + x * riga) + yi
                                      : reinterpret_cast<std::uint32_t*>(bits + yi * riga) + x;
            schiarisci(*p, sopra);
            if (yi + 1 < limite) {
                schiarisci(
                    ripida ? p[1]
                           : *reinterpret_cast<std::uint32_t*>(reinterpret_cast<uchar*>(p) + riga),
                    sotto);
            }
        }
    }
}

}  // namespace ostrale::mappa
