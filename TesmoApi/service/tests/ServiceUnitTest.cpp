#include "service/ServiceUnit.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

// The value of the first "<key>=" line of a unit, or "(none)".
std::string Setting(const std::string& unit, const std::string& key) {
    std::istringstream lines(unit);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key + "=", 0) == 0) return line.substr(key.size() + 1);
    }
    return "(none)";
}

std::string WithoutComments(const std::string& text) {
    std::istringstream lines(text);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind('#', 0) != 0) kept += line + "\n";
    }
    return kept;
}

TEST(ServiceUnit, PackagedUnitIsTheOneWrittenForOptTesmoApi) {
    std::ostringstream packaged;
    packaged << std::ifstream(TESMO_PACKAGED_UNIT, std::ios::binary).rdbuf();
    std::string unit;
    ASSERT_TRUE(FormatServiceUnit("/opt/TesmoApi/TesmoApi", kServiceUser, &unit));
    ASSERT_NE("", packaged.str());
    EXPECT_EQ(WithoutComments(packaged.str()), WithoutComments(unit));
}

// Paths reach systemd as the same file and folder: "%" is a specifier, "$" a
// variable in a command line, and blanks, quotes and backslashes split or
// escape it unless quoted.
TEST(ServiceUnit, PathsAreWrittenAsSystemdReadsThem) {
    struct strCase {
        const char* program;
        const char* execStart;
        const char* workingDirectory;
    };
    const strCase cases[] = {
        {"/opt/TesmoApi/TesmoApi", "/opt/TesmoApi/TesmoApi", "/opt/TesmoApi"},
        {"/opt/Tesmo Api/TesmoApi", "\"/opt/Tesmo Api/TesmoApi\"", "/opt/Tesmo Api"},
        {"/opt/50%/TesmoApi", "/opt/50%%/TesmoApi", "/opt/50%%"},
        {"/opt/$HOME/TesmoApi", "/opt/$$HOME/TesmoApi", "/opt/$HOME"},
        {"/opt/a\"b\\c/TesmoApi", "\"/opt/a\\\"b\\\\c/TesmoApi\"", "/opt/a\"b\\c"},
        {"/opt/it's/TesmoApi", "\"/opt/it's/TesmoApi\"", "/opt/it's"},
        {"/TesmoApi", "/TesmoApi", "/"},
    };
    for (const strCase& c : cases) {
        std::string unit;
        ASSERT_TRUE(FormatServiceUnit(c.program, nullptr, &unit)) << c.program;
        EXPECT_EQ(c.execStart, Setting(unit, "ExecStart")) << c.program;
        EXPECT_EQ(c.workingDirectory, Setting(unit, "WorkingDirectory")) << c.program;
        EXPECT_EQ("(none)", Setting(unit, "User")) << "without an account it runs as root";
    }
}

TEST(ServiceUnit, RefusesWhatAUnitCannotCarry) {
    for (const char* program : {"/opt/a\nb/TesmoApi", "/opt/a\tb/TesmoApi", "TesmoApi", ""}) {
        std::string unit;
        EXPECT_FALSE(FormatServiceUnit(program, kServiceUser, &unit)) << program;
    }
}

}  // namespace
