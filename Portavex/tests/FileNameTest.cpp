// Which requested names may be looked up below the root directory.
#include <gtest/gtest.h>

#include "FileName.h"

using portavex::IsServableName;

TEST(FileName, OrdinaryNamesAreServable) {
    EXPECT_TRUE(IsServableName("api.html"));
    EXPECT_TRUE(IsServableName("web/style.css"));
    EXPECT_TRUE(IsServableName("a/b/c.d.e"));
    EXPECT_TRUE(IsServableName("README"));
    EXPECT_TRUE(IsServableName(".hidden"));
    EXPECT_TRUE(IsServableName("console.txt"));
    EXPECT_TRUE(IsServableName("COM10"));
    EXPECT_TRUE(IsServableName("caf\xC3\xA9.txt"));
}

TEST(FileName, NamesLeavingTheRootAreRefused) {
    for (const char* name : {"..", "../x", "a/../../x", "a/..", ".", "./x", "/etc/passwd",
                             "//server/share/x", "a\\..\\x", "\\x", "C:x", "c:/windows/win.ini",
                             "a//b", "a/", "x.json::$DATA", "x.json:stream"}) {
        EXPECT_FALSE(IsServableName(name)) << name;
    }
}

TEST(FileName, SpellingsWindowsWouldAlterAreRefused) {
    for (const char* name : {"TesmoApi.json.", "TesmoApi.json ", "TesmoApi.json. . ", "dir./x",
                             "a*", "a?", "a\"b", "a<b", "a>b", "a|b", "a\tb", "a\nb"}) {
        EXPECT_FALSE(IsServableName(name)) << name;
    }
}

TEST(FileName, DeviceNamesAreRefusedWithAnyExtensionOrCase) {
    for (const char* name : {"CON", "con", "NUL", "nul.txt", "Aux.json", "PRN", "COM1", "com9.log",
                             "LPT1", "lpt3.x.y", "CONIN$", "conout$", "a/NUL", "NUL /x", "COM0"}) {
        EXPECT_FALSE(IsServableName(name)) << name;
    }
}
