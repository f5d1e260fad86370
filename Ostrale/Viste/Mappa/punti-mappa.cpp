// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Mappa/punti-mappa.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <set>
#include <string_view>
#include <unordered_map>

#include "Ostrale/Viste/colori.h"

namespace ostrale::mappa {
namespace {

// Tenths of a degree, truncated toward zero; the position is known to be in range.
long decimi(double gradi) {
    return static_cast<long>(std::trunc(gradi * 10));
}

const PosizioneIP* posizioneDi(const MappaPosizioni& posizioni, const std::string& ip) {
    const auto p = posizioni.find(ip);
    if (p == posizioni.end() || !posizioneValida(p->second)) return nullptr;
    return &p->second;
}

}  // namespace

QString etichetta(FiltroDirezione filtro) {
    switch (filtro) {
        case FiltroDirezione::tutte:
            return QCoreApplication::translate("ostrale::mappa", "Tutte");
        case FiltroDirezione::uscita:
            return QCoreApplication::translate("ostrale::mappa", "In uscita");
        case FiltroDirezione::entrata:
            return QCoreApplication::translate("ostrale::mappa", "In entrata");
    }
    return {};
}

bool posizioneValida(const PosizioneIP& p) {
    return std::isfinite(p.latitudine) && std::isfinite(p.longitudine) &&
           std::abs(p.latitudine) <= 90 && std::abs(p.longitudine) <= 180;
}

std::string chiaveCella(double latitudine, double longitudine) {
    return std::to_string(decimi(latitudine)) + '_' + std::to_string(decimi(longitudine));
}

Conteggio conteggio(const ContatoreIP& c, FiltroDirezione filtro) {
    switch (filtro) {
        case FiltroDirezione::tutte:
            return {c.totale, c.bloccati};
        case FiltroDirezione::uscita: {
            const std::int64_t n = c.totale - c.entrata;
            return {n, std::min(c.bloccati, n)};
        }
        case FiltroDirezione::entrata:
            return {c.entrata, std::min(c.bloccati, c.entrata)};
    }
    return {};
}

std::vector<PuntoMappa> calcolaPunti(const MappaContatoriIP& conteggi, const MappaContatoriIP& vivi,
                                     const MappaPosizioni& posizioni, const ElencoFlussi& attacchi,
                                     FiltroDirezione filtro) {
    std::set<std::string_view> attaccati;
    for (const EventoFlusso& e : attacchi) {
        if (e.indirizzoIP) attaccati.insert(*e.indirizzoIP);
    }
    std::vector<PuntoMappa> punti;
    std::unordered_map<std::string, std::size_t> celle;
    auto aggiungi = [&](const std::string& ip, const ContatoreIP& c) {
        const PosizioneIP* pos = posizioneDi(posizioni, ip);
        if (!pos) return;
        const Conteggio n = conteggio(c, filtro);
        if (n.flussi < 1) return;
        std::string chiave = chiaveCella(pos->latitudine, pos->longitudine);
        auto [cella, nuova] = celle.try_emplace(chiave, punti.size());
        if (nuova) {
            PuntoMappa& p = punti.emplace_back();
            p.id = std::move(chiave);
            p.latitudine = pos->latitudine;
            p.longitudine = pos->longitudine;
            p.etichetta = pos->citta.empty() ? pos->paese : pos->citta + ", " + pos->paese;
        }
        PuntoMappa& p = punti[cella->second];
        p.conteggio += n.flussi;
        p.bloccati += n.bloccati;
        p.attaccato = p.attaccato || attaccati.contains(ip);
        p.server.push_back({ip, c.host.empty() ? ip : c.host, c.app, n.flussi, n.bloccati});
    };
    for (const auto& [ip, c] : conteggi) {
        const auto v = vivi.find(ip);
        if (v == vivi.end()) {
            aggiungi(ip, c);
            continue;
        }
        ContatoreIP somma = v->second;
        somma.totale += c.totale;
        somma.bloccati += c.bloccati;
        somma.entrata += c.entrata;
        aggiungi(ip, somma);
    }
    for (const auto& [ip, v] : vivi) {
        if (!conteggi.contains(ip)) aggiungi(ip, v);
    }
    for (PuntoMappa& p : punti) {
        std::stable_sort(
            p.server.begin(), p.server.end(),
            [](const ServerPunto& a, const ServerPunto& b) { return a.conteggio > b.conteggio; });
    }
    return punti;
}

std::int64_t inAttesa(const MappaContatoriIP& conteggi, const MappaContatoriIP& vivi,
                      const MappaPosizioni& posizioni) {
    std::int64_t n = 0;
    for (const auto& [ip, c] : conteggi) n += posizioneDi(posizioni, ip) == nullptr;
    for (const auto& [ip, v] : vivi) {
        n += !conteggi.contains(ip) && posizioneDi(posizioni, ip) == nullptr;
    }
    return n;
}

QColor colore(const PuntoMappa& p) {
    if (p.bloccati == 0) return colori::verde;
    if (p.bloccati >= p.conteggio) return colori::rosso;
    return colori::arancio;
}

double diametro(std::int64_t conteggio) {
    return 12 +
           std::min(28.0,
                    5 * std::log2(static_cast<double>(std::max<std::int64_t>(conteggio, 0)) + 1));
}

QString suggerimento(const PuntoMappa& p) {
    QStringList righe;
    righe << QCoreApplication::translate(
                 "ostrale::mappa", "%1: %n flussi, %2 bloccati", "mappa",
                 static_cast<int>(std::min<std::int64_t>(p.conteggio, INT32_MAX)))
                 .arg(QString::fromStdString(p.etichetta))
                 .arg(p.bloccati);
    const std::size_t mostrati = std::min<std::size_t>(3, p.server.size());
    for (std::size_t i = 0; i < mostrati; ++i) {
        righe << QStringLiteral("%1 (%2)").arg(QString::fromStdString(p.server[i].host),
                                               QString::fromStdString(p.server[i].id));
    }
    if (p.server.size() > 3) {
        righe << QCoreApplication::translate("ostrale::mappa", "… e altri %1. Click per l'elenco.",
                                             "mappa")
                     .arg(p.server.size() - 3);
    } else {
        righe << QCoreApplication::translate("ostrale::mappa", "Click per i dettagli.", "mappa");
    }
    return righe.join(QLatin1Char('\n'));
}

QString suggerimentoMio(const PosizioneIP& p) {
    const std::string& luogo = p.citta.empty() ? p.paese : p.citta;
    // A position guessed from the time zone names no place: no empty brackets then.
    if (luogo.empty())
        return QCoreApplication::translate("ostrale::mappa", "Il mio computer", "mappa");
    return QCoreApplication::translate("ostrale::mappa", "Il mio computer (%1)", "mappa")
        .arg(QString::fromStdString(luogo));
}

std::optional<RegolaDominio> regolaEsistente(const ServerPunto& server,
                                             const ElencoRegoleDominio& regole) {
    const std::string dominio = RegolaDominio::normalizza(server.host);
    for (const RegolaDominio& r : regole) {
        if (r.attiva && !r.ristretta() && r.dominio == dominio) return r;
    }
    return std::nullopt;
}

}  // namespace ostrale::mappa
