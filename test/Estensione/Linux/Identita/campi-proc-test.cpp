// SPDX-License-Identifier: GPL-3.0-or-later
// What a process's /proc files say: its Flatpak sandbox, its AppArmor label, its start.
#include "Estensione/Linux/Identita/flatpak.h"
#include "Estensione/Linux/Identita/snap.h"
#include "Estensione/Linux/Identita/token-processo.h"

#include <gtest/gtest.h>

namespace ostrale {
namespace {

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

}  // namespace
}  // namespace ostrale
