#include "service/ServiceUnit.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "TempFolder.h"

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
        const char* documentation;  // the README beside the program, as a URI
    };
    const strCase cases[] = {
        {"/opt/TesmoApi/TesmoApi", "/opt/TesmoApi/TesmoApi", "/opt/TesmoApi",
         "file:///opt/TesmoApi/README.md"},
        {"/opt/Tesmo Api/TesmoApi", "\"/opt/Tesmo Api/TesmoApi\"", "/opt/Tesmo Api",
         "file:///opt/Tesmo%%20Api/README.md"},
        {"/opt/50%/TesmoApi", "/opt/50%%/TesmoApi", "/opt/50%%", "file:///opt/50%%25/README.md"},
        {"/opt/$HOME/TesmoApi", "/opt/$$HOME/TesmoApi", "/opt/$HOME",
         "file:///opt/%%24HOME/README.md"},
        {"/opt/a\"b\\c/TesmoApi", "\"/opt/a\\\"b\\\\c/TesmoApi\"", "/opt/a\"b\\c",
         "file:///opt/a%%22b%%5Cc/README.md"},
        {"/opt/it's/TesmoApi", "\"/opt/it's/TesmoApi\"", "/opt/it's",
         "file:///opt/it%%27s/README.md"},
        {"/opt/M\xC3\xA1quinas/TesmoApi", "/opt/M\xC3\xA1quinas/TesmoApi", "/opt/M\xC3\xA1quinas",
         "file:///opt/M%%C3%%A1quinas/README.md"},
        {"/TesmoApi", "/TesmoApi", "/", "file:///README.md"},
    };
    for (const strCase& c : cases) {
        std::string unit;
        ASSERT_TRUE(FormatServiceUnit(c.program, kServiceUser, &unit)) << c.program;
        EXPECT_EQ(c.execStart, Setting(unit, "ExecStart")) << c.program;
        EXPECT_EQ(c.workingDirectory, Setting(unit, "WorkingDirectory")) << c.program;
        EXPECT_EQ(c.documentation, Setting(unit, "Documentation")) << c.program;
        EXPECT_EQ(kServiceUser, Setting(unit, "User")) << c.program;
    }
}

// The section a setting is in, or "(none)".
std::string SectionOf(const std::string& unit, const std::string& key) {
    std::istringstream lines(unit);
    std::string section = "(none)";
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind('[', 0) == 0) section = line;
        if (line.rfind(key + "=", 0) == 0) return section;
    }
    return "(none)";
}

// A service that fails at every start (a port in use) is given up after a
// few tries instead of being restarted for ever; systemd reads the limit
// from [Unit] only.
TEST(ServiceUnit, GivesUpAfterRepeatedFailedStarts) {
    std::string unit;
    ASSERT_TRUE(FormatServiceUnit("/opt/TesmoApi/TesmoApi", kServiceUser, &unit));
    for (const char* key : {"StartLimitIntervalSec", "StartLimitBurst", "Documentation"}) {
        EXPECT_EQ("[Unit]", SectionOf(unit, key)) << key;
    }
    EXPECT_EQ("on-failure", Setting(unit, "Restart"));
}

TEST(ServiceUnit, RefusesWhatAUnitCannotCarry) {
    for (const char* program : {"/opt/a\nb/TesmoApi", "/opt/a\tb/TesmoApi", "TesmoApi", ""}) {
        std::string unit;
        EXPECT_FALSE(FormatServiceUnit(program, kServiceUser, &unit)) << program;
    }
    for (const char* user : {static_cast<const char*>(nullptr), ""}) {
        std::string unit;
        EXPECT_FALSE(FormatServiceUnit("/opt/TesmoApi/TesmoApi", user, &unit)) << "never as root";
    }
}

// What systemd-analyze printed (standard output and error) and its exit
// status; status -1 when it could not be run.
struct strAnalysis {
    int status;
    std::string output;
};

strAnalysis Analyze(const std::string& arguments) {
    const std::string command = "systemd-analyze " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {-1, ""};
    std::string output;
    char chunk[4096];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
    const int end = pclose(pipe);
    return {WIFEXITED(end) ? WEXITSTATUS(end) : -1, output};
}

// The unit "/Install" writes for the program built beside this test, in a
// folder of its own; systemd-analyze reads it from there offline, without a
// running systemd. Missing systemd-analyze is a failure, not a skip: the
// build machines have it (scripts/install-deps installs it).
class ServiceUnitAnalysis : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto own = std::filesystem::read_symlink("/proc/self/exe").parent_path();
        std::string text;
        ASSERT_TRUE(FormatServiceUnit((own / "TesmoApi").c_str(), kServiceUser, &text));
        unit = folder.Write("TesmoApi.service", text).string();
        ASSERT_EQ(0, Analyze("--version").status)
            << "systemd-analyze is needed: scripts/install-deps";
    }

    TempFolder folder;
    std::string unit;
};

// The overall exposure, as "Overall exposure level for TesmoApi.service: 1.9
// OK" gives it; 10 (the worst) when the line is missing.
double Exposure(const std::string& report) {
    const std::string mark = "Overall exposure level for TesmoApi.service: ";
    const size_t at = report.find(mark);
    if (at == std::string::npos) return 10;
    return std::stod(report.substr(at + mark.size()));
}

TEST_F(ServiceUnitAnalysis, IsRatedTwoOrBelowBySystemdSecurity) {
    const strAnalysis analysis = Analyze("security --offline=yes --no-pager " + unit);
    EXPECT_LE(Exposure(analysis.output), 2.0) << analysis.output;
}

TEST_F(ServiceUnitAnalysis, VerifiesCleanly) {
    const strAnalysis analysis = Analyze("verify --man=no " + unit);
    EXPECT_EQ(0, analysis.status) << analysis.output;
    EXPECT_EQ("", analysis.output);
}

}  // namespace
