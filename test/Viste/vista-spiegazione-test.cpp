// SPDX-License-Identifier: GPL-3.0-or-later
// The flow explanation sheet against a fake API on loopback: the key asked for once and kept,
// the waiting, the errors and another try, the explanation as plain text, and a picture of each.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <ctime>
#include <filesystem>
#include <memory>

#include "Ostrale/Linux/gestore-esterno.h"
#include "Ostrale/Stato/impostazioni-app.h"
#include "Ostrale/Stato/stato-app.h"
#include "Ostrale/Viste/Flussi/vista-spiegazione.h"
#include "test/Ostrale/server-http.h"
#include "test/Ostrale/supporto-app.h"
#include "test/Viste/fotografa.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

const QString percorso = QStringLiteral("/v1/messages");

ServerHttp::Risposta spiegazione(const QString& testo) {
    const QByteArray json =
        QJsonDocument(
            QJsonObject{{QStringLiteral("content"),
                         QJsonArray{QJsonObject{{QStringLiteral("type"), QStringLiteral("text")},
                                                {QStringLiteral("text"), testo}}}}})
            .toJson();
    return {200, json, "Content-Type: application/json\r\n"};
}

class Spiegazioni : public ::testing::Test, protected ControlloreSenzaEstensione {
  protected:
    Spiegazioni() {
        preferenze_.imposta(ImpostazioniApp::hostAnthropic, server_.base());
        finestra_.resize(720, 520);
        finestra_.show();
    }

    EventoFlusso flusso() const {
        EventoFlusso e;
        e.firmaApp = "/usr/bin/thunderbird";
        e.host = "api.example.test";
        e.porta = "443";
        e.protocollo = "TCP";
        e.consentito = false;
        return e;
    }
    // A new sheet over the window, as the flows view opens it.
    QPointer<VistaSpiegazione> apri() {
        auto* s = new VistaSpiegazione(flusso(), stato(), &finestra_);
        s->open();
        return s;
    }
    void muto() {
        ServerHttp::Risposta r;
        r.muta = true;
        server_.imposta(percorso, r);
    }
    QString chiaveSalvata() const {
        return preferenze_.comeTesto(ImpostazioniApp::chiaveAnthropic);
    }

    template <typename T = QWidget>
    static T* parte(QWidget* s, const char* nome) {
        auto* w = s->findChild<T*>(QLatin1String(nome));
        EXPECT_NE(w, nullptr) << nome;
        return w;
    }
    static bool visibile(QWidget* s, const char* nome) {
        QWidget* w = parte(s, nome);
        return w && w->isVisibleTo(s);
    }

    ServerHttp server_;
    QWidget finestra_;
};

TEST_F(Spiegazioni, WithoutAKeyTheSheetAsksForItThenWaitsAndStopsWhenClosed) {
    muto();
    QPointer<VistaSpiegazione> s = apri();
    ASSERT_TRUE(s && s->isVisible());
    EXPECT_EQ(s->objectName(), QStringLiteral("spiegazione"));
    EXPECT_EQ(s->windowModality(), Qt::WindowModal);
    EXPECT_EQ(parte<QLabel>(s, "app")->text(), QStringLiteral("/usr/bin/thunderbird"));
    EXPECT_EQ(parte<QLabel>(s, "destinazione")->text(),
              QStringLiteral("→ api.example.test:443 · TCP · bloccato"));
    EXPECT_TRUE(visibile(s, "campoChiave"));
    EXPECT_FALSE(visibile(s, "attesa"));
    auto* campo = parte<QLineEdit>(s, "campoChiave");
    auto* salva = parte<QPushButton>(s, "bottoneSalva");
    EXPECT_EQ(campo->echoMode(), QLineEdit::Password);
    EXPECT_EQ(campo->placeholderText(), QStringLiteral("sk-ant-…"));
    EXPECT_FALSE(salva->isEnabled());
    campo->setText(QStringLiteral(" \t "));
    EXPECT_FALSE(salva->isEnabled());
    campo->clear();
    QTest::keyClicks(campo, QStringLiteral("  sk-ant-prova  "));
    EXPECT_TRUE(salva->isEnabled());
    EXPECT_EQ(server_.connessioni(), 0);
    fotografa(s, QStringLiteral("spiegazione-chiave.png"));

    QTest::mouseClick(salva, Qt::LeftButton);
    EXPECT_EQ(chiaveSalvata(), QStringLiteral("sk-ant-prova"));
    EXPECT_FALSE(visibile(s, "campoChiave"));
    EXPECT_TRUE(visibile(s, "attesa"));
    EXPECT_TRUE(aspetta([&] { return (server_.ricevute().size()) == (1); }, 5));
    EXPECT_EQ(server_.ricevute()[0].intestazioni.value("x-api-key"), "sk-ant-prova");
    fotografa(s, QStringLiteral("spiegazione-attesa.png"));

    // Closing drops the request and the sheet; the key stays.
    QTest::mouseClick(parte<QPushButton>(s, "bottoneChiudi"), Qt::LeftButton);
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(s.isNull()); }, 5));
    EXPECT_EQ(chiaveSalvata(), QStringLiteral("sk-ant-prova"));
}

