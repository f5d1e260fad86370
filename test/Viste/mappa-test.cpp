// SPDX-License-Identifier: GPL-3.0-or-later
// The map: cells, filters, colours and hover texts computed from the controller's state; the
// land decoded from TopoJSON; the section and its sheet as real widgets on the offscreen
// platform, with their pictures.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTranslator>
#include <cmath>
#include <limits>

#include "Condiviso/archivio-regole.h"
#include "Condiviso/codifica-json.h"
#include "Ostrale/Viste/Mappa/carta-mondo.h"
#include "Ostrale/Viste/Mappa/dettaglio-punto.h"
#include "Ostrale/Viste/Mappa/punti-mappa.h"
#include "Ostrale/Viste/Mappa/terre.h"
#include "Ostrale/Viste/Mappa/vista-mappa.h"
#include "Ostrale/Viste/colori.h"
#include "test/Ostrale/supporto-app.h"
#include "test/Viste/fotografa.h"

namespace ostrale::test {
namespace {

using namespace ostrale::mappa;

PosizioneIP a(double lat, double lon, std::string citta, std::string paese = "IT") {
    return {lat, lon, std::move(paese), std::move(citta)};
}

const PuntoMappa* cella(const std::vector<PuntoMappa>& punti, const std::string& id) {
    for (const PuntoMappa& p : punti) {
        if (p.id == id) return &p;
    }
    return nullptr;
}

TEST(PuntiMappa, AddressesShareCellsByTruncatedTenthsAndKeepTheFirstPlace) {
    const MappaContatoriIP conteggi{{"1.1.1.1", {3, 0, 0, "a.example", "org.a"}},
                                    {"1.1.1.2", {5, 1, 0, "", "org.b"}},
                                    {"2.2.2.2", {1, 0, 0, "b.example", ""}},
                                    {"3.3.3.3", {1, 0, 0, "c.example", ""}},
                                    {"4.4.4.4", {2, 0, 0, "d.example", ""}}};
    const MappaPosizioni posizioni{{"1.1.1.1", a(45.47, 9.19, "Milano")},
                                   {"1.1.1.2", a(45.41, 9.12, "Rozzano")},
                                   {"2.2.2.2", a(-0.05, 0.05, "")},
                                   {"3.3.3.3", a(0.05, -0.05, "Golfo")},
                                   {"4.4.4.4", a(-33.87, 151.21, "Sydney", "AU")}};
    const auto punti = calcolaPunti(conteggi, {}, posizioni, {}, FiltroDirezione::tutte);
    ASSERT_EQ(punti.size(), 3u);
    const PuntoMappa* milano = cella(punti, "454_91");
    ASSERT_NE(milano, nullptr);
    EXPECT_EQ(milano->etichetta, "Milano, IT");
    EXPECT_DOUBLE_EQ(milano->latitudine, 45.47);
    EXPECT_EQ(milano->conteggio, 8);
    EXPECT_EQ(milano->bloccati, 1);
    ASSERT_EQ(milano->server.size(), 2u);
    EXPECT_EQ(milano->server[0].id, "1.1.1.2");    // most flows first
    EXPECT_EQ(milano->server[0].host, "1.1.1.2");  // no host: the address
    const PuntoMappa* zero = cella(punti, "0_0");  // truncation toward zero, both signs
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->etichetta, "IT");  // no city: the country alone
    EXPECT_EQ(zero->server.size(), 2u);
    EXPECT_NE(cella(punti, "-338_1512"), nullptr);
}

TEST(PuntiMappa, TheDirectionFilterCountsAndCapsTheBlocked) {
    const ContatoreIP c{10, 7, 3, "h.example", ""};
    EXPECT_EQ(conteggio(c, FiltroDirezione::tutte).flussi, 10);
    EXPECT_EQ(conteggio(c, FiltroDirezione::tutte).bloccati, 7);
    EXPECT_EQ(conteggio(c, FiltroDirezione::entrata).flussi, 3);
    EXPECT_EQ(conteggio(c, FiltroDirezione::entrata).bloccati, 3);
    EXPECT_EQ(conteggio(c, FiltroDirezione::uscita).flussi, 7);
    EXPECT_EQ(conteggio(c, FiltroDirezione::uscita).bloccati, 7);
    // Without inbound flows the address leaves the map under "In entrata".
    const MappaContatoriIP conteggi{{"5.5.5.5", {4, 0, 0, "", ""}}};
    const MappaPosizioni posizioni{{"5.5.5.5", a(48.85, 2.35, "Paris", "FR")}};
    EXPECT_TRUE(calcolaPunti(conteggi, {}, posizioni, {}, FiltroDirezione::entrata).empty());
    EXPECT_EQ(calcolaPunti(conteggi, {}, posizioni, {}, FiltroDirezione::uscita).size(), 1u);
}

TEST(PuntiMappa, UnplaceablePositionsWaitAndLiveFlowsAddUp) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const MappaContatoriIP conteggi{{"1.0.0.1", {1, 0, 0, "", ""}},
                                    {"1.0.0.2", {1, 0, 0, "", ""}},
                                    {"1.0.0.3", {1, 0, 0, "", ""}},
                                    {"1.0.0.4", {1, 0, 0, "", ""}},
                                    {"1.0.0.5", {2, 0, 0, "old.example", "org.old"}}};
    const MappaPosizioni posizioni{{"1.0.0.1", a(nan, 10, "X")},
                                   {"1.0.0.2", a(10, inf, "X")},
                                   {"1.0.0.3", a(91, 10, "X")},
                                   {"1.0.0.5", a(52.52, 13.41, "Berlin", "DE")},
                                   {"9.9.9.9", a(35.68, 139.69, "Tokyo", "JP")}};
    // Flows seen live since the counters were taken: one more for a counted address, and a new
    // one, placed; and one not placed yet.
    const MappaContatoriIP vivi{{"1.0.0.5", {1, 1, 1, "new.example", "org.new"}},
                                {"9.9.9.9", {2, 0, 0, "tokyo.example", "org.t"}},
                                {"8.8.4.4", {1, 0, 0, "", ""}}};
    const auto punti = calcolaPunti(conteggi, vivi, posizioni, {}, FiltroDirezione::tutte);
    ASSERT_EQ(punti.size(), 2u);
    const PuntoMappa* berlino = cella(punti, "525_134");
    ASSERT_NE(berlino, nullptr);
    EXPECT_EQ(berlino->conteggio, 3);
    EXPECT_EQ(berlino->bloccati, 1);
    EXPECT_EQ(berlino->server[0].host, "new.example");
    EXPECT_NE(cella(punti, "356_1396"), nullptr);
    // Four counted without a drawable position (NaN, infinite, out of range, none), and the live
    // one without a position.
    EXPECT_EQ(inAttesa(conteggi, vivi, posizioni), 5);
    EXPECT_EQ(inAttesa(conteggi, {}, posizioni), 4);
}

