// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/identita-processo.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/openat2.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

#include "Condiviso/archivio-condiviso.h"
#include "Condiviso/sistema.h"
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

// What `fd` reads from where it stands to its end, at most `massimo` bytes; a read error ends
// it.
std::string leggiFd(int fd, std::size_t massimo) {
    std::string s;
    char pezzo[8192];
    while (s.size() < massimo) {
        const ssize_t n = ::read(fd, pezzo, sizeof pezzo);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        s.append(pezzo, static_cast<std::size_t>(n));
    }
    if (s.size() > massimo) s.resize(massimo);
    return s;
}

// The start of a file of /proc or /sys (at most 1 MiB), empty when it cannot be read: some
// refuse every read (an LSM's attribute file with no LSM behind it).
std::string leggiTesto(const std::string& percorso) {
    const int fd = ::open(percorso.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return {};
    std::string s = leggiFd(fd, 1u << 20);
    ::close(fd);
    return s;
}

// An executable's facts, from the cached attributes only: a FUSE filesystem whose server
// stops answering cannot hold the daemon (AT_STATX_DONT_SYNC never asks the server).
struct Attributi {
    std::uint64_t dispositivo = 0;
    std::uint64_t inode = 0;
    std::uint32_t proprietario = 0;
    std::uint32_t gruppo = 0;
    std::uint32_t modo = 0;
    std::uint32_t collegamenti = 1;
    std::optional<std::uint64_t> montaggio;  // the mount's id
    bool stesso(const Attributi& a) const {
        return dispositivo == a.dispositivo && inode == a.inode;
    }
    // The mount's id as tokens keep it: 0 when not known.
    std::uint32_t idMontaggio() const {
        return montaggio ? static_cast<std::uint32_t>(*montaggio) : 0;
    }
};

Attributi daStatx(const struct statx& x) {
    Attributi a;
    a.dispositivo = (std::uint64_t{x.stx_dev_major} << 32) | x.stx_dev_minor;
    a.inode = x.stx_ino;
    a.proprietario = x.stx_uid;
    a.gruppo = x.stx_gid;
    a.modo = x.stx_mode;
    a.collegamenti = x.stx_nlink;
    if (x.stx_mask & STATX_MNT_ID) a.montaggio = x.stx_mnt_id;
    return a;
}

constexpr unsigned campiStatx =
    STATX_TYPE | STATX_MODE | STATX_UID | STATX_GID | STATX_INO | STATX_NLINK | STATX_MNT_ID;

std::optional<Attributi> attributi(const std::string& percorso) {
    struct statx x {};
    if (::statx(AT_FDCWD, percorso.c_str(), AT_STATX_DONT_SYNC, campiStatx, &x) != 0)
        return std::nullopt;
    return daStatx(x);
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

TokenApp componiToken(int pid, std::uint64_t inizio, std::uint32_t uid, std::uint64_t inode,
                      std::uint32_t montaggio) {
    TokenApp t{};
    std::memcpy(t.data(), &pid, sizeof pid);
    std::memcpy(t.data() + 4, &inizio, sizeof inizio);
    std::memcpy(t.data() + 12, &uid, sizeof uid);
    std::memcpy(t.data() + 16, &inode, sizeof inode);
    std::memcpy(t.data() + 24, &montaggio, sizeof montaggio);
    t[31] = marcaToken;
    return t;
}

// The executable of a token: its inode and the id of the mount it is on (0: not known).
std::uint64_t inodeDi(const TokenApp& t) {
    std::uint64_t inode;
    std::memcpy(&inode, t.data() + 16, sizeof inode);
    return inode;
}

std::uint32_t montaggioDi(const TokenApp& t) {
    std::uint32_t montaggio;
    std::memcpy(&montaggio, t.data() + 24, sizeof montaggio);
    return montaggio;
}

}  // namespace

std::optional<TokenApp> tokenDi(int pid, std::uint32_t uid) {
    const std::string base = "/proc/" + std::to_string(pid);
    const auto inizio = inizioProcesso(leggiTesto(base + "/stat"));
    const auto eseguibile = attributi(base + "/exe");
    if (!inizio || !eseguibile) return std::nullopt;
    return componiToken(pid, *inizio, uid, eseguibile->inode, eseguibile->idMontaggio());
}

TokenApp tokenDi(const ProprietarioFlusso& p) {
    return componiToken(p.pid, p.inizio, p.uid, p.inode, p.montaggio);
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

namespace {

// The pieces of `s` between each `separatore`, empty ones kept.
std::vector<std::string_view> pezzi(std::string_view s, char separatore) {
    std::vector<std::string_view> risultato;
    for (std::size_t i = 0;;) {
        const auto fine = s.find(separatore, i);
        risultato.push_back(s.substr(i, fine == std::string_view::npos ? s.npos : fine - i));
        if (fine == std::string_view::npos) return risultato;
        i = fine + 1;
    }
}

// A field of /proc/PID/mountinfo with its octal escapes (\040 for a space) undone.
std::string senzaOttali(std::string_view campo) {
    std::string s;
    s.reserve(campo.size());
    for (std::size_t i = 0; i < campo.size(); ++i) {
        if (campo[i] == '\\' && i + 3 < campo.size() && campo[i + 1] >= '0' &&
            campo[i + 1] <= '3' && campo[i + 2] >= '0' && campo[i + 2] <= '7' &&
            campo[i + 3] >= '0' && campo[i + 3] <= '7') {
            s.push_back(static_cast<char>((campo[i + 1] - '0') * 64 + (campo[i + 2] - '0') * 8 +
                                          (campo[i + 3] - '0')));
            i += 3;
        } else {
            s.push_back(campo[i]);
        }
    }
    return s;
}

}  // namespace

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
            if (idFlatpakValido(nome)) return std::string(nome);
            return std::nullopt;
        }
    }
    return std::nullopt;
}

