// SPDX-License-Identifier: GPL-3.0-or-later
// The client of the latency benchmark: opens N new flows to ADDRESS:PORT, one after the other
// or from C threads at once, and prints the time each took to be established.
//   latenza-cliente tcp|udp|tls ADDRESS PORT N C
// tcp: socket, connect (timed), close with SO_LINGER {1,0} (no TIME_WAIT left behind).
// udp: socket, sendto, the echo received (timed), close.
// tls: socket, connect, a TLS ClientHello naming "bench.test", the server's first byte (all
//   timed), close as for tcp.
// dns: one lookup of "bench.test" sent to ADDRESS:PORT, so that its answer names the server.
// Prints one line: p50 p90 p99 (microseconds), flows per second, succeeded, failed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Orologio = std::chrono::steady_clock;

// A minimal TLS 1.2 ClientHello (one cipher suite, no compression) with the server name
// "bench.test": what names a connection's server on its first data.
std::string clientHello() {
    const std::string nome = "bench.test";
    auto u16 = [](std::size_t v) { return std::string{char(v >> 8), char(v & 0xff)}; };
    const std::string sni = u16(nome.size() + 3) + '\0' + u16(nome.size()) + nome;
    const std::string estensioni = std::string("\0\0", 2) + u16(sni.size()) + sni;
    std::string corpo = std::string("\x03\x03", 2) + std::string(32, 'r') + '\0' + u16(2) +
                        std::string("\x13\x01", 2) + std::string("\x01\x00", 2) +
                        u16(estensioni.size()) + estensioni;
    const std::string stretta = std::string("\x01\0", 2) + u16(corpo.size()) + corpo;
    return std::string("\x16\x03\x01", 3) + u16(stretta.size()) + stretta;
}

bool unFlusso(bool tcp, bool tls, const sockaddr_in& server, double& microsecondi) {
    static const std::string saluto = clientHello();
    const int fd = ::socket(AF_INET, (tcp ? SOCK_STREAM : SOCK_DGRAM) | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool riuscito = false;
    if (tcp) {
        linger l{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        timeval attesa{3, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &attesa, sizeof attesa);
        const auto inizio = Orologio::now();
        riuscito = ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) == 0;
        if (riuscito && tls) {
            char b;
            pollfd p{fd, POLLIN, 0};
            riuscito = ::send(fd, saluto.data(), saluto.size(), MSG_NOSIGNAL) ==
                           static_cast<ssize_t>(saluto.size()) &&
                       ::poll(&p, 1, 3000) == 1 && ::recv(fd, &b, 1, 0) == 1;
        }
        microsecondi = std::chrono::duration<double, std::micro>(Orologio::now() - inizio).count();
    } else {
        char b = 'x';
        const auto inizio = Orologio::now();
        if (::sendto(fd, &b, 1, 0, reinterpret_cast<const sockaddr*>(&server), sizeof server) ==
            1) {
            pollfd p{fd, POLLIN, 0};
            riuscito = ::poll(&p, 1, 3000) == 1 && ::recv(fd, &b, 1, 0) == 1;
        }
        microsecondi = std::chrono::duration<double, std::micro>(Orologio::now() - inizio).count();
    }
    ::close(fd);
    return riuscito;
}

double percentile(std::vector<double>& v, double p) {
    if (v.empty()) return 0;
    const auto i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    std::nth_element(v.begin(), v.begin() + static_cast<long>(i), v.end());
    return v[i];
}

// One lookup of "bench.test" (type A); true once answered.
bool risolvi(const sockaddr_in& server) {
    const std::string domanda(
        "\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00"
        "\x05"
        "bench"
        "\x04"
        "test"
        "\x00\x00\x01\x00\x01",
        28);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    char b[512];
    pollfd p{fd, POLLIN, 0};
    const bool riuscito = ::sendto(fd, domanda.data(), domanda.size(), 0,
                                   reinterpret_cast<const sockaddr*>(&server), sizeof server) > 0 &&
                          ::poll(&p, 1, 3000) == 1 && ::recv(fd, b, sizeof b, 0) > 12;
    ::close(fd);
    return riuscito;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "uso: latenza-cliente tcp|udp|tls ADDRESS PORT N C\n");
        return 2;
    }
    const bool tls = std::strcmp(argv[1], "tls") == 0;
    const bool tcp = tls || std::strcmp(argv[1], "tcp") == 0;
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[3])));
    if (::inet_pton(AF_INET, argv[2], &server.sin_addr) != 1) return 2;
    if (std::strcmp(argv[1], "dns") == 0) return risolvi(server) ? 0 : 1;
    const int n = std::atoi(argv[4]);
    const int c = std::max(1, std::atoi(argv[5]));
    std::vector<std::vector<double>> tempi(static_cast<std::size_t>(c));
    std::atomic<int> falliti = 0;
    const auto inizio = Orologio::now();
    std::vector<std::thread> fili;
    for (int t = 0; t < c; ++t) {
        fili.emplace_back([&, t] {
            auto& miei = tempi[static_cast<std::size_t>(t)];
            for (int i = t; i < n; i += c) {
                double us = 0;
                if (unFlusso(tcp, tls, server, us)) {
                    miei.push_back(us);
                } else {
                    ++falliti;
                }
            }
        });
    }
    for (auto& f : fili) f.join();
    const double secondi = std::chrono::duration<double>(Orologio::now() - inizio).count();
    std::vector<double> tutti;
    for (auto& v : tempi) tutti.insert(tutti.end(), v.begin(), v.end());
    const double riusciti = static_cast<double>(tutti.size());
    std::printf("%.1f %.1f %.1f %.0f %zu %d\n", percentile(tutti, 0.50), percentile(tutti, 0.90),
                percentile(tutti, 0.99), riusciti / secondi, tutti.size(), falliti.load());
    return falliti == 0 ? 0 : 1;
}
