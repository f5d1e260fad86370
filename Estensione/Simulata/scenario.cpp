// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Simulata/scenario.h"

#include "Estensione/filter-data-provider.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace ostrale {
namespace {

// Ordinary applications of the machine and the hosts they reach.
struct Abituale {
    const char* firma;
    std::vector<const char*> host;
    int protocollo = 6;
    const char* porta = "443";
};

const std::vector<Abituale>& abituali() {
    static const std::vector<Abituale> elenco{
        {"org.mozilla.firefox",
         {"www.wikipedia.org", "it.wikipedia.org", "www.debian.org", "github.com",
          "news.ycombinator.com", "www.repubblica.it", "stats.g.doubleclick.net",
          "www.googletagmanager.com", "sb.scorecardresearch.com", "static.hotjar.com",
          "www.openstreetmap.org"}},
        {"/usr/lib/chromium/chromium",
         {"mail.example.com", "calendar.example.com", "docs.example.com", "bat.bing.com",
          "px.ads.linkedin.com", "pixel.adsafeprotected.com", "stackoverflow.com"}},
        {"/usr/bin/thunderbird", {"imap.example.com", "smtp.example.com"}, 6, "993"},
        {"com.spotify.Client", {"api.spotify.example", "audio.spotify.example"}},
        {"org.telegram.desktop", {"api.telegram.org", "cdn.telegram.example"}},
        {"/usr/share/code/code", {"marketplace.visualstudio.com", "update.code.example"}},
        {"/usr/bin/git", {"github.com", "gitlab.com"}},
        {"/usr/lib/apt/methods/http", {"deb.debian.org", "security.debian.org"}, 6, "80"},
        {"/usr/lib/systemd/systemd-resolved", {"192.0.2.53"}, 17, "53"},
        {"/usr/lib/systemd/systemd-timesyncd", {"0.debian.pool.ntp.org"}, 17, "123"},
    };
    return elenco;
}

// A stable documentation address for a host name.
std::string indirizzoDi(std::string_view host) {
    const std::size_t h = std::hash<std::string_view>{}(host);
    static const char* reti[] = {"192.0.2.", "198.51.100.", "203.0.113."};
    return std::string(reti[h % 3]) + std::to_string(h / 3 % 198 + 2);  // .200 and up: the C2 list
}

}  // namespace

void FlussoSimulato::riprendi(bool consenti) {
    std::lock_guard blocco(mutex_);
    ripreso_ = consenti;
}

std::optional<bool> FlussoSimulato::ripreso() const {
    std::lock_guard blocco(mutex_);
    return ripreso_;
}

Scenario::Scenario(std::uint64_t seme) : caso_(seme) {
    // Every identity is known from the start: `firma` only reads, from any thread.
    for (const Abituale& a : abituali()) app(a.firma);
    for (const char* firma :
         {"/usr/bin/telemetry-agent", "/usr/bin/syncd", "/usr/bin/backup-agent", "/usr/bin/iodine",
          "/usr/bin/crawler", "/tmp/.cache/scanner", "/usr/bin/nc", "/usr/bin/hping3",
          "/home/utente/.cache/aggiornatore", "/usr/bin/python3.11", "/usr/bin/smbclient",
          "/tmp/.cache/dga", "/opt/nuovo-editor/editor", "/home/utente/.local/bin/relay"}) {
        app(firma);
    }
}

int Scenario::app(const std::string& firma) {
    for (std::size_t i = 0; i < app_.size(); ++i) {
        if (app_[i].firma == firma) return static_cast<int>(i);
    }
    // Only the constructor gets here.
    TokenApp token{};
    token[0] = static_cast<std::uint8_t>(app_.size() & 0xFF);
    token[1] = static_cast<std::uint8_t>(app_.size() >> 8);
    token[31] = 0x5A;
    app_.push_back({firma, token});
    return static_cast<int>(app_.size() - 1);
}

std::optional<std::string> Scenario::firma(const TokenApp& token) {
    const std::size_t i = token[0] + 256u * token[1];
    if (token[31] != 0x5A || i >= app_.size()) return std::nullopt;
    return app_[i].firma;
}

void riproduci(FilterDataProvider& provider, const std::shared_ptr<FlussoSimulato>& flusso) {
    provider.handleNewFlow(flusso);
    if (flusso->domandaDns) {
        provider.osservaDomandaDns(flusso->tokenApp, flusso->domandaDns->first,
                                   flusso->domandaDns->second);
    }
}

std::shared_ptr<FlussoSimulato> Scenario::uscita(int indice, const std::string& host,
                                                 const std::string& ip, const std::string& porta,
                                                 int protocollo) {
    auto f = std::make_shared<FlussoSimulato>();
    f->tokenApp = app_[static_cast<std::size_t>(indice)].token;
    if (host != ip) f->nome = host;
    f->estremoRemoto = Estremo{ip, porta};
    f->estremoLocale = Estremo{"192.168.1.10", std::to_string(32768 + caso_() % 28000)};
    f->numeroProtocollo = protocollo;
    return f;
}

