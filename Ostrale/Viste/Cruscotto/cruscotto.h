// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWidget>

class QGridLayout;
class QHBoxLayout;

namespace ostrale {

class StatoApp;
class FlussoParticelle;
class RadarSonar;

// The dashboard: the filter's state and the extension's, the four counters, the attacks
// recognised (the first four), the last five blocked flows and the quarantine.
class Cruscotto : public QScrollArea {
    Q_OBJECT
  public:
    static constexpr int righeAttacchi = 4;
    static constexpr int righeBloccati = 5;
    static constexpr int intervalloAggiornamento = 200;  // ms

    explicit Cruscotto(StatoApp& stato, QWidget* parent = nullptr);
    FlussoParticelle& particelle() { return *particelle_; }
    RadarSonar& radar() { return *radar_; }

  protected:
    void showEvent(QShowEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    // Header: logo, version, tagline and the live picture.
    QHBoxLayout* costruisciIntestazione();
    // The live picture, particles or radar; a click switches and the choice is kept.
    QStackedWidget* costruisciImmagine();
    // The filter's switch and the extension's state.
    QGroupBox* costruisciStato();
    QGridLayout* costruisciContatori();
    // Attacks (only while there are some).
    QGroupBox* costruisciAttacchi();
    QGroupBox* costruisciBloccati();
    QGroupBox* costruisciQuarantena();
    void collegaStato();

    void aggiornaStato();
    void aggiornaContatori();
    void aggiornaAttacchi();
    void aggiornaBloccati();
    void aggiornaQuarantena();
    // Runs `f` once at the end of this turn of the loop, and only while the view shows.
    void piùTardi(bool& sporco, void (Cruscotto::*f)());

    void mostraImmagine(const QString& vista);

    StatoApp& stato_;
    QStackedWidget* immagine_;
    FlussoParticelle* particelle_;
    RadarSonar* radar_;
    QCheckBox* interruttore_;
    QLabel* traffico_;
    QLabel* iconaEstensione_;
    QLabel* testoEstensione_;
    QPushButton* installa_;
    QLabel* numeri_[4];
    QGroupBox* attacchi_;
    QVBoxLayout* righeAttacchi_;
    QGroupBox* bloccati_;
    QVBoxLayout* righeBloccati_;
    QGroupBox* quarantena_;
    QVBoxLayout* righeQuarantena_;
    bool contatoriSporchi_ = false, attacchiSporchi_ = false, bloccatiSporchi_ = false;
};

}  // namespace ostrale
