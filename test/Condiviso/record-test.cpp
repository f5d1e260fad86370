// SPDX-License-Identifier: GPL-3.0-or-later
#include <unistd.h>

#include <ctime>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "Condiviso/enumerazioni.h"
#include "Condiviso/fascia-oraria.h"
#include "Condiviso/regola-dominio.h"
#include "Condiviso/sistema.h"
#include "Condiviso/storico.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale {
namespace {

TEST(FasciaOraria, WindowIsHalfOpenAndMayCrossMidnight) {
    const FasciaOraria notte{1320, 420};  // 22:00–07:00
    EXPECT_TRUE(notte.contiene(23 * 60 + 59));
    EXPECT_TRUE(notte.contiene(0));
    EXPECT_TRUE(notte.contiene(6 * 60 + 59));
    EXPECT_TRUE(notte.contiene(1320));
    EXPECT_FALSE(notte.contiene(7 * 60));
    EXPECT_FALSE(notte.contiene(21 * 60 + 59));

    const FasciaOraria ufficio{540, 1080};
    EXPECT_TRUE(ufficio.contiene(540));
    EXPECT_TRUE(ufficio.contiene(1079));
    EXPECT_FALSE(ufficio.contiene(1080));
    EXPECT_FALSE(ufficio.contiene(539));

    const FasciaOraria vuota{540, 540};
    for (int minuto = 0; minuto < 1440; ++minuto) EXPECT_FALSE(vuota.contiene(minuto));
}

TEST(FasciaOraria, MinuteOfTheDayFollowsTheLocalTimeZone) {
    test::VariabileAmbiente fuso("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    ::tzset();
    // 2026-12-05 16:42:59 UTC is 17:42 in Central European winter time; seconds are ignored.
    EXPECT_EQ(minutoDelGiorno(Data::daUnix(1796488979.0)), 17 * 60 + 42);
    // 2026-07-01 21:30:00 UTC is 23:30 in summer time.
    EXPECT_EQ(minutoDelGiorno(Data::daUnix(1782941400.0)), 23 * 60 + 30);
    // Absurd dates from a file do not crash.
    EXPECT_GE(minutoDelGiorno(Data::daRiferimento(1e300)), 0);
    ::unsetenv("TZ");
    ::tzset();
}

// The local minute and the local hour key are computed once per UTC quarter of an hour; they
// must still agree with localtime_r every minute of the year, through changes to and from
// summer time, in zones whose offset is not whole hours, and in old zones whose offset was not
// whole minutes.
TEST(FasciaOraria, LocalMinuteAndHourKeyAgreeWithTheCalendar) {
    struct Caso {
        const char* zona;
        double da, a;  // Unix seconds
    };
    const Caso casi[] = {
        {"America/New_York", 1772323200, 1794528000},     // March to November 2026
        {"Australia/Lord_Howe", 1772323200, 1794528000},  // half-hour summer time
        {"Asia/Kathmandu", 1772323200, 1775000000},       // +5:45
        {"Europe/Amsterdam", -1262304000, -1259625600},   // 1930: +0:19:32
        {"Africa/Monrovia", -315619200, -312940800},      // 1960: -0:44:30
    };
    for (const Caso& c : casi) {
        if (::access(("/usr/share/zoneinfo/" + std::string(c.zona)).c_str(), R_OK) != 0) continue;
        test::VariabileAmbiente fuso("TZ", c.zona);
        ::tzset();
        // A thread of its own: the answers kept per thread belong to one zone.
        std::thread([&] {
            int sbagliati = 0;
            for (double t = c.da; t < c.a && sbagliati < 5; t += 7 * 60 + 13) {
                const std::time_t secondi = static_cast<std::time_t>(t);
                std::tm locale{};
                ASSERT_NE(localtime_r(&secondi, &locale), nullptr);
                char atteso[32];
                std::strftime(atteso, sizeof atteso, "%Y-%m-%d %H", &locale);
                const Data d = Data::daUnix(t);
                if (minutoDelGiorno(d) != locale.tm_hour * 60 + locale.tm_min ||
                    Storico::chiaveOra(d) != atteso) {
                    ADD_FAILURE() << c.zona << " at " << secondi << ": " << minutoDelGiorno(d)
                                  << " " << Storico::chiaveOra(d) << ", expected "
                                  << locale.tm_hour * 60 + locale.tm_min << " " << atteso;
                    ++sbagliati;
                }
            }
        }).join();
    }
    ::unsetenv("TZ");
    ::tzset();
}

TEST(RegolaDominio, NormalisationReducesTypedTextToAHost) {
    EXPECT_EQ(RegolaDominio::normalizza("  HTTPS://WWW.Example.COM/path/page?q=1 \n"),
              "example.com");
    EXPECT_EQ(RegolaDominio::normalizza("http://https://example.com/x"), "https:");
    EXPECT_EQ(RegolaDominio::normalizza("www."), "");
    EXPECT_EQ(RegolaDominio::normalizza(""), "");
    EXPECT_EQ(RegolaDominio::normalizza("\u00a0tracker.example:8443\u3000"),
              "tracker.example:8443");
    EXPECT_EQ(RegolaDominio::normalizza("user@host.example"), "user@host.example");
    EXPECT_EQ(RegolaDominio::normalizza("///a.example//b"), "a.example");
    EXPECT_EQ(RegolaDominio::normalizza("\xff Bad.Example"), "\xef\xbf\xbd bad.example");
    EXPECT_EQ(RegolaDominio::normalizza("https://ÉCOLE.FR/"), "école.fr");
}

TEST(Enumerazioni, RawValuesAndOrder) {
    EXPECT_EQ(valoreGrezzo(MotivoDecisione::predefinita), "predefinita");
    EXPECT_EQ(valoreGrezzo(TipoAttacco::lateraleLAN), "lateraleLAN");
    EXPECT_EQ(static_cast<int>(TipoAttacco::c2Noto), 11);
    EXPECT_EQ(tuttiICasi<TipoAttacco>().size(), 16u);
    EXPECT_EQ(tuttiICasi<MotivoDecisione>().size(), 8u);
    for (TipoAttacco tipo : tuttiICasi<TipoAttacco>()) {
        EXPECT_EQ(daValoreGrezzo<TipoAttacco>(valoreGrezzo(tipo)), tipo);
    }
    EXPECT_FALSE(daValoreGrezzo<AzioneRegola>("Consenti"));
    EXPECT_EQ(tuttiICasi<AzioneRegola>()[0], AzioneRegola::consenti);
}

TEST(Sistema, SystemIdentities) {
    EXPECT_TRUE(èDiSistema("/usr/lib/systemd/systemd-resolved"));
    EXPECT_TRUE(èDiSistema("/lib/systemd/systemd-timesyncd"));
    EXPECT_TRUE(èDiSistema("/usr/sbin/NetworkManager"));
    EXPECT_TRUE(èDiSistema("/usr/libexec/fwupd/fwupd"));
    EXPECT_FALSE(èDiSistema("/usr/bin/curl"));
    // Application ids (a sandbox's) and paths the daemon could not verify are never the system's.
    EXPECT_FALSE(èDiSistema("com.apple.mDNSResponder"));
    EXPECT_FALSE(èDiSistema("?/usr/sbin/NetworkManager"));
    EXPECT_FALSE(èDiSistema("/home/eve/usr/sbin/evil"));
    EXPECT_FALSE(èDiSistema("sconosciuta"));
}

}  // namespace
}  // namespace ostrale
