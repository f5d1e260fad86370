// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/avvio-app.h"

#include <QCoreApplication>

#include "Ostrale/Dati/servizi-dati.h"
#include "Ostrale/Linux/notificatore-dbus.h"
#include "Ostrale/Linux/posizione-locale.h"
#include "Ostrale/Linux/scelta-gestore.h"
#include "Ostrale/Stato/gestore-filtro.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/presentatore-domande.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"

namespace ostrale {

std::unique_ptr<AvvioApp> AvvioApp::crea(QCoreApplication& app, const Scelte& scelte,
                                         const CreaDomande& creaDomande) {
    std::unique_ptr<AvvioApp> a(new AvvioApp);
    a->preferenze_ = std::make_unique<ImpostazioniApp>(
        scelte.preferenze.isEmpty() ? ImpostazioniApp::percorsoPredefinito() : scelte.preferenze);
    // The language of every text, the notifications' too, as the user chose it in the app.
    testi::installaTraduzioni(
        app, testi::linguaPer(a->preferenze_->comeTesto(ImpostazioniApp::linguaScelta)));
    a->gestore_ = creaGestoreFiltro(scelte.gestore, *a->preferenze_, scelte.comandoEstensione);
    if (!a->gestore_) return nullptr;
    if (creaDomande) a->domande_ = creaDomande(a->orologio_);
    if (scelte.notifiche) {
        a->notifiche_ = std::make_unique<NotificatoreDBus>(NotificatoreDBus::iconaPredefinita());
    }
    a->stato_ = std::make_unique<StatoApp>(StatoApp::Dipendenze{a->orologio_,
                                                                a->temporizzatore_,
                                                                *a->gestore_,
                                                                *a->preferenze_,
                                                                a->domande_.get(),
                                                                scelte.socket,
                                                                {},
                                                                a->notifiche_.get()});
    a->dati_ = std::make_unique<ServiziDati>(*a->stato_, *a->preferenze_, a->orologio_,
                                             a->temporizzatore_);
    a->posizione_ = std::make_unique<PosizioneLocale>();
    StatoApp* stato = a->stato_.get();
    QObject::connect(a->posizione_.get(), &PosizioneLocale::aggiornata, stato,
                     [stato](const PosizioneIP& p) { stato->impostaPosizioneMia(p); });
    return a;
}

AvvioApp::~AvvioApp() = default;

void AvvioApp::avvia() {
    stato_->avvia();
    dati_->avvia();
    posizione_->richiedi(
        [stato = stato_.get()](PosizioneFacoltativa p) { stato->impostaPosizioneMia(p); });
}

}  // namespace ostrale