TEST(PuntiMappa, ColourSizeAndHoverText) {
    PuntoMappa p;
    p.etichetta = "Milano, IT";
    p.conteggio = 5;
    EXPECT_EQ(colore(p), colori::verde);
    p.bloccati = 5;
    EXPECT_EQ(colore(p), colori::rosso);
    p.bloccati = 2;
    EXPECT_EQ(colore(p), colori::arancio);
    EXPECT_DOUBLE_EQ(diametro(1), 17);
    EXPECT_DOUBLE_EQ(diametro(0), 12);
    EXPECT_DOUBLE_EQ(diametro(1'000'000), 40);
    for (int i = 0; i < 3; ++i) {
        p.server.push_back(
            {"10.0.0." + std::to_string(i), "s" + std::to_string(i) + ".example", "", 1, 0});
    }
    EXPECT_EQ(suggerimento(p).toStdString(),
              "Milano, IT: 5 flussi, 2 bloccati\ns0.example (10.0.0.0)\ns1.example (10.0.0.1)\n"
              "s2.example (10.0.0.2)\nClick per i dettagli.");
    p.server.push_back({"10.0.0.3", "s3.example", "", 1, 0});
    const QStringList righe = suggerimento(p).split(QLatin1Char('\n'));
    ASSERT_EQ(righe.size(), 5);
    EXPECT_EQ(righe.back(), QStringLiteral("… e altri 1. Click per l'elenco."));
    EXPECT_EQ(suggerimentoMio(a(45.46, 9.19, "Milano")),
              QStringLiteral("Il mio computer (Milano)"));
    EXPECT_EQ(suggerimentoMio(a(45, 9, "", "IT")), QStringLiteral("Il mio computer (IT)"));
    // A position guessed from the time zone names no place.
    EXPECT_EQ(suggerimentoMio(a(45, 9, "", "")), QStringLiteral("Il mio computer"));
}

