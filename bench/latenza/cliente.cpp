// The client of the latency benchmark: opens N new flows to ADDRESS:PORT, one after the other
// or from C threads at once, and prints the time each took to be established.
//   latenza-cliente tcp|udp ADDRESS PORT N C
// tcp: socket, connect (timed), close with SO_LINGER {1,0} (no TIME_WAIT left behind).
// udp: socket, sendto, the echo received (timed), close.
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

bool unFlusso(bool tcp, const sockaddr_in& server, double& microsecondi) {
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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "uso: latenza-cliente tcp|udp ADDRESS PORT N C\n");
        return 2;
    }
    const bool tcp = std::strcmp(argv[1], "tcp") == 0;
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[3])));
    if (::inet_pton(AF_INET, argv[2], &server.sin_addr) != 1) return 2;
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
                if (unFlusso(tcp, server, us)) {
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
