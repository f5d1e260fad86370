// SPDX-License-Identifier: GPL-3.0-or-later
#include "Condiviso/rete-locale.h"

#include <gtest/gtest.h>

namespace ostrale {
namespace {

TEST(ReteLocale, Ipv4Ranges) {
    for (const char* locale :
         {"192.168.1.10", "10.0.0.1", "127.0.0.1", "169.254.3.4", "172.16.0.1", "172.31.255.255",
          "100.64.0.1", "100.127.0.1", "224.0.0.251", "255.255.255.255", "10.x.0.0.1", "300.1.1.1",
          "+10.0.0.1", "10..0.0.1", "10.0.0.1.", "10.-1.0.1"}) {
        EXPECT_TRUE(ReteLocale::èLocale(locale)) << locale;
    }
    for (const char* esterno :
         {"172.32.0.1", "100.128.0.1", "100.63.255.255", "169.253.1.1", "203.0.113.5",
          "192.169.0.1", "172.15.0.1", "10.0.0", "10.0.0.1.1", "", "?", "example.org",
          "223.255.0.1", "+-10.0.0.1", "99999999999999999999.0.0.1"}) {
        EXPECT_FALSE(ReteLocale::èLocale(esterno)) << esterno;
    }
}

TEST(ReteLocale, Ipv6Prefixes) {
    for (const char* locale :
         {"::1", "FE80::1", "fd12::1", "fc00::1", "ff02::fb", "::ffff:203.0.113.5", "::"}) {
        EXPECT_TRUE(ReteLocale::èLocale(locale)) << locale;
    }
    for (const char* esterno : {"2001:db8::1", "fe8::1", "fe90::1", "2a00:1450::1"}) {
        EXPECT_FALSE(ReteLocale::èLocale(esterno)) << esterno;
    }
}

}  // namespace
}  // namespace ostrale
