// SPDX-License-Identifier: GPL-3.0-or-later
// Finding the owner of real sockets of this very process.
#include "Estensione/Linux/identita-processo.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "test/supporto/cartella-temporanea.h"

#include <random>

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

TEST(IdentitaProcesso, IdentityOfAProcess) {
    RisolutoreLinux risolutore;
    const auto token = tokenDi(::getpid(), ::geteuid());
    ASSERT_TRUE(token);
    const auto firma = risolutore.firma(*token);
    ASSERT_TRUE(firma);
    EXPECT_EQ(*firma, std::filesystem::read_symlink("/proc/self/exe").string());
    // A token of another process (start time) that ran an executable never seen names nobody.
    TokenApp falso = *token;
    falso[4] ^= 0x55;
    falso[16] ^= 0x55;
    EXPECT_FALSE(risolutore.firma(falso));
}

// A /proc of our own making: one process whose executable link can be pointed elsewhere, as an
// exec does, or removed, as an exit does.
TEST(IdentitaProcesso, ProcessThatExecsOrEndsKeepsTheNameOfWhatItRan) {
    test::CartellaTemporanea proc;
    const auto base = proc.percorso() / "4242";
    std::filesystem::create_directories(base);
    {
        std::ofstream stat(base / "stat");
        stat << "4242 (python3) S 1 4242 4242 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 777 1 0 1\n";
    }
    std::filesystem::create_symlink("/usr/bin/env", base / "exe");
    // A token as the kernel's note gives it: inode and mount id of the executable.
    auto immagine = [](const char* percorso, std::uint32_t scarto = 0) {
        struct statx info {};
        ::statx(AT_FDCWD, percorso, 0, STATX_INO | STATX_MNT_ID, &info);
        ProprietarioFlusso p;
        p.pid = 4242;
        p.inizio = 777;
        p.inode = info.stx_ino;
        p.montaggio = static_cast<std::uint32_t>(info.stx_mnt_id) + scarto;
        return tokenDi(p);
    };
    const TokenApp prima = immagine("/usr/bin/env");
    const TokenApp dopo = immagine("/usr/bin/cmp");
    // The same inode number on another mount (a FUSE server may choose any) is another file.
    const TokenApp altrove = immagine("/usr/bin/env", 1);
    RisolutoreLinux risolutore0(proc.percorso().string());
    EXPECT_FALSE(risolutore0.firma(altrove));
    RisolutoreLinux risolutore(proc.percorso().string());
    EXPECT_EQ(risolutore.firma(prima), "/usr/bin/env");
    // The process runs another program: the new one is named for its flows, and so is the old
    // one for the flows made before (what was cached for the pid is forgotten).
    std::filesystem::remove(base / "exe");
    std::filesystem::create_symlink("/usr/bin/cmp", base / "exe");
    struct stat cmp {};
    ASSERT_EQ(::stat("/usr/bin/cmp", &cmp), 0);
    risolutore.eseguito({EventoProcesso::Tipo::esecuzione, 4242, 777, cmp.st_ino});
    EXPECT_EQ(risolutore.firma(dopo), "/usr/bin/cmp");
    EXPECT_EQ(risolutore.firma(prima), "/usr/bin/env");
    // It ends: what it ran is still known; an executable never seen is not guessed.
    std::filesystem::remove_all(base);
    risolutore.uscito(4242);
    EXPECT_EQ(risolutore.firma(prima), "/usr/bin/env");
    EXPECT_EQ(risolutore.firma(dopo), "/usr/bin/cmp");
    EXPECT_FALSE(risolutore.firma(immagine("/usr/bin/tee")));
    EXPECT_FALSE(risolutore.firma(altrove));
}