bool idFlatpakValido(std::string_view id) {
    // Three elements or more, each of letters, digits, '_' and '-', not beginning with a digit.
    if (id.empty() || id.size() > 255) return false;
    int elementi = 0;
    for (std::string_view elemento : pezzi(id, '.')) {
        if (elemento.empty() || (elemento.front() >= '0' && elemento.front() <= '9')) return false;
        for (const char c : elemento) {
            const bool ammesso = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                                 (c >= '0' && c <= '9') || c == '_' || c == '-';
            if (!ammesso) return false;
        }
        ++elementi;
    }
    return elementi >= 3;
}

std::optional<std::string> nomeSnap(std::string_view etichetta) {
    // "snap.NAME.APP (enforce)", "snap.NAME.hook.configure (complain)".
    etichetta = testo::rifila(etichetta);
    if (!testo::iniziaCon(etichetta, "snap.")) return std::nullopt;
    const std::string_view resto = etichetta.substr(5);
    const auto punto = resto.find('.');
    if (punto == 0 || punto == std::string_view::npos || punto > 40) return std::nullopt;
    const std::string_view nome = resto.substr(0, punto);
    for (const char c : nome) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return std::nullopt;
    }
    return std::string(nome);
}

std::optional<Montaggio> puntoDiMontaggio(std::string_view mountinfo, std::string_view punto) {
    std::optional<Montaggio> trovato;
    for (std::string_view riga : pezzi(mountinfo, '\n')) {
        // ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS [OPTIONAL...] - FSTYPE SOURCE SUPEROPTIONS
        const auto campi = pezzi(riga, ' ');
        if (campi.size() < 10 || senzaOttali(campi[4]) != punto) continue;
        const auto trattino = std::find(campi.begin() + 6, campi.end(), "-");
        if (trattino == campi.end() || campi.end() - trattino < 3) continue;
        // Mounts over mounts: the last one listed is the one seen.
        trovato = Montaggio{std::string(*(trattino + 1)), senzaOttali(*(trattino + 2)),
                            std::string(campi[2])};
    }
    return trovato;
}

std::unordered_map<std::uint64_t, std::string> montaggi(std::string_view mountinfo) {
    std::unordered_map<std::uint64_t, std::string> tutti;
    for (std::string_view riga : pezzi(mountinfo, '\n')) {
        const auto campi = pezzi(riga, ' ');
        if (campi.size() < 10) continue;
        const auto trattino = std::find(campi.begin() + 6, campi.end(), "-");
        if (trattino == campi.end() || trattino + 1 == campi.end()) continue;
        const std::string id(campi[0]);
        char* fine = nullptr;
        const auto valore = std::strtoull(id.c_str(), &fine, 10);
        if (fine != id.c_str() && *fine == '\0')
            tutti.insert_or_assign(valore, std::string(*(trattino + 1)));
    }
    return tutti;
}

bool filesystemLocale(std::string_view tipo) {
    for (std::string_view locale :
         {"ext2", "ext3", "ext4", "xfs", "btrfs", "tmpfs", "ramfs", "squashfs", "erofs", "vfat",
          "exfat", "f2fs", "zfs", "bcachefs", "iso9660"}) {
        if (tipo == locale) return true;
    }
    return false;
}

