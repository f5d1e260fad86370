// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/archivio-condiviso.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Condiviso/registro.h"

namespace ostrale::ArchivioCondiviso {
namespace {

const Registro& registro() {
    static const Registro r("archivio");
    return r;
}

class Descrittore {
  public:
    explicit Descrittore(int fd) : fd_(fd) {}
    ~Descrittore() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descrittore(const Descrittore&) = delete;
    Descrittore& operator=(const Descrittore&) = delete;
    int fd() const { return fd_; }
    bool chiudi() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool scriviTutto(int fd, std::string_view byte) {
    while (!byte.empty()) {
        const ssize_t scritti = ::write(fd, byte.data(), byte.size());
        if (scritti < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        byte.remove_prefix(static_cast<std::size_t>(scritti));
    }
    return true;
}

}  // namespace

std::optional<std::filesystem::path> urlContenitore(std::string_view nome) {
    const char* variabile = std::getenv("OSTRALE_CONTENITORE");
    std::filesystem::path cartella =
        variabile != nullptr && *variabile != '\0' ? variabile : "/var/lib/ostrale";
    std::error_code errore;
    if (!std::filesystem::is_directory(cartella, errore)) return std::nullopt;
    return cartella / nome;
}

std::optional<std::filesystem::path> url() {
    return urlContenitore(nomeRegole);
}

bool scriviAtomico(const std::filesystem::path& percorso, std::string_view byte) {
    const std::filesystem::path cartella =
        percorso.has_parent_path() ? percorso.parent_path() : std::filesystem::path(".");
    std::string modello = (cartella / ("." + percorso.filename().string() + ".XXXXXX")).string();
    Descrittore temporaneo(::mkstemp(modello.data()));
    if (temporaneo.fd() < 0) {
        registro().errore("cannot create a temporary file for " + percorso.string() + ": " +
                          std::strerror(errno));
        return false;
    }
    // Shared with the group that owns the container (the app's users).
    bool ok = ::fchmod(temporaneo.fd(), 0660) == 0 && scriviTutto(temporaneo.fd(), byte) &&
              ::fsync(temporaneo.fd()) == 0;
    ok = temporaneo.chiudi() && ok;
    if (ok) ok = ::rename(modello.c_str(), percorso.c_str()) == 0;
    if (!ok) {
        const int causa = errno;
        ::unlink(modello.c_str());
        registro().errore("cannot write " + percorso.string() + ": " + std::strerror(causa));
        return false;
    }
    Descrittore dir(::open(cartella.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.fd() >= 0) ::fsync(dir.fd());
    return true;
}

bool salvaFile(std::string_view byte, std::string_view nome) {
    const auto percorso = urlContenitore(nome);
    return !percorso || scriviAtomico(*percorso, byte);
}

std::optional<std::string> leggiFile(const std::filesystem::path& percorso, bool seguiLink) {
    // Group members can create anything in the container: a FIFO must not block the reader, a
    // device must not be opened, a link must not lead the daemon elsewhere.
    const int opzioni = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (seguiLink ? 0 : O_NOFOLLOW);
    Descrittore file(::open(percorso.c_str(), opzioni));
    if (file.fd() < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(file.fd(), &info) != 0 || !S_ISREG(info.st_mode) ||
        static_cast<std::size_t>(info.st_size) > dimensioneMassimaLettura) {
        return std::nullopt;
    }
    std::string contenuto;
    contenuto.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t letti = ::read(file.fd(), buffer, sizeof buffer);
        if (letti < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (letti == 0) break;
        contenuto.append(buffer, static_cast<std::size_t>(letti));
        if (contenuto.size() > dimensioneMassimaLettura) return std::nullopt;
    }
    return contenuto;
}

std::optional<std::string> leggi(std::string_view nome) {
    const auto percorso = urlContenitore(nome);
    if (!percorso) return std::nullopt;
    return leggiFile(*percorso, false);
}

}  // namespace ostrale::ArchivioCondiviso
