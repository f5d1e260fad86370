#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QMainWindow>
#include <QPointer>
#include <QStackedWidget>
#include <QString>
#include <vector>

namespace ostrale {

class StatoApp;
class VistaPagella;

// The main window "principale": the sidebar of the sections built so far, in the design's order,
// and the selected section's view; at the sidebar's foot the logo (the credits) and the language.
// Closing it hides it: the tray and the controller keep running.
class FinestraPrincipale : public QMainWindow {
    Q_OBJECT
  public:
    // The eight sections in the sidebar's order; those without a view yet are not listed.
    static const std::vector<QString>& sezioni();

    explicit FinestraPrincipale(StatoApp& stato, QWidget* parent = nullptr);

    // Selects a section by its name; false (nothing changes) when no built section has it.
    bool mostraSezione(const QString& nome);
    QString sezioneCorrente() const;
    VistaPagella& pagella() { return *pagella_; }
    // The credits window (built once, kept when closed).
    QWidget* crediti();

  signals:
    // "Riapri adesso": the language changes at the next start.
    void riavvioRichiesto();

  private slots:
    // The session bus signal it.brelt.ostrale.spento with a section's name.
    void suRichiestaSezione(const QString& nome);

  private:
    StatoApp& stato_;
    QListWidget* barra_;
    QStackedWidget* viste_;
    std::vector<QString> costruite_;
    VistaPagella* pagella_;
    QComboBox* lingua_;
    QWidget* notaLingua_;
    QPointer<QWidget> crediti_;
};

}  // namespace ostrale