TEST(PuntiMappa, AnExistingRuleNamesExactlyTheHostAndIsActive) {
    const ServerPunto s{"1.2.3.4", "WWW.Tracker.Example.com", "", 1, 0};
    const RegolaDominio genitore(Uuid::genera(), "example.com", AzioneRegola::blocca, true);
    const RegolaDominio spenta(Uuid::genera(), "tracker.example.com", AzioneRegola::consenti,
                               false);
    const RegolaDominio esatta(Uuid::genera(), "tracker.example.com", AzioneRegola::blocca, true);
    EXPECT_FALSE(regolaEsistente(s, {genitore, spenta}));
    const auto r = regolaEsistente(s, {genitore, spenta, esatta});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->azione, AzioneRegola::blocca);
}

TEST(Terre, ArcsAreDeltaDecodedJoinedAndWalkedBackwards) {
    // Two arcs sharing their ends make one square; the second is walked backwards (~1 = -2).
    // Quantized: x = q × 2 − 10, y = q × 1 + 5, each point a delta from the previous.
    const QByteArray quantizzata = R"({"type":"Topology",
        "transform":{"scale":[2,1],"translate":[-10,5]},
        "objects":{"land":{"type":"GeometryCollection","geometries":[
            {"type":"Polygon","arcs":[[0,-2]]},
            {"type":"LineString","arcs":[0]}]}},
        "arcs":[[[0,0],[5,0],[0,5]],[[0,0],[0,5],[5,0]]]})";
    QString errore;
    const auto terre = decodificaTopoJson(quantizzata, QStringLiteral("land"), &errore);
    ASSERT_TRUE(terre) << errore.toStdString();
    EXPECT_EQ(terre->anelli, 1);
    EXPECT_EQ(terre->punti, 5);  // the shared corner is not repeated
    const QPolygonF anello = terre->livelli[0].toFillPolygons().front();
    // Arc 0: (-10,5) (0,5) (0,10); arc 1 backwards: (0,10) (-10,10) (-10,5). North is up: y is
    // the latitude negated.
    const QPolygonF attesi{{-10, -5}, {0, -5}, {0, -10}, {-10, -10}, {-10, -5}};
    for (const QPointF& p : attesi) EXPECT_TRUE(anello.contains(p)) << p.x() << "," << p.y();

    const QByteArray semplice = R"({"type":"Topology","objects":{"x":{"type":"MultiPolygon",
        "arcs":[[[0]],[[-1]]]}},"arcs":[[[1.5,2.5],[3.5,2.5],[3.5,4.5],[1.5,2.5]]]})";
    const auto due = decodificaTopoJson(semplice, QStringLiteral("x"), &errore);
    ASSERT_TRUE(due) << errore.toStdString();
    EXPECT_EQ(due->anelli, 2);
    EXPECT_TRUE(due->livelli[0].boundingRect().contains(QPointF(3.5, -4.5)));

    for (const char* rotta :
         {"{", R"({"type":"Feature"})", R"({"type":"Topology","objects":{},"arcs":[]})",
          R"({"type":"Topology","objects":{"land":{"type":"Polygon",
                                  "arcs":[[7]]}},"arcs":[[[0,0],[1,1]]]})"}) {
        errore.clear();
        EXPECT_FALSE(decodificaTopoJson(rotta, QStringLiteral("land"), &errore)) << rotta;
        EXPECT_FALSE(errore.isEmpty()) << rotta;
    }
}

TEST(Terre, TheShippedLandDecodesOnTheWorldAtEveryLevel) {
    const auto terre = terreSpediteOra();
    ASSERT_NE(terre, nullptr);
    EXPECT_GT(terre->anelli, 1000);
    EXPECT_GT(terre->punti, 50000);
    for (const QPainterPath& livello : terre->livelli) {
        // Rings across the antimeridian are drawn on both sides: the world is covered, a little
        // beyond its edges.
        const QRectF r = livello.boundingRect();
        EXPECT_LE(r.left(), -180.0);
        EXPECT_GE(r.right(), 180.0);
        EXPECT_GE(r.top(), -90.0);
        EXPECT_LE(r.bottom(), 90.0);
        // Land and sea where they are, at every level: Chukotka on both sides of the line, and no
        // band across the seas where a ring crossed it; Antarctica closed along the pole.
        for (const QPointF& terra : {QPointF(9.19, 45.46), QPointF(175, 66), QPointF(-178, 66),
                                     QPointF(0, -85), QPointF(-120, -80)}) {
            EXPECT_TRUE(livello.contains(QPointF(terra.x(), -terra.y())))
                << terra.x() << "," << terra.y();
        }
        for (const QPointF& mare : {QPointF(-40, 30), QPointF(-30, 66), QPointF(-170, 69),
                                    QPointF(-150, 0), QPointF(70, 76), QPointF(-175, -16)}) {
            EXPECT_FALSE(livello.contains(QPointF(mare.x(), -mare.y())))
                << mare.x() << "," << mare.y();
        }
    }
    // Simpler when drawn small: fewer elements at the coarse levels.
    EXPECT_LT(terre->livelli[2].elementCount(), terre->livelli[1].elementCount());
    EXPECT_LT(terre->livelli[1].elementCount(), terre->livelli[0].elementCount());
}

