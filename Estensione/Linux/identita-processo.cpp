#include "Estensione/Linux/identita-processo.h"

#include <dirent.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/testo.h"

namespace ostrale {
namespace {

std::optional<ProprietarioSocket> interroga(int famiglia, int protocollo,
                                            const std::uint8_t* origine, std::uint16_t portaOrigine,
                                            const std::uint8_t* destinazione,
                                            std::uint16_t portaDestinazione) {
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0) return std::nullopt;
    struct {
        nlmsghdr intestazione;
        inet_diag_req_v2 richiesta;
    } messaggio{};
    messaggio.intestazione.nlmsg_len = sizeof messaggio;
    messaggio.intestazione.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    messaggio.intestazione.nlmsg_flags = NLM_F_REQUEST;
    messaggio.richiesta.sdiag_family = static_cast<std::uint8_t>(famiglia);
    messaggio.richiesta.sdiag_protocol = static_cast<std::uint8_t>(protocollo);
    messaggio.richiesta.idiag_states = ~0u;
    messaggio.richiesta.id.idiag_sport = htons(portaOrigine);
    messaggio.richiesta.id.idiag_dport = htons(portaDestinazione);
    const std::size_t lunghezza = famiglia == AF_INET ? 4 : 16;
    std::memcpy(messaggio.richiesta.id.idiag_src, origine, lunghezza);
    std::memcpy(messaggio.richiesta.id.idiag_dst, destinazione, lunghezza);
    messaggio.richiesta.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    messaggio.richiesta.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    timeval attesa{0, 200000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &attesa, sizeof attesa);
    std::optional<ProprietarioSocket> risultato;
    if (::sendto(fd, &messaggio, sizeof messaggio, 0, reinterpret_cast<sockaddr*>(&kernel),
                 sizeof kernel) == static_cast<ssize_t>(sizeof messaggio)) {
        alignas(nlmsghdr) char buffer[8192];
        ssize_t ricevuti = ::recv(fd, buffer, sizeof buffer, 0);
        if (ricevuti > 0) {
            auto resto = static_cast<unsigned>(ricevuti);
            for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, resto);
                 h = NLMSG_NEXT(h, resto)) {
                if (h->nlmsg_type != SOCK_DIAG_BY_FAMILY) break;
                if (h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg))) break;
                const auto* m = static_cast<const inet_diag_msg*>(NLMSG_DATA(h));
                risultato = ProprietarioSocket{m->idiag_uid, m->idiag_inode};
                break;
            }
        }
    }
    ::close(fd);
    if (risultato && risultato->inode == 0) return std::nullopt;  // a socket in TIME_WAIT
    return risultato;
}

std::string leggiTesto(const std::string& percorso) {
    std::ifstream f(percorso, std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(f)), {});
    if (s.size() > (1u << 20)) s.resize(1u << 20);
    return s;
}

}  // namespace

std::optional<ProprietarioSocket> cercaSocket(const TuplaPacchetto& t, bool uscita) {
    if (!t.conPorte || (t.protocollo != 6 && t.protocollo != 17)) return std::nullopt;
    const int famiglia = t.famiglia == 4 ? AF_INET : AF_INET6;
    const std::uint8_t* locale = uscita ? t.origineGrezza : t.destinazioneGrezza;
    const std::uint8_t* remoto = uscita ? t.destinazioneGrezza : t.origineGrezza;
    const std::uint16_t portaLocale = uscita ? t.portaOrigine : t.portaDestinazione;
    const std::uint16_t portaRemota = uscita ? t.portaDestinazione : t.portaOrigine;
    const std::uint8_t zero[16] = {};
    // UDP sockets are found with the remote end as source and the local one as destination.
    auto prova = [&](const std::uint8_t* indirizzoLocale, const std::uint8_t* indirizzoRemoto,
                     std::uint16_t remota) -> std::optional<ProprietarioSocket> {
        if (t.protocollo == 17) {
            return interroga(famiglia, 17, indirizzoRemoto, remota, indirizzoLocale, portaLocale);
        }
        return interroga(famiglia, 6, indirizzoLocale, portaLocale, indirizzoRemoto, remota);
    };
    if (auto trovato = prova(locale, remoto, portaRemota)) return trovato;
    // A listening or unconnected socket: any remote end, then any local address.
    if (auto trovato = prova(locale, zero, 0)) return trovato;
    if (auto trovato = prova(zero, zero, 0)) return trovato;
    if (t.famiglia == 4) {
        // IPv4 flows of dual-stack IPv6 sockets.
        std::uint8_t mappatoLocale[16] = {}, mappatoRemoto[16] = {};
        mappatoLocale[10] = mappatoLocale[11] = mappatoRemoto[10] = mappatoRemoto[11] = 0xFF;
        std::memcpy(mappatoLocale + 12, locale, 4);
        std::memcpy(mappatoRemoto + 12, remoto, 4);
        TuplaPacchetto sei = t;
        sei.famiglia = 6;
        if (uscita) {
            std::memcpy(sei.origineGrezza, mappatoLocale, 16);
            std::memcpy(sei.destinazioneGrezza, mappatoRemoto, 16);
        } else {
            std::memcpy(sei.origineGrezza, mappatoRemoto, 16);
            std::memcpy(sei.destinazioneGrezza, mappatoLocale, 16);
        }
        return cercaSocket(sei, uscita);
    }
    return std::nullopt;
}

