// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/codifica-json.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace ostrale {
namespace {

using nlohmann::json;

const char* const idEvento = "0F8FAD5B-D9CB-469F-A165-70867728950E";

json eventoMinimo() {
    return {{"id", idEvento},        {"data", 786000000.25}, {"firmaApp", "/usr/bin/curl"},
            {"host", "example.org"}, {"porta", "443"},       {"protocollo", "TCP"},
            {"direzione", "uscita"}, {"consentito", true}};
}

template <typename T>
Risultato<T> da(const json& j) {
    return ostrale::json::decodifica<T>(j.dump());
}

TEST(CodificaJson, MissingSettingsTakeTheirDefaults) {
    const auto impostazioni = ostrale::json::decodifica<ImpostazioniFiltro>("{}");
    ASSERT_TRUE(impostazioni) << impostazioni.motivo();
    EXPECT_FALSE(impostazioni->bloccaSconosciute);
    EXPECT_FALSE(impostazioni->filtraEntrata);
    EXPECT_TRUE(impostazioni->registraConsentiti);
    EXPECT_FALSE(impostazioni->quarantenaAttiva);
    EXPECT_EQ(impostazioni->giorniQuarantena, 3);
    EXPECT_FALSE(impostazioni->avvisaAnomalie);
    EXPECT_FALSE(impostazioni->bloccaTracker);
    EXPECT_FALSE(impostazioni->chiediPrima);
    EXPECT_TRUE(impostazioni->fidatiApple);
    EXPECT_TRUE(impostazioni->escludiLan);
    EXPECT_TRUE(impostazioni->rilevaAttacchi);
    EXPECT_EQ(*impostazioni, ImpostazioniFiltro{});

    const auto stato = ostrale::json::decodifica<StatoRegole>("{}");
    ASSERT_TRUE(stato);
    EXPECT_EQ(*stato, StatoRegole{});

    // null counts as absent; a key someone else defines is ignored.
    const auto conNull = da<StatoRegole>(
        {{"regole", nullptr}, {"impostazioni", {{"escludiLan", nullptr}}}, {"futuro", 1}});
    ASSERT_TRUE(conNull) << conNull.motivo();
    EXPECT_EQ(*conNull, StatoRegole{});
}

TEST(CodificaJson, WrongTypesAreRefused) {
    EXPECT_FALSE(ostrale::json::decodifica<ImpostazioniFiltro>(R"({"giorniQuarantena": "7"})"));
    EXPECT_FALSE(ostrale::json::decodifica<ImpostazioniFiltro>(R"({"giorniQuarantena": 7.5})"));
    EXPECT_FALSE(ostrale::json::decodifica<ImpostazioniFiltro>(R"({"giorniQuarantena": true})"));
    EXPECT_FALSE(ostrale::json::decodifica<ImpostazioniFiltro>(
        R"({"giorniQuarantena": 9223372036854775808})"));
    EXPECT_FALSE(ostrale::json::decodifica<ImpostazioniFiltro>(R"({"escludiLan": 1})"));
    EXPECT_FALSE(ostrale::json::decodifica<ImpostazioniFiltro>("[]"));
    const auto esatto =
        ostrale::json::decodifica<ImpostazioniFiltro>(R"({"giorniQuarantena": 7.0})");
    ASSERT_TRUE(esatto);
    EXPECT_EQ(esatto->giorniQuarantena, 7);

    auto evento = eventoMinimo();
    EXPECT_TRUE(da<EventoFlusso>(evento));
    evento["porta"] = 443;
    EXPECT_FALSE(da<EventoFlusso>(evento));
    evento = eventoMinimo();
    evento["data"] = "786000000";
    EXPECT_FALSE(da<EventoFlusso>(evento));
    evento = eventoMinimo();
    evento["id"] = "0F8FAD5B-D9CB-469F-A165-70867728950";  // one digit short
    EXPECT_FALSE(da<EventoFlusso>(evento));
    evento["id"] = "0F8FAD5BD9CB-469F-A165-70867728950E0";  // hyphen out of place
    EXPECT_FALSE(da<EventoFlusso>(evento));
}

TEST(CodificaJson, RequiredKeysAndEnumerationTexts) {
    for (const char* chiave :
         {"id", "data", "firmaApp", "host", "porta", "protocollo", "direzione", "consentito"}) {
        auto evento = eventoMinimo();
        evento.erase(chiave);
        EXPECT_FALSE(da<EventoFlusso>(evento)) << chiave;
        evento[chiave] = nullptr;
        EXPECT_FALSE(da<EventoFlusso>(evento)) << chiave;
    }

    auto evento = eventoMinimo();
    auto decodificato = da<EventoFlusso>(evento);
    ASSERT_TRUE(decodificato);
    EXPECT_FALSE(decodificato->motivo);
    EXPECT_FALSE(decodificato->anomala);
    EXPECT_FALSE(decodificato->indirizzoIP);
    EXPECT_FALSE(decodificato->attacco);

    evento["motivo"] = "politica";
    EXPECT_FALSE(da<EventoFlusso>(evento));
    evento["motivo"] = "tracker";
    evento["attacco"] = "Scansione";  // raw values are case-sensitive
    EXPECT_FALSE(da<EventoFlusso>(evento));
    evento["attacco"] = "lateraleLAN";
    evento["direzione"] = "entrata";
    evento["anomala"] = nullptr;
    decodificato = da<EventoFlusso>(evento);
    ASSERT_TRUE(decodificato) << decodificato.motivo();
    EXPECT_EQ(decodificato->motivo, MotivoDecisione::tracker);
    EXPECT_EQ(decodificato->attacco, TipoAttacco::lateraleLAN);
    EXPECT_EQ(decodificato->direzione, DirezioneFlusso::entrata);
    EXPECT_FALSE(decodificato->anomala);
}

TEST(CodificaJson, OneBadElementRefusesTheWholeDocument) {
    json regola = {{"id", "6ba7b810-9dad-11d1-80b4-00c04fd430c8"},
                   {"firmaApp", "org.mozilla.firefox"},
                   {"nomeApp", "Firefox"},
                   {"azione", "consenti"},
                   {"attiva", true}};
    json cattiva = regola;
    cattiva["azione"] = "permetti";
    EXPECT_TRUE(da<StatoRegole>({{"regole", {regola, regola}}}));
    EXPECT_FALSE(da<StatoRegole>({{"regole", {regola, cattiva}}}));
    EXPECT_FALSE(da<StatoRegole>({{"regole", regola}}));  // an object where a list belongs

    auto cattivo = eventoMinimo();
    cattivo.erase("host");
    EXPECT_TRUE(da<std::vector<EventoFlusso>>({eventoMinimo(), eventoMinimo()}));
    const auto lista = da<std::vector<EventoFlusso>>({eventoMinimo(), cattivo});
    EXPECT_FALSE(lista);
    EXPECT_NE(lista.motivo().find("[1]"), std::string::npos) << lista.motivo();
}

TEST(CodificaJson, EncodingFollowsTheWireFormat) {
    Regola regola;
    regola.id = *Uuid::daTesto("6ba7b810-9dad-11d1-80b4-00c04fd430c8");
    regola.firmaApp = "/usr/bin/curl";
    regola.nomeApp = "curl";
    regola.azione = AzioneRegola::blocca;
    const std::string testo = ostrale::json::codifica(regola);
    EXPECT_EQ(testo.find(' '), std::string::npos) << "compact output";
    const auto j = json::parse(testo);
    EXPECT_EQ(j["id"], "6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
    EXPECT_EQ(j["azione"], "blocca");
    EXPECT_FALSE(j.contains("fascia"));
    const auto ritorno = ostrale::json::decodifica<Regola>(testo);
    ASSERT_TRUE(ritorno);
    EXPECT_EQ(*ritorno, regola);

    EventoFlusso evento;
    evento.data = Data::daUnix(978307200.0 + 12.5);
    evento.protocollo = "—";
    evento.motivo = MotivoDecisione::attacco;
    const auto je = json::parse(ostrale::json::codifica(evento));
    EXPECT_DOUBLE_EQ(je["data"].get<double>(), 12.5);
    EXPECT_EQ(je["protocollo"], "—");
    EXPECT_EQ(je["motivo"], "attacco");
    for (const char* assente : {"anomala", "indirizzoIP", "attacco"}) {
        EXPECT_FALSE(je.contains(assente)) << assente;
    }
}

TEST(CodificaJson, FullRecordsSurviveARoundTrip) {
    StatoRegole stato;
    Regola notturna;
    notturna.firmaApp = "org.mozilla.firefox";
    notturna.nomeApp = "Firefox — notte";
    notturna.azione = AzioneRegola::blocca;
    notturna.attiva = false;
    notturna.fascia = FasciaOraria{1320, 420};
    stato.regole = {notturna, Regola{}};
    stato.regoleDominio = {
        RegolaDominio{Uuid::genera(), "doubleclick.net", AzioneRegola::blocca, true}};
    stato.impostazioni.giorniQuarantena = 14;
    stato.impostazioni.chiediPrima = true;
    const auto statoRitorno =
        ostrale::json::decodifica<StatoRegole>(ostrale::json::codifica(stato));
    ASSERT_TRUE(statoRitorno) << statoRitorno.motivo();
    EXPECT_EQ(*statoRitorno, stato);

    EventoFlusso evento;
    evento.data = Data::daRiferimento(786543210.123456);
    evento.firmaApp = "sconosciuta";
    evento.host = "città.example";
    evento.porta = "?";
    evento.protocollo = "17";
    evento.consentito = false;
    evento.motivo = MotivoDecisione::quarantena;
    evento.anomala = true;
    evento.indirizzoIP = "2001:db8::1";
    evento.attacco = TipoAttacco::c2Noto;
    const std::vector<EventoFlusso> registro{evento, EventoFlusso{}};
    const auto registroRitorno =
        ostrale::json::decodifica<std::vector<EventoFlusso>>(ostrale::json::codifica(registro));
    ASSERT_TRUE(registroRitorno);
    EXPECT_EQ(*registroRitorno, registro);

    PacchettoStorico pacchetto;
    pacchetto.ore["2026-12-05 17"] = {5, 2, 1};
    pacchetto.app["/usr/bin/curl"] = {10, 1, 2, 3};
    pacchetto.ip["203.0.113.5"] = {4, 1, 2, "example.org", "/usr/bin/curl"};
    pacchetto.primeViste["/usr/bin/curl"] = Data::daRiferimento(786000000.5);
    const auto pacchettoRitorno =
        ostrale::json::decodifica<PacchettoStorico>(ostrale::json::codifica(pacchetto));
    ASSERT_TRUE(pacchettoRitorno);
    EXPECT_EQ(*pacchettoRitorno, pacchetto);

    ostrale::json::Abitudini abitudini{{"/usr/bin/curl", {"example.org", "debian.org"}}};
    const auto abitudiniRitorno =
        ostrale::json::decodifica<ostrale::json::Abitudini>(ostrale::json::codifica(abitudini));
    ASSERT_TRUE(abitudiniRitorno);
    EXPECT_EQ(*abitudiniRitorno, abitudini);
}

// Files written before rules could last a while or be narrowed load unchanged and are written
// back byte for byte; the new keys travel only when set, and survive a round trip.
TEST(CodificaJson, RulesWithoutDurationOrScopeStayAsTheyWere) {
    const std::string vecchio =
        R"({"regole":[{"id":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8","firmaApp":"/usr/bin/curl",)"
        R"("nomeApp":"curl","azione":"blocca","attiva":true,"fascia":{"inizio":60,"fine":120}}],)"
        R"("regoleDominio":[{"id":"6BA7B811-9DAD-11D1-80B4-00C04FD430C8","dominio":"ads.example",)"
        R"("azione":"blocca","attiva":false}],"impostazioni":{"bloccaSconosciute":false,)"
        R"("filtraEntrata":false,"registraConsentiti":true,"quarantenaAttiva":false,)"
        R"("giorniQuarantena":7,"avvisaAnomalie":true,"bloccaTracker":true,"chiediPrima":false,)"
        R"("fidatiApple":true,"escludiLan":true,"rilevaAttacchi":true}})";
    const auto letto = ostrale::json::decodifica<StatoRegole>(vecchio);
    ASSERT_TRUE(letto) << letto.motivo();
    EXPECT_TRUE(letto->regole[0].durata.perSempre());
    EXPECT_FALSE(letto->regoleDominio[0].ristretta());
    EXPECT_EQ(ostrale::json::codifica(*letto), vecchio);

    StatoRegole nuovo = *letto;
    nuovo.regole[0].durata.scadenza = Data::daRiferimento(820000000.25);
    nuovo.regoleDominio[0].firmaApp = "/usr/bin/curl";
    nuovo.regoleDominio[0].porta = 443;
    nuovo.regoleDominio[0].durata.avvio = "0b3c5b52-7a43-4d6e-9d1b-2f1c2e8a9b10";
    const std::string testo = ostrale::json::codifica(nuovo);
    const auto j = json::parse(testo);
    EXPECT_DOUBLE_EQ(j["regole"][0]["scadenza"].get<double>(), 820000000.25);
    EXPECT_EQ(j["regoleDominio"][0]["porta"], 443);
    EXPECT_EQ(j["regoleDominio"][0]["firmaApp"], "/usr/bin/curl");
    EXPECT_FALSE(j["regole"][0].contains("avvio"));
    EXPECT_EQ(ostrale::json::decodifica<StatoRegole>(testo).valore(), nuovo);
    // Wrong types in the new keys refuse the document, as in any other key.
    for (const char* rotto :
         {R"("porta":"443")", R"("scadenza":"domani")", R"("avvio":7)", R"("firmaApp":false)"}) {
        std::string t = R"({"id":"6BA7B811-9DAD-11D1-80B4-00C04FD430C8","dominio":"a.example",)"
                        R"("azione":"blocca","attiva":true,)" +
                        std::string(rotto) + "}";
        EXPECT_FALSE(ostrale::json::decodifica<RegolaDominio>(t)) << rotto;
    }
}

TEST(CodificaJson, HistoryMembersAreAllRequired) {
    const json pieno = {{"ore", json::object()},
                        {"app", json::object()},
                        {"ip", json::object()},
                        {"primeViste", json::object()}};
    EXPECT_TRUE(da<PacchettoStorico>(pieno));
    for (const char* chiave : {"ore", "app", "ip", "primeViste"}) {
        auto mancante = pieno;
        mancante.erase(chiave);
        EXPECT_FALSE(da<PacchettoStorico>(mancante)) << chiave;
    }
    EXPECT_FALSE(da<StoricoOre>({{"2026-12-05 17", {{"consentiti", 1}, {"bloccati", 0}}}}));
    EXPECT_FALSE(da<StoricoIP>(
        {{"203.0.113.5", {{"totale", 1}, {"bloccati", 0}, {"entrata", 0}, {"host", "x"}}}}));
}

TEST(CodificaJson, MalformedTextIsRefusedNotThrown) {
    for (const char* testo : {"", "{", "{\"regole\": [", "nul", "{\"a\":1}}", "\xff\xfe",
                              "{\"regole\":[],\"regole\":\"\xc3\x28\"}", "[1e400]"}) {
        EXPECT_FALSE(ostrale::json::decodifica<StatoRegole>(testo)) << testo;
    }
    EXPECT_FALSE(
        ostrale::json::decodifica<std::vector<EventoFlusso>>("[" + eventoMinimo().dump() + ","));
    auto eventoInfinito = eventoMinimo().dump();
    eventoInfinito.replace(eventoInfinito.find("786000000.25"), 12, "1e999");
    EXPECT_FALSE(ostrale::json::decodifica<EventoFlusso>(eventoInfinito));
    // Deep nesting where a value is expected is refused without exhausting the stack.
    const std::string profondo = std::string(100000, '[') + std::string(100000, ']');
    EXPECT_FALSE(ostrale::json::decodifica<StatoRegole>(profondo));
}

TEST(CodificaJson, MalformedUtf8FromTheNetworkIsReplacedOnEncoding) {
    EventoFlusso evento;
    evento.host = "bad\xc3\x28name";
    const std::string testo = ostrale::json::codifica(evento);
    const auto ritorno = ostrale::json::decodifica<EventoFlusso>(testo);
    ASSERT_TRUE(ritorno);
    EXPECT_EQ(ritorno->host, "bad\xef\xbf\xbd(name");
}

}  // namespace
}  // namespace ostrale
