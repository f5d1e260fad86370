// SPDX-License-Identifier: GPL-3.0-or-later
// The flow explainer's client against a fake API on loopback: the request as it leaves, how the
// answers are read, the bounds of a request, and where the user's key may and may not go.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QTcpServer>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "Ostrale/Stato/spiegatore.h"
#include "test/Ostrale/server-http.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

using namespace std::chrono_literals;
using Spiegatore::ErroreSpiegazione;
using Spiegatore::Esito;
using Spiegatore::RichiestaSpiegazione;

const QString chiave = QStringLiteral("sk-ant-prova-0123456789");
const QString percorso = QStringLiteral("/v1/messages");

ServerHttp::Risposta testo(const QByteArray& json, int stato = 200) {
    return {stato, json, "Content-Type: application/json\r\n"};
}

EventoFlusso flusso() {
    EventoFlusso e;
    e.firmaApp = "/usr/bin/curl";
    e.host = "api.example.test";
    e.porta = "443";
    e.protocollo = "TCP";
    e.direzione = DirezioneFlusso::uscita;
    e.consentito = false;
    return e;
}

class Spiegazione : public ::testing::Test {
  protected:
    // One request to its end (at most 20 s): its outcome, none when it never came.
    std::optional<Esito> chiedi(const QString& base, const QString& k = chiave,
                                std::chrono::milliseconds attesa = 10s) {
        RichiestaSpiegazione richiesta(rete_);
        richiesta.impostaAttesaMassima(attesa);
        std::optional<Esito> esito;
        int volte = 0;
        QObject::connect(&richiesta, &RichiestaSpiegazione::finita, [&](const Esito& e) {
            esito = e;
            ++volte;
        });
        richiesta.avvia(base, k, Spiegatore::prompt(flusso(), true));
        EXPECT_FALSE(esito) << "told from within avvia";
        aspetta([&] { return esito.has_value(); }, 20);
        EXPECT_EQ(volte, 1);
        EXPECT_FALSE(richiesta.inCorso());
        return esito;
    }
    std::optional<Esito> rispondi(const ServerHttp::Risposta& r,
                                  std::chrono::milliseconds attesa = 10s) {
        server_.imposta(percorso, r);
        return chiedi(server_.base(), chiave, attesa);
    }

    ServerHttp server_;
    QNetworkAccessManager rete_;
};

TEST_F(Spiegazione, TheRequestIsOnePostOfTheFlowWithTheKeyAndTheVersion) {
    EventoFlusso entrata = flusso();
    entrata.direzione = DirezioneFlusso::entrata;
    entrata.consentito = true;
    const QString prompt = Spiegatore::prompt(flusso(), true);
    const QString altro = Spiegatore::prompt(entrata, false);
    for (const char* riga :
         {"Applicazione: /usr/bin/curl", "Destinazione: api.example.test", "Porta: 443",
          "Protocollo: TCP", "Direzione: uscita", "Tracker noto: sì", "Esito: bloccata"}) {
        EXPECT_TRUE(prompt.contains(QString::fromUtf8(riga))) << riga;
    }
    for (const char* riga : {"Direzione: entrata", "Tracker noto: no", "Esito: consentita"}) {
        EXPECT_TRUE(altro.contains(QString::fromUtf8(riga))) << riga;
    }

    ASSERT_TRUE(rispondi(testo(R"({"content":[{"type":"text","text":"Ciao"}]})")));
    ASSERT_EQ(server_.ricevute().size(), 1);
    const ServerHttp::Richiesta& r = server_.ricevute()[0];
    EXPECT_EQ(r.metodo, "POST");
    EXPECT_EQ(r.percorso, percorso);
    EXPECT_EQ(r.intestazioni.value("content-type"), "application/json");
    EXPECT_EQ(r.intestazioni.value("x-api-key"), chiave.toLatin1());
    EXPECT_EQ(r.intestazioni.value("anthropic-version"), "2023-06-01");
    const QJsonObject messaggio{{QStringLiteral("role"), QStringLiteral("user")},
                                {QStringLiteral("content"), prompt}};
    EXPECT_EQ(QJsonDocument::fromJson(r.corpo).object(),
              (QJsonObject{{QStringLiteral("model"), QStringLiteral("claude-opus-5")},
                           {QStringLiteral("max_tokens"), 600},
                           {QStringLiteral("messages"), QJsonArray{messaggio}}}));
}