std::unordered_set<std::uint64_t> montaggiSicuri(std::string_view mountinfo) {
    std::unordered_set<std::uint64_t> sicuri;
    for (const auto& [id, tipo] : montaggi(mountinfo)) {
        if (filesystemLocale(tipo)) sicuri.insert(id);
    }
    return sicuri;
}

namespace {

std::optional<std::string> leggiCollegamento(const std::string& percorso) {
    char destinazione[4096];
    const ssize_t n = ::readlink(percorso.c_str(), destinazione, sizeof destinazione);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof destinazione) return std::nullopt;
    return std::string(destinazione, static_cast<std::size_t>(n));
}

// A file only root may change: the system's own.
bool soloDiRoot(const Attributi& a) {
    return a.proprietario == 0 && (a.modo & (S_IWGRP | S_IWOTH)) == 0;
}

// A descriptor, closed with it.
class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(Fd&& altro) noexcept : fd_(std::exchange(altro.fd_, -1)) {}
    Fd& operator=(Fd&& altro) noexcept {
        if (this != &altro) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = std::exchange(altro.fd_, -1);
        }
        return *this;
    }
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_;
};

std::optional<Attributi> attributiDi(int fd) {
    struct statx x {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, campiStatx, &x) != 0)
        return std::nullopt;
    return daStatx(x);
}

// Whether the folder or file behind `fd` is on one of the mounts `sicuri`.
bool suMontaggio(int fd, const std::unordered_set<std::uint64_t>& sicuri) {
    const auto a = attributiDi(fd);
    return a && a->montaggio && sicuri.contains(*a->montaggio);
}

