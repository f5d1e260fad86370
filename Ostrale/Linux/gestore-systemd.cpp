// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Linux/gestore-systemd.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QFileInfo>

#include "Condiviso/registro.h"

namespace ostrale {
namespace {

const Registro log_{"it.brelt.ostrale", "filtro"};

// Unit file states in which the unit may run.
bool èAbilitata(const QString& stato) {
    static const QStringList abilitati = {
        QStringLiteral("enabled"),  QStringLiteral("enabled-runtime"),
        QStringLiteral("static"),   QStringLiteral("indirect"),
        QStringLiteral("linked"),   QStringLiteral("linked-runtime"),
        QStringLiteral("alias"),    QStringLiteral("generated"),
        QStringLiteral("transient")};
    return abilitati.contains(stato);
}

// An answer of polkit's: not (yet) authorised.
bool èRifiuto(const QDBusMessage& errore) {
    const QString nome = errore.errorName();
    return nome == QLatin1String("org.freedesktop.DBus.Error.AccessDenied") ||
           nome == QLatin1String("org.freedesktop.DBus.Error.InteractiveAuthorizationRequired") ||
           nome == QLatin1String("org.freedesktop.PolicyKit1.Error.NotAuthorized");
}

// A unit file systemd does not know.
bool èAssente(const QDBusMessage& errore) {
    const QString nome = errore.errorName();
    return nome == QLatin1String("org.freedesktop.systemd1.NoSuchUnit") ||
           nome == QLatin1String("org.freedesktop.DBus.Error.FileNotFound");
}

QString testo(const QDBusMessage& errore) {
    return errore.errorMessage().isEmpty() ? errore.errorName() : errore.errorMessage();
}

}  // namespace

bool GestoreSystemd::disponibile() {
    return QFileInfo::exists(QStringLiteral("/run/systemd/system"));
}

QString GestoreSystemd::percorsoUnita() {
    // systemd's escaping: every character outside [A-Za-z0-9] becomes _ and two hex digits.
    QString percorso = QStringLiteral("/org/freedesktop/systemd1/unit/");
    for (const char c : std::string_view(unita)) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
            percorso += QLatin1Char(c);
        } else {
            percorso +=
                QStringLiteral("_%1").arg(static_cast<unsigned char>(c), 2, 16, QLatin1Char('0'));
        }
    }
    return percorso;
}

GestoreSystemd::GestoreSystemd(QDBusConnection bus, QObject* parent)
    : GestoreFiltro(parent), bus_(std::move(bus)) {
    // Without a subscription systemd sends no signals.
    chiama(metodo("Subscribe"), [](const QDBusMessage&) {});
    bus_.connect(QLatin1String(servizio), percorsoUnita(),
                 QStringLiteral("org.freedesktop.DBus.Properties"),
                 QStringLiteral("PropertiesChanged"), this,
                 SLOT(proprietaCambiate(QString, QVariantMap, QStringList)));
    bus_.connect(QLatin1String(servizio), QLatin1String(percorsoManager),
                 QLatin1String(interfacciaManager), QStringLiteral("UnitFilesChanged"), this,
                 SLOT(fileCambiati()));
}

void GestoreSystemd::proprietaCambiate(const QString& interfaccia, const QVariantMap& cambiate,
                                       const QStringList& invalidate) {
    if (interfaccia != QLatin1String("org.freedesktop.systemd1.Unit")) return;
    if (cambiate.contains(QStringLiteral("ActiveState")) ||
        invalidate.contains(QStringLiteral("ActiveState")) ||
        cambiate.contains(QStringLiteral("UnitFileState"))) {
        emit configurazioneCambiata();
    }
}

void GestoreSystemd::fileCambiati() {
    emit configurazioneCambiata();
}

QDBusMessage GestoreSystemd::metodo(const char* nome) const {
    return QDBusMessage::createMethodCall(QLatin1String(servizio), QLatin1String(percorsoManager),
                                          QLatin1String(interfacciaManager), QLatin1String(nome));
}

void GestoreSystemd::chiama(QDBusMessage messaggio, SuRisposta risposta, bool interattiva) {
    messaggio.setInteractiveAuthorizationAllowed(interattiva);
    auto* osservatore = new QDBusPendingCallWatcher(
        bus_.asyncCall(messaggio, interattiva ? attesaInterattiva : -1), this);
    connect(osservatore, &QDBusPendingCallWatcher::finished, this,
            [risposta = std::move(risposta)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                risposta(w->reply());
            });
}