TEST_F(Spiegazione, TheExplanationIsTheFirstTextBlockWithTextAndNothingElse) {
    const std::pair<const char*, std::optional<QString>> casi[] = {
        {R"({"content":[{"type":"text","text":"Ciao"}]})", QStringLiteral("Ciao")},
        {R"({"content":[{"type":"tool_use","id":"t"},{"type":"text"},)"
         R"({"type":"text","text":"Perché è così.\nPoi."},{"type":"text","text":"no"}],)"
         R"("stop_reason":"end_turn"})",
         QStringLiteral("Perché è così.\nPoi.")},
        // A refusal even with text, no text block, shapes other than the API's: unreadable.
        {R"({"content":[{"type":"text","text":"No."}],"stop_reason":"refusal"})", {}},
        {R"({"content":[{"type":"tool_use","id":"t"}]})", {}},
        {R"({"content":{"type":"text","text":"x"}})", {}},
        {R"({"content":[{"type":"text","text":"x"},"stringa"]})", {}},
        {R"({"content":[{"type":"text","text":["x"]}]})", {}},
    };
    for (const auto& [json, atteso] : casi) {
        const auto esito = rispondi(testo(json));
        ASSERT_TRUE(esito) << json;
        EXPECT_EQ(esito->testo, atteso) << json;
        if (!atteso) {
            EXPECT_EQ(esito->errore, ErroreSpiegazione::rete()) << json;
        }
    }
    EXPECT_EQ(Esito::fallito(ErroreSpiegazione::rete()).descrizioneErrore(),
              QStringLiteral("Risposta non leggibile o connessione fallita."));
    // Not JSON at all: the parser's own description.
    const auto esito = rispondi(testo(R"({"content":[{"type":"text","text":"x"})"));
    ASSERT_TRUE(esito);
    EXPECT_FALSE(esito->ok() || esito->errore);
    EXPECT_FALSE(esito->altroErrore.isEmpty());
}

TEST_F(Spiegazione, AnswersOtherThan200AreToldByTheirStatusAndNeverFollowed) {
    auto esito = rispondi(testo(R"({"type":"error"})", 401));
    ASSERT_TRUE(esito);
    EXPECT_EQ(esito->descrizioneErrore(),
              QStringLiteral("Chiave API non valida: controllala e riprova."));
    esito = rispondi(testo(R"({"type":"error"})", 529));
    ASSERT_TRUE(esito);
    EXPECT_EQ(esito->descrizioneErrore(), QStringLiteral("Errore API (codice 529)."));
    // A redirect elsewhere on this computer: the key does not follow it.
    ServerHttp altrove;
    altrove.imposta(percorso, testo(R"({"content":[{"type":"text","text":"rubata"}]})"));
    esito = rispondi({302, {}, "Location: " + altrove.base().toLatin1() + "/v1/messages\r\n"});
    ASSERT_TRUE(esito);
    EXPECT_EQ(esito->errore, ErroreSpiegazione::api(302));
    EXPECT_EQ(altrove.connessioni(), 0);
}

TEST_F(Spiegazione, ARequestIsBoundInTotalTimeAndInSize) {
    QElapsedTimer cronometro;
    cronometro.start();
    ServerHttp::Risposta muta;
    muta.muta = true;
    EXPECT_EQ(rispondi(muta, 300ms)->errore, ErroreSpiegazione::rete());
    // An answer that keeps coming, a byte every 20 ms, is cut off all the same.
    ServerHttp::Risposta lenta = testo(QByteArray(200, ' ') + R"({"content":[]})");
    lenta.gocciaMs = 20;
    EXPECT_EQ(rispondi(lenta, 400ms)->errore, ErroreSpiegazione::rete());
    EXPECT_LT(cronometro.elapsed(), 3000);
    // Past 1 MiB, announced or not.
    const QByteArray enorme = R"({"content":[{"type":"text","text":")" +
                              QByteArray(Spiegatore::rispostaMassima, 'x') + R"("}]})";
    EXPECT_EQ(rispondi(testo(enorme))->errore, ErroreSpiegazione::rete());
    EXPECT_EQ(rispondi({200, enorme, {}, true})->errore, ErroreSpiegazione::rete());
    // Nobody listening: the transport's description.
    QTcpServer chiuso;
    ASSERT_TRUE(chiuso.listen(QHostAddress::LocalHost, 0));
    const quint16 porta = chiuso.serverPort();
    chiuso.close();
    const auto esito = chiedi(QStringLiteral("http://127.0.0.1:%1").arg(porta));
    ASSERT_TRUE(esito);
    EXPECT_FALSE(esito->errore);
    EXPECT_FALSE(esito->altroErrore.isEmpty());
}

