// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QPixmap>
#include <QPointF>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "Ostrale/Viste/Mappa/punti-mappa.h"
#include "Ostrale/Viste/Mappa/terre.h"

namespace ostrale::mappa {

// The world map: the land, a line from this computer to every cell, the cells and this
// computer's marker. Dragging pans, the wheel and a pinch zoom around the pointer, a double click
// zooms in, the keys + - and the arrows do the same; hovering a cell tells what it holds, a click
// chooses it. The camera starts on the region of latitude 30, longitude 10, 240° wide and 120°
// high, and follows the window's size until the user moves it.
class CartaMondo : public QWidget {
    Q_OBJECT
  public:
    static constexpr double latitudineIniziale = 30;
    static constexpr double longitudineIniziale = 10;
    static constexpr double ampiezzaLongitudine = 240;
    static constexpr double ampiezzaLatitudine = 120;
    static constexpr double scalaMassima = 800;  // pixels per degree

    explicit CartaMondo(QWidget* parent = nullptr);

    void impostaTerre(std::shared_ptr<const Terre> terre);
    void impostaPunti(std::vector<PuntoMappa> punti);
    void impostaPosizioneMia(std::optional<PosizioneIP> posizione);

    const std::vector<PuntoMappa>& punti() const { return punti_; }
    bool haTerre() const { return terre_ != nullptr; }

    // The camera: its centre (x the longitude, y the latitude) and pixels per degree.
    QPointF centro() const { return centro_; }
    double scala() const { return scala_; }
    void vistaIniziale();
    // Zooms by `fattore` keeping the place under `fisso` (a point of the widget) where it is.
    void zoom(double fattore, QPointF fisso);
    void zoom(double fattore) { zoom(fattore, rect().center()); }
    void sposta(QPointF pixel);

    // Where a place is drawn, and what place a point of the widget shows.
    QPointF schermo(double latitudine, double longitudine) const;
    QPointF luogo(QPointF schermo) const;  // x the longitude, y the latitude
    // The cell drawn on top at a point of the widget (index into `punti`), or -1.
    int cellaIn(QPointF schermo) const;
    // Whether this computer's marker is at a point of the widget.
    bool mioIn(QPointF schermo) const;
    // The hover text at a point of the widget (empty over bare land or sea).
    QString suggerimentoIn(QPointF schermo) const;
    // Whether what is drawn behind the cells is that of the current camera and data (tests and
    // pictures wait for it; the map is usable before).
    bool sfondoPronto() const { return !inCorso_ && !sfondoScaduto(); }
    // The time the last background took to draw, off the main thread (benchmarks).
    double ultimoSfondoMs() const { return ultimoSfondoMs_; }

  signals:
    void puntoScelto(const ostrale::mappa::PuntoMappa& punto);
    void vistaCambiata();

  protected:
    void paintEvent(QPaintEvent* evento) override;
    void resizeEvent(QResizeEvent* evento) override;
    void mousePressEvent(QMouseEvent* evento) override;
    void mouseMoveEvent(QMouseEvent* evento) override;
    void mouseReleaseEvent(QMouseEvent* evento) override;
    void mouseDoubleClickEvent(QMouseEvent* evento) override;
    void wheelEvent(QWheelEvent* evento) override;
    void keyPressEvent(QKeyEvent* evento) override;
    void leaveEvent(QEvent* evento) override;
    bool event(QEvent* evento) override;

  private:
    // The land and the white lines, drawn off the main thread for a camera over an area larger
    // than the widget: panning moves it, zooming scales it, until a new one for the new camera
    // arrives. The cells and the marker are painted over it in every frame.
    struct Sfondo {
        QImage immagine;
        QPointF centro;
        double scala = 0;
        QSizeF dimensione;  // in points, the margins included
        std::uint64_t versione = 0;
    };
    struct Richiesta;
    static Sfondo disegnaSfondo(const Richiesta& richiesta);

    double scalaMinima() const;
    void limita();
    void cameraCambiata();
    // Whether the background has to be drawn again for the camera, size and data of now.
    bool sfondoScaduto() const;
    void richiediSfondo();
    void disegnaPunti(QPainter& p) const;
    void ordinaPerDisegno();
    const QPixmap& sprite(const PuntoMappa& cella, bool evidenziata, double scala) const;

    std::shared_ptr<const Terre> terre_;
    std::vector<PuntoMappa> punti_;
    std::vector<int> ordine_;  // the cells in drawing order: the largest first
    std::optional<PosizioneIP> mia_;
    QPointF centro_{longitudineIniziale, latitudineIniziale};
    double scala_ = 1;
    bool iniziale_ = true;  // the camera follows the size until the user moves it
    Sfondo sfondo_;
    std::uint64_t versione_ = 1;  // of the land, cells and position the background shows
    bool inCorso_ = false;        // a background is being drawn
    mutable std::unordered_map<int, QPixmap> sprite_;  // the cells' looks, by size and colour
    mutable double scalaSprite_ = 0;                   // the pixel ratio they were drawn at
    std::optional<QPointF> premuto_;
    QPointF ultimo_;
    bool trascinato_ = false;
    int sopra_ = -1;  // the cell under the pointer
    double ultimoSfondoMs_ = 0;
};

}  // namespace ostrale::mappa
