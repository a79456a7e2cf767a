// Which requested names may be looked up below the root directory.
#include <gtest/gtest.h>

#include "FileName.h"

using portavex::IsCopyOfName;
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

TEST(FileName, DotSegmentsThatStayInsideTheRootAreServable) {
    for (const char* name : {"./x", "a/./b", "a/../x", "./a/../b", "a/b/../../c", "a/../a/../x"}) {
        EXPECT_TRUE(IsServableName(name)) << name;
    }
}

TEST(FileName, NamesLeavingTheRootAreRefused) {
    for (const char* name :
         {"..", "../x", "a/../../x", "a/..", ".", "a/.", "./../x", "a/./../../x", "a/../../a/x",
          "/etc/passwd", "//server/share/x", "a\\..\\x", "\\x", "C:x", "c:/windows/win.ini", "a//b",
          "a/", "x.json::$DATA", "x.json:stream"}) {
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

TEST(FileName, CopiesOfAHiddenNameAreRecognisedInAnyCase) {
    const struct {
        const char* name;
        const char* hidden;
        bool copy;
    } cases[] = {
        {"TesmoApi.json", "TesmoApi.json", true},
        {"tESMOaPI.JSON", "TesmoApi.json", true},
        {"TesmoApi.json.bak", "TesmoApi.json", true},
        {".TesmoApi.json.swp", "TesmoApi.json", true},
        {"#TesmoApi.json#", "TesmoApi.json", true},
        {"TesmoApi - Copy.json", "TesmoApi.json", true},
        {"TesmoApi_old.JSON", "TesmoApi.json", true},
        {"TesmoApi.old.json", "TesmoApi.json", true},
        {"TesmoApiX.json", "TesmoApi.json", false},
        {"TesmoApi.json", "TesmoApi.jsonx", false},
        {"TesmoApi-.jso", "TesmoApi.json", false},
        {"xTesmoApi.json", "TesmoApi.json", false},
        {"..TesmoApi.json", "TesmoApi.json", false},
        {"TesmoApi.json", "", false},
        {"", "TesmoApi.json", false},
        // A hidden name without stem or extension has only the prefix rules.
        {".env.local", ".env", true},
        {"x.env", ".env", false},
        {"secret2", "secret", true},
        {"secret", "secret2", false},
        // Letters outside ASCII compare exactly.
        {"\xC9t\xE9.json.bak", "\xC9t\xE9.json", true},
        {"\xE9t\xE9.json.bak", "\xC9t\xE9.json", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.copy, IsCopyOfName(c.name, c.hidden)) << c.name << " / " << c.hidden;
    }
}
