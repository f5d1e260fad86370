// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QPainterPath>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

class QObject;

namespace ostrale::mappa {

// The land of the world as outlines in degrees (x the longitude, y the latitude northward), at
// three levels of detail: full, and two simplified for a map drawn small.
struct Terre {
    static constexpr std::array<double, 3> tolleranze{0, 0.08, 0.3};  // degrees between points
    std::array<QPainterPath, 3> livelli;
    int anelli = 0;  // outlines at full detail
    int punti = 0;   // their points

    // The level whose tolerance stays under about half a pixel at `pixelPerGrado`.
    const QPainterPath& perScala(double pixelPerGrado) const;
};

// Decodes the polygons of `oggetto` in a TopoJSON topology (quantized or not; arcs shared and
// reversed as the format says). Absent, with the reason in `errore`, for anything else.
std::optional<Terre> decodificaTopoJson(const QByteArray& json, const QString& oggetto,
                                        QString* errore = nullptr);

// The land shipped with the app, decoded once, off the main thread: `pronte` is called on
// `destinatario`'s thread (not at all if it is gone) with the decoded land, at once when it is
// already there. Null when the shipped file cannot be read, which is logged.
void terreSpedite(QObject* destinatario, std::function<void(std::shared_ptr<const Terre>)> pronte);
// The same, waiting (benchmarks and tests).
std::shared_ptr<const Terre> terreSpediteOra();

}  // namespace ostrale::mappa
