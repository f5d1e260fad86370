// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <map>
#include <vector>

#include "Condiviso/modifica-regole.h"
#include "Condiviso/regola-dominio.h"
#include "Condiviso/regola.h"
#include "Condiviso/uuid.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QVBoxLayout;

namespace ostrale {

class RigaRegola;
class SceltaAzione;
class StatoApp;

// The "Regole" section: the rules of applications and of domains, each with its switch, action
// and (an application's) time window, and two fields to add rules by hand. Every change goes to
// the controller as one edit; what the list shows is the controller's rules.
class VistaRegole : public QWidget {
    Q_OBJECT
  public:
    explicit VistaRegole(StatoApp& stato, QWidget* parent = nullptr);

    // The row of a rule, if it is shown.
    RigaRegola* riga(const Uuid& id) const;
    // The last word about an edit ("" when none).
    QString messaggio() const;

  protected:
    void showEvent(QShowEvent* e) override;

  private:
    void aggiorna();
    void segnala(EsitoModifica esito);
    void dici(const QString& testo);
    template <typename R>
    void allinea(QVBoxLayout& colonna, std::map<Uuid, RigaRegola*>& righe,
                 const std::vector<R>& regole);
    RigaRegola* nuovaRiga(const Regola& regola);
    RigaRegola* nuovaRiga(const RegolaDominio& regola);
    void collega(RigaRegola* riga, bool dominio);

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
    bool sporca_ = true;
};

}  // namespace ostrale
