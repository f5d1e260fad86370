// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/proprietari-socket.h"

#include <dirent.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

}  // namespace ostrale