TEST_F(Spiegazioni, WithAKeyItAsksAtOnceAndAnErrorCanBeTriedAgain) {
    preferenze_.imposta(ImpostazioniApp::chiaveAnthropic, QStringLiteral("sk-ant-prova"));
    server_.imposta(percorso, {529, R"({"type":"error"})", "Content-Type: application/json\r\n"});
    QPointer<VistaSpiegazione> s = apri();
    EXPECT_FALSE(visibile(s, "campoChiave"));
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(visibile(s, "testoErrore")); }, 5));
    EXPECT_EQ(parte<QLabel>(s, "testoErrore")->text(), QStringLiteral("Errore API (codice 529)."));
    fotografa(s, QStringLiteral("spiegazione-errore.png"));

    // Another try clears the error at once; the answer shows as it came, never as markup.
    const QString risposta = QStringLiteral(
        "Thunderbird, il programma di posta, si collega a api.example.test sulla porta 443 "
        "(HTTPS, cifrata) probabilmente per scaricare la posta o controllare gli aggiornamenti.\n\n"
        "La connessione è stata bloccata da una tua regola: se usi Thunderbird ogni giorno "
        "puoi consentirla, altrimenti <b>non c'è</b> motivo di preoccuparsi.");
    server_.imposta(percorso, spiegazione(risposta));
    QTest::mouseClick(parte<QPushButton>(s, "bottoneRiprova"), Qt::LeftButton);
    EXPECT_FALSE(visibile(s, "testoErrore"));
    EXPECT_TRUE(visibile(s, "attesa"));
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(visibile(s, "testoSpiegazione")); }, 5));
    auto* testo = parte<QLabel>(s, "testoSpiegazione");
    EXPECT_EQ(testo->text(), risposta);
    EXPECT_TRUE(testo->textInteractionFlags() & Qt::TextSelectableByMouse);
    for (const char* nome : {"app", "destinazione", "testoSpiegazione", "testoErrore"}) {
        EXPECT_EQ(parte<QLabel>(s, nome)->textFormat(), Qt::PlainText) << nome;
    }
    EXPECT_EQ(chiaveSalvata(), QStringLiteral("sk-ant-prova"));
    fotografa(s, QStringLiteral("spiegazione-testo.png"));
    s->close();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(s.isNull()); }, 5));
}

TEST_F(Spiegazioni, ARefusedKeyIsErasedAndAskedForAgain) {
    preferenze_.imposta(ImpostazioniApp::chiaveAnthropic, QStringLiteral("sk-ant-scaduta"));
    server_.imposta(percorso, {401, R"({"type":"error"})", "Content-Type: application/json\r\n"});
    QPointer<VistaSpiegazione> s = apri();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(visibile(s, "testoErrore")); }, 5));
    EXPECT_EQ(parte<QLabel>(s, "testoErrore")->text(),
              QStringLiteral("Chiave API non valida: controllala e riprova."));
    EXPECT_EQ(chiaveSalvata(), QString());
    EXPECT_TRUE(parte<QLineEdit>(s, "campoChiave")->text().isEmpty());
    // Another try without a key asks for one.
    QTest::mouseClick(parte<QPushButton>(s, "bottoneRiprova"), Qt::LeftButton);
    EXPECT_TRUE(visibile(s, "campoChiave"));
    s->close();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(s.isNull()); }, 5));

    // The next sheet asks at once; what is not a key is neither kept nor sent.
    s = apri();
    EXPECT_TRUE(visibile(s, "campoChiave"));
    parte<QLineEdit>(s, "campoChiave")->insert(QStringLiteral("sk-ant-è"));
    QTest::mouseClick(parte<QPushButton>(s, "bottoneSalva"), Qt::LeftButton);
    EXPECT_TRUE(visibile(s, "testoErrore"));
    EXPECT_EQ(parte<QLabel>(s, "testoErrore")->text(),
              QStringLiteral("Chiave API non valida: controllala e riprova."));
    EXPECT_EQ(chiaveSalvata(), QString());
    EXPECT_EQ(server_.ricevute().size(), 1);
    s->close();
    EXPECT_TRUE(aspetta([&] { return static_cast<bool>(s.isNull()); }, 5));
}

}  // namespace
}  // namespace ostrale::test
