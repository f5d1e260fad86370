// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/fuso-orario.h"

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "Condiviso/fascia-oraria.h"

namespace ostrale {
namespace {

// In a mount namespace of its own, the machine's zone file is replaced under a running process
// (what a change of time zone in the settings does): the time windows follow once the zone is
// read again, without a restart.
TEST(FusoOrario, ANewZoneFileIsSeenWithoutARestart) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root for a mount namespace";
    const pid_t figlio = ::fork();
    ASSERT_GE(figlio, 0);
    if (figlio == 0) {
        auto monta = [](const char* file) {
            return ::mount(file, "/etc/localtime", nullptr, MS_BIND, nullptr) == 0;
        };
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            !monta("/usr/share/zoneinfo/UTC")) {
            ::_exit(77);
        }
        // As some units set it: the default file by name.
        ::setenv("TZ", ":/etc/localtime", 1);
        preparaFusoOrario();
        const Data mezzanotte = Data::daUnix(1'780'000'000 - 1'780'000'000 % 86400);
        if (minutoDelGiorno(mezzanotte) != 0) ::_exit(1);
        if (!monta("/usr/share/zoneinfo/Asia/Tokyo")) ::_exit(77);
        rileggiFusoOrario();
        // Tokyo is nine hours ahead, with no daylight saving time.
        ::_exit(minutoDelGiorno(mezzanotte) == 9 * 60 ? 0 : 2);
    }
    int stato = 0;
    ASSERT_EQ(::waitpid(figlio, &stato, 0), figlio);
    ASSERT_TRUE(WIFEXITED(stato));
    if (WEXITSTATUS(stato) == 77) GTEST_SKIP() << "no mount namespace or zone files here";
    EXPECT_EQ(WEXITSTATUS(stato), 0) << "1: wrong start, 2: the new zone was not seen";
}

}  // namespace
}  // namespace ostrale