// Opens (O_PATH) `percorso` below the folder `da`, one name at a time: no symbolic link is
// followed, and nothing is looked up in, or opened on, a mount not in `sicuri`: a FUSE mount,
// whose server may never answer, or one made after the list was read. What a user names (an
// executable's path in a namespace of theirs, an AppImage, their home) may lead to such a mount.
//
// With `linkDiRoot` above 0, that many symbolic links are followed, where only root could have
// made them: the link and its folder root's, the folder writable by no one else (the system's
// own, as /home -> var/home).
Fd apriPasso(int da, std::string_view percorso, const std::unordered_set<std::uint64_t>& sicuri,
             int linkDiRoot = 0) {
    Fd attuale(::fcntl(da, F_DUPFD_CLOEXEC, 0));
    const auto nomi = pezzi(percorso, '/');
    for (std::size_t i = 0; i < nomi.size(); ++i) {
        const std::string_view nome = nomi[i];
        if (!attuale) return Fd();
        if (nome.empty()) continue;
        if (nome == "." || nome == "..") return Fd();
        if (!suMontaggio(attuale.get(), sicuri)) return Fd();
        const std::string n(nome);
        Fd prossimo(::openat(attuale.get(), n.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        const auto cosa = prossimo ? attributiDi(prossimo.get()) : std::nullopt;
        if (cosa && S_ISLNK(cosa->modo) && linkDiRoot > 0) {
            const auto cartella = attributiDi(attuale.get());
            char destinazione[4096];
            const ssize_t lunghezza =
                ::readlinkat(attuale.get(), n.c_str(), destinazione, sizeof destinazione);
            if (!cartella || !soloDiRoot(*cartella) || cosa->proprietario != 0 || lunghezza <= 0 ||
                static_cast<std::size_t>(lunghezza) >= sizeof destinazione) {
                return Fd();
            }
            std::string resto(destinazione, static_cast<std::size_t>(lunghezza));
            for (std::size_t j = i + 1; j < nomi.size(); ++j) resto.append("/").append(nomi[j]);
            // Relative links go on from the link's folder, absolute ones from the root.
            Fd partenza = resto.front() == '/' ? Fd(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC))
                                               : std::move(attuale);
            if (!partenza) return Fd();
            return apriPasso(partenza.get(), resto, sicuri, linkDiRoot - 1);
        }
        attuale = std::move(prossimo);
    }
    if (!attuale || !suMontaggio(attuale.get(), sicuri)) return Fd();
    return attuale;
}

// An absolute path of this daemon's own namespace, walked as apriPasso does; `locali` are the
// daemon's mounts of local filesystems.
Fd apriQui(std::string_view percorso, const std::unordered_set<std::uint64_t>& locali,
           int linkDiRoot = 0) {
    if (percorso.empty() || percorso.front() != '/') return Fd();
    const Fd radice(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!radice) return Fd();
    return apriPasso(radice.get(), percorso, locali, linkDiRoot);
}

// Whether `percorso` in this daemon's own namespace is the file `file`.
bool èQui(std::string_view percorso, const Attributi& file,
          const std::unordered_set<std::uint64_t>& locali) {
    const Fd fd = apriQui(percorso, locali);
    const auto qui = fd ? attributiDi(fd.get()) : std::nullopt;
    return qui && qui->stesso(file);
}

// The start of the regular file behind an O_PATH descriptor (a FIFO never blocks, nothing else
// is opened).
std::string leggiDa(const Fd& fd, std::size_t massimo) {
    const auto a = attributiDi(fd.get());
    if (!a || !S_ISREG(a->modo)) return {};
    std::string testo = leggiTesto("/proc/self/fd/" + std::to_string(fd.get()));
    if (testo.size() > massimo) testo.resize(massimo);
    return testo;
}

// The identity for a file named by `grezzo`: the path itself when it is the file the process
// runs, as this daemon resolves it, and, under the system's folders, when only root may change
// it; otherwise "?" before the path, which no path and no application id begins with.
std::string identitàDelFile(std::string_view grezzo, const Attributi& file, bool verificato) {
    std::string identità = identitàValida(grezzo);
    if (verificato && (!èDiSistema(identità) || soloDiRoot(file))) return identità;
    return identitàValida("?" + std::string(grezzo));
}

// The home folder of `uid`, from the user database (remembered).
std::optional<std::string> cartellaCasa(std::uint32_t uid) {
    static std::mutex mutex;
    static std::unordered_map<std::uint32_t, std::optional<std::string>> note;
    {
        std::lock_guard blocco(mutex);
        if (const auto it = note.find(uid); it != note.end()) return it->second;
    }
    // Asked outside the lock: a slow user database delays this process's naming only.
    std::optional<std::string> casa;
    bool risposta = false;
    for (std::size_t dimensione = 16384; dimensione <= (1u << 20) && !risposta; dimensione *= 4) {
        passwd voce{};
        passwd* trovata = nullptr;
        std::vector<char> spazio(dimensione);
        const int esito = ::getpwuid_r(uid, &voce, spazio.data(), spazio.size(), &trovata);
        if (esito == ERANGE) continue;
        risposta = esito == 0;  // found, or no such user
        if (risposta && trovata && voce.pw_dir && voce.pw_dir[0] == '/') casa = voce.pw_dir;
    }
    if (!risposta) return std::nullopt;  // a failure is not remembered: asked again next time
    std::lock_guard blocco(mutex);
    if (note.size() > 1024) note.clear();
    note.emplace(uid, casa);
    return casa;
}

// A folder or file below `radice` (a descriptor), never crossing a mount or leaving it: what a
// user keeps in their own folders may lead anywhere, a FUSE server of theirs included.
int apriSotto(int radice, const std::string& relativo, std::uint64_t modo) {
    open_how come{};
    // (openat2 refuses flags that O_PATH would ignore.)
    come.flags = modo | O_CLOEXEC | (modo & O_PATH ? 0 : O_NOCTTY | O_NONBLOCK);
    come.resolve = RESOLVE_BENEATH | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, radice, relativo.c_str(), &come, sizeof come));
}

// The entries of a folder below `radice`, at most `massimo` of them (a user's own folders can
// hold any number).
std::vector<std::string> voci(int radice, const std::string& relativo, std::size_t massimo = 64) {
    std::vector<std::string> nomi;
    const int fd = apriSotto(radice, relativo, O_RDONLY | O_DIRECTORY);
    if (fd < 0) return nomi;
    if (DIR* d = ::fdopendir(fd)) {
        while (const dirent* voce = ::readdir(d)) {
            if (voce->d_name[0] == '.') continue;
            nomi.emplace_back(voce->d_name);
            if (nomi.size() >= massimo) break;
        }
        ::closedir(d);
    } else {
        ::close(fd);
    }
    return nomi;
}

// Whether the file below `radice` at `relativo` is `file`.
bool èSotto(int radice, const std::string& relativo, const Attributi& file) {
    const int fd = apriSotto(radice, relativo, O_PATH);
    if (fd < 0) return false;
    struct statx x {};
    const bool letto = ::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO, &x) == 0;
    ::close(fd);
    return letto &&
           ((std::uint64_t{x.stx_dev_major} << 32) | x.stx_dev_minor) == file.dispositivo &&
           x.stx_ino == file.inode;
}