// A controller holding a small world: a history package with the addresses' counters, their
// positions, and this computer in Milan.
class MappaSenzaEstensione : public ::testing::Test, protected ControlloreSenzaEstensione {
  protected:
    struct Luogo {
        const char* ip;
        double lat, lon;
        const char* citta;
        const char* paese;
        std::int64_t totale, bloccati, entrata;
        const char* host;
        const char* app;
    };
    static constexpr Luogo mondo[] = {
        {"18.66.10.1", 50.11, 8.68, "Francoforte", "DE", 420, 0, 0, "cdn.example-video.com",
         "org.mozilla.firefox"},
        {"18.66.10.2", 50.12, 8.66, "Francoforte", "DE", 35, 35, 0, "ads.tracker-network.com",
         "org.mozilla.firefox"},
        {"18.66.10.3", 50.13, 8.69, "Francoforte", "DE", 12, 0, 0, "api.weather.example", ""},
        {"18.66.10.4", 50.14, 8.67, "Francoforte", "DE", 3, 0, 3, "", ""},
        {"52.94.1.1", 39.04, -77.49, "Ashburn", "US", 260, 40, 0, "s3.cloud.example",
         "com.dropbox.client"},
        {"151.101.1.1", 37.77, -122.42, "San Francisco", "US", 90, 0, 0, "github.example",
         "org.gnome.Builder"},
        {"104.16.2.2", 51.51, -0.13, "Londra", "GB", 140, 0, 0, "news.example.co.uk",
         "org.mozilla.firefox"},
        {"185.60.216.1", 53.34, -6.26, "Dublino", "IE", 55, 55, 0, "graph.social.example",
         "org.chromium.Chromium"},
        {"142.250.180.1", 45.46, 9.19, "Milano", "IT", 600, 0, 0, "www.search.example",
         "org.chromium.Chromium"},
        {"13.35.1.1", 35.68, 139.69, "Tokyo", "JP", 18, 0, 0, "cdn.anime.example", ""},
        {"54.206.1.1", -33.87, 151.21, "Sydney", "AU", 7, 2, 0, "telemetry.example",
         "com.spotify.Client"},
        {"177.71.1.1", -23.55, -46.63, "San Paolo", "BR", 9, 0, 0, "br.example", ""},
        {"45.95.147.236", 55.75, 37.62, "Mosca", "RU", 4, 4, 4, "", ""},
        {"41.0.0.1", -26.20, 28.05, "Johannesburg", "ZA", 2, 0, 0, "za.example", ""},
        {"103.21.244.1", 1.35, 103.82, "Singapore", "SG", 30, 10, 0, "sg.example",
         "com.slack.Slack"},
        {"49.44.1.1", 19.08, 72.88, "Mumbai", "IN", 11, 0, 0, "in.example", ""},
    };

    void popola() {
        PacchettoStorico pacchetto;
        MappaPosizioni posizioni;
        for (const Luogo& l : mondo) {
            pacchetto.ip[l.ip] = {l.totale, l.bloccati, l.entrata, l.host, l.app};
            posizioni[l.ip] = a(l.lat, l.lon, l.citta, l.paese);
        }
        pacchetto.ip["203.0.113.9"] = {1, 0, 0, "", ""};  // not in the database
        pacchetto.ip["198.51.100.7"] = {1, 0, 0, "", ""};
        stato().applicaStorico(std::move(pacchetto));
        stato().aggiungiPosizioni(posizioni);
        stato().impostaPosizioneMia(a(45.46, 9.19, "Milano"));
        // An inbound attack from Moscow.
        EventoFlusso attacco = evento(orologio_.adesso(), "sconosciuta", false);
        attacco.attacco = TipoAttacco::forzaBruta;
        attacco.direzione = DirezioneFlusso::entrata;
        attacco.indirizzoIP = "45.95.147.236";
        attacco.host = "45.95.147.236";
        stato().nuovoFlusso(json::codifica(attacco));
    }
};