void GestoreSystemd::leggiStato(SuStato risposta) {
    auto carica = metodo("LoadUnit");
    carica << QLatin1String(unita);
    chiama(carica, [this, risposta = std::move(risposta)](const QDBusMessage& r) {
        if (r.type() == QDBusMessage::ErrorMessage || r.arguments().isEmpty()) {
            risposta(testo(r), false);
            return;
        }
        const QString percorso = qvariant_cast<QDBusObjectPath>(r.arguments().front()).path();
        auto leggi = QDBusMessage::createMethodCall(
            QLatin1String(servizio), percorso, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        leggi << QStringLiteral("org.freedesktop.systemd1.Unit") << QStringLiteral("ActiveState");
        chiama(leggi, [risposta](const QDBusMessage& p) {
            if (p.type() == QDBusMessage::ErrorMessage || p.arguments().isEmpty()) {
                risposta(testo(p), false);
                return;
            }
            const QString stato =
                qvariant_cast<QDBusVariant>(p.arguments().front()).variant().toString();
            risposta(std::nullopt, stato == QLatin1String("active") ||
                                       stato == QLatin1String("activating") ||
                                       stato == QLatin1String("reloading"));
        });
    });
}

void GestoreSystemd::statoFile(std::function<void(Errore, QString)> risposta) {
    auto m = metodo("GetUnitFileState");
    m << QLatin1String(unita);
    chiama(m, [risposta = std::move(risposta)](const QDBusMessage& r) {
        if (r.type() == QDBusMessage::ErrorMessage || r.arguments().isEmpty()) {
            risposta(èAssente(r) ? Errore(QString()) : Errore(testo(r)), {});
            return;
        }
        risposta(std::nullopt, r.arguments().front().toString());
    });
}

void GestoreSystemd::abilita(std::function<void(Errore, bool)> risposta) {
    auto m = metodo("EnableUnitFiles");
    m << QStringList{QLatin1String(unita)} << false << false;
    chiama(
        m,
        [this, risposta = std::move(risposta)](const QDBusMessage& r) {
            if (r.type() == QDBusMessage::ErrorMessage) {
                const bool rifiuto = èRifiuto(r);
                if (rifiuto) rifiutata_ = true;
                log_.avviso("Abilitazione di " + std::string(unita) +
                            " non riuscita: " + testo(r).toStdString());
                risposta(testo(r), rifiuto);
                return;
            }
            rifiutata_ = false;
            log_.info(std::string(unita) + " abilitata");
            // The new links count once systemd has read them again.
            chiama(
                metodo("Reload"),
                [risposta](const QDBusMessage&) { risposta(std::nullopt, false); }, true);
        },
        true);
}

void GestoreSystemd::imposta(bool attivo, SuFatto risposta) {
    auto manda = [this, attivo, risposta] {
        auto m = metodo(attivo ? "StartUnit" : "StopUnit");
        m << QLatin1String(unita) << QStringLiteral("replace");
        chiama(
            m,
            [this, risposta](const QDBusMessage& r) {
                if (r.type() == QDBusMessage::ErrorMessage) {
                    if (èRifiuto(r)) rifiutata_ = true;
                    risposta(testo(r));
                    return;
                }
                risposta(std::nullopt);
            },
            true);
    };
    if (!attivo) {
        manda();
        return;
    }
    // The first switch-on enables the unit too, so that it starts with the machine.
    statoFile([this, manda, risposta](Errore errore, QString stato) {
        if (errore) {
            risposta(errore->isEmpty() ? tr("%1 non è installata").arg(QLatin1String(unita))
                                       : *errore);
            return;
        }
        if (èAbilitata(stato)) {
            manda();
            return;
        }
        abilita([manda, risposta](Errore e, bool) {
            if (e) {
                risposta(e);
            } else {
                manda();
            }
        });
    });
}

void GestoreSystemd::leggiCopie(SuCopie risposta) {
    statoFile([this, risposta = std::move(risposta)](Errore errore, QString stato) {
        if (errore) {
            // Not installed, or systemd not reachable: no copy that can run.
            if (!errore->isEmpty()) log_.avviso("systemd: " + errore->toStdString());
            risposta({});
            return;
        }
        const bool abilitata = èAbilitata(stato);
        if (abilitata) rifiutata_ = false;
        risposta({Copia{abilitata, !abilitata && rifiutata_}});
    });
}

void GestoreSystemd::attiva(SuAttivazione risposta) {
    statoFile([this, risposta = std::move(risposta)](Errore errore, QString stato) {
        if (errore) {
            risposta(Esito::fallita, errore->isEmpty()
                                         ? tr("%1 non è installata").arg(QLatin1String(unita))
                                         : *errore);
            return;
        }
        // Enabled, and running the installed program (a running copy is restarted).
        auto riavviaSeAttiva = [this, risposta] {
            leggiStato([this, risposta](Errore e, bool attiva) {
                if (e || !attiva) {
                    risposta(Esito::completata, {});
                    return;
                }
                auto m = metodo("RestartUnit");
                m << QLatin1String(unita) << QStringLiteral("replace");
                chiama(
                    m,
                    [risposta](const QDBusMessage& r) {
                        if (r.type() == QDBusMessage::ErrorMessage) {
                            risposta(èRifiuto(r) ? Esito::daApprovare : Esito::fallita, testo(r));
                        } else {
                            risposta(Esito::completata, {});
                        }
                    },
                    true);
            });
        };
        if (èAbilitata(stato)) {
            riavviaSeAttiva();
            return;
        }
        abilita([risposta, riavviaSeAttiva](Errore e, bool rifiutata) {
            if (rifiutata) {
                risposta(Esito::daApprovare, {});
            } else if (e) {
                risposta(Esito::fallita, *e);
            } else {
                riavviaSeAttiva();
            }
        });
    });
}

}  // namespace ostrale
