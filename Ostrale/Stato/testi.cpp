// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Stato/testi.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ostrale::testi {
namespace {

// A text marked for translation with its disambiguation, as QT_TRANSLATE_NOOP3 gives it.
struct Testo {
    const char* sorgente;
    const char* commento;
};

struct TestiAttacco {
    const char* suffisso;
    Testo etichetta;
    Testo spiegazione;
};

// In the declaration order of TipoAttacco.
constexpr TestiAttacco attacchi[] = {
    {"scansione", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_scansione", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_scansione", "attacco")},
    {"forza_bruta", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_forza_bruta", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_forza_bruta", "attacco")},
    {"raffica", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_raffica", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_raffica", "attacco")},
    {"tunnel_dns", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_tunnel_dns", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_tunnel_dns", "attacco")},
    {"beaconing", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_beaconing", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_beaconing", "attacco")},
    {"domini_sospetti", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_domini_sospetti", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_domini_sospetti", "attacco")},
    {"scansione_uscita",
     QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_scansione_uscita", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_scansione_uscita", "attacco")},
    {"porta_malfamata", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_porta_malfamata", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_porta_malfamata", "attacco")},
    {"flood_udp", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_flood_udp", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_flood_udp", "attacco")},
    {"dominio_contraffatto",
     QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_dominio_contraffatto", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_dominio_contraffatto", "attacco")},
    {"ip_diretto", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_ip_diretto", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_ip_diretto", "attacco")},
    {"c2_noto", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_c2_noto", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_c2_noto", "attacco")},
    {"canale_persistente",
     QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_canale_persistente", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_canale_persistente", "attacco")},
    {"esfiltrazione_lenta",
     QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_esfiltrazione_lenta", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_esfiltrazione_lenta", "attacco")},
    {"protocollo_anomalo",
     QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_protocollo_anomalo", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_protocollo_anomalo", "attacco")},
    {"laterale_lan", QT_TRANSLATE_NOOP3("ostrale::testi", "attacco_laterale_lan", "attacco"),
     QT_TRANSLATE_NOOP3("ostrale::testi", "spiega_laterale_lan", "attacco")},
};
static_assert(std::size(attacchi) == 16);

const TestiAttacco& voce(TipoAttacco tipo) {
    return attacchi[static_cast<std::size_t>(tipo)];
}

QString corpo(const char* chiave, const EventoFlusso& e) {
    return QCoreApplication::translate("ostrale::testi", chiave)
        .arg(QString::fromStdString(e.firmaApp), QString::fromStdString(e.host),
             QString::fromStdString(e.porta), motivoSenzaRegola(e));
}

}  // namespace

QString etichettaAttacco(TipoAttacco tipo) {
    const Testo& t = voce(tipo).etichetta;
    return QCoreApplication::translate("ostrale::testi", t.sorgente, t.commento);
}

QString spiegazioneAttacco(TipoAttacco tipo) {
    const Testo& t = voce(tipo).spiegazione;
    return QCoreApplication::translate("ostrale::testi", t.sorgente, t.commento);
}

const char* suffissoAttacco(TipoAttacco tipo) {
    return voce(tipo).suffisso;
}

QString motivoSenzaRegola(const EventoFlusso& evento) {
    if (evento.motivo == MotivoDecisione::quarantena) {
        return QCoreApplication::translate("ostrale::testi", "è in quarantena (software nuovo)");
    }
    return QCoreApplication::translate("ostrale::testi",
                                       "non ha una regola e la politica blocca le app sconosciute");
}

QString corpoAvvisoBlocco(const EventoFlusso& evento) {
    return corpo(QT_TRANSLATE_NOOP("ostrale::testi", "corpo_avviso_blocco"), evento);
}

QString corpoAvvisoSospeso(const EventoFlusso& evento) {
    return corpo(QT_TRANSLATE_NOOP("ostrale::testi", "corpo_avviso_sospeso"), evento);
}

