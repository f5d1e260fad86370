// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/letture.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "Condiviso/testo.h"

namespace ostrale::identita {
namespace {

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

}  // namespace

std::optional<Attributi> attributi(const std::string& percorso) {
    struct statx x {};
    if (::statx(AT_FDCWD, percorso.c_str(), AT_STATX_DONT_SYNC, campiStatx, &x) != 0)
        return std::nullopt;
    return daStatx(x);
}

std::optional<Attributi> attributiDi(int fd) {
    struct statx x {};
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, campiStatx, &x) != 0)
        return std::nullopt;
    return daStatx(x);
}

bool soloDiRoot(const Attributi& a) {
    return a.proprietario == 0 && (a.modo & (S_IWGRP | S_IWOTH)) == 0;
}

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

std::string leggiTesto(const std::string& percorso) {
    const int fd = ::open(percorso.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return {};
    std::string s = leggiFd(fd, 1u << 20);
    ::close(fd);
    return s;
}

std::optional<std::string> leggiCollegamento(const std::string& percorso) {
    char destinazione[4096];
    const ssize_t n = ::readlink(percorso.c_str(), destinazione, sizeof destinazione);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof destinazione) return std::nullopt;
    return std::string(destinazione, static_cast<std::size_t>(n));
}

std::vector<std::string_view> pezzi(std::string_view s, char separatore) {
    std::vector<std::string_view> risultato;
    for (std::size_t i = 0;;) {
        const auto fine = s.find(separatore, i);
        risultato.push_back(s.substr(i, fine == std::string_view::npos ? s.npos : fine - i));
        if (fine == std::string_view::npos) return risultato;
        i = fine + 1;
    }
}

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

}  // namespace ostrale::identita