TEST_F(Spiegazione, AnAbortedOrDestroyedRequestNeverAnswers) {
    ServerHttp::Risposta muta;
    muta.muta = true;
    server_.imposta(percorso, muta);
    auto richiesta = std::make_unique<RichiestaSpiegazione>(rete_);
    std::vector<Esito> esiti;
    QObject::connect(richiesta.get(), &RichiestaSpiegazione::finita,
                     [&](const Esito& e) { esiti.push_back(e); });
    richiesta->avvia(server_.base(), chiave, QStringLiteral("uno"));
    ASSERT_TRUE(aspetta([&] { return server_.ricevute().size() == 1; }));
    richiesta->annulla();
    // A refusal already on its way is dropped too; a new start aborts the one running.
    richiesta->avvia(server_.base(), QStringLiteral("chiave\tnon valida"), QStringLiteral("due"));
    richiesta->annulla();
    richiesta->avvia(server_.base(), chiave, QStringLiteral("tre"));
    ASSERT_TRUE(aspetta([&] { return server_.ricevute().size() == 2; }));
    server_.imposta(percorso, testo(R"({"content":[{"type":"text","text":"quattro"}]})"));
    richiesta->avvia(server_.base(), chiave, QStringLiteral("quattro"));
    ASSERT_TRUE(aspetta([&] { return !esiti.empty(); }));
    // Destroyed while waiting: nothing is called back.
    server_.imposta(percorso, muta);
    richiesta->avvia(server_.base(), chiave, QStringLiteral("cinque"));
    ASSERT_TRUE(aspetta([&] { return server_.ricevute().size() == 4; }));
    richiesta.reset();
    server_.imposta(percorso, testo(R"({"content":[{"type":"text","text":"sei"}]})"));
    EXPECT_EQ(chiedi(server_.base())->testo, QStringLiteral("sei"));
    ASSERT_EQ(esiti.size(), 1u);
    EXPECT_EQ(esiti[0].testo, QStringLiteral("quattro"));
}

TEST_F(Spiegazione, TheKeyGoesOnlyToASafeAddressAndOnlyAsItShould) {
    const auto url = [](const char* base) {
        const auto u = Spiegatore::indirizzo(QString::fromUtf8(base));
        return u ? u->toString() : QStringLiteral("rifiutato");
    };
    EXPECT_EQ(url(" api.example.test "), "https://api.example.test/v1/messages");
    EXPECT_EQ(url("https://proxy.example.test/anthropic/?x=1#y"),
              "https://proxy.example.test/anthropic/v1/messages");
    EXPECT_EQ(url("http://127.9.9.9:8080"), "http://127.9.9.9:8080/v1/messages");
    EXPECT_EQ(url("http://[::1]/"), "http://[::1]/v1/messages");
    EXPECT_EQ(url("http://LocalHost"), "http://localhost/v1/messages");
    for (const char* rifiutato :
         {"http://api.anthropic.com", "http://128.0.0.1", "http://127.0.0.1.example.test",
          "http://localhost.example.test", "ftp://127.0.0.1", "https://u:p@api.example.test"}) {
        EXPECT_EQ(url(rifiutato), "rifiutato") << rifiutato;
    }
    EXPECT_EQ(Spiegatore::chiavePulita(QStringLiteral(" \t sk-ant-x\r\n\u00a0")),
              QStringLiteral("sk-ant-x"));
    // A key pasted broken over lines.
    EXPECT_EQ(Spiegatore::chiavePulita(QStringLiteral("sk-ant-\n  api03-AbC")),
              QStringLiteral("sk-ant-api03-AbC"));
    EXPECT_TRUE(Spiegatore::chiaveUsabile(QStringLiteral("sk-ant-api03-AbC_9~")));
    for (const QString& cattiva : {QString(), QStringLiteral("sk\r\nx-altro: 1"),
                                   QStringLiteral("sk-ant-è"), QStringLiteral("sk\x7f")}) {
        EXPECT_FALSE(Spiegatore::chiaveUsabile(cattiva)) << cattiva.toStdString();
    }

    // Refused before anything leaves: an unusable key, and plain HTTP to another computer (any
    // connection would go to the proxy on loopback).
    ServerHttp proxy;
    rete_.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"),
                                 QUrl(proxy.base()).port()));
    EXPECT_EQ(chiedi(server_.base(), QStringLiteral("sk-ant-è"))->errore,
              ErroreSpiegazione::chiaveNonValida());
    EXPECT_EQ(chiedi(QStringLiteral("http://api.example.test"))->descrizioneErrore(),
              QStringLiteral("Indirizzo del servizio non valido o non protetto (serve HTTPS)."));
    EXPECT_EQ(server_.connessioni() + proxy.connessioni(), 0);
}

