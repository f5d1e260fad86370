// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Flussi/filtro-flussi.h"

#include <algorithm>

#include "Ostrale/Viste/Flussi/modello-flussi.h"

namespace ostrale {
namespace {

// Whether `testo`, lower-cased, holds `cercato` (already lower case). ASCII text, the usual
// case, is compared in place; anything else through Qt's Unicode lower case.
bool contiene(const std::string& testo, const std::string& cercato) {
    if (cercato.empty()) return true;
    const bool ascii =
        std::all_of(testo.begin(), testo.end(), [](char c) { return (c & 0x80) == 0; });
    if (!ascii) {
        return QString::fromStdString(testo).toLower().toStdString().find(cercato) !=
               std::string::npos;
    }
    const auto it =
        std::search(testo.begin(), testo.end(), cercato.begin(), cercato.end(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b; });
    return it != testo.end();
}

}  // namespace

FiltroFlussi::FiltroFlussi(ModelloFlussi& modello, QObject* parent)
    : QSortFilterProxyModel(parent), modello_(modello) {
    setSourceModel(&modello);
}

void FiltroFlussi::impostaRicerca(const QString& testo) {
    if (testo == ricerca_) return;
    ricerca_ = testo;
    ricercaMinuscola_ = testo.toLower().toStdString();
    invalidateRowsFilter();
}

void FiltroFlussi::impostaSoloBloccati(bool solo) {
    if (solo == soloBloccati_) return;
    soloBloccati_ = solo;
    invalidateRowsFilter();
}

bool FiltroFlussi::filterAcceptsRow(int riga, const QModelIndex&) const {
    const EventoFlusso* flusso = modello_.evento(riga);
    if (!flusso) return false;
    const EventoFlusso& e = *flusso;
    if (soloBloccati_ && e.consentito) return false;
    return contiene(e.firmaApp, ricercaMinuscola_) || contiene(e.host, ricercaMinuscola_);
}

}  // namespace ostrale