// The uid a process runs as (its real uid, as this daemon's user namespace sees it).
std::optional<std::uint32_t> uidDi(const std::string& base) {
    const std::string stato = leggiTesto(base + "/status");
    for (std::string_view riga : pezzi(stato, '\n')) {
        if (!testo::iniziaCon(riga, "Uid:")) continue;
        const std::string valore(testo::rifila(riga.substr(4)));
        char* fine = nullptr;
        const unsigned long uid = std::strtoul(valore.c_str(), &fine, 10);
        if (fine != valore.c_str()) return static_cast<std::uint32_t>(uid);
    }
    return std::nullopt;
}

// A Flatpak application's id, when the process's sandbox says so and what it runs is one of
// that application's deployed files: under the system installation, or under the installation
// of the user the process runs as (`/app` in the sandbox is the deployment's `files`).
std::optional<std::string> applicazioneFlatpakVerificata(
    const std::string& base, std::string_view eseguibile, const Attributi& file,
    const std::unordered_set<std::uint64_t>& locali) {
    if (!testo::iniziaCon(eseguibile, "/app/")) return std::nullopt;
    // The sandbox's root is the process's to make: walked as its own mounts allow.
    std::optional<std::string> app;
    {
        const Fd radice(::open((base + "/root").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!radice) return std::nullopt;
        const Fd info = apriPasso(radice.get(), ".flatpak-info",
                                  montaggiSicuri(leggiTesto(base + "/mountinfo")));
        if (info) app = applicazioneFlatpak(leggiDa(info, 65536));
    }
    if (!app) return std::nullopt;
    const std::string resto(eseguibile.substr(5));
    // Each installation: a folder found from the system or the user database (not from the
    // user), and the path below it, where nothing may lead out.
    std::vector<std::pair<std::string, std::string>> installazioni{{"/var/lib/flatpak", ""}};
    if (const auto uid = uidDi(base)) {
        if (const auto casa = cartellaCasa(*uid))
            installazioni.emplace_back(*casa, ".local/share/flatpak/");
    }
    for (const auto& [cima, dentro] : installazioni) {
        // Below it, apriSotto never leaves its mount. (Up to it, only links of root's.)
        const Fd fd = apriQui(cima, locali, 8);
        if (!fd) continue;
        const int radice = fd.get();
        // The deployment in use ("active") of each branch first, then the others; the first
        // that holds the file ends the search.
        const std::string cartella = dentro + "app/" + *app;
        for (const std::string& architettura : voci(radice, cartella, 8)) {
            for (const std::string& ramo : voci(radice, cartella + "/" + architettura, 16)) {
                const std::string r = cartella + "/" + architettura + "/" + ramo;
                if (èSotto(radice, r + "/active/files/" + resto, file)) return app;
                for (const std::string& rilascio : voci(radice, r, 16)) {
                    if (èSotto(radice, r + "/" + rilascio + "/files/" + resto, file)) return app;
                }
            }
        }
    }
    return std::nullopt;
}

// A Snap's name, from the process's AppArmor label (which only the snap's confinement gives).
std::optional<std::string> snapVerificato(const std::string& base) {
    std::string etichetta = leggiTesto(base + "/attr/apparmor/current");
    if (etichetta.empty()) etichetta = leggiTesto(base + "/attr/current");
    return nomeSnap(etichetta);
}

// Whether `immagine` starts as an AppImage does: an ELF file with "AI" and the type (1 or 2)
// at offset 8.
bool haFirmaAppImage(const Fd& immagine) {
    const std::string testa = leggiDa(immagine, 11);
    return testa.size() == 11 &&
           testa.compare(0, 4,
                         "\x7f"
                         "ELF") == 0 &&
           testa[8] == 'A' && testa[9] == 'I' && (testa[10] == 1 || testa[10] == 2);
}

// Whether a process of `uid` running the file `immagine` serves the FUSE connection
// `connessione` (an AppImage's own runtime serves its mount): it holds /dev/fuse open for it.
// Kernels that do not say which connection a descriptor is for are taken at the descriptor.
bool servitoDa(const std::string& proc, const Attributi& immagine, std::uint32_t uid,
               std::string_view connessione) {
    DIR* d = ::opendir(proc.c_str());
    if (!d) return false;
    bool servito = false;
    while (!servito) {
        const dirent* voce = ::readdir(d);
        if (!voce) break;
        if (std::atoi(voce->d_name) <= 0) continue;
        const std::string base = proc + "/" + voce->d_name;
        const auto a = attributi(base + "/exe");
        if (!a || !a->stesso(immagine) || uidDi(base) != uid) continue;
        DIR* descrittori = ::opendir((base + "/fd").c_str());
        if (!descrittori) continue;
        while (const dirent* fd = ::readdir(descrittori)) {
            if (fd->d_name[0] == '.') continue;
            if (leggiCollegamento(base + "/fd/" + fd->d_name) != "/dev/fuse") continue;
            const std::string info = leggiTesto(base + "/fdinfo/" + fd->d_name);
            std::optional<std::string_view> numero;
            for (std::string_view riga : pezzi(info, '\n')) {
                if (testo::iniziaCon(riga, "fuse_connection:"))
                    numero = testo::rifila(riga.substr(16));
            }
            if (!numero || *numero == connessione) servito = true;
        }
        ::closedir(descrittori);
    }
    ::closedir(d);
    return servito;
}

// The AppImage a process runs from: the image its environment names (APPIMAGE), when the mount
// its executable lies in (/tmp/.mount_*) is that image's: a squashfs on a loop device backed by
// that file, or a FUSE mount while the image itself runs (as its runtime does, serving the
// mount).
// Whether the executable `file` lies on the filesystem of device `dispositivo` ("MAJ:MIN").
bool eseguibileSulMontaggio(const Attributi& file, std::string_view dispositivo) {
    const auto duePunti = dispositivo.find(':');
    if (duePunti == std::string_view::npos) return false;
    const std::string maggiore(dispositivo.substr(0, duePunti)),
        minore(dispositivo.substr(duePunti + 1));
    char* fine1 = nullptr;
    char* fine2 = nullptr;
    const auto a = std::strtoull(maggiore.c_str(), &fine1, 10);
    const auto b = std::strtoull(minore.c_str(), &fine2, 10);
    if (fine1 == maggiore.c_str() || *fine1 || fine2 == minore.c_str() || *fine2) return false;
    return file.dispositivo == ((a << 32) | b);
}

std::optional<std::pair<std::string, Attributi>> appImage(
    const std::string& proc, const std::string& base, std::string_view eseguibile,
    const Attributi& file, const std::unordered_set<std::uint64_t>& locali) {
    constexpr std::string_view radice = "/tmp/.mount_";
    if (!testo::iniziaCon(eseguibile, radice)) return std::nullopt;
    const auto barra = eseguibile.find('/', radice.size());
    if (barra == std::string_view::npos || barra == radice.size()) return std::nullopt;
    const std::string punto(eseguibile.substr(0, barra));
    // The executable must be on that very mount (its device), not on a file mounted over one
    // of its files in a namespace of the process's own.
    const auto montaggio = puntoDiMontaggio(leggiTesto(base + "/mountinfo"), punto);
    if (!montaggio || !eseguibileSulMontaggio(file, montaggio->dispositivo)) return std::nullopt;
    std::optional<std::string> immagine;
    {
        const std::string ambiente = leggiTesto(base + "/environ");
        for (std::size_t i = 0; i < ambiente.size();) {
            const std::size_t fine = std::min(ambiente.find('\0', i), ambiente.size());
            const std::string_view voce = std::string_view(ambiente).substr(i, fine - i);
            if (testo::iniziaCon(voce, "APPIMAGE=")) immagine = std::string(voce.substr(9));
            i = fine + 1;
        }
    }
    if (!immagine) return std::nullopt;
    const Fd fd = apriQui(*immagine, locali);
    const auto immagineFile = fd ? attributiDi(fd.get()) : std::nullopt;
    if (!immagineFile || !S_ISREG(immagineFile->modo)) return std::nullopt;
    const std::string& tipo = montaggio->tipo;
    const std::string& sorgente = montaggio->sorgente;
    bool suo = false;
    if (tipo == "squashfs" && testo::iniziaCon(sorgente, "/dev/loop") && sorgente.size() > 9 &&
        sorgente.find_first_not_of("0123456789", 9) == std::string::npos) {
        std::string dietro = leggiTesto("/sys/block/" + sorgente.substr(5) + "/loop/backing_file");
        while (!dietro.empty() && dietro.back() == '\n') dietro.pop_back();
        suo = èQui(dietro, *immagineFile, locali);
    } else if (tipo == "fuse" || testo::iniziaCon(tipo, "fuse.")) {
        // The image is the user's own, and its runtime serves this very mount: any user may
        // mount what they like at /tmp/.mount_*, and run any image they can read.
        const auto uid = uidDi(base);
        const auto duePunti = montaggio->dispositivo.find(':');
        suo = uid && immagineFile->proprietario == *uid && duePunti != std::string::npos &&
              haFirmaAppImage(fd) &&
              servitoDa(proc, *immagineFile, *uid,
                        std::string_view(montaggio->dispositivo).substr(duePunti + 1));
    }
    if (!suo) return std::nullopt;
    return std::pair{*immagine, *immagineFile};
}

}  // namespace