QString etichettaDurata(DurataRisposta durata) {
    switch (durata) {
        case DurataRisposta::unaVolta:
            return QCoreApplication::translate("ostrale::testi", "Solo questa volta");
        case DurataRisposta::quindiciMinuti:
            return QCoreApplication::translate("ostrale::testi", "15 minuti");
        case DurataRisposta::unOra:
            return QCoreApplication::translate("ostrale::testi", "1 ora");
        case DurataRisposta::dodiciOre:
            return QCoreApplication::translate("ostrale::testi", "12 ore");
        case DurataRisposta::finoAlRiavvio:
            return QCoreApplication::translate("ostrale::testi", "Fino al riavvio");
        case DurataRisposta::perSempre:
            return QCoreApplication::translate("ostrale::testi", "Per sempre");
    }
    return {};
}

QString etichettaAmbito(AmbitoRisposta ambito, const QString& host, std::int64_t porta) {
    switch (ambito) {
        case AmbitoRisposta::app:
            return QCoreApplication::translate("ostrale::testi", "Tutta l'app");
        case AmbitoRisposta::host:
            return QCoreApplication::translate("ostrale::testi", "Solo verso %1").arg(host);
        case AmbitoRisposta::hostPorta:
            return QCoreApplication::translate("ostrale::testi", "Solo verso %1, porta %2")
                .arg(host)
                .arg(porta);
    }
    return {};
}

QString validitàRisposta(const RispostaDecisione& risposta, const EventoFlusso& evento) {
    QString quanto;
    switch (risposta.durata) {
        case DurataRisposta::unaVolta:
            quanto = QCoreApplication::translate("ostrale::testi", "solo questa volta", "vale");
            break;
        case DurataRisposta::quindiciMinuti:
            quanto = QCoreApplication::translate("ostrale::testi", "per 15 minuti", "vale");
            break;
        case DurataRisposta::unOra:
            quanto = QCoreApplication::translate("ostrale::testi", "per 1 ora", "vale");
            break;
        case DurataRisposta::dodiciOre:
            quanto = QCoreApplication::translate("ostrale::testi", "per 12 ore", "vale");
            break;
        case DurataRisposta::finoAlRiavvio:
            quanto = QCoreApplication::translate("ostrale::testi", "fino al riavvio", "vale");
            break;
        case DurataRisposta::perSempre:
            quanto = QCoreApplication::translate("ostrale::testi", "per sempre", "vale");
            break;
    }
    const QString host = QString::fromStdString(destinazioneDomanda(evento).value_or(evento.host));
    QString cosa;
    switch (ambitoPossibile(risposta.ambito, evento)) {
        case AmbitoRisposta::app:
            cosa = QCoreApplication::translate("ostrale::testi", "per tutta l'app", "vale");
            break;
        case AmbitoRisposta::host:
            cosa = QCoreApplication::translate("ostrale::testi", "solo verso %1", "vale").arg(host);
            break;
        case AmbitoRisposta::hostPorta:
            cosa = QCoreApplication::translate("ostrale::testi", "solo verso %1, porta %2", "vale")
                       .arg(host)
                       .arg(portaDomanda(evento).value_or(0));
            break;
    }
    //: %1: how long ("per 1 ora"), %2: for what ("solo verso example.com")
    return QCoreApplication::translate("ostrale::testi", "Vale %1, %2").arg(quanto, cosa);
}

QString etichettaDirezione(DirezioneFlusso direzione) {
    return direzione == DirezioneFlusso::entrata
               ? QCoreApplication::translate("ostrale::testi", "Entrata", "direzione flusso")
               : QCoreApplication::translate("ostrale::testi", "Uscita", "direzione flusso");
}

QString testoMotivo(MotivoDecisione motivo) {
    switch (motivo) {
        case MotivoDecisione::regola:
            return QCoreApplication::translate("ostrale::testi", "Deciso da una regola", "motivo");
        case MotivoDecisione::predefinita:
            return QCoreApplication::translate("ostrale::testi",
                                               "Deciso dalla politica predefinita", "motivo");
        case MotivoDecisione::quarantena:
            return QCoreApplication::translate(
                "ostrale::testi", "Bloccato dalla quarantena del software nuovo", "motivo");
        case MotivoDecisione::fascia:
            return QCoreApplication::translate("ostrale::testi",
                                               "Deciso da una regola a fascia oraria", "motivo");
        case MotivoDecisione::tracker:
            return QCoreApplication::translate("ostrale::testi",
                                               "Bloccato dalla lista tracker/pubblicità", "motivo");
        case MotivoDecisione::dominio:
            return QCoreApplication::translate("ostrale::testi", "Deciso da una regola di dominio",
                                               "motivo");
        case MotivoDecisione::sistema:
            return QCoreApplication::translate("ostrale::testi",
                                               "Consentito: processo di sistema fidato", "motivo");
        case MotivoDecisione::attacco:
            return QCoreApplication::translate(
                "ostrale::testi", "Bloccato dalla sentinella: sorgente di un attacco riconosciuto",
                "motivo");
    }
    return {};
}

