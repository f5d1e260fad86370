// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QScrollArea>
#include <QString>
#include <cstdint>
#include <map>

#include "Ostrale/Stato/avvio-automatico.h"

class QGroupBox;

namespace ostrale {

class RigaAggiornabile;
class RigaInterruttore;
class ServiziDati;
class StatoApp;

// The "Interruttori" section: the interface language; launch at login and the question after a
// security block; the filter's and the protections' switches, each bound to one member of the
// filter settings (a change is a one-field edit through the controller, and the switch shows the
// controller's settings); the two updatable defences with their "Aggiorna adesso". Launch at
// login and the data services may be missing: their rows then say so.
class VistaInterruttori : public QScrollArea {
    Q_OBJECT
  public:
    // How long a switch waits at most for the controller to show an edit that went through.
    static constexpr int attesaMassimaMs = 5000;

    VistaInterruttori(StatoApp& stato, AvvioAutomatico* avvio, ServiziDati* dati,
                      QWidget* parent = nullptr);

    // The row of a switch by the name it is bound to ("escludiLan", "avvioAutomatico", …).
    RigaInterruttore* riga(const QString& nome) const;

  signals:
    // "Riapri adesso" of the language selector.
    void riavvioRichiesto();

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    QGroupBox* costruisciLingua(QWidget* corpo);
    // Launch at login and the question after a security block.
    QGroupBox* costruisciAvvisi(QWidget* corpo);
    QGroupBox* costruisciFiltro(QWidget* corpo);
    QGroupBox* costruisciProtezioni(QWidget* corpo);
    // Each switch of the filter settings to its one-field edit.
    void collegaInterruttori();
    // The two updatable defences.
    QGroupBox* costruisciDifese(QWidget* corpo);
    // Their "Aggiorna adesso" and what their updaters tell, when there are data services.
    void collegaDati();
    void collegaStato();
    RigaInterruttore* aggiungi(QWidget* gruppo, const char* nome, const QString& titolo,
                               const QString& dettaglio = {});
    void mostraImpostazioni();
    void mostraDettagli();
    void mostraC2();
    void mostraGeoDB();
    void cambiaImpostazione(const QString& nome, bool valore);
    void rilascia(const QString& nome, std::uint64_t numero);
    void registraAvvioSeServe();
    void cambiaAvvio(bool attivo);
    void mostraAvvio(const AvvioAutomatico::Esito& esito);

    StatoApp& stato_;
    AvvioAutomatico* avvio_;
    ServiziDati* dati_;
    std::map<QString, RigaInterruttore*> righe_;
    // The switches held by an edit on its way: the value asked, and which edit it is.
    struct InAttesa {
        bool valore = false;
        std::uint64_t numero = 0;
    };
    std::map<QString, InAttesa> inAttesa_;
    std::uint64_t ultimaModifica_ = 0;
    RigaAggiornabile* c2_;
    RigaAggiornabile* geoDB_;
};

}  // namespace ostrale