RisolutoreLinux::RisolutoreLinux(std::string radiceProc)
    : proc_(std::move(radiceProc)),
      spazioDeiMontaggi_(leggiCollegamento(proc_ + "/self/ns/mnt").value_or("")) {}

RisolutoreLinux::~RisolutoreLinux() {
    if (tabellaMontaggi_ >= 0) ::close(tabellaMontaggi_);
}

std::shared_ptr<const RisolutoreLinux::MontaggiQui> RisolutoreLinux::montaggiQui() const {
    std::lock_guard blocco(montaggiMutex_);
    bool rileggi = !montaggiQui_;
    if (tabellaMontaggi_ < 0) {
        tabellaMontaggi_ = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
        rileggi = true;
    }
    pollfd attesa{tabellaMontaggi_, POLLPRI, 0};
    if (tabellaMontaggi_ >= 0 && ::poll(&attesa, 1, 0) != 0)
        rileggi = true;  // a change (or an error)
    if (rileggi) {
        auto nuova = std::make_shared<MontaggiQui>();
        if (tabellaMontaggi_ >= 0) {
            ::lseek(tabellaMontaggi_, 0, SEEK_SET);
            for (const auto& [id, tipo] : montaggi(leggiFd(tabellaMontaggi_, 16u << 20))) {
                nuova->tutti.insert(id);
                if (filesystemLocale(tipo)) nuova->locali.insert(id);
            }
        }
        montaggiQui_ = std::move(nuova);
    }
    return montaggiQui_;
}