TEST_F(MappaSenzaEstensione, EmptyWaitingPlacedAndLive) {
    VistaMappa v(stato());
    v.resize(980, 620);
    v.show();
    v.ricalcola();
    EXPECT_TRUE(v.vuota()->isVisible());
    EXPECT_TRUE(v.carta().punti().empty());
    EXPECT_FALSE(v.attesa()->isVisible());
    ASSERT_TRUE(aspetta([&] { return v.carta().haTerre() && v.carta().sfondoPronto(); }));
    fotografa(&v, QStringLiteral("mappa-vuota.png"));

    // Counters without any position: no message, no cells, the legend says why.
    PacchettoStorico solo;
    solo.ip["203.0.113.9"] = {3, 0, 0, "", ""};
    stato().applicaStorico(solo);
    ASSERT_TRUE(aspetta([&] { return !v.vuota()->isVisible(); }));
    EXPECT_TRUE(v.carta().punti().empty());
    EXPECT_TRUE(v.attesa()->isVisible());
    EXPECT_EQ(v.attesa()->text(), QStringLiteral("1 indirizzo in attesa di posizione…"));

    popola();
    ASSERT_TRUE(aspetta([&] { return v.carta().punti().size() == 13; }));
    EXPECT_EQ(v.attesa()->text(), QStringLiteral("2 indirizzi in attesa di posizione…"));
    const PuntoMappa* mosca = cella(v.carta().punti(), "557_376");
    ASSERT_NE(mosca, nullptr);
    EXPECT_TRUE(mosca->attaccato);
    EXPECT_EQ(cella(v.carta().punti(), "501_86")->server.size(), 4u);  // Frankfurt

    // A live flow to a new place shows before the next counters arrive, once it is placed.
    EventoFlusso vivo = evento(orologio_.adesso(), "org.mozilla.firefox", true);
    vivo.indirizzoIP = "95.216.1.1";
    vivo.host = "mirror.example.fi";
    stato().nuovoFlusso(json::codifica(vivo));
    stato().aggiungiPosizioni({{"95.216.1.1", a(60.17, 24.94, "Helsinki", "FI")}});
    ASSERT_TRUE(aspetta([&] { return cella(v.carta().punti(), "601_249") != nullptr; }));
    // The next counters hold it: it is not counted twice.
    PacchettoStorico dopo;
    for (const Luogo& l : mondo) dopo.ip[l.ip] = {l.totale, l.bloccati, l.entrata, l.host, l.app};
    dopo.ip["95.216.1.1"] = {1, 0, 0, "mirror.example.fi", "org.mozilla.firefox"};
    stato().applicaStorico(dopo);
    v.ricalcola();
    EXPECT_EQ(cella(v.carta().punti(), "601_249")->conteggio, 1);

    // Direction: only Moscow and one Frankfurt server have inbound flows.
    v.impostaFiltro(FiltroDirezione::entrata);
    EXPECT_EQ(v.carta().punti().size(), 2u);
    v.impostaFiltro(FiltroDirezione::tutte);
    EXPECT_EQ(v.carta().punti().size(), 14u);
}

