// SPDX-License-Identifier: GPL-3.0-or-later
// Launch at login as an XDG autostart entry, in configuration folders of the test's own: what
// the entry says and what turns it off (a folder that cannot be made: the switches' view test).
#include <gtest/gtest.h>

#include <QDir>
#include <filesystem>
#include <optional>

#include "Ostrale/Linux/avvio-automatico-xdg.h"
#include "test/Ostrale/supporto-app.h"
#include "test/supporto/cartella-temporanea.h"

namespace ostrale::test {
namespace {

AvvioAutomatico::Esito leggi(AvvioAutomaticoXdg& avvio) {
    std::optional<AvvioAutomatico::Esito> esito;
    avvio.leggi([&](const AvvioAutomatico::Esito& e) { esito = e; });
    EXPECT_FALSE(esito);  // never while asking
    EXPECT_TRUE(aspetta([&] { return esito.has_value(); }));
    return esito.value_or(AvvioAutomatico::Esito{});
}

AvvioAutomatico::Esito imposta(AvvioAutomaticoXdg& avvio, bool attivo) {
    std::optional<AvvioAutomatico::Esito> esito;
    avvio.imposta(attivo, [&](const AvvioAutomatico::Esito& e) { esito = e; });
    EXPECT_FALSE(esito);
    EXPECT_TRUE(aspetta([&] { return esito.has_value(); }));
    return esito.value_or(AvvioAutomatico::Esito{});
}

TEST(AvvioAutomaticoXdg, TheEntryIsWrittenWholeStartsInTheTrayAndIsRemoved) {
    CartellaTemporanea casa;
    VariabileAmbiente config("XDG_CONFIG_HOME", (casa / "config").string());
    AvvioAutomaticoXdg avvio(QStringLiteral("/opt/Ostrale 1/bin/ostrale"));
    const std::filesystem::path voce = casa / "config" / "autostart" / "ostrale.desktop";
    EXPECT_EQ(avvio.percorso().toStdString(), voce.string());
    EXPECT_FALSE(leggi(avvio).attivo);

    const auto acceso = imposta(avvio, true);
    EXPECT_TRUE(acceso.attivo);
    EXPECT_TRUE(acceso.errore.isEmpty());
    const std::string testo = leggiTutto(voce);
    EXPECT_EQ(testo.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(testo.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(testo.find("\nExec=\"/opt/Ostrale 1/bin/ostrale\" --nascosta\n"), std::string::npos);
    // Only the entry is left in the folder (the temporary file became it).
    EXPECT_EQ(QDir(QString::fromStdString(voce.parent_path().string()))
                  .entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("ostrale.desktop")});
    EXPECT_TRUE(leggi(avvio).attivo);

    const auto spento = imposta(avvio, false);
    EXPECT_FALSE(spento.attivo);
    EXPECT_TRUE(spento.errore.isEmpty());
    EXPECT_FALSE(std::filesystem::exists(voce));
    EXPECT_FALSE(imposta(avvio, false).attivo);  // nothing to remove is no error
}

TEST(AvvioAutomaticoXdg, WhatTheDesktopReadsAsTurnedOff) {
    EXPECT_TRUE(AvvioAutomaticoXdg::èAttiva("[Desktop Entry]\nExec=ostrale\n"));
    EXPECT_FALSE(AvvioAutomaticoXdg::èAttiva("[Desktop Entry]\nExec=ostrale\nHidden=true\n"));
    EXPECT_FALSE(AvvioAutomaticoXdg::èAttiva("[Desktop Entry]\r\nHidden = true\r\n"));
    EXPECT_FALSE(AvvioAutomaticoXdg::èAttiva("[Desktop Entry]\nX-GNOME-Autostart-enabled=false\n"));
    // Elsewhere than the entry's group, in a comment, or another value: still on.
    EXPECT_TRUE(AvvioAutomaticoXdg::èAttiva(
        "[Desktop Entry]\nExec=ostrale\n[Desktop Action x]\nHidden=true\n"));
    EXPECT_TRUE(AvvioAutomaticoXdg::èAttiva("[Desktop Entry]\n# Hidden=true\nHidden=false\n"));
    EXPECT_TRUE(AvvioAutomaticoXdg::èAttiva("[Desktop Entry]\nX-GNOME-Autostart-enabled=true\n"));

    // Written by hand or by the desktop's settings.
    CartellaTemporanea casa;
    std::filesystem::create_directories(casa / "autostart");
    casa.scrivi("autostart/ostrale.desktop", "[Desktop Entry]\nExec=ostrale\nHidden=true\n");
    AvvioAutomaticoXdg avvio(QStringLiteral("/usr/bin/ostrale"),
                             QString::fromStdString((casa / "autostart/ostrale.desktop").string()));
    EXPECT_FALSE(leggi(avvio).attivo);
    EXPECT_TRUE(imposta(avvio, true).attivo);  // written anew
    EXPECT_EQ(casa.leggi("autostart/ostrale.desktop").find("Hidden"), std::string::npos);
}

TEST(AvvioAutomaticoXdg, TheProgramsPathIsQuotedAsAnEntryWantsIt) {
    auto exec = [](const char* percorso) -> std::string {
        const auto voce = AvvioAutomaticoXdg::voce(QString::fromUtf8(percorso));
        if (!voce) return "(none)";
        const std::string t = voce->toStdString();
        const auto da = t.find("\nExec=") + 6;
        return t.substr(da, t.find('\n', da) - da);
    };
    EXPECT_EQ(exec("/usr/bin/ostrale"), "/usr/bin/ostrale --nascosta");
    EXPECT_EQ(exec("/home/è/100%/ostrale"), "/home/è/100%%/ostrale --nascosta");
    // Inside quotes " ` $ \ take a backslash, and every backslash of the value doubles again.
    EXPECT_EQ(exec("/a b/$x\"y`z\\w"), "\"/a b/\\\\$x\\\\\"y\\\\`z\\\\\\\\w\" --nascosta");
    EXPECT_EQ(exec("/tmp/a\nb"), "(none)");
}

TEST(AvvioAutomaticoXdg, WithoutTheVariableTheEntryIsInTheHomeFolder) {
    CartellaTemporanea casa;
    VariabileAmbiente home("HOME", casa.percorso().string());
    for (const char* valore : {"", "relativa/config"}) {
        VariabileAmbiente config("XDG_CONFIG_HOME", valore);
        EXPECT_EQ(AvvioAutomaticoXdg::percorsoPredefinito().toStdString(),
                  (casa / ".config" / "autostart" / "ostrale.desktop").string());
    }
}

}  // namespace
}  // namespace ostrale::test
