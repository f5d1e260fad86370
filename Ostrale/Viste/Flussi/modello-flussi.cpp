// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Viste/Flussi/modello-flussi.h"

#include <QColor>
#include <QDateTime>
#include <QTimer>

#include "Condiviso/tracker.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Stato/testi.h"
#include "Ostrale/Viste/colori.h"
#include "Ostrale/Viste/simboli.h"

namespace ostrale {

ModelloFlussi::ModelloFlussi(StatoApp& stato, QObject* parent)
    : QAbstractTableModel(parent), stato_(stato) {
    righe_ = static_cast<int>(stato_.flussi().size());
    inseriti_ = stato_.flussiInseriti();
    generazione_ = stato_.generazioneFlussi();
    connect(&stato_, &StatoApp::flussiCambiati, this, &ModelloFlussi::programma);
    // The tracker marks appear once the list is loaded.
    connect(&stato_, &StatoApp::dominiTrackerCambiati, this, [this] {
        if (righe_ > 0) emit dataChanged(index(0, destinazione), index(righe_ - 1, destinazione));
    });
}

void ModelloFlussi::programma() {
    // At most one update every `intervallo`: a burst of events becomes one insertion, which the
    // views above (the filter, the table and its header) handle in one pass over their rows.
    if (programmato_) return;
    programmato_ = true;
    QTimer::singleShot(intervallo, this, &ModelloFlussi::sincronizza);
}

void ModelloFlussi::sincronizza() {
    programmato_ = false;
    const auto presenti = static_cast<int>(stato_.flussi().size());
    const std::uint64_t nuovi = stato_.flussiInseriti() - inseriti_;
    if (stato_.generazioneFlussi() != generazione_ ||
        nuovi > static_cast<std::uint64_t>(presenti)) {
        beginResetModel();
        righe_ = presenti;
        inseriti_ = stato_.flussiInseriti();
        generazione_ = stato_.generazioneFlussi();
        endResetModel();
        return;
    }
    if (nuovi == 0) return;
    // First the old rows that fell off the end (the new events in front are not rows yet),
    // then the new ones at the top.
    const int arrivate = static_cast<int>(nuovi);
    const int via = righe_ + arrivate - presenti;
    if (via > 0) {
        beginRemoveRows({}, righe_ - via, righe_ - 1);
        righe_ -= via;
        endRemoveRows();
    }
    beginInsertRows({}, 0, arrivate - 1);
    righe_ += arrivate;
    inseriti_ = stato_.flussiInseriti();
    endInsertRows();
}

int ModelloFlussi::rowCount(const QModelIndex& genitore) const {
    return genitore.isValid() ? 0 : righe_;
}

int ModelloFlussi::columnCount(const QModelIndex& genitore) const {
    return genitore.isValid() ? 0 : colonne;
}

const EventoFlusso* ModelloFlussi::evento(int riga) const {
    if (riga < 0 || stato_.generazioneFlussi() != generazione_) return nullptr;
    const std::uint64_t i = static_cast<std::uint64_t>(riga) + stato_.flussiInseriti() - inseriti_;
    return i < stato_.flussi().size() ? &stato_.flussi()[static_cast<std::size_t>(i)] : nullptr;
}

bool ModelloFlussi::èTracker(const std::string& host) const {
    // The shared list is read off the main thread at start; until then nobody is marked.
    return stato_.dominiTracker() > 0 && Tracker::èTracker(host);
}

bool ModelloFlussi::haDominio(const std::string& host) {
    return host.find('.') != std::string::npos;
}

QVariant ModelloFlussi::data(const QModelIndex& indice, int ruolo) const {
    const EventoFlusso* flusso = indice.isValid() ? evento(indice.row()) : nullptr;
    if (!flusso) return {};
    const EventoFlusso& e = *flusso;
    switch (indice.column()) {
        case ora:
            if (ruolo == Qt::DisplayRole) {
                return QDateTime::fromSecsSinceEpoch(e.data.secondiUnixInteri())
                    .toString(QStringLiteral("HH:mm:ss"));
            }
            if (ruolo == Qt::ToolTipRole) {
                return QLocale().toString(QDateTime::fromSecsSinceEpoch(e.data.secondiUnixInteri()),
                                          QLocale::LongFormat);
            }
            break;
        case app:
            if (ruolo == Qt::DisplayRole || ruolo == Qt::ToolTipRole) {
                return QString::fromStdString(e.firmaApp);
            }
            break;
        case destinazione: {
            if (ruolo == Qt::DisplayRole) {
                return QString::fromStdString(e.host) + QLatin1Char(':') +
                       QString::fromStdString(e.porta);
            }
            const bool tracker = èTracker(e.host);
            const bool anomala = e.anomala.value_or(false);
            if (ruolo == Qt::DecorationRole && (tracker || anomala)) {
                // One sign: the tracker mark first, as the tooltip says both.
                return tracker ? simboli::icona(simboli::Simbolo::occhio, colori::viola)
                               : simboli::icona(simboli::Simbolo::fulmine, colori::arancio);
            }
            if (ruolo == Qt::ToolTipRole) {
                QStringList righe{QString::fromStdString(e.host) + QLatin1Char(':') +
                                  QString::fromStdString(e.porta)};
                if (e.indirizzoIP && *e.indirizzoIP != e.host) {
                    righe << QString::fromStdString(*e.indirizzoIP);
                }
                if (tracker) righe << tr("Dominio in lista tracker/pubblicità");
                if (anomala) righe << tr("Destinazione mai vista prima per questa app");
                return righe.join(QLatin1Char('\n'));
            }
            break;
        }
        case protocollo:
            if (ruolo == Qt::DisplayRole) return QString::fromStdString(e.protocollo);
            break;
        case direzione:
            if (ruolo == Qt::DisplayRole) return testi::etichettaDirezione(e.direzione);
            break;
        case esito:
            if (ruolo == Qt::DisplayRole) return e.consentito ? tr("Consentito") : tr("Bloccato");
            if (ruolo == Qt::DecorationRole) {
                return e.consentito ? simboli::icona(simboli::Simbolo::spunta, colori::verde)
                                    : simboli::icona(simboli::Simbolo::mano, colori::rosso);
            }
            if (ruolo == Qt::ForegroundRole) return e.consentito ? colori::verde : colori::rosso;
            if (ruolo == Qt::ToolTipRole && e.motivo) return testi::testoMotivo(*e.motivo);
            break;
        default:
            break;
    }
    return {};
}

QVariant ModelloFlussi::headerData(int sezione, Qt::Orientation orientamento, int ruolo) const {
    if (orientamento != Qt::Horizontal || ruolo != Qt::DisplayRole) return {};
    switch (sezione) {
        case ora:
            return tr("Ora");
        case app:
            return tr("App");
        case destinazione:
            return tr("Destinazione");
        case protocollo:
            return tr("Prot.");
        case direzione:
            return tr("Direzione");
        case esito:
            return tr("Esito");
        case azioni:
            return tr("Azioni");
        default:
            return {};
    }
}

}  // namespace ostrale
