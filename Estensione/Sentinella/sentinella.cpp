// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Sentinella/sentinella.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "Condiviso/rete-locale.h"
#include "Condiviso/sistema.h"
#include "Condiviso/testo.h"

namespace ostrale {
namespace {

using sentinella::inFinestra;

constexpr double minuto = 60;
constexpr double dieciMinuti = 600;
constexpr double seiOre = 21600;
constexpr double unGiorno = 86400;

template <std::size_t N>
bool èIn(const std::array<std::string_view, N>& insieme, std::string_view valore) {
    for (std::string_view v : insieme) {
        if (v == valore) return true;
    }
    return false;
}

constexpr std::array<std::string_view, 11> porteSensibili{
    "21", "22", "23", "88", "445", "548", "3306", "3389", "5432", "5900", "6379"};
constexpr std::array<std::string_view, 5> porteMalfamate{"23", "6667", "3333", "4444", "14444"};
constexpr std::array<std::string_view, 12> porteComuni{"80",  "443", "53",  "123",  "22",  "993",
                                                       "995", "587", "465", "5223", "500", "4500"};
constexpr std::array<std::string_view, 7> porteLaterali{"445", "22",   "5900", "3389",
                                                        "548", "3306", "5432"};

// Tunnels, VPNs and mesh networks: their traffic is everyone's traffic, so its volume and shape
// say nothing about the client itself. Prefixes of identities: signing identifiers and Flatpak
// ids, and the executables of the Linux clients and of NetworkManager's VPN plugins.
constexpr std::string_view prefissiInfrastruttura[] = {
    "io.tailscale.", "com.tailscale.", "net.openvpn.", "com.wireguard.", "org.wireguard.",
    "com.cloudflare.", "ch.protonvpn.", "com.nordvpn.", "com.expressvpn.",
    "com.privateinternetaccess.", "com.protonvpn.", "com.zerotier.", "net.mullvad.", "com.mullvad.",
    "com.github.slackhq.nebula",
    // Tailscale, WireGuard's tools, OpenVPN and the other classic clients.
    "/usr/sbin/tailscaled", "/usr/bin/tailscale", "/usr/bin/wireguard-go", "/usr/bin/wg",
    "/usr/sbin/openvpn", "/usr/bin/openvpn", "/usr/sbin/openconnect", "/usr/bin/openconnect",
    "/usr/sbin/vpnc", "/usr/lib/ipsec/charon", "/usr/libexec/ipsec/charon", "/usr/sbin/charon",
    "/usr/sbin/xl2tpd", "/usr/sbin/pppd",
    // NetworkManager's VPN plugins (one service per kind of VPN).
    "/usr/lib/NetworkManager/nm-openvpn", "/usr/lib/NetworkManager/nm-openconnect",
    "/usr/lib/NetworkManager/nm-vpnc", "/usr/lib/NetworkManager/nm-l2tp",
    "/usr/lib/NetworkManager/nm-pptp", "/usr/lib/NetworkManager/nm-strongswan",
    "/usr/lib/NetworkManager/nm-fortisslvpn", "/usr/lib/NetworkManager/nm-sstp",
    "/usr/libexec/nm-openvpn", "/usr/libexec/nm-openconnect", "/usr/libexec/nm-vpnc",
    "/usr/libexec/nm-l2tp",
    // Cloudflare's tunnel and WARP, ZeroTier, Nebula, and the vendors' daemons.
    "/usr/bin/cloudflared", "/usr/local/bin/cloudflared", "/usr/bin/warp-svc",
    "/usr/sbin/zerotier-one", "/usr/bin/nebula", "/usr/local/bin/nebula", "/opt/Mullvad VPN/",
    "/usr/bin/mullvad-daemon", "/usr/bin/protonvpn", "/usr/sbin/nordvpnd", "/usr/sbin/expressvpnd",
    "/opt/piavpn/bin/"};

constexpr std::array<std::string_view, 33> browsers{
    // Signing identifiers (also the Flatpak ids of most of these browsers).
    "com.apple.WebKit.Networking", "com.google.Chrome", "org.mozilla.firefox",
    "com.microsoft.edgemac", "com.brave.Browser", "com.operasoftware.Opera", "com.vivaldi.Vivaldi",
    "company.thebrowser.Browser", "org.chromium.Chromium",
    // Flatpak ids that differ, and Snap names.
    "com.microsoft.Edge", "org.gnome.Epiphany", "com.opera.Opera", "firefox", "chromium",
    // Executables of Debian's and the vendors' packages.
    "/usr/lib/firefox-esr/firefox-esr", "/usr/lib/firefox/firefox", "/usr/lib/chromium/chromium",
    "/opt/google/chrome/chrome", "/opt/brave.com/brave/brave", "/opt/vivaldi/vivaldi-bin",
    "/opt/microsoft/msedge/msedge", "/usr/lib/x86_64-linux-gnu/opera/opera",
    "/usr/lib/aarch64-linux-gnu/opera/opera", "/usr/bin/epiphany-browser", "/usr/bin/epiphany",
    "/usr/bin/qutebrowser", "/usr/bin/falkon", "/usr/bin/konqueror",
    // The network process of WebKitGTK, which makes the connections of its browsers.
    "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.0/WebKitNetworkProcess",
    "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/WebKitNetworkProcess",
    "/usr/lib/x86_64-linux-gnu/webkitgtk-6.0/WebKitNetworkProcess",
    "/usr/lib/aarch64-linux-gnu/webkit2gtk-4.1/WebKitNetworkProcess",
    "/usr/lib/aarch64-linux-gnu/webkitgtk-6.0/WebKitNetworkProcess"};

// Paths only: the daemon names these paths only for the root-owned files there, while any user
// may install a sandboxed application under whatever id they like.
constexpr std::array<std::string_view, 4> resolverDiSistema{
    "/usr/lib/systemd/systemd-resolved", "/usr/sbin/dnsmasq", "/usr/sbin/unbound",
    "/usr/sbin/avahi-daemon"};

std::string unisci(std::string_view a, std::string_view b) {
    std::string chiave;
    chiave.reserve(a.size() + 1 + b.size());
    chiave.append(a).append("|").append(b);
    return chiave;
}

std::int64_t fascia(Data adesso, double larghezza) {
    return static_cast<std::int64_t>(std::trunc(adesso.secondiUnix() / larghezza));
}

template <typename Mappa>
auto& voce(Mappa& mappa, std::string_view chiave) {
    auto it = mappa.find(chiave);
    if (it == mappa.end()) it = mappa.try_emplace(std::string(chiave)).first;
    return it->second;
}

template <typename Mappa>
bool sanzioneAttiva(Mappa& mappa, std::string_view chiave, Data adesso) {
    const auto it = mappa.find(chiave);
    if (it == mappa.end()) return false;
    if (it->second < adesso) {
        mappa.erase(it);
        return false;
    }
    return true;
}

template <typename Mappa>
void svuotaOltre(Mappa& mappa, std::size_t limite) {
    if (mappa.size() > limite) Mappa().swap(mappa);
}

}  // namespace

bool Sentinella::èBrowser(std::string_view firma) {
    return èIn(browsers, firma) || testo::iniziaCon(firma, "com.google.Chrome");
}

bool Sentinella::èPortaMalfamata(std::string_view porta) {
    return èIn(porteMalfamate, porta);
}

bool Sentinella::èResolverDiSistema(std::string_view firma) {
    return èIn(resolverDiSistema, firma);
}

bool Sentinella::èInfrastruttura(std::string_view firma) {
    for (std::string_view prefisso : prefissiInfrastruttura) {
        if (testo::iniziaCon(firma, prefisso)) return true;
    }
    return false;
}

bool Sentinella::fuoriAbitudine(const Rilevazione& r, std::string_view firma, bool appAffermata,
                                bool destinazioneAbituale) {
    if (r.bloccata) return false;
    switch (r.tipo) {
        case TipoAttacco::beaconing:
        case TipoAttacco::canalePersistente:
        case TipoAttacco::esfiltrazioneLenta:
        case TipoAttacco::protocolloAnomalo:
        case TipoAttacco::raffica:
            break;
        default:
            return true;
    }
    // "sconosciuta", or a path the daemon could not vouch for ("?" before it).
    const bool verificata = firma != "sconosciuta" && !testo::iniziaCon(firma, "?");
    if (!verificata || !appAffermata) return true;
    if (r.tipo == TipoAttacco::raffica && èBrowser(firma)) return false;
    return !destinazioneAbituale;
}

bool Sentinella::èBloccato(std::string_view ip, Data adesso) {
    return sanzioneAttiva(bloccoIP_, ip, adesso);
}

bool Sentinella::èContenuta(std::string_view firma, Data adesso) {
    return sanzioneAttiva(contenimentoApp_, firma, adesso);
}

std::string_view Sentinella::componi(std::string_view a, std::string_view b) {
    chiave_.assign(a).append("|").append(b);
    return chiave_;
}

bool Sentinella::segnalabile(TipoAttacco tipo, std::string_view soggetto, Data adesso,
                             double pausa) {
    std::string chiave = unisci(valoreGrezzo(tipo), soggetto);
    const auto [it, nuova] = giàSegnalato_.try_emplace(std::move(chiave), adesso);
    if (nuova) return true;
    if (adesso.secondiDa(it->second) < pausa) return false;
    it->second = adesso;
    return true;
}

void Sentinella::blocca(std::string_view ip, Data adesso) {
    voce(bloccoIP_, ip) = adesso.piùSecondi(durataBlocco);
}

void Sentinella::contieniApp(std::string_view firma, Data adesso) {
    voce(contenimentoApp_, firma) = adesso.piùSecondi(durataBlocco);
}

void Sentinella::contieni(Data adesso) {
    // Sanctions end after ten minutes: their tables are swept of the ended ones whenever they
    // have doubled since the last sweep, so a source that keeps changing address (IPv6 makes it
    // cheap) costs at most twice what is in force.
    for (auto* tabella : {&bloccoIP_, &contenimentoApp_}) {
        std::size_t& soglia = tabella == &bloccoIP_ ? sogliaBloccoIP_ : sogliaContenimento_;
        if (tabella->size() < soglia) continue;
        std::erase_if(*tabella, [&](const auto& voce) { return voce.second < adesso; });
        soglia = std::max<std::size_t>(minimoPrimaDiSpazzare, 2 * tabella->size());
    }
    svuotaOltre(porteDaIP_, 2000);
    svuotaOltre(colpiServizio_, 2000);
    svuotaOltre(hostDaApp_, 500);
    svuotaOltre(dnsDaApp_, 500);
    svuotaOltre(tempiDestinazione_, 3000);
    svuotaOltre(hostStraniDaApp_, 500);
    svuotaOltre(scansioniUscita_, 2000);
    svuotaOltre(burstUDP_, 2000);
    svuotaOltre(ipDirettiDaApp_, 500);
    svuotaOltre(presenze_, 2000);
    svuotaOltre(cumulati_, 2000);
    svuotaOltre(visiteLan_, 500);
    svuotaOltre(giàSegnalato_, 2000);
}

std::vector<Sentinella::Rilevazione> Sentinella::osserva(const Flusso& f) {
    std::vector<Rilevazione> esito;
    osservaSanzioni(f, esito);
    osservaResto(f, esito);
    return esito;
}

void Sentinella::osservaSanzioni(const Flusso& f, std::vector<Rilevazione>& esito) {
    contieni(f.adesso);
    if (f.direzione == DirezioneFlusso::entrata && f.ip) {
        scansione(f, esito);
        forzaBruta(f, esito);
        return;
    }
    const bool contenibile = !èDiSistema(f.firma) && f.firma != "sconosciuta" &&
                             !f.haRegolaConsenti && !èInfrastruttura(f.firma);
    raffica(f, contenibile, esito);
    scansioneUscita(f, contenibile, esito);
    floodUDP(f, contenibile, esito);
}

namespace {

// The order in which an outbound flow's findings are reported.
int ordine(TipoAttacco tipo) {
    constexpr TipoAttacco sequenza[] = {
        TipoAttacco::raffica,           TipoAttacco::tunnelDNS,
        TipoAttacco::beaconing,         TipoAttacco::dominiSospetti,
        TipoAttacco::scansioneUscita,   TipoAttacco::portaMalfamata,
        TipoAttacco::floodUDP,          TipoAttacco::dominioContraffatto,
        TipoAttacco::ipDiretto,         TipoAttacco::c2Noto,
        TipoAttacco::canalePersistente, TipoAttacco::esfiltrazioneLenta,
        TipoAttacco::protocolloAnomalo};
    for (int i = 0; i < static_cast<int>(std::size(sequenza)); ++i) {
        if (sequenza[i] == tipo) return i;
    }
    return static_cast<int>(std::size(sequenza));
}

}  // namespace

void Sentinella::osservaResto(const Flusso& f, std::vector<Rilevazione>& esito) {
    if (f.direzione == DirezioneFlusso::entrata && f.ip) return;
    const bool diSistema = èDiSistema(f.firma);
    // The destination key (application "|" domain) of the behavioural detectors.
    const std::string destinazione =
        diSistema || f.dominio.empty() ? std::string() : unisci(f.firma, f.dominio);
    const std::size_t sanzioni = esito.size();
    if (!diSistema) {
        beaconing(f, destinazione, esito);
        dominiSospetti(f, esito);
    }
    portaMalfamata(f, esito);
    dominioContraffatto(f, esito);
    ipDiretto(f, diSistema, esito);
    c2Noto(f, esito);
    if (!diSistema && !èInfrastruttura(f.firma) && !f.dominio.empty()) {
        canalePersistente(f, destinazione, esito);
        esfiltrazioneLenta(f, destinazione, esito);
    }
    protocolloAnomalo(f, diSistema, esito);
    if (sanzioni > 0 && esito.size() > sanzioni) {
        std::stable_sort(esito.begin(), esito.end(),
                         [](const Rilevazione& a, const Rilevazione& b) {
                             return ordine(a.tipo) < ordine(b.tipo);
                         });
    }
}

// ---- inbound ----

void Sentinella::scansione(const Flusso& f, std::vector<Rilevazione>& esito) {
    const std::string_view ip = *f.ip;
    if (voce(porteDaIP_, ip).aggiorna(f.adesso, minuto, f.portaLocale, 10) < 10) return;
    if (!segnalabile(TipoAttacco::scansione, ip, f.adesso)) return;
    blocca(ip, f.adesso);
    esito.push_back({TipoAttacco::scansione, std::string(ip), true});
}

void Sentinella::forzaBruta(const Flusso& f, std::vector<Rilevazione>& esito) {
    if (!èIn(porteSensibili, f.portaLocale)) return;
    const std::string_view ip = *f.ip;
    if (voce(colpiServizio_, componi(ip, f.portaLocale)).aggiorna(f.adesso, minuto, 6) < 6) return;
    if (!segnalabile(TipoAttacco::forzaBruta, ip, f.adesso)) return;
    blocca(ip, f.adesso);
    esito.push_back({TipoAttacco::forzaBruta, std::string(ip), true});
}

// ---- volume and destination ----

void Sentinella::raffica(const Flusso& f, bool contenibile, std::vector<Rilevazione>& esito) {
    // An ordinary news page opens forty hosts and more in a minute: a browser is held to what
    // only a crawl reaches, and then only reported.
    const bool browser = èBrowser(f.firma);
    const std::size_t soglia = browser ? sogliaRafficaBrowser : 40;
    if (voce(hostDaApp_, f.firma).aggiorna(f.adesso, minuto, f.host, soglia) < soglia) return;
    if (!segnalabile(TipoAttacco::raffica, f.firma, f.adesso)) return;
    const bool contieni = contenibile && !browser;
    if (contieni) contieniApp(f.firma, f.adesso);
    esito.push_back({TipoAttacco::raffica, std::string(f.firma), contieni});
}

bool Sentinella::portaDati(std::string_view nome, std::uint16_t tipo) {
    // Types whose answers carry arbitrary bytes, or a name of the server's choosing.
    switch (tipo) {
        case 5:    // CNAME
        case 10:   // NULL
        case 13:   // HINFO
        case 15:   // MX
        case 16:   // TXT
        case 33:   // SRV
        case 99:   // SPF
        case 255:  // ANY
            return true;
        default:
            break;
    }
    if (tipo >= 65280 && tipo <= 65534) return true;  // private use
    // Data sent up in the question itself: a very long name or label. Ordinary names, CDN and
    // advertising hashes included, stay well below both.
    if (nome.size() >= 120) return true;
    std::size_t etichetta = 0;
    for (const char c : nome) {
        etichetta = c == '.' ? 0 : etichetta + 1;
        if (etichetta >= 50) return true;
    }
    return false;
}

std::optional<Sentinella::Rilevazione> Sentinella::osservaDomandaDns(const DomandaDns& d) {
    contieni(d.adesso);
    if (èResolverDiSistema(d.firma) || !portaDati(d.nome, d.tipo)) return std::nullopt;
    if (voce(dnsDaApp_, d.firma).aggiorna(d.adesso, minuto, 30) < 30) return std::nullopt;
    if (!segnalabile(TipoAttacco::tunnelDNS, d.firma, d.adesso)) return std::nullopt;
    const bool contenibile = !èDiSistema(d.firma) && d.firma != "sconosciuta" &&
                             !d.haRegolaConsenti && !èInfrastruttura(d.firma);
    if (contenibile) contieniApp(d.firma, d.adesso);
    return Rilevazione{TipoAttacco::tunnelDNS, std::string(d.firma), contenibile};
}

void Sentinella::scansioneUscita(const Flusso& f, bool contenibile,
                                 std::vector<Rilevazione>& esito) {
    if (!f.ip || èIn(porteComuni, f.portaRemota)) return;
    const std::string_view chiave = componi(f.firma, f.portaRemota);
    if (voce(scansioniUscita_, chiave).aggiorna(f.adesso, minuto, *f.ip, 10) < 10) return;
    if (!segnalabile(TipoAttacco::scansioneUscita, chiave, f.adesso)) return;
    if (contenibile) contieniApp(f.firma, f.adesso);
    esito.push_back({TipoAttacco::scansioneUscita, std::string(f.firma), contenibile});
}

void Sentinella::portaMalfamata(const Flusso& f, std::vector<Rilevazione>& esito) {
    const bool malfamata = èIn(porteMalfamate, f.portaRemota) ||
                           (f.portaRemota == "445" && f.ip && !ReteLocale::èLocale(*f.ip));
    if (!malfamata) return;
    if (!segnalabile(TipoAttacco::portaMalfamata, unisci(f.firma, f.portaRemota), f.adesso)) return;
    esito.push_back({TipoAttacco::portaMalfamata, std::string(f.firma), true});
}

void Sentinella::floodUDP(const Flusso& f, bool contenibile, std::vector<Rilevazione>& esito) {
    if (f.protocollo != "UDP" || f.portaRemota == "53" || !f.ip || ReteLocale::èLocale(*f.ip)) {
        return;
    }
    const std::string_view chiave = componi(f.firma, f.host);
    if (voce(burstUDP_, chiave).aggiorna(f.adesso, minuto, 80) < 80) return;
    if (!segnalabile(TipoAttacco::floodUDP, chiave, f.adesso)) return;
    if (contenibile) contieniApp(f.firma, f.adesso);
    esito.push_back({TipoAttacco::floodUDP, std::string(f.firma), contenibile});
}

void Sentinella::c2Noto(const Flusso& f, std::vector<Rilevazione>& esito) {
    if (!f.ip || f.indirizziC2 == nullptr) return;
    if (f.indirizziC2->empty() || !f.indirizziC2->contains(*f.ip)) return;
    if (!segnalabile(TipoAttacco::c2Noto, *f.ip, f.adesso)) return;
    esito.push_back({TipoAttacco::c2Noto, std::string(f.firma), true});
}

// ---- behaviour ----

void Sentinella::beaconing(const Flusso& f, const std::string& destinazione,
                           std::vector<Rilevazione>& esito) {
    if (f.dominio.empty()) return;
    std::vector<Data>& tempi = voce(tempiDestinazione_, destinazione);
    if (tempi.empty() || f.adesso.secondiDa(tempi.back()) >= 5) {
        tempi.push_back(f.adesso);
        if (tempi.size() > 10) tempi.erase(tempi.begin(), tempi.end() - 10);
    }
    if (tempi.size() != 10 || !èRitmoRegolare(tempi)) return;
    // One report per application every ten minutes, and per destination every six hours: a
    // timer does not change its mind, and a mail client polling all day would otherwise fill
    // the archive with the same finding.
    if (const auto it =
            giàSegnalato_.find(componi(valoreGrezzo(TipoAttacco::beaconing), destinazione));
        it != giàSegnalato_.end() && f.adesso.secondiDa(it->second) < seiOre) {
        return;
    }
    if (!segnalabile(TipoAttacco::beaconing, f.firma, f.adesso)) return;
    voce(giàSegnalato_, componi(valoreGrezzo(TipoAttacco::beaconing), destinazione)) = f.adesso;
    tempi.erase(tempi.begin(), tempi.end() - 2);
    esito.push_back({TipoAttacco::beaconing, std::string(f.firma), false});
}

void Sentinella::dominiSospetti(const Flusso& f, std::vector<Rilevazione>& esito) {
    if (!nomeSospetto(f.host)) return;
    if (voce(hostStraniDaApp_, f.firma).aggiorna(f.adesso, 300, f.host) < 5) return;
    if (!segnalabile(TipoAttacco::dominiSospetti, f.firma, f.adesso)) return;
    esito.push_back({TipoAttacco::dominiSospetti, std::string(f.firma), false});
}

void Sentinella::dominioContraffatto(const Flusso& f, std::vector<Rilevazione>& esito) {
    // A label (a piece between dots) that begins with "xn--", in any case.
    bool contraffatto = false;
    const std::string_view h = f.host;
    for (std::size_t inizio = 0; inizio < h.size() && !contraffatto;) {
        const std::size_t fine = std::min(h.find('.', inizio), h.size());
        contraffatto = fine - inizio >= 4 && (h[inizio] | 0x20) == 'x' &&
                       (h[inizio + 1] | 0x20) == 'n' && h[inizio + 2] == '-' &&
                       h[inizio + 3] == '-';
        inizio = fine + 1;
    }
    if (!contraffatto) return;
    if (!segnalabile(TipoAttacco::dominioContraffatto, f.host, f.adesso)) return;
    esito.push_back({TipoAttacco::dominioContraffatto, std::string(f.firma), false});
}

void Sentinella::ipDiretto(const Flusso& f, bool diSistema, std::vector<Rilevazione>& esito) {
    if (!f.appNuova || diSistema || f.firma == "sconosciuta" || !f.ip || f.host != *f.ip ||
        ReteLocale::èLocale(*f.ip)) {
        return;
    }
    if (voce(ipDirettiDaApp_, f.firma).aggiorna(f.adesso, dieciMinuti, *f.ip) < 3) return;
    if (!segnalabile(TipoAttacco::ipDiretto, f.firma, f.adesso)) return;
    esito.push_back({TipoAttacco::ipDiretto, std::string(f.firma), false});
}

void Sentinella::canalePersistente(const Flusso& f, const std::string& destinazione,
                                   std::vector<Rilevazione>& esito) {
    if (èBrowser(f.firma)) return;
    std::set<std::int64_t>& fasce = voce(presenze_, destinazione);
    const std::int64_t attuale = fascia(f.adesso, 600);
    fasce.insert(attuale);
    std::erase_if(fasce, [&](std::int64_t s) { return attuale - s > 35; });
    if (fasce.size() < 30) return;
    if (!segnalabile(TipoAttacco::canalePersistente, destinazione, f.adesso, seiOre)) return;
    esito.push_back({TipoAttacco::canalePersistente, std::string(f.firma), false});
}

void Sentinella::esfiltrazioneLenta(const Flusso& f, const std::string& destinazione,
                                    std::vector<Rilevazione>& esito) {
    std::map<std::int64_t, std::int64_t>& conteggi = voce(cumulati_, destinazione);
    const std::int64_t attuale = fascia(f.adesso, 3600);
    ++conteggi[attuale];
    std::erase_if(conteggi, [&](const auto& coppia) { return attuale - coppia.first > 23; });
    std::int64_t totale = 0;
    for (const auto& [ora, quanti] : conteggi) totale += quanti;
    if (totale < 150 || conteggi.size() < 8) return;
    if (!segnalabile(TipoAttacco::esfiltrazioneLenta, destinazione, f.adesso, unGiorno)) return;
    esito.push_back({TipoAttacco::esfiltrazioneLenta, std::string(f.firma), false});
}

void Sentinella::protocolloAnomalo(const Flusso& f, bool diSistema,
                                   std::vector<Rilevazione>& esito) {
    if (f.protocollo != "UDP" || f.portaRemota != "443" || diSistema) return;
    if (èBrowser(f.firma) || èInfrastruttura(f.firma) || f.firma == "sconosciuta") return;
    if (!segnalabile(TipoAttacco::protocolloAnomalo, f.firma, f.adesso, seiOre)) return;
    esito.push_back({TipoAttacco::protocolloAnomalo, std::string(f.firma), false});
}

// ---- local network ----

std::vector<Sentinella::Rilevazione> Sentinella::osservaLan(Data adesso, std::string_view firma,
                                                            std::string_view ip,
                                                            std::string_view portaRemota) {
    if (!èIn(porteLaterali, portaRemota)) return {};
    if (èDiSistema(firma) || firma == "sconosciuta" || èInfrastruttura(firma)) return {};
    if (voce(visiteLan_, firma).aggiorna(adesso, dieciMinuti, ip) < 8) return {};
    if (!segnalabile(TipoAttacco::lateraleLAN, firma, adesso)) return {};
    return {{TipoAttacco::lateraleLAN, std::string(firma), false}};
}

// ---- diagnostics ----

Sentinella::Dimensioni Sentinella::dimensioni() const {
    return {porteDaIP_.size(),       colpiServizio_.size(),     hostDaApp_.size(),
            dnsDaApp_.size(),        tempiDestinazione_.size(), hostStraniDaApp_.size(),
            scansioniUscita_.size(), burstUDP_.size(),          ipDirettiDaApp_.size(),
            presenze_.size(),        cumulati_.size(),          visiteLan_.size(),
            giàSegnalato_.size(),    bloccoIP_.size(),          contenimentoApp_.size()};
}

std::vector<Data> Sentinella::tempiDestinazione(std::string_view chiave) const {
    const auto it = tempiDestinazione_.find(chiave);
    return it == tempiDestinazione_.end() ? std::vector<Data>{} : it->second;
}

}  // namespace ostrale