std::shared_ptr<FlussoSimulato> Scenario::entrata(const std::string& ip,
                                                  const std::string& portaLocale) {
    auto f = std::make_shared<FlussoSimulato>();
    f->entrata = true;
    f->estremoRemoto = Estremo{ip, std::to_string(40000 + caso_() % 20000)};
    f->estremoLocale = Estremo{"192.168.1.10", portaLocale};
    return f;
}

// The flows due in [da, a), each with the moment it is due.
struct Scenario::Raccolta {
    double da, a;
    Programmati& out;

    // `volte` flows made by `crea` (from their index), `passo` seconds apart from `inizio`: those
    // due are made and kept.
    template <typename Crea>
    void serie(double inizio, double passo, int volte, Crea crea) {
        for (int i = 0; i < volte; ++i) {
            const double t = inizio + i * passo;
            if (t >= da && t < a) out.emplace_back(t, crea(i));
        }
    }
};

void Scenario::episodi(double da, double a, Programmati& out) {
    Raccolta r{da, a, out};
    compagniCostanti(r);
    // The episodes of each cycle.
    for (int k = static_cast<int>(std::floor(da / ciclo)); k * ciclo < a; ++k) {
        const double base = k * ciclo;
        attacchiDaFuori(r, base);
        abusiRumorosi(r, base, k);
        destinazioniSospette(r, base);
    }
}

void Scenario::compagniCostanti(Raccolta& r) {
    // Steady companions over hours: a beacon, a channel kept open, a slow trickle of uploads.
    const int primoMinuto = static_cast<int>(std::floor(r.da / 60));
    for (int n = primoMinuto; n * 60.0 < r.a; ++n) {
        r.serie(n * 60.0 + 7, 60, 1, [&](int) {
            return uscita(app("/usr/bin/telemetry-agent"), "metrics.telemetry-cloud.example",
                          "198.51.100.21", "443");
        });
        if (n % 5 == 0) {
            r.serie(n * 60.0 + 13, 300, 1, [&](int) {
                return uscita(app("/usr/bin/syncd"), "eu.sync.nuvola.example", "198.51.100.22",
                              "443");
            });
        }
        if (n % 3 == 0) {
            r.serie(n * 60.0 + 29, 180, 1, [&](int) {
                return uscita(app("/usr/bin/backup-agent"), "upload.archivio-remoto.example",
                              "198.51.100.23", "443");
            });
        }
    }
}

void Scenario::attacchiDaFuori(Raccolta& r, double base) {
    r.serie(base + 20, 1, 12,
            [&](int i) { return entrata("198.51.100.77", std::to_string(20 + i * 7)); });
    r.serie(base + 40, 2, 8, [&](int) { return entrata("198.51.100.78", "22"); });
}

void Scenario::abusiRumorosi(Raccolta& r, double base, int k) {
    r.serie(base + 60, 0.5, 35, [&](int i) {
        auto f = uscita(app("/usr/bin/iodine"),
                        "x" + std::to_string(caso_() % 100000 + i) + ".t.tunnel.example",
                        "192.0.2.53", "53", 17);
        f->domandaDns.emplace(*f->nome, 10);  // NULL records carry the tunnel's data
        return f;
    });
    r.serie(base + 90, 0.5, 45, [&](int i) {
        const std::string host =
            "pagina" + std::to_string(i) + ".sito" + std::to_string(k % 7) + ".example";
        return uscita(app("/usr/bin/crawler"), host, indirizzoDi(host), "443");
    });
    r.serie(base + 120, 0.5, 12, [&](int i) {
        const std::string ip = "203.0.113." + std::to_string(100 + i);
        return uscita(app("/tmp/.cache/scanner"), ip, ip, "5900");
    });
    r.serie(base + 135, 1, 1, [&](int) {
        return uscita(app("/usr/bin/nc"), "198.51.100.44", "198.51.100.44", "4444");
    });
    r.serie(base + 140, 0.2, 100, [&](int) {
        return uscita(app("/usr/bin/hping3"), "198.51.100.45", "198.51.100.45", "9999", 17);
    });
}

