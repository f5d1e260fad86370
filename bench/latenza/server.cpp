// SPDX-License-Identifier: GPL-3.0-or-later
// The server of the latency benchmark: accepts TCP connections and closes them at once, and
// echoes UDP datagrams, on PORT of every address, until killed. On port 443 it reads the
// client's first data, answers one byte and closes.
//   latenza-server PORT
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    sockaddr_in qui{};
    qui.sin_family = AF_INET;
    qui.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[1])));
    const int tcp = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int udp = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    int uno = 1;
    ::setsockopt(tcp, SOL_SOCKET, SO_REUSEADDR, &uno, sizeof uno);
    if (::bind(tcp, reinterpret_cast<sockaddr*>(&qui), sizeof qui) != 0 ||
        ::listen(tcp, 4096) != 0 || ::bind(udp, reinterpret_cast<sockaddr*>(&qui), sizeof qui) != 0)
        return 1;
    sockaddr_in tls = qui;
    tls.sin_port = htons(443);
    const int primo = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::setsockopt(primo, SOL_SOCKET, SO_REUSEADDR, &uno, sizeof uno);
    if (::bind(primo, reinterpret_cast<sockaddr*>(&tls), sizeof tls) != 0 ||
        ::listen(primo, 4096) != 0)
        return 1;
    std::vector<std::thread> fili;
    fili.emplace_back([primo] {
        for (;;) {
            const int c = ::accept4(primo, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            char b[2048];
            if (::recv(c, b, sizeof b, 0) > 0) ::send(c, "x", 1, MSG_NOSIGNAL);
            ::close(c);
        }
    });
    for (int i = 0; i < 2; ++i) {
        fili.emplace_back([tcp] {
            for (;;) {
                const int c = ::accept4(tcp, nullptr, nullptr, SOCK_CLOEXEC);
                if (c >= 0) ::close(c);
            }
        });
    }
    for (;;) {
        char b[64];
        sockaddr_in da{};
        socklen_t l = sizeof da;
        const ssize_t n = ::recvfrom(udp, b, sizeof b, 0, reinterpret_cast<sockaddr*>(&da), &l);
        if (n > 0)
            ::sendto(udp, b, static_cast<std::size_t>(n), 0, reinterpret_cast<sockaddr*>(&da), l);
    }
}