std::optional<RisolutoreLinux::Attuale> RisolutoreLinux::identitàAttuale(int pid) const {
    const std::string base = proc_ + "/" + std::to_string(pid);
    auto grezzo = leggiCollegamento(base + "/exe");
    const auto file = attributi(base + "/exe");
    if (!grezzo || !file) return std::nullopt;
    // Deleted (or replaced) since it started: the kernel's link count says so, not the text,
    // which a file may well end in.
    constexpr std::string_view cancellato = " (deleted)";
    const bool sostituito = file->collegamenti == 0;
    if (sostituito && grezzo->ends_with(cancellato))
        grezzo->resize(grezzo->size() - cancellato.size());
    const Immagine immagine{file->inode, file->idMontaggio()};
    // The path is the file's in this daemon's view when the process shares its mounts and the
    // file's mount is one of them (the kernel prints a path from a detached mount's own root:
    // a user may run a program from a FUSE mount of theirs and unmount it lazily); otherwise
    // only if the same path here is the same file, since a process may mount anything
    // anywhere in a namespace of its own.
    const bool stessiMontaggi =
        !spazioDeiMontaggi_.empty() && leggiCollegamento(base + "/ns/mnt") == spazioDeiMontaggi_;
    const auto qui = montaggiQui();
    const bool nostro = stessiMontaggi && file->montaggio && qui->tutti.contains(*file->montaggio);
    // A sandbox's word counts only with what the process runs to back it.
    if (auto app = applicazioneFlatpakVerificata(base, *grezzo, *file, qui->locali)) {
        return Attuale{*app, immagine, !stessiMontaggi};
    }
    if (auto snap = snapVerificato(base)) return Attuale{*snap, immagine, !stessiMontaggi};
    const bool verificato = nostro || (!sostituito && èQui(*grezzo, *file, qui->locali));
    if (verificato) {
        if (auto app = appImage(proc_, base, *grezzo, *file, qui->locali)) {
            return Attuale{identitàDelFile(app->first, app->second, true), immagine,
                           !stessiMontaggi};
        }
    }
    return Attuale{identitàDelFile(*grezzo, *file, verificato), immagine, !stessiMontaggi};
}

std::optional<std::string> RisolutoreLinux::firmaDelProcesso(int pid) const {
    if (auto attuale = identitàAttuale(pid)) return std::move(attuale->identità);
    return std::nullopt;
}