void Scenario::destinazioniSospette(Raccolta& r, double base) {
    r.serie(base + 170, 1, 1, [&](int) {
        return uscita(app("org.mozilla.firefox"), "xn--pypal-4ve.com", "203.0.113.55", "443");
    });
    r.serie(base + 175, 2, 4, [&](int i) {
        const std::string ip = "198.51.100." + std::to_string(60 + i);
        return uscita(app("/home/utente/.cache/aggiornatore"), ip, ip, "8443");
    });
    r.serie(base + 190, 1, 1, [&](int) {
        return uscita(app("/usr/bin/python3.11"), "cdn-static-update.example", "203.0.113.66",
                      "443");
    });
    r.serie(base + 200, 1, 1, [&](int) {
        return uscita(app("/home/utente/.local/bin/relay"), "203.0.113.80", "203.0.113.80", "443",
                      17);
    });
    r.serie(base + 210, 1, 10, [&](int i) {
        const std::string ip = "192.168.1." + std::to_string(20 + i);
        return uscita(app("/usr/bin/smbclient"), ip, ip, "445");
    });
    r.serie(base + 230, 2, 6, [&](int) {
        std::string nome;
        for (int c = 0; c < 14; ++c) nome.push_back("bcdfghjklmnpqrstvwxz"[caso_() % 20]);
        nome += ".com";
        return uscita(app("/tmp/.cache/dga"), nome, indirizzoDi(nome), "443");
    });
    r.serie(base + 250, 5, 3, [&](int) {
        return uscita(app("/opt/nuovo-editor/editor"), "api.nuovo-editor.example", "203.0.113.90",
                      "443");
    });
}

std::vector<std::shared_ptr<FlussoSimulato>> Scenario::flussi(double da, double a, double sfondo) {
    Programmati tutti;
    episodi(da, a, tutti);
    // Ordinary traffic, evenly spread: a fixed count per whole second of the scenario.
    const auto quanti = [&](double t) { return static_cast<long>(std::floor(t * sfondo)); };
    for (long n = quanti(da); n < quanti(a); ++n) {
        const auto& abituale = abituali()[caso_() % abituali().size()];
        const std::string host = abituale.host[caso_() % abituale.host.size()];
        const bool risolto = host.find_first_not_of("0123456789.") == std::string::npos;
        const std::string ip = risolto ? host : indirizzoDi(host);
        int protocollo = abituale.protocollo;
        if (std::string_view(abituale.firma) == "org.mozilla.firefox" && caso_() % 5 == 0)
            protocollo = 17;
        tutti.emplace_back(static_cast<double>(n) / sfondo,
                           uscita(app(abituale.firma), host, ip, abituale.porta, protocollo));
    }
    std::stable_sort(tutti.begin(), tutti.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    std::vector<std::shared_ptr<FlussoSimulato>> risultato;
    risultato.reserve(tutti.size());
    for (auto& [t, f] : tutti) risultato.push_back(std::move(f));
    return risultato;
}

StatoRegole Scenario::regoleDimostrative() {
    StatoRegole stato;
    stato.impostazioni.quarantenaAttiva = true;
    stato.impostazioni.bloccaTracker = true;
    stato.impostazioni.avvisaAnomalie = true;
    Regola browser;
    browser.firmaApp = "org.mozilla.firefox";
    browser.nomeApp = "Firefox";
    browser.azione = AzioneRegola::consenti;
    Regola telemetria;
    telemetria.firmaApp = "/usr/bin/telemetry-agent";
    telemetria.nomeApp = "telemetry-agent";
    telemetria.azione = AzioneRegola::blocca;
    Regola notturno;
    notturno.firmaApp = "/usr/bin/backup-agent";
    notturno.nomeApp = "backup-agent";
    notturno.azione = AzioneRegola::consenti;
    notturno.fascia = FasciaOraria{1320, 420};
    stato.regole = {browser, telemetria, notturno};
    stato.regoleDominio.push_back({Uuid::genera(), "repubblica.it", AzioneRegola::blocca, true});
    return stato;
}

PrimeViste Scenario::primeVisteDimostrative(Data adesso) {
    PrimeViste viste;
    for (const Abituale& a : abituali()) viste.emplace(a.firma, adesso.piùSecondi(-30 * 86400.0));
    for (const char* firma :
         {"/usr/bin/telemetry-agent", "/usr/bin/syncd", "/usr/bin/backup-agent"}) {
        viste.emplace(firma, adesso.piùSecondi(-30 * 86400.0));
    }
    return viste;
}

json::Abitudini Scenario::abitudiniDimostrative() {
    json::Abitudini abitudini;
    for (const Abituale& a : abituali()) {
        for (const char* host : a.host) {
            if (std::string dominio = dominioDi(host); !dominio.empty()) {
                abitudini[a.firma].insert(std::move(dominio));
            }
        }
    }
    return abitudini;
}

std::string Scenario::elencoC2Dimostrativo() {
    std::string testo =
        "# Simulated command-and-control list: documentation addresses only (RFC 5737).\n";
    testo += "203.0.113.66\n";
    for (const char* rete : {"192.0.2.", "198.51.100.", "203.0.113."}) {
        for (int i = 200; i < 220; ++i) testo += rete + std::to_string(i) + "\n";
    }
    return testo;
}

}  // namespace ostrale