QString promptSpiegami(const QString& firma, const QString& host, const QString& porta,
                       const QString& protocollo, const QString& direzione, const QString& tracker,
                       const QString& esito) {
    return QCoreApplication::translate("ostrale::testi", "prompt_spiegami", "prompt AI")
        .arg(firma, host, porta, protocollo, direzione, tracker, esito);
}

QString esitoModifica(EsitoModifica esito) {
    switch (esito) {
        case EsitoModifica::cambiata:
            return QCoreApplication::translate("ostrale::testi", "Regole aggiornate");
        case EsitoModifica::invariata:
            return QCoreApplication::translate("ostrale::testi", "Niente da cambiare");
        case EsitoModifica::nomeVuoto:
            return QCoreApplication::translate("ostrale::testi",
                                               "Una regola per app richiede l'identità dell'app");
        case EsitoModifica::appSconosciuta:
            return QCoreApplication::translate(
                "ostrale::testi", "L'app non è identificata: nessuna regola può nominarla");
        case EsitoModifica::dominioNonValido:
            return QCoreApplication::translate(
                "ostrale::testi",
                "Non è un dominio (serve un punto e almeno 4 caratteri) né un indirizzo");
        case EsitoModifica::regolaInesistente:
            return QCoreApplication::translate("ostrale::testi", "La regola non esiste più");
        case EsitoModifica::fasciaNonValida:
            return QCoreApplication::translate(
                "ostrale::testi", "Una fascia oraria va dal minuto 0 al minuto 1440 del giorno");
        case EsitoModifica::senzaFascia:
            return QCoreApplication::translate("ostrale::testi",
                                               "Le regole per dominio non hanno fascia oraria");
        case EsitoModifica::valoreNonValido:
            return QCoreApplication::translate("ostrale::testi",
                                               "I giorni di quarantena vanno da 0 a 3650");
        case EsitoModifica::incompleta:
            return QCoreApplication::translate("ostrale::testi", "Modifica incompleta");
        case EsitoModifica::nonSalvata:
            return QCoreApplication::translate(
                "ostrale::testi", "Il file delle regole non si può scrivere: nulla è cambiato");
        case EsitoModifica::nonInviata:
            return QCoreApplication::translate("ostrale::testi", "L'estensione non ha risposto");
        case EsitoModifica::portaNonValida:
            return QCoreApplication::translate("ostrale::testi",
                                               "Una porta è un numero da 1 a 65535");
    }
    return {};
}

QString linguaPer(const QString& scelta) {
    if (scelta == QLatin1String("it") || scelta == QLatin1String("en")) return scelta;
    return QLocale().language() == QLocale::Italian ? QStringLiteral("it") : QStringLiteral("en");
}

bool installaTraduzioni(QCoreApplication& app, const QString& lingua) {
    // Dates, months and numbers in the language of the texts: the system's conventions when they
    // are that language's (its country's ways kept), else the language's own.
    const QLocale sistema = QLocale::system();
    const QLocale scelta(lingua);
    QLocale::setDefault(sistema.language() == scelta.language() ? sistema : scelta);
    auto* qt = new QTranslator(&app);
    if (qt->load(QStringLiteral("qtbase_") + lingua,
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    } else {
        delete qt;
    }
    auto* nostra = new QTranslator(&app);
    if (!nostra->load(QStringLiteral(":/traduzioni/ostrale_") + lingua)) {
        delete nostra;
        return false;
    }
    QCoreApplication::installTranslator(nostra);
    return true;
}

}  // namespace ostrale::testi