std::optional<int> IndiceSocket::pid(std::uint64_t inode) {
    const auto adesso = std::chrono::steady_clock::now();
    {
        std::lock_guard blocco(mutex_);
        if (const auto it = noti_.find(inode); it != noti_.end()) {
            if (::access(("/proc/" + std::to_string(it->second)).c_str(), F_OK) == 0)
                return it->second;
            noti_.erase(it);
        }
        if (const auto it = assenti_.find(inode); it != assenti_.end()) {
            if (adesso - it->second < std::chrono::seconds(5)) return std::nullopt;
            assenti_.erase(it);
        }
    }
    std::vector<int> processi;
    if (DIR* d = ::opendir("/proc")) {
        while (const dirent* voce = ::readdir(d)) {
            const int pid = std::atoi(voce->d_name);
            if (pid > 0) processi.push_back(pid);
        }
        ::closedir(d);
    }
    // Newest first: the owner of a new flow is usually a recent process.
    std::sort(processi.rbegin(), processi.rend());
    const std::string cercato = "socket:[" + std::to_string(inode) + "]";
    std::unordered_map<std::uint64_t, int> visti;
    for (int pid : processi) {
        const std::string cartella = "/proc/" + std::to_string(pid) + "/fd";
        DIR* d = ::opendir(cartella.c_str());
        if (!d) continue;
        std::optional<int> trovato;
        while (const dirent* voce = ::readdir(d)) {
            char destinazione[64];
            const ssize_t n =
                ::readlinkat(::dirfd(d), voce->d_name, destinazione, sizeof destinazione - 1);
            if (n <= 8) continue;
            destinazione[n] = '\0';
            if (std::strncmp(destinazione, "socket:[", 8) != 0) continue;
            visti.emplace(std::strtoull(destinazione + 8, nullptr, 10), pid);
            if (cercato == destinazione) trovato = pid;
        }
        ::closedir(d);
        if (trovato) {
            std::lock_guard blocco(mutex_);
            if (noti_.size() > 65536) noti_.clear();
            noti_.insert(visti.begin(), visti.end());
            return trovato;
        }
    }
    std::lock_guard blocco(mutex_);
    if (assenti_.size() > 4096) assenti_.clear();
    assenti_[inode] = adesso;
    return std::nullopt;
}

std::optional<std::uint64_t> inizioProcesso(std::string_view stat) {
    // The command name is in parentheses and may hold spaces: fields follow the last ')'.
    const auto chiusa = stat.rfind(')');
    if (chiusa == std::string_view::npos) return std::nullopt;
    std::istringstream campi{std::string(stat.substr(chiusa + 1))};
    std::string campo;
    // After ')' come field 3 (state) onwards; the start time is field 22.
    for (int i = 3; i <= 22; ++i) {
        if (!(campi >> campo)) return std::nullopt;
    }
    char* fine = nullptr;
    const auto valore = std::strtoull(campo.c_str(), &fine, 10);
    if (fine == campo.c_str() || *fine != '\0') return std::nullopt;
    return valore;
}

namespace {

constexpr std::uint8_t marcaToken = 0x4C;

TokenApp componiToken(int pid, std::uint64_t inizio, std::uint32_t uid, std::uint64_t inode) {
    TokenApp t{};
    std::memcpy(t.data(), &pid, sizeof pid);
    std::memcpy(t.data() + 4, &inizio, sizeof inizio);
    std::memcpy(t.data() + 12, &uid, sizeof uid);
    std::memcpy(t.data() + 16, &inode, sizeof inode);
    t[31] = marcaToken;
    return t;
}

}  // namespace

std::optional<TokenApp> tokenDi(int pid, std::uint32_t uid) {
    const std::string base = "/proc/" + std::to_string(pid);
    const auto inizio = inizioProcesso(leggiTesto(base + "/stat"));
    struct stat eseguibile {};
    if (!inizio || ::stat((base + "/exe").c_str(), &eseguibile) != 0) return std::nullopt;
    return componiToken(pid, *inizio, uid, eseguibile.st_ino);
}

