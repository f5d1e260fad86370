// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/attribuzione-bpf.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

extern "C" {
#include <bpf/bpf.h>
#include <bpf/libbpf.h>

#include "Estensione/Linux/bpf/proprietari.h"
}

#include "Condiviso/registro.h"

extern "C" const unsigned char ostrale_proprietari_bpf[];
extern "C" const std::size_t ostrale_proprietari_bpf_dimensione;

namespace ostrale {

namespace {

Registro registro() {
    return Registro("it.brelt.ostrale.estensione", "attribuzione");
}

int stampaLibbpf(libbpf_print_level livello, const char* formato, va_list argomenti) {
    if (livello == LIBBPF_DEBUG) return 0;
    char riga[512];
    const int n = std::vsnprintf(riga, sizeof riga, formato, argomenti);
    std::string testo(
        riga, n > 0 ? std::min<std::size_t>(static_cast<std::size_t>(n), sizeof riga - 1) : 0);
    while (!testo.empty() && testo.back() == '\n') testo.pop_back();
    registro().debug("libbpf: " + testo);
    return n;
}

std::string errore(const std::string& cosa, int codice) {
    return cosa + ": " + std::strerror(codice < 0 ? -codice : codice);
}

// The cgroup v2 hierarchy: where it is mounted, else a private mount of our own (inside a
// fresh mount namespace /sys may lack it). The answer is an open directory.
int apriCgroupRadice(std::string& motivo) {
    std::ifstream montaggi("/proc/self/mountinfo");
    std::string riga;
    while (std::getline(montaggi, riga)) {
        // "... mountpoint options [optional fields] - fstype source superoptions"
        const auto trattino = riga.find(" - ");
        if (trattino == std::string::npos) continue;
        std::istringstream dopo(riga.substr(trattino + 3));
        std::string tipo;
        dopo >> tipo;
        if (tipo != "cgroup2") continue;
        std::istringstream prima(riga.substr(0, trattino));
        std::string id, genitore, numeri, radice, punto;
        prima >> id >> genitore >> numeri >> radice >> punto;
        if (radice != "/") continue;  // a bind of a sub-cgroup is not the root
        const int fd = ::open(punto.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) return fd;
    }
    char cartella[] = "/tmp/ostrale-cgroup2.XXXXXX";
    if (!::mkdtemp(cartella)) {
        motivo = errore("no cgroup v2 hierarchy and no place to mount one", errno);
        return -1;
    }
    int fd = -1;
    if (::mount("cgroup2", cartella, "cgroup2", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) == 0) {
        fd = ::open(cartella, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::umount2(cartella, MNT_DETACH);
    } else {
        motivo = errore("no cgroup v2 hierarchy, and mounting one failed", errno);
    }
    ::rmdir(cartella);
    return fd;
}

// A bpffs at `cartella`, mounted when what is there is not one.
bool preparaBpffs(const std::string& cartella, std::string& motivo) {
    struct statfs info {};
    if (::statfs(cartella.c_str(), &info) == 0 &&
        static_cast<unsigned long>(info.f_type) == BPF_FS_MAGIC)
        return true;
    if (::mount("bpf", cartella.c_str(), "bpf", MS_NOSUID | MS_NODEV | MS_NOEXEC, "mode=0700") == 0)
        return true;
    motivo = errore("no bpffs at " + cartella, errno);
    return false;
}

// The pid namespace whose pids /proc shows, by its inode.
std::optional<ostrale_configurazione> spazioPid() {
    ostrale_configurazione c{};
    struct stat ns {};
    if (::stat("/proc/self/ns/pid", &ns) != 0) return std::nullopt;
    c.inum_pidns = static_cast<__u32>(ns.st_ino);
    return c;
}

// Removes from `nostra` the pins of our pid namespace (`prefisso`) whose daemon is gone, our own
// name included (a pid reused after a crash); other namespaces' pins are not ours to judge.
void rimuoviPinOrfani(const std::string& nostra, const std::string& prefisso) {
    if (DIR* d = ::opendir(nostra.c_str())) {
        while (const dirent* voce = ::readdir(d)) {
            const std::string nome = voce->d_name;
            if (nome.rfind(prefisso, 0) != 0) continue;
            const int pid = std::atoi(nome.c_str() + prefisso.size());
            const bool finito = pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH;
            if (finito || pid == ::getpid()) ::unlinkat(::dirfd(d), nome.c_str(), 0);
        }
        ::closedir(d);
    }
}

std::uint64_t inTick(std::uint64_t nanosecondi) {
    static const long tick = ::sysconf(_SC_CLK_TCK);
    return nanosecondi / (1'000'000'000ull / static_cast<std::uint64_t>(tick > 0 ? tick : 100));
}

std::uint64_t adessoMonotono() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000'000ull +
           static_cast<std::uint64_t>(t.tv_nsec);
}

}  // namespace

std::unique_ptr<AttribuzioneBpf> AttribuzioneBpf::carica(std::string& motivo,
                                                         const std::string& cartella) {
    libbpf_set_print(stampaLibbpf);
    std::unique_ptr<AttribuzioneBpf> a(new AttribuzioneBpf());
    const auto spazio = spazioPid();
    if (!spazio) {
        motivo = "cannot read this process's pid namespace";
        return nullptr;
    }
    a->cgroup_ = apriCgroupRadice(motivo);
    if (a->cgroup_ < 0) return nullptr;
    if (!preparaBpffs(cartella, motivo)) return nullptr;
    const std::string nostra = cartella + "/ostrale";
    if (::mkdir(nostra.c_str(), 0700) != 0 && errno != EEXIST) {
        motivo = errore("cannot create " + nostra, errno);
        return nullptr;
    }
    // One pin per daemon (several may run, one per network namespace), named by pid namespace
    // and pid.
    const std::string prefisso = "tupla-" + std::to_string(spazio->inum_pidns) + "-";
    rimuoviPinOrfani(nostra, prefisso);
    a->filtro_ = nostra + "/" + prefisso + std::to_string(::getpid());
    if (!a->apriProgrammi(*spazio, motivo)) return nullptr;
    if (!a->collegaProgrammi(motivo)) return nullptr;
    return a;
}

bool AttribuzioneBpf::apriProgrammi(const ostrale_configurazione& spazio, std::string& motivo) {
    bpf_object_open_opts opzioni{};
    opzioni.sz = sizeof opzioni;
    opzioni.object_name = "ostrale";
    oggetto_ =
        bpf_object__open_mem(ostrale_proprietari_bpf, ostrale_proprietari_bpf_dimensione, &opzioni);
    if (!oggetto_) {
        motivo = errore("cannot open the kernel programs", errno);
        return false;
    }
    if (const int e = bpf_object__load(oggetto_); e != 0) {
        motivo = errore("the kernel refused the programs", e);
        return false;
    }
    const int configurazione = bpf_object__find_map_fd_by_name(oggetto_, "configurazione");
    const __u32 zero = 0;
    if (configurazione < 0 || bpf_map_update_elem(configurazione, &zero, &spazio, BPF_ANY) != 0) {
        motivo = errore("cannot configure the kernel programs", errno);
        return false;
    }
    flussi_ = ring_buffer__new(bpf_object__find_map_fd_by_name(oggetto_, "flussi"),
                               &AttribuzioneBpf::suFlusso, this, nullptr);
    if (!flussi_) {
        motivo = errore("cannot map the flows ring", errno);
        return false;
    }
    return true;
}

bool AttribuzioneBpf::collegaProgrammi(std::string& motivo) {
    const char* cgroup[] = {"alla_creazione", "al_collegamento4", "al_collegamento6", "all_invio4",
                            "all_invio6"};
    std::size_t i = 0;
    for (const char* nome : cgroup) {
        bpf_program* p = bpf_object__find_program_by_name(oggetto_, nome);
        collegamenti_[i] = p ? bpf_program__attach_cgroup(p, cgroup_) : nullptr;
        if (!collegamenti_[i++]) {
            motivo = errore(std::string("cannot attach ") + nome + " to the cgroup root", errno);
            return false;
        }
    }
    for (const char* nome : {"all_esecuzione", "all_uscita"}) {
        bpf_program* p = bpf_object__find_program_by_name(oggetto_, nome);
        collegamenti_[i] = p ? bpf_program__attach(p) : nullptr;
        if (!collegamenti_[i++]) {
            motivo = errore(std::string("cannot attach ") + nome, errno);
            return false;
        }
    }
    bpf_program* filtro = bpf_object__find_program_by_name(oggetto_, "tupla");
    if (!filtro || bpf_program__pin(filtro, filtro_.c_str()) != 0) {
        motivo = errore("cannot pin the tuple filter at " + filtro_, errno);
        filtro_.clear();
        return false;
    }
    return true;
}

AttribuzioneBpf::~AttribuzioneBpf() {
    fine_ = true;
    if (filo_.joinable()) filo_.join();
    if (anello_) ring_buffer__free(anello_);
    if (flussi_) ring_buffer__free(flussi_);
    for (bpf_link* l : collegamenti_) {
        if (l) bpf_link__destroy(l);
    }
    if (!filtro_.empty()) ::unlink(filtro_.c_str());
    if (oggetto_) bpf_object__close(oggetto_);
    if (cgroup_ >= 0) ::close(cgroup_);
}

namespace {

std::array<unsigned char, 40> chiaveTupla(const ostrale_tupla& t) {
    static_assert(sizeof t == 40);
    std::array<unsigned char, 40> chiave;
    std::memcpy(chiave.data(), &t, sizeof t);
    return chiave;
}

}  // namespace

AttribuzioneBpf::Posto* AttribuzioneBpf::insieme(const ChiaveNota& chiave) {
    const std::size_t impronta = std::hash<std::string_view>{}(
        std::string_view(reinterpret_cast<const char*>(chiave.data()), chiave.size()));
    return &note_[(impronta % insiemi) * vie];
}

int AttribuzioneBpf::suFlusso(void* contesto, void* dati, std::size_t dimensione) {
    if (dimensione < sizeof(ostrale_flusso)) return 0;
    ostrale_flusso f{};
    std::memcpy(&f, dati, sizeof f);
    auto* a = static_cast<AttribuzioneBpf*>(contesto);
    const ChiaveNota chiave = chiaveTupla(f.tupla);
    Posto* const posti = a->insieme(chiave);
    // An older note of the same tuple is another flow's: it gives way in any case.
    Posto* scelto = nullptr;
    for (std::size_t i = 0; i < vie; ++i) {
        if (posti[i].occupato && posti[i].chiave == chiave) {
            posti[i].occupato = false;
            scelto = &posti[i];
        }
    }
    // No owner we can name (not noted, or outside our pid namespace): nothing to keep.
    if (f.proprietario.pid == 0) return 0;
    for (std::size_t i = 0; i < vie && !scelto; ++i) {
        if (!posti[i].occupato) scelto = &posti[i];
    }
    if (!scelto) {
        scelto = &posti[0];
        for (std::size_t i = 1; i < vie; ++i) {
            if (posti[i].nota.tempo < scelto->nota.tempo) scelto = &posti[i];
        }
    }
    ProprietarioFlusso p;
    p.pid = static_cast<int>(f.proprietario.pid);
    p.uid = f.proprietario.uid;
    p.inizio = inTick(f.proprietario.inizio);
    p.inode = f.proprietario.inode;
    p.montaggio = f.proprietario.montaggio;
    *scelto = Posto{chiave, Nota{p, f.proprietario.tempo}, true};
    return 0;
}

std::optional<ProprietarioFlusso> AttribuzioneBpf::cerca(const TuplaPacchetto& t) {
    // The filter notes flows with ports, and pings (ICMP, ICMPv6) by their identifier.
    if (!t.conPorte && t.protocollo != 1 && t.protocollo != 58) return std::nullopt;
    ostrale_tupla chiave{};
    chiave.famiglia = static_cast<__u8>(t.famiglia);
    chiave.protocollo = static_cast<__u8>(t.protocollo);
    chiave.porta_origine = htons(t.portaOrigine);
    chiave.porta_destinazione = htons(t.portaDestinazione);
    const std::size_t lunghezza = t.famiglia == 4 ? 4 : 16;
    std::memcpy(chiave.origine, t.origineGrezza, lunghezza);
    std::memcpy(chiave.destinazione, t.destinazioneGrezza, lunghezza);
    const ChiaveNota cercata = chiaveTupla(chiave);
    std::lock_guard blocco(mutex_);
    // The filter's note was written before the packet was queued: it is in the ring by now.
    ring_buffer__consume(flussi_);
    Posto* const posti = insieme(cercata);
    for (std::size_t i = 0; i < vie; ++i) {
        Posto& posto = posti[i];
        if (!posto.occupato || posto.chiave != cercata) continue;
        posto.occupato = false;
        if (adessoMonotono() - posto.nota.tempo > 5'000'000'000ull) return std::nullopt;
        return posto.nota.proprietario;
    }
    return std::nullopt;
}

int AttribuzioneBpf::suEvento(void* contesto, void* dati, std::size_t dimensione) {
    if (dimensione < sizeof(ostrale_evento_processo)) return 0;
    ostrale_evento_processo e{};
    std::memcpy(&e, dati, sizeof e);
    EventoProcesso evento{e.tipo == OSTRALE_ESECUZIONE ? EventoProcesso::Tipo::esecuzione
                                                       : EventoProcesso::Tipo::uscita,
                          static_cast<int>(e.pid), inTick(e.inizio), e.inode, e.montaggio};
    static_cast<AttribuzioneBpf*>(contesto)->osservatore_(evento);
    return 0;
}

void AttribuzioneBpf::osservaProcessi(std::function<void(const EventoProcesso&)> osservatore) {
    if (filo_.joinable()) return;
    osservatore_ = std::move(osservatore);
    const int mappa = bpf_object__find_map_fd_by_name(oggetto_, "processi");
    anello_ = ring_buffer__new(mappa, &AttribuzioneBpf::suEvento, this, nullptr);
    if (!anello_) {
        registro().errore(errore("process events unavailable", errno));
        return;
    }
    filo_ = std::thread([this] {
        while (!fine_) ring_buffer__poll(anello_, 200);
    });
}

}  // namespace ostrale
