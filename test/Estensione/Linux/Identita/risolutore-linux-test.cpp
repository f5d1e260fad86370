// SPDX-License-Identifier: GPL-3.0-or-later
// Naming this very process, and one of a /proc of the test's own making.
#include "Estensione/Linux/Identita/risolutore-linux.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "Estensione/Linux/Identita/token-processo.h"
#include "test/supporto/cartella-temporanea.h"

#include <gtest/gtest.h>

namespace ostrale {
namespace {

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

}  // namespace
}  // namespace ostrale