TEST(IdentitaProcesso, FlatpakSnapAndStatFields) {
    EXPECT_EQ(applicazioneFlatpak(
                  "[Application]\nname=org.mozilla.firefox\nruntime=x\n\n[Instance]\nname=zzz\n"),
              "org.mozilla.firefox");
    EXPECT_FALSE(applicazioneFlatpak("[Instance]\nname=org.example.App\n"));
    // Only well-formed ids: never a path, never an id that could pass for one.
    EXPECT_FALSE(applicazioneFlatpak("[Application]\nname=/usr/sbin/NetworkManager\n"));
    EXPECT_TRUE(idFlatpakValido("org.example.App_2-beta"));
    for (const char* id : {"org.example", "org..App", "org.1example.App", "org.example.App/x",
                           "org.example.\xC3\xA9", ".org.example.App", ""}) {
        EXPECT_FALSE(idFlatpakValido(id)) << id;
    }
    // The Snap name comes from the AppArmor label; a cgroup path is no label.
    EXPECT_EQ(nomeSnap("snap.firefox.firefox (enforce)\n"), "firefox");
    EXPECT_EQ(nomeSnap("snap.signal-desktop.hook.configure (complain)"), "signal-desktop");
    EXPECT_FALSE(
        nomeSnap("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                 "snap.firefox.firefox-1234.scope\n"));
    EXPECT_FALSE(nomeSnap("unconfined\n"));
    EXPECT_FALSE(nomeSnap("snap.Fire/fox.x (enforce)"));
    // A command name with spaces and parentheses does not shift the fields.
    EXPECT_EQ(inizioProcesso("42 (a (b) c) S 1 42 42 0 -1 4194560 100 0 0 0 1 2 0 0 20 0 1 0 "
                             "987654 10 0 18446744073709551615"),
              987654u);
    EXPECT_FALSE(inizioProcesso("42 (x) S 1 2"));
}

TEST(IdentitaProcesso, IdentitiesAreValidTextThatGivesBackTheirBytes) {
    // Valid UTF-8 stays as it is; a byte that is not becomes \xHH.
    EXPECT_EQ(identitàValida("/opt/caffè/app"), "/opt/caffè/app");
    EXPECT_EQ(identitàValida("/opt/caf\xE9/app"), "/opt/caf\\xE9/app");
    EXPECT_EQ(identitàValida("/opt/\xC0\xAF/x"), "/opt/\\xC0\\xAF/x");       // an overlong slash
    EXPECT_EQ(identitàValida("/opt/\xED\xA0\x80"), "/opt/\\xED\\xA0\\x80");  // a surrogate
    // A path that spells an escape itself cannot pass for the byte: its backslash is escaped.
    EXPECT_EQ(identitàValida("/opt/caf\\xE9/app"), "/opt/caf\\x5CxE9/app");
    EXPECT_NE(identitàValida("/opt/caf\\xE9/app"), identitàValida("/opt/caf\xE9/app"));
    EXPECT_EQ(identitàValida("/opt/a\\b"), "/opt/a\\b");
    // Round trip over every byte value and random strings.
    std::string tutti;
    for (int c = 1; c < 256; ++c) tutti.push_back(static_cast<char>(c));
    EXPECT_EQ(identitàGrezza(identitàValida(tutti)), tutti);
    std::mt19937 caso(7);
    for (int i = 0; i < 2000; ++i) {
        std::string s(caso() % 40, '\0');
        for (char& c : s) c = "\\x/aE9\xC3\xA9\xFF"[caso() % 9];
        ASSERT_EQ(identitàGrezza(identitàValida(s)), s) << i;
    }
}

TEST(IdentitaProcesso, LongIdentitiesAreCutWithADigest) {
    const std::string base = "/home/u/" + std::string(1500, 'a');
    const std::string a = identitàValida(base + "/uno"), b = identitàValida(base + "/due");
    EXPECT_LE(a.size(), lunghezzaMassimaIdentità);
    EXPECT_NE(a, b);  // same first kilobyte, told apart by the digest
    EXPECT_EQ(a, identitàValida(base + "/uno"));
    EXPECT_EQ(a.substr(a.size() - 17, 1), "#");
    // The cut splits neither a character nor an escape.
    for (const std::string pezzo : {"è", "\xE9"}) {
        std::string lungo = "/p/";
        while (lungo.size() < 1100) lungo += pezzo;
        const std::string v = identitàValida(lungo);
        EXPECT_LE(v.size(), lunghezzaMassimaIdentità);
        const std::string testa = v.substr(0, v.size() - 17);
        EXPECT_EQ(identitàValida(identitàGrezza(testa)), testa);
    }
    EXPECT_EQ(identitàValida(std::string(1024, 'b')), std::string(1024, 'b'));
}

TEST(IdentitaProcesso, MountsFromMountinfo) {
    const std::string mountinfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "90 22 7:3 / /tmp/.mount_Prova\\040x ro,nodev master:4 - squashfs /dev/loop3 ro\n"
        "91 22 0:55 / /home/eve/dati\\134x rw shared:9 - fuse.sshfs eve@host: rw,user_id=1000\n"
        "92 22 0:56 / /tmp/.mount_Altra rw - fuse.Altra.AppImage Altra.AppImage ro\n";
    const auto prova = puntoDiMontaggio(mountinfo, "/tmp/.mount_Prova x");
    ASSERT_TRUE(prova);
    EXPECT_EQ(prova->tipo, "squashfs");
    EXPECT_EQ(prova->sorgente, "/dev/loop3");
    EXPECT_EQ(prova->dispositivo, "7:3");
    EXPECT_EQ(puntoDiMontaggio(mountinfo, "/tmp/.mount_Altra")->tipo, "fuse.Altra.AppImage");
    EXPECT_FALSE(puntoDiMontaggio(mountinfo, "/tmp/.mount_Nessuna"));
    // A mount over another at the same point: the one on top.
    EXPECT_EQ(puntoDiMontaggio(mountinfo + "93 22 0:57 / /tmp/.mount_Altra rw - tmpfs none rw\n",
                               "/tmp/.mount_Altra")
                  ->tipo,
              "tmpfs");
    EXPECT_EQ(montaggiSicuri(mountinfo), (std::unordered_set<std::uint64_t>{22, 90}));
    EXPECT_EQ(montaggi(mountinfo).at(91), "fuse.sshfs");
    EXPECT_FALSE(filesystemLocale("overlay"));
    EXPECT_FALSE(filesystemLocale("nfs4"));
    EXPECT_FALSE(filesystemLocale("proc"));
}

}  // namespace
}  // namespace ostrale
