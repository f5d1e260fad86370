// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QStackedWidget>
#include <QString>
#include <map>
#include <vector>

namespace ostrale {

class AvvioAutomatico;
class ServiziDati;
class StatoApp;
class VistaPagella;

// The main window "principale": the sidebar of the sections built so far, in the design's order,
// and the selected section's view; at the sidebar's foot the logo (the credits).
// Closing it hides it: the tray and the controller keep running.
class FinestraPrincipale : public QMainWindow {
    Q_OBJECT
  public:
    // The eight sections in the sidebar's order; those without a view yet are not listed.
    static const std::vector<QString>& sezioni();

    // What the switches section works with besides the controller; a missing one is shown as
    // not available there.
    struct Servizi {
        AvvioAutomatico* avvio = nullptr;
        ServiziDati* dati = nullptr;
    };

    explicit FinestraPrincipale(StatoApp& stato, QWidget* parent = nullptr);
    FinestraPrincipale(StatoApp& stato, Servizi servizi, QWidget* parent = nullptr);

    // Selects a section by its name; false (nothing changes) when no built section has it.
    bool mostraSezione(const QString& nome);
    QString sezioneCorrente() const;
    VistaPagella& pagella() { return *pagella_; }
    // The credits window (built once, kept when closed).
    QWidget* crediti();

  signals:
    // "Riapri adesso" (in the switches section): the language changes at the next start.
    void riavvioRichiesto();

  private slots:
    // The session bus signal it.brelt.ostrale.spento with a section's name.
    void suRichiestaSezione(const QString& nome);

  private:
    // The sidebar's list of sections.
    void costruisciBarra();
    // Every section's view, by its name.
    std::map<QString, QWidget*> costruisciSezioni(Servizi servizi);
    // The views built, in the sidebar's order, each with its entry.
    void elencaSezioni(const std::map<QString, QWidget*>& costruite);
    QWidget* costruisciColonna();
    void ascoltaBus();

    StatoApp& stato_;
    QListWidget* barra_;
    QStackedWidget* viste_;
    std::vector<QString> costruite_;
    VistaPagella* pagella_;
    QPointer<QWidget> crediti_;
};

}  // namespace ostrale
