// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the owner of real sockets of this very process.
#include "Estensione/Linux/Identita/proprietari-socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>

namespace ostrale {
namespace {

struct Presa {
    int fd = -1;
    sockaddr_in indirizzo{};
    explicit Presa(int tipo) : fd(::socket(AF_INET, tipo | SOCK_CLOEXEC, 0)) {
        indirizzo.sin_family = AF_INET;
        indirizzo.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    }
    ~Presa() { ::close(fd); }
    std::uint64_t inode() const {
        struct stat info {};
        ::fstat(fd, &info);
        return info.st_ino;
    }
    void lega() {
        ::bind(fd, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo);
        socklen_t l = sizeof indirizzo;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&indirizzo), &l);
    }
};

TuplaPacchetto tupla(int protocollo, const sockaddr_in& da, const sockaddr_in& a) {
    TuplaPacchetto t;
    t.famiglia = 4;
    t.protocollo = protocollo;
    t.conPorte = true;
    std::memcpy(t.origineGrezza, &da.sin_addr, 4);
    std::memcpy(t.destinazioneGrezza, &a.sin_addr, 4);
    t.portaOrigine = ntohs(da.sin_port);
    t.portaDestinazione = ntohs(a.sin_port);
    t.origine = "127.0.0.1";
    t.destinazione = "127.0.0.1";
    return t;
}

TEST(IdentitaProcesso, OwnersOfTcpAndUdpSocketsAreFound) {
    Presa server(SOCK_STREAM);
    server.lega();
    ASSERT_EQ(::listen(server.fd, 4), 0);
    Presa cliente(SOCK_STREAM);
    ASSERT_EQ(::connect(cliente.fd, reinterpret_cast<sockaddr*>(&server.indirizzo),
                        sizeof server.indirizzo),
              0);
    sockaddr_in locale{};
    socklen_t l = sizeof locale;
    ::getsockname(cliente.fd, reinterpret_cast<sockaddr*>(&locale), &l);

    const auto uscente = cercaSocket(tupla(6, locale, server.indirizzo), true);
    ASSERT_TRUE(uscente);
    EXPECT_EQ(uscente->inode, cliente.inode());
    EXPECT_EQ(uscente->uid, ::geteuid());
    // The inbound first packet belongs to the listening socket.
    const sockaddr_in ignoto = [] {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(40999);
        return a;
    }();
    const auto entrante = cercaSocket(tupla(6, ignoto, server.indirizzo), false);
    ASSERT_TRUE(entrante);
    EXPECT_EQ(entrante->inode, server.inode());

    Presa udpServer(SOCK_DGRAM);
    udpServer.lega();
    Presa udpCliente(SOCK_DGRAM);
    udpCliente.lega();
    ::sendto(udpCliente.fd, "x", 1, 0, reinterpret_cast<sockaddr*>(&udpServer.indirizzo),
             sizeof udpServer.indirizzo);
    const auto udp = cercaSocket(tupla(17, udpCliente.indirizzo, udpServer.indirizzo), true);
    ASSERT_TRUE(udp);
    EXPECT_EQ(udp->inode, udpCliente.inode());

    IndiceSocket indice;
    EXPECT_EQ(indice.pid(uscente->inode), ::getpid());
    EXPECT_EQ(indice.pid(udp->inode), ::getpid());
    EXPECT_FALSE(indice.pid(1));
}

}  // namespace
}  // namespace ostrale
