// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>

#include "Ostrale/Stato/colore-semaforo.h"

// The named colours of the interface (the system's own tints, the same in light and dark themes).
namespace ostrale::colori {

inline const QColor verde{0x34, 0xC7, 0x59};
inline const QColor arancio{0xFF, 0x95, 0x00};
inline const QColor rosso{0xFF, 0x3B, 0x30};
inline const QColor grigio{0x8E, 0x8E, 0x93};
inline const QColor blu{0x00, 0x7A, 0xFF};
inline const QColor verdeAcqua{0x30, 0xB0, 0xC7};
inline const QColor viola{0xAF, 0x52, 0xDE};

inline QColor semaforo(ColoreSemaforo c) {
    switch (c) {
        case ColoreSemaforo::verde:
            return verde;
        case ColoreSemaforo::arancio:
            return arancio;
        case ColoreSemaforo::rosso:
            return rosso;
        case ColoreSemaforo::spento:
            break;
    }
    return grigio;
}

}  // namespace ostrale::colori
