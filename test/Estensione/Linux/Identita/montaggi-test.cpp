// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/montaggi.h"

#include <gtest/gtest.h>

namespace ostrale {
namespace {

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