namespace {

// A process image: pid, start and executable (inode and mount), the uid (the socket's) aside.
std::string chiaveImmagine(const TokenApp& token) {
    std::string chiave(reinterpret_cast<const char*>(token.data()), 12);
    chiave.append(reinterpret_cast<const char*>(token.data()) + 16, 12);
    return chiave;
}

bool stessaImmagine(const TokenApp& a, const TokenApp& b) {
    return std::memcmp(a.data(), b.data(), 12) == 0 &&
           std::memcmp(a.data() + 16, b.data() + 16, 12) == 0;
}

}  // namespace

void RisolutoreLinux::impara(const TokenApp& token, const std::string& identità) {
    std::lock_guard blocco(mutex_);
    if (immagini_.size() >= 16384) immagini_.clear();
    immagini_.insert_or_assign(chiaveImmagine(token), identità);
}

void RisolutoreLinux::ricorda(const TokenApp& token, const std::string& identità) {
    int pid;
    std::memcpy(&pid, token.data(), sizeof pid);
    std::lock_guard blocco(mutex_);
    if (quanti_ >= 16384) {
        cache_.clear();
        quanti_ = 0;
    }
    auto& immagini = cache_[pid];
    for (const auto& [t, _] : immagini) {
        if (stessaImmagine(t, token)) return;
    }
    immagini.emplace_back(token, identità);
    ++quanti_;
}

void RisolutoreLinux::imparaAllEsecuzione(const TokenApp& token, const Attuale& attuale) {
    impara(token, attuale.identità);
    // A process of another namespace is named now, while its path can be verified: an upgrade
    // may replace its executable before its first flow (a service with private mounts).
    if (attuale.altriMontaggi && !attuale.identità.starts_with('?'))
        ricorda(token, attuale.identità);
}

void RisolutoreLinux::eseguito(const EventoProcesso& evento) {
    uscito(evento.pid);
    const auto attuale = identitàAttuale(evento.pid);
    // Only if the process still runs the program the event is about.
    if (!attuale || !attuale->immagine.è(evento.inode, evento.montaggio)) return;
    ProprietarioFlusso p;
    p.pid = evento.pid;
    p.inizio = evento.inizio;
    p.inode = evento.inode;
    p.montaggio = evento.montaggio;
    imparaAllEsecuzione(tokenDi(p), *attuale);
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
        const auto attuale = identitàAttuale(pid);
        const auto token = tokenDi(pid, 0);
        if (!attuale || !token || !attuale->immagine.è(inodeDi(*token), montaggioDi(*token)))
            continue;
        imparaAllEsecuzione(*token, *attuale);
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
        if (!stessaImmagine(t, token)) continue;
        if (identità) *identità = nota;
        return true;
    }
    return false;
}

bool RisolutoreLinux::nominabile(const TokenApp& token) {
    if (token[31] != marcaToken) return false;
    return inCache(token, nullptr) || firma(token).has_value();
}

std::optional<std::uint32_t> RisolutoreLinux::utente(const TokenApp& token) const {
    if (token[31] != marcaToken) return std::nullopt;
    std::uint32_t uid;
    std::memcpy(&uid, token.data() + 12, sizeof uid);
    return uid;
}

std::optional<std::string> RisolutoreLinux::firma(const TokenApp& token) {
    if (token[31] != marcaToken) return std::nullopt;
    if (std::string nota; inCache(token, &nota)) return nota;
    int pid;
    std::uint64_t inizio;
    std::memcpy(&pid, token.data(), sizeof pid);
    std::memcpy(&inizio, token.data() + 4, sizeof inizio);
    const std::string base = proc_ + "/" + std::to_string(pid);
    std::optional<std::string> identità;
    // The process the token names is still there, running the same executable.
    const bool vivo = inizioProcesso(leggiTesto(base + "/stat")) == inizio;
    if (vivo) {
        if (auto attuale = identitàAttuale(pid);
            attuale && attuale->immagine.è(inodeDi(token), montaggioDi(token))) {
            impara(token, attuale->identità);
            identità = std::move(attuale->identità);
        }
    }
    if (!identità) {
        // It has since run another program, or ended: the program it ran, from the images seen.
        std::lock_guard blocco(mutex_);
        if (const auto it = immagini_.find(chiaveImmagine(token)); it != immagini_.end())
            identità = it->second;
    }
    if (!identità) return std::nullopt;
    if (vivo) ricorda(token, *identità);
    return identità;
}

}  // namespace ostrale