TEST_F(MappaSenzaEstensione, HoverClickAndRuleFromTheSheet) {
    popola();
    VistaMappa v(stato());
    v.resize(980, 620);
    v.show();
    v.ricalcola();
    CartaMondo& c = v.carta();
    ASSERT_TRUE(aspetta([&] { return c.haTerre(); }));
    // The initial camera: latitude 30 and longitude 10 in the middle, 240° across at this size.
    EXPECT_DOUBLE_EQ(c.centro().x(), 10);
    EXPECT_DOUBLE_EQ(c.centro().y(), 30);
    EXPECT_NEAR(c.luogo(QPointF(c.width(), 0)).x() - c.luogo(QPointF(0, 0)).x(), 240, 1e-9);

    const QPointF milano = c.schermo(45.46, 9.19);
    EXPECT_TRUE(c.mioIn(milano));
    EXPECT_EQ(c.suggerimentoIn(milano), QStringLiteral("Il mio computer (Milano)"));
    const QPointF sydney = c.schermo(-33.87, 151.21);
    EXPECT_TRUE(
        c.suggerimentoIn(sydney).startsWith(QStringLiteral("Sydney, AU: 7 flussi, 2 bloccati")));
    EXPECT_TRUE(c.suggerimentoIn(c.schermo(-40, -30)).isEmpty());  // the open sea

    // Zooming keeps the place under the pointer; the initial view comes back.
    c.zoom(4, sydney);
    EXPECT_NEAR(c.schermo(-33.87, 151.21).x(), sydney.x(), 1e-6);
    EXPECT_NEAR(c.schermo(-33.87, 151.21).y(), sydney.y(), 1e-6);
    c.vistaIniziale();
    EXPECT_DOUBLE_EQ(c.centro().x(), 10);

    inOgniLingua([&](const QString& lingua) {
        VistaMappa foto(stato());
        foto.resize(980, 620);
        foto.show();
        foto.ricalcola();
        ASSERT_TRUE(aspetta([&] { return foto.carta().haTerre() && foto.carta().sfondoPronto(); }));
        fotografa(&foto, QStringLiteral("mappa-") + lingua + QStringLiteral(".png"));
    });
    c.zoom(6, c.schermo(50.11, 8.68));
    ASSERT_TRUE(aspetta([&] { return c.sfondoPronto(); }));
    fotografa(&v, QStringLiteral("mappa-vicina.png"));
    c.vistaIniziale();

    stato().aggiungiRegolaDominio("example-video.com", AzioneRegola::blocca);
    // Frankfurt's cell: four servers; a click opens its sheet.
    const PuntoMappa* francoforte = cella(c.punti(), "501_86");
    ASSERT_NE(francoforte, nullptr);
    QTest::mouseClick(&c, Qt::LeftButton, {},
                      c.schermo(francoforte->latitudine, francoforte->longitudine).toPoint());
    ASSERT_TRUE(aspetta([&] { return v.dettaglio() != nullptr && v.dettaglio()->isVisible(); }));
    DettaglioPunto& d = *v.dettaglio();
    EXPECT_EQ(d.punto().id, "501_86");
    ASSERT_EQ(d.tabella()->rowCount(), 4);
    // ads.tracker-network.com is second (35 flows, all blocked); no rule yet: no tint.
    EXPECT_EQ(d.punto().server[1].host, "ads.tracker-network.com");
    EXPECT_FALSE(d.pulsante(1, AzioneRegola::blocca)->property("tinto").toBool());
    fotografa(&d, QStringLiteral("mappa-punto.png"));
    d.pulsante(1, AzioneRegola::blocca)->click();
    ASSERT_TRUE(
        aspetta([&] { return d.pulsante(1, AzioneRegola::blocca)->property("tinto").toBool(); }));
    EXPECT_FALSE(d.pulsante(1, AzioneRegola::consenti)->property("tinto").toBool());
    const auto regole = ArchivioRegole::leggi();
    ASSERT_TRUE(regole);
    ASSERT_EQ(regole->regoleDominio.size(), 2u);
    EXPECT_EQ(regole->regoleDominio[1].dominio, "ads.tracker-network.com");
    // A rule on the parent domain tints nothing: only an exact name counts here.
    EXPECT_FALSE(d.pulsante(0, AzioneRegola::blocca)->property("tinto").toBool());
    // An address without a host is ruled by its address.
    d.pulsante(3, AzioneRegola::consenti)->click();
    ASSERT_TRUE(
        aspetta([&] { return d.pulsante(3, AzioneRegola::consenti)->property("tinto").toBool(); }));
    EXPECT_EQ(ArchivioRegole::leggi()->regoleDominio.back().dominio, "18.66.10.4");
    EXPECT_FALSE(d.findChild<QLabel*>(QStringLiteral("esito"))->isVisible());
    d.close();
    EXPECT_TRUE(aspetta([&] { return v.dettaglio() == nullptr; }));
}

TEST_F(MappaSenzaEstensione, WithoutOwnPositionNoLinesNorMarker) {
    popola();
    stato().impostaPosizioneMia(std::nullopt);
    VistaMappa v(stato());
    v.resize(800, 500);
    v.show();
    v.ricalcola();
    const QPointF milano = v.carta().schermo(45.46, 9.19);
    EXPECT_FALSE(v.carta().mioIn(milano));
    EXPECT_EQ(v.carta().punti().size(), 13u);  // every cell still drawn
    // Where the marker would be, the cells under it answer.
    EXPECT_GE(v.carta().cellaIn(milano), 0);
    EXPECT_FALSE(v.carta().suggerimentoIn(milano).startsWith(QStringLiteral("Il mio computer")));
}

}  // namespace
}  // namespace ostrale::test
