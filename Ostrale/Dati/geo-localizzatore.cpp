// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Dati/geo-localizzatore.h"

#include <QPointer>
#include <algorithm>

#include "Condiviso/registro.h"
#include "Condiviso/rete-locale.h"
#include "Ostrale/Dati/geo-db.h"
#include "Ostrale/Stato/coda-seriale.h"

namespace ostrale {

GeoLocalizzatore::GeoLocalizzatore(QObject* parent)
    : QObject(parent), coda_(std::make_unique<CodaSeriale>()) {}

GeoLocalizzatore::~GeoLocalizzatore() {
    coda_.reset();  // what is queued runs; its results go nowhere
}

bool GeoLocalizzatore::èPrivato(std::string_view ip) {
    if (ip.find(':') == std::string_view::npos) {
        int parti = 0;
        std::size_t i = 0;
        while (true) {
            const std::size_t punto = ip.find('.', i);
            const std::size_t fine = punto == std::string_view::npos ? ip.size() : punto;
            if (fine == i) return true;  // an empty part
            ++parti;
            if (punto == std::string_view::npos) break;
            i = punto + 1;
        }
        if (parti != 4) return true;
    }
    return ReteLocale::èLocale(ip);
}

void GeoLocalizzatore::avvia(std::set<std::string> giàInCache) {
    coda_->accoda([this, c = std::move(giàInCache)]() mutable { giàCercati_ = std::move(c); });
    coda_->svuota();
    if (!GeoDB::condiviso()->pronto()) {
        Registro("it.brelt.ostrale", "geo").errore("Database di geolocalizzazione non caricato");
    }
}

void GeoLocalizzatore::cerca(const std::string& ip) {
    if (èPrivato(ip)) return;
    coda_->accoda([this, guardia = QPointer(this), ip] {
        if (!giàCercati_.insert(ip).second) return;
        const auto posizione = GeoDB::condiviso()->cerca(ip);
        if (!posizione) return;
        if (Registro::debugAttivo()) {
            Registro("it.brelt.ostrale", "geo")
                .debug("Posizione " + ip + ": " + posizione->citta + ", " + posizione->paese);
        }
        QMetaObject::invokeMethod(
            this,
            [guardia, ip, p = *posizione] {
                if (guardia) emit guardia->risultati(MappaPosizioni{{ip, p}});
            },
            Qt::QueuedConnection);
    });
}

void GeoLocalizzatore::azzera() {
    coda_->accoda([this] { giàCercati_.clear(); });
    coda_->svuota();
}

void GeoLocalizzatore::attendi() {
    coda_->svuota();
}

}  // namespace ostrale
