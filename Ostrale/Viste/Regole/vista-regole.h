// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <map>
#include <vector>

#include "Condiviso/modifica-regole.h"
#include "Condiviso/regola-dominio.h"
#include "Condiviso/regola.h"
#include "Condiviso/stato-regole.h"
#include "Condiviso/uuid.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QVBoxLayout;

namespace ostrale {

namespace scambio {
struct Piano;
}

class RigaRegola;
class SceltaAzione;
class StatoApp;

// The "Regole" section: the rules of applications and of domains, each with its switch, action
// and (an application's) time window, and two fields to add rules by hand. Every change goes to
// the controller as one edit; what the list shows is the controller's rules. The time left of
// temporary rules is refreshed every minute while the section shows; a rule whose time is up
// goes when the controller's rules no longer hold it.
class VistaRegole : public QWidget {
    Q_OBJECT
  public:
    explicit VistaRegole(StatoApp& stato, QWidget* parent = nullptr);

    // The row of a rule, if it is shown.
    RigaRegola* riga(const Uuid& id) const;
    // The last word about an edit ("" when none).
    QString messaggio() const;

    // "Esporta…" and "Importa…" once the user has picked the file: the file is written or read
    // away from the main thread; an import then shows what it would add, change and remove
    // (`anteprima`), and sends the edits only when confirmed.
    void esportaIn(const QString& percorso);
    void importaDa(const QString& percorso);
    QDialog* anteprima() const { return anteprima_.data(); }
    // Refreshes the time left of temporary rules; runs only while one shows.
    QTimer& orologioDurate() { return orologioDurate_; }

  protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

  private:
    // The two lists (applications', domains') in a scrolling column.
    QScrollArea* costruisciElenchi();
    QWidget* costruisciSezione(QWidget* contenuto, const QString& titolo, const QString& nomeElenco,
                               QVBoxLayout*& colonna);
    // What shows when there are no rules at all.
    QWidget* costruisciVuoto();
    // The two fields that add rules, each with its action and button.
    QVBoxLayout* costruisciModuli();
    void aggiungiDa(QLineEdit* campo, bool dominio);
    void costruisciMessaggio();
    // The rules out and in, as one file.
    QHBoxLayout* costruisciFile();
    void collegaStato();
    void aggiorna();
    // The time left of every row as of now; the timer runs while a temporary rule shows.
    void mostraTempi();
    void segnala(EsitoModifica esito);
    void dici(const QString& testo);
    template <typename R>
    void allinea(QVBoxLayout& colonna, std::map<Uuid, RigaRegola*>& righe,
                 const std::vector<R>& regole);
    RigaRegola* nuovaRiga(const Regola& regola);
    RigaRegola* nuovaRiga(const RegolaDominio& regola);
    void collega(RigaRegola* riga, bool dominio);
    void scegliFile(bool esporta);
    void mostraAnteprima(const StatoRegole& importate, const QString& percorso);
    // What an import would add, change and remove, as the preview lists it.
    static QString descriviPiano(const scambio::Piano& p);

    StatoApp& stato_;
    QStackedWidget* pile_;
    QWidget* sezioneApp_;
    QWidget* sezioneDomini_;
    QVBoxLayout* colonnaApp_;
    QVBoxLayout* colonnaDomini_;
    std::map<Uuid, RigaRegola*> righeApp_;
    std::map<Uuid, RigaRegola*> righeDomini_;
    QLineEdit* nuovaFirma_;
    SceltaAzione* nuovaAzione_;
    QLineEdit* nuovoDominio_;
    SceltaAzione* nuovaAzioneDominio_;
    QLabel* messaggio_;
    QPointer<QDialog> anteprima_;  // deleted when closed
    bool sporca_ = true;
    QTimer orologioDurate_;
};

}  // namespace ostrale
