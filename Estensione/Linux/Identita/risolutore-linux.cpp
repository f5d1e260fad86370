// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/risolutore-linux.h"

#include <dirent.h>

#include <cstdlib>

#include "Condiviso/sistema.h"
#include "Estensione/Linux/Identita/appimage.h"
#include "Estensione/Linux/Identita/flatpak.h"
#include "Estensione/Linux/Identita/identita-valida.h"
#include "Estensione/Linux/Identita/letture.h"
#include "Estensione/Linux/Identita/percorsi-sicuri.h"
#include "Estensione/Linux/Identita/snap.h"
#include "Estensione/Linux/Identita/token-processo.h"

namespace ostrale {

using namespace identita;

namespace {

// The identity for a file named by `grezzo`: the path itself when it is the file the process
// runs, as this daemon resolves it, and, under the system's folders, when only root may change
// it; otherwise "?" before the path, which no path and no application id begins with.
std::string identitàDelFile(std::string_view grezzo, const Attributi& file, bool verificato) {
    std::string identità = identitàValida(grezzo);
    if (verificato && (!èDiSistema(identità) || soloDiRoot(file))) return identità;
    return identitàValida("?" + std::string(grezzo));
}

}  // namespace

RisolutoreLinux::RisolutoreLinux(std::string radiceProc)
    : proc_(std::move(radiceProc)),
      spazioDeiMontaggi_(leggiCollegamento(proc_ + "/self/ns/mnt").value_or("")) {}

RisolutoreLinux::~RisolutoreLinux() = default;

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
    const auto qui = montaggi_.qui();
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

void RisolutoreLinux::impara(const TokenApp& token, const std::string& identità) {
    std::lock_guard blocco(mutex_);
    if (immagini_.size() >= 16384) immagini_.clear();
    immagini_.insert_or_assign(chiaveImmagine(token), identità);
}

void RisolutoreLinux::ricorda(const TokenApp& token, const std::string& identità) {
    const int pid = pidDi(token);
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
    std::lock_guard blocco(mutex_);
    const auto it = cache_.find(pidDi(token));
    if (it == cache_.end()) return false;
    for (const auto& [t, nota] : it->second) {
        if (!stessaImmagine(t, token)) continue;
        if (identità) *identità = nota;
        return true;
    }
    return false;
}

bool RisolutoreLinux::nominabile(const TokenApp& token) {
    if (!èTokenLinux(token)) return false;
    return inCache(token, nullptr) || firma(token).has_value();
}

std::optional<std::uint32_t> RisolutoreLinux::utente(const TokenApp& token) const {
    if (!èTokenLinux(token)) return std::nullopt;
    return utenteDi(token);
}

std::optional<std::string> RisolutoreLinux::firma(const TokenApp& token) {
    if (!èTokenLinux(token)) return std::nullopt;
    if (std::string nota; inCache(token, &nota)) return nota;
    const int pid = pidDi(token);
    const std::uint64_t inizio = inizioDi(token);
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
