// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/monitor-resolved.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include <gtest/gtest.h>

#include "test/supporto/cartella-temporanea.h"

namespace ostrale {
namespace {

const char* const risultato =
    R"({"parameters":{"state":"success","rcode":0,"question":[{"class":1,"type":1,"name":"WWW.Example.org."}],)"
    R"("answer":[{"rr":{"key":{"class":1,"type":5,"name":"www.example.org"},"name":"cdn.example.net"}},)"
    R"({"rr":{"key":{"class":1,"type":1,"name":"cdn.example.net"},"address":[203,0,113,7]},"ifindex":2},)"
    R"({"rr":{"key":{"class":1,"type":28,"name":"cdn.example.net"},"address":[32,1,13,184,0,0,0,0,0,0,0,0,0,0,0,9]}}]},"continues":true})";

TEST(MonitorResolved, MessagesBecomeAnswers) {
    const auto r = MonitorResolved::leggiMessaggio(risultato);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->domanda, "www.example.org");
    ASSERT_EQ(r->indirizzi.size(), 2u);
    EXPECT_EQ(r->indirizzi[0].testo, "203.0.113.7");
    EXPECT_EQ(r->indirizzi[1].testo, "2001:db8::9");
    for (const char* strano :
         {"", "{", "[]", R"({"parameters":{"question":[],"answer":[]}})",
          R"({"parameters":{"question":[{"name":"a"}],"answer":[{"rr":{"address":[300,1,1,1]}}]}})",
          R"({"parameters":{"question":[{"name":7}],"answer":[]}})"}) {
        EXPECT_FALSE(MonitorResolved::leggiMessaggio(strano)) << strano;
    }
}

TEST(MonitorResolved, FollowsAVarlinkMonitor) {
    test::CartellaTemporanea cartella;
    const auto percorso = cartella / "monitor";
    const int ascolto = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un indirizzo{};
    indirizzo.sun_family = AF_UNIX;
    std::strcpy(indirizzo.sun_path, percorso.c_str());
    ASSERT_EQ(::bind(ascolto, reinterpret_cast<sockaddr*>(&indirizzo), sizeof indirizzo), 0);
    ASSERT_EQ(::listen(ascolto, 1), 0);
    std::string richiesta;
    std::thread server([&] {
        const int fd = ::accept(ascolto, nullptr, nullptr);
        char c;
        while (::recv(fd, &c, 1, 0) == 1 && c != '\0') richiesta.push_back(c);
        const std::string risposta = std::string(risultato) + '\0';
        // Split across writes, as a stream may deliver it.
        ::send(fd, risposta.data(), 40, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::send(fd, risposta.data() + 40, risposta.size() - 40, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::close(fd);
    });
    OrologioFinto orologio;
    CacheNomi nomi;
    {
        MonitorResolved monitor(nomi, orologio, percorso);
        monitor.avvia();
        for (int i = 0; i < 300 && !nomi.nome("203.0.113.7", orologio.adesso()); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        server.join();
    }
    EXPECT_NE(richiesta.find("io.systemd.Resolve.Monitor.SubscribeQueryResults"),
              std::string::npos);
    EXPECT_EQ(nomi.nome("203.0.113.7", orologio.adesso()), "www.example.org");
    EXPECT_EQ(nomi.nome("2001:db8::9", orologio.adesso()), "www.example.org");
    ::close(ascolto);
}

}  // namespace
}  // namespace ostrale
