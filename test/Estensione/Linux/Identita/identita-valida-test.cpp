// SPDX-License-Identifier: GPL-3.0-or-later
#include "Estensione/Linux/Identita/identita-valida.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

namespace ostrale {
namespace {

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

}  // namespace
}  // namespace ostrale
