// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Condiviso/evento-flusso.h"
#include "Condiviso/regola-dominio.h"
#include "Ostrale/Stato/contatore-ip.h"
#include "Ostrale/Stato/posizione-ip.h"

// What the map shows, computed from the controller's state: the remote addresses grouped into
// cells of a tenth of a degree, each with its counts under the direction filter.
namespace ostrale::mappa {

// The controller's collections, as it publishes them (the header stays free of Qt's meta-types,
// which moc'd headers declare in their own order).
using MappaContatoriIP = std::map<std::string, ContatoreIP>;
using MappaPosizioni = std::map<std::string, PosizioneIP>;
using ElencoFlussi = std::deque<EventoFlusso>;
using ElencoRegoleDominio = std::vector<RegolaDominio>;

// Which flows of an address count.
enum class FiltroDirezione { tutte, uscita, entrata };

// The filter's label ("Tutte", "In uscita", "In entrata"), translated.
QString etichetta(FiltroDirezione filtro);

// One address inside a cell.
struct ServerPunto {
    std::string id;  // the address
    std::string host;
    std::string app;
    std::int64_t conteggio = 0;
    std::int64_t bloccati = 0;

    bool operator==(const ServerPunto&) const = default;
};

// One cell: the position and place of the first address met in it, its flows and servers.
struct PuntoMappa {
    std::string id;  // the cell's key, e.g. "454_91"
    double latitudine = 0;
    double longitudine = 0;
    std::string etichetta;
    std::int64_t conteggio = 0;
    std::int64_t bloccati = 0;
    bool attaccato = false;
    std::vector<ServerPunto> server;  // most flows first

    bool operator==(const PuntoMappa&) const = default;
};

// Whether a position can be drawn: finite, latitude within ±90 and longitude within ±180.
bool posizioneValida(const PosizioneIP& posizione);

// The cell key of a position: latitude and longitude times ten, truncated toward zero.
std::string chiaveCella(double latitudine, double longitudine);

// Counts and blocked counts of one address under a filter.
struct Conteggio {
    std::int64_t flussi = 0;
    std::int64_t bloccati = 0;
};
Conteggio conteggio(const ContatoreIP& contatore, FiltroDirezione filtro);

// The cells. `vivi` adds the flows seen live since `conteggi` was taken (addresses in both are
// summed; the host and application of `vivi` are the newer). Addresses without a drawable
// position are left out.
std::vector<PuntoMappa> calcolaPunti(const MappaContatoriIP& conteggi, const MappaContatoriIP& vivi,
                                     const MappaPosizioni& posizioni, const ElencoFlussi& attacchi,
                                     FiltroDirezione filtro);

// Addresses counted but not (or not drawably) placed: what the legend says is waiting.
std::int64_t inAttesa(const MappaContatoriIP& conteggi, const MappaContatoriIP& vivi,
                      const MappaPosizioni& posizioni);

// A cell's colour: green with nothing blocked, red with everything blocked, orange between.
QColor colore(const PuntoMappa& punto);
// A cell's diameter in points: 12 + min(28, 5 × log2(flows + 1)).
double diametro(std::int64_t conteggio);

// The hover text of a cell, and of this computer's marker.
QString suggerimento(const PuntoMappa& punto);
QString suggerimentoMio(const PosizioneIP& posizione);

// The active plain domain rule for exactly the server's normalised host, if any (a rule of a parent
// domain, or one narrowed to an application or a port, does not count here).
std::optional<RegolaDominio> regolaEsistente(const ServerPunto& server,
                                             const ElencoRegoleDominio& regole);

}  // namespace ostrale::mappa
