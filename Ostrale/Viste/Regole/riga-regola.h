// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>
#include <optional>

#include "Condiviso/data.h"
#include "Condiviso/regola-dominio.h"
#include "Condiviso/regola.h"
#include "Condiviso/uuid.h"

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace ostrale {

class SceltaAzione;

// One rule of the "Regole" section, an application's or a domain's: its switch, what it names
// (a domain's, also the application and port it is narrowed to), its action, (an application's)
// its time window, how long a temporary one still lasts with a button that makes it permanent,
// and a delete button. It shows the rule it was last given and tells what the user changed; it
// changes nothing by itself.
class RigaRegola : public QWidget {
    Q_OBJECT
  public:
    // The first and the last choice of the window's menus, and the one a new window gets.
    static constexpr int inizioPredefinito = 9 * 60, finePredefinita = 18 * 60;

    explicit RigaRegola(const Regola& regola, QWidget* parent = nullptr);
    explicit RigaRegola(const RegolaDominio& regola, QWidget* parent = nullptr);

    const Uuid& id() const { return id_; }
    void mostra(const Regola& regola);
    void mostra(const RegolaDominio& regola);

    // The label of a minute of the day ("22:00"); 1440 is "24:00".
    static QString etichettaOra(std::int64_t minuto);
    // Fills a menu with the day's half hours, plus `attuale` where it lies when it is off them.
    static void riempiOre(QComboBox& menu, std::int64_t attuale);
    // How long a rule still lasts at `adesso` ("ancora 14 min", "ancora 3 h", "fino al
    // riavvio"); empty for a permanent one.
    static QString testoDurata(const Durata& durata, Data adesso);

    // Whether the rule shown lasts only a while, and its time left as of `adesso`.
    bool temporanea() const { return !durata_.perSempre(); }
    void mostraTempo(Data adesso);

  signals:
    void attivaCambiata(bool attiva);
    void azioneCambiata(ostrale::AzioneRegola azione);
    // Absent: the rule no longer has a window.
    void fasciaCambiata(std::optional<ostrale::FasciaOraria> fascia);
    void eliminaRichiesta();
    void rendiPermanenteRichiesta();

  protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

  private:
    void costruisci(bool dominio);
    // The name and the line below it.
    QVBoxLayout* costruisciNome();
    // The name, (an application's) "A orario" and the action.
    QHBoxLayout* costruisciPrimaRiga(bool dominio);
    // An application's time window.
    QWidget* costruisciFascia();
    // How long a temporary rule still lasts, and the way to keep it.
    QWidget* costruisciDurata();
    void costruisciElimina();
    void mostraComune(bool attiva, AzioneRegola azione, const Durata& durata);
    void suOraScelta();

    Uuid id_;
    bool dominio_ = false;
    QCheckBox* interruttore_;
    QWidget* corpo_;
    QLabel* nome_;
    QLabel* dettaglio_;
    QCheckBox* aOrario_ = nullptr;
    SceltaAzione* azione_;
    QWidget* rigaFascia_ = nullptr;
    QComboBox* inizio_ = nullptr;
    QComboBox* fine_ = nullptr;
    QWidget* rigaDurata_;
    QLabel* tempo_;
    QPushButton* permanente_;
    QToolButton* elimina_;
    std::optional<FasciaOraria> fascia_;
    Durata durata_;
};

}  // namespace ostrale