TokenApp tokenDi(const ProprietarioFlusso& p) {
    return componiToken(p.pid, p.inizio, p.uid, p.inode);
}

namespace {

// The length of the valid UTF-8 sequence at the start of `b`, or 0.
std::size_t sequenzaUtf8(std::string_view b) {
    const auto u = [&](std::size_t i) { return static_cast<unsigned char>(b[i]); };
    const unsigned char c = u(0);
    std::size_t n;
    unsigned char minimo = 0x80, massimo = 0xBF;  // bounds of the second byte
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) minimo = 0xA0;   // no overlong forms
        if (c == 0xED) massimo = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) minimo = 0x90;
        if (c == 0xF4) massimo = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (b.size() < n || u(1) < minimo || u(1) > massimo) return 0;
    for (std::size_t i = 2; i < n; ++i) {
        if (u(i) < 0x80 || u(i) > 0xBF) return 0;
    }
    return n;
}

std::uint64_t fnv1a(std::string_view testo) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : testo) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ull;
    }
    return h;
}

int valoreEsadecimale(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string identitàValida(std::string_view grezza) {
    static constexpr char cifre[] = "0123456789ABCDEF";
    std::string v;
    v.reserve(grezza.size());
    // Where each character of the result starts, for a cut that splits none.
    std::vector<std::size_t> confini;
    for (std::size_t i = 0; i < grezza.size();) {
        confini.push_back(v.size());
        const std::size_t n = sequenzaUtf8(grezza.substr(i));
        if (n == 0 || (grezza[i] == '\\' && i + 1 < grezza.size() && grezza[i + 1] == 'x')) {
            const auto c = static_cast<unsigned char>(grezza[i]);
            v.append("\\x").push_back(cifre[c >> 4]);
            v.push_back(cifre[c & 0xF]);
            ++i;
        } else {
            v.append(grezza.substr(i, n));
            i += n;
        }
    }
    if (v.size() <= lunghezzaMassimaIdentità) return v;
    char digest[18];
    std::snprintf(digest, sizeof digest, "#%016llx", static_cast<unsigned long long>(fnv1a(v)));
    const std::size_t spazio = lunghezzaMassimaIdentità - 17;
    std::size_t taglio = 0;
    for (const std::size_t c : confini) {
        if (c > spazio) break;
        taglio = c;
    }
    v.resize(taglio);
    return v + digest;
}

std::string identitàGrezza(std::string_view valida) {
    std::string g;
    g.reserve(valida.size());
    for (std::size_t i = 0; i < valida.size(); ++i) {
        if (valida[i] == '\\' && i + 3 < valida.size() && valida[i + 1] == 'x') {
            const int alto = valoreEsadecimale(valida[i + 2]);
            const int basso = valoreEsadecimale(valida[i + 3]);
            if (alto >= 0 && basso >= 0) {
                g.push_back(static_cast<char>(alto * 16 + basso));
                i += 3;
                continue;
            }
        }
        g.push_back(valida[i]);
    }
    return g;
}

std::optional<std::string> applicazioneFlatpak(std::string_view info) {
    bool inApplicazione = false;
    for (std::string_view riga : testo::righe(info)) {
        riga = testo::rifila(riga);
        if (!riga.empty() && riga.front() == '[') {
            inApplicazione = riga == "[Application]";
            continue;
        }
        if (inApplicazione && testo::iniziaCon(riga, "name=")) {
            const std::string_view nome = testo::rifila(riga.substr(5));
            if (!nome.empty()) return std::string(nome);
        }
    }
    return std::nullopt;
}

std::optional<std::string> nomeSnap(std::string_view cgroup) {
    const auto inizio = cgroup.find("snap.");
    if (inizio == std::string_view::npos) return std::nullopt;
    const std::string_view resto = cgroup.substr(inizio + 5);
    const auto punto = resto.find('.');
    if (punto == 0 || punto == std::string_view::npos) return std::nullopt;
    return std::string(resto.substr(0, punto));
}

std::optional<std::pair<std::string, RisolutoreLinux::Immagine>> RisolutoreLinux::eseguibileAttuale(
    int pid) const {
    const std::string collegamento = proc_ + "/" + std::to_string(pid) + "/exe";
    char percorso[4096];
    const ssize_t n = ::readlink(collegamento.c_str(), percorso, sizeof percorso - 1);
    struct stat info {};
    if (n <= 0 || ::stat(collegamento.c_str(), &info) != 0) return std::nullopt;
    std::string eseguibile(percorso, static_cast<std::size_t>(n));
    constexpr std::string_view cancellato = " (deleted)";
    if (eseguibile.size() > cancellato.size() && eseguibile.ends_with(cancellato)) {
        eseguibile.resize(eseguibile.size() - cancellato.size());
    }
    return std::pair{identitàValida(eseguibile), Immagine{info.st_ino}};
}

namespace {

// What a sandbox says the application is: it holds across the programs a process runs.
std::optional<std::string> identitàSandbox(const std::string& base) {
    if (const auto info = ArchivioCondiviso::leggiFile(base + "/root/.flatpak-info", true)) {
        if (auto app = applicazioneFlatpak(*info)) return identitàValida(*app);
    }
    if (auto snap = nomeSnap(leggiTesto(base + "/cgroup"))) return identitàValida(*snap);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> RisolutoreLinux::firmaDelProcesso(int pid) const {
    if (auto sandbox = identitàSandbox(proc_ + "/" + std::to_string(pid))) return sandbox;
    if (auto eseguibile = eseguibileAttuale(pid)) return std::move(eseguibile->first);
    return std::nullopt;
}

void RisolutoreLinux::impara(const std::string& percorso, Immagine immagine) {
    std::lock_guard blocco(mutex_);
    if (immagini_.size() >= 16384) immagini_.clear();
    immagini_.insert_or_assign(immagine, percorso);
}

void RisolutoreLinux::eseguito(const EventoProcesso& evento) {
    uscito(evento.pid);
    if (const auto attuale = eseguibileAttuale(evento.pid)) {
        // Only if the process still runs the program the event is about.
        if (attuale->second == evento.inode) impara(attuale->first, attuale->second);
    }
}

void RisolutoreLinux::uscito(int pid) {
    std::lock_guard blocco(mutex_);
    if (const auto it = cache_.find(pid); it != cache_.end()) {
        quanti_ -= it->second.size();
        cache_.erase(it);
    }
}

void RisolutoreLinux::imparaTutti() {
    DIR* d = ::opendir(proc_.c_str());
    if (!d) return;
    while (const dirent* voce = ::readdir(d)) {
        const int pid = std::atoi(voce->d_name);
        if (pid <= 0) continue;
        if (const auto attuale = eseguibileAttuale(pid)) impara(attuale->first, attuale->second);
    }
    ::closedir(d);
}

bool RisolutoreLinux::inCache(const TokenApp& token, std::string* identità) {
    int pid;
    std::memcpy(&pid, token.data(), sizeof pid);
    std::lock_guard blocco(mutex_);
    const auto it = cache_.find(pid);
    if (it == cache_.end()) return false;
    for (const auto& [t, nota] : it->second) {
        if (t != token) continue;
        if (identità) *identità = nota;
        return true;
    }
    return false;
}

bool RisolutoreLinux::nominabile(const TokenApp& token) {
    if (token[31] != marcaToken) return false;
    return inCache(token, nullptr) || firma(token).has_value();
}

std::optional<std::string> RisolutoreLinux::firma(const TokenApp& token) {
    if (token[31] != marcaToken) return std::nullopt;
    if (std::string nota; inCache(token, &nota)) return nota;
    int pid;
    std::uint64_t inizio;
    Immagine immagine;
    std::memcpy(&pid, token.data(), sizeof pid);
    std::memcpy(&inizio, token.data() + 4, sizeof inizio);
    std::memcpy(&immagine, token.data() + 16, sizeof immagine);
    const std::string base = proc_ + "/" + std::to_string(pid);
    std::optional<std::string> identità;
    // The process the token names is still there: its sandbox, else its executable if it still
    // runs the same one.
    const bool vivo = inizioProcesso(leggiTesto(base + "/stat")) == inizio;
    if (vivo) {
        identità = identitàSandbox(base);
        if (!identità) {
            if (auto attuale = eseguibileAttuale(pid); attuale && attuale->second == immagine) {
                impara(attuale->first, attuale->second);
                identità = std::move(attuale->first);
            }
        }
    }
    if (!identità) {
        // It has since run another program, or ended: the program it ran, from the images seen.
        std::lock_guard blocco(mutex_);
        if (const auto it = immagini_.find(immagine); it != immagini_.end()) identità = it->second;
    }
    if (!identità) return std::nullopt;
    std::lock_guard blocco(mutex_);
    if (quanti_ >= 4096) {
        cache_.clear();
        quanti_ = 0;
    }
    if (vivo) {
        cache_[pid].emplace_back(token, *identità);
        ++quanti_;
    }
    return identità;
}

}  // namespace ostrale
