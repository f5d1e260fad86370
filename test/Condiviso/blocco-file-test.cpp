// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/blocco-file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "test/supporto/cartella-temporanea.h"

namespace ostrale {
namespace {

using Modo = BloccoFile::Modo;

TEST(BloccoFile, OneHolderAtATimeAndItsPidForAnOwnLock) {
    test::CartellaTemporanea cartella;
    const auto percorso = cartella / "uno.lock";
    EXPECT_FALSE(BloccoFile::titolare(percorso));
    {
        auto primo = BloccoFile::prendi(percorso, Modo::proprio);
        ASSERT_TRUE(primo);
        EXPECT_FALSE(BloccoFile::prendi(percorso, Modo::proprio, std::chrono::milliseconds(20)));
        EXPECT_EQ(BloccoFile::titolare(percorso), ::getpid());
        struct stat info {};
        ASSERT_EQ(::stat(percorso.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u);
    }
    EXPECT_FALSE(BloccoFile::titolare(percorso));  // released with the object
    EXPECT_TRUE(BloccoFile::prendi(percorso, Modo::proprio));
}

TEST(BloccoFile, NobodyElsesFileDecidesWhoHoldsALockAndNoneIsWrittenThrough) {
    test::CartellaTemporanea cartella;
    // Another name of a file that is not a lock: never opened for the lock, never written.
    cartella.scrivi("prezioso", "contenuto");
    ASSERT_EQ(::link((cartella / "prezioso").c_str(), (cartella / "regole.lock").c_str()), 0);
    EXPECT_FALSE(BloccoFile::prendi(cartella / "regole.lock", Modo::condiviso));
    ASSERT_EQ(::link((cartella / "prezioso").c_str(), (cartella / "mio.lock").c_str()), 0);
    auto mio = BloccoFile::prendi(cartella / "mio.lock", Modo::proprio);
    ASSERT_TRUE(mio);  // the link went, a file of its own took the name
    EXPECT_EQ(cartella.leggi("prezioso"), "contenuto");
    // A shared lock made by another member of the group is used as it is.
    const int fd = ::open((cartella / "comune.lock").c_str(), O_CREAT | O_RDWR, 0660);
    ASSERT_GE(fd, 0);
    if (::geteuid() == 0) {
        ASSERT_EQ(::fchown(fd, 65534, 65534), 0);
    }
    ::close(fd);
    auto comune = BloccoFile::prendi(cartella / "comune.lock", Modo::condiviso);
    ASSERT_TRUE(comune);
    if (::geteuid() == 0) {
        // A lock of one's own is never somebody else's file: it is replaced.
        const int altrui = ::open((cartella / "altrui.lock").c_str(), O_CREAT | O_RDWR, 0666);
        ASSERT_EQ(::fchown(altrui, 65534, 65534), 0);
        ::close(altrui);
        ASSERT_TRUE(BloccoFile::prendi(cartella / "altrui.lock", Modo::proprio));
        struct stat info {};
        ASSERT_EQ(::stat((cartella / "altrui.lock").c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 0u);
    }
}

}  // namespace
}  // namespace ostrale
