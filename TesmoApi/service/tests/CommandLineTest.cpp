#include "service/CommandLine.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLine, MatchesWholeSwitchesInAnyLetterCase) {
    EXPECT_EQ(eSwitch::Install, FindSwitch("/Install"));
    EXPECT_EQ(eSwitch::Install, FindSwitch("/INSTALL"));
    EXPECT_EQ(eSwitch::Install, FindSwitch("/install"));
    EXPECT_EQ(eSwitch::AdmInstall, FindSwitch("/admINSTALL"));
    EXPECT_EQ(eSwitch::Uninstall, FindSwitch("/UnInstall"));
    EXPECT_EQ(eSwitch::AdmUninstall, FindSwitch("/AdmUninstall"));
}

TEST(CommandLine, RefusesAnythingButAWholeSwitch) {
    const char* texts[] = {"/Install x", " /Install", "/Instal", "/Installer", "Install",
                           "-Install",   "/Adm",      "",        "/\xC9nstall"};
    for (const char* text : texts) EXPECT_EQ(eSwitch::Unknown, FindSwitch(text)) << text;
    EXPECT_EQ(eSwitch::Unknown, FindSwitch(nullptr));
}

}  // namespace