// Everything Qt and the app print while requests fail in every way, with Qt's network logging
// on: the key is in none of it, nor in the texts shown to the user.
TEST_F(Spiegazione, TheKeyIsNeverLoggedNorShown) {
    static QStringList messaggi;
    static QtMessageHandler precedente = nullptr;
    messaggi.clear();
    precedente = qInstallMessageHandler(
        [](QtMsgType tipo, const QMessageLogContext& contesto, const QString& messaggio) {
            messaggi << messaggio;
            if (precedente) precedente(tipo, contesto, messaggio);
        });
    QLoggingCategory::setFilterRules(QStringLiteral("qt.network*=true"));
    auto registro = std::make_shared<DestinazioneMemoria>();
    auto registroPrima = Registro::impostaDestinazione(registro);
    CartellaTemporanea cartella;
    const std::string errori = (cartella / "stderr").string();
    std::fflush(stderr);
    const int stderrPrima = ::dup(STDERR_FILENO);
    const int file = ::open(errori.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    ::dup2(file, STDERR_FILENO);
    ::close(file);

    QStringList mostrati;
    const auto prova = [&](const ServerHttp::Risposta& r, std::chrono::milliseconds attesa) {
        if (auto esito = rispondi(r, attesa)) mostrati << esito->descrizioneErrore();
    };
    prova(testo(R"({"content":[{"type":"text","text":"ok"}]})"), 10s);
    prova(testo(chiave.toLatin1(), 401), 10s);
    prova(testo(chiave.toLatin1(), 529), 10s);
    prova(testo("{\"" + chiave.toLatin1() + "\": ["), 10s);  // not JSON
    prova({200, chiave.toLatin1() + "tronca", "Content-Length: 999\r\n", true}, 10s);
    ServerHttp::Risposta muta;
    muta.muta = true;
    prova(muta, 200ms);
    if (auto esito = chiedi(QStringLiteral("http://127.0.0.1:1"))) {
        mostrati << esito->descrizioneErrore();
    }

    std::fflush(stderr);
    ::dup2(stderrPrima, STDERR_FILENO);
    ::close(stderrPrima);
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(precedente);
    Registro::impostaDestinazione(registroPrima);

    EXPECT_EQ(server_.ricevute().size(), 6);
    for (const ServerHttp::Richiesta& r : server_.ricevute()) {
        EXPECT_EQ(r.intestazioni.value("x-api-key"), chiave.toLatin1());  // it did go out
        EXPECT_FALSE(r.percorso.contains(chiave));
    }
    EXPECT_EQ(mostrati.size(), 7);
    for (const QString& m : mostrati) EXPECT_FALSE(m.contains(chiave)) << m.toStdString();
    for (const QString& m : messaggi) EXPECT_FALSE(m.contains(chiave)) << m.toStdString();
    EXPECT_FALSE(registro->righe().empty());
    EXPECT_FALSE(registro->contiene(chiave.toStdString()));
    const std::string stampato = leggiTutto(errori);
    EXPECT_EQ(stampato.find(chiave.toStdString()), std::string::npos);
}

}  // namespace
}  // namespace ostrale::test
