// The server of the latency benchmark: accepts TCP connections and closes them at once, and
// echoes UDP datagrams, on PORT of every address, until killed.
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
    std::vector<std::thread> fili;
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
