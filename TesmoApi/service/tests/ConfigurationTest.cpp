#include "service/Configuration.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TempFolder.h"

namespace {

const char kValidConfig[] =
    "{\n"
    "  \"api\": { \"listen_port\": 8080 },\n"
    "  \"drovane_tesmo_server\": {\n"
    "    \"host\": \"tesmo.plant\", \"port\": 2500,\n"
    "    \"user\": \"operador\", \"password\": \"s\\\"ecret\"\n"
    "  }\n"
    "}\n";

// Writes configuration files into a folder of its own and loads them.
class ConfigurationTest : public ::testing::Test {
  protected:
    // Loads text; returns the fault kind and remembers the failing key.
    eConfigFault Load(const std::string& text) {
        const std::string file = folder.Write("TesmoApi.json", text).string();
        strConfigFault fault{eConfigFault::None, nullptr};
        const bool loaded = LoadConfiguration(file.c_str(), &fault);
        EXPECT_EQ(loaded, fault.fault == eConfigFault::None);
        failedKey = fault.key == nullptr ? "" : fault.key;
        return fault.fault;
    }

    // text with the first occurrence of from replaced.
    static std::string Replace(std::string text, const std::string& from, const std::string& to) {
        const size_t at = text.find(from);
        EXPECT_NE(std::string::npos, at) << from;
        return at == std::string::npos ? text : text.replace(at, from.size(), to);
    }
    static std::string Edited(const std::string& from, const std::string& to) {
        return Replace(kValidConfig, from, to);
    }

    TempFolder folder;
    std::string failedKey;
};

TEST_F(ConfigurationTest, FillsEveryFieldFromAValidFile) {
    ASSERT_EQ(eConfigFault::None, Load(kValidConfig));
    EXPECT_EQ(8080, listenPort);
    EXPECT_STREQ("tesmo.plant", serverHost);
    EXPECT_STREQ("operador", serverUser);
    EXPECT_STREQ("s\"ecret", serverPassword) << "its escape decoded";
    EXPECT_EQ(2500, serverPort);
    EXPECT_STREQ(kValidConfig, configText);
    EXPECT_EQ(kDefaultApiIdleTimeout, apiIdleTimeout);
    EXPECT_EQ(kDefaultServerTimeout, serverTimeout);
}

TEST_F(ConfigurationTest, ReadsPortsAsPercentD) {
    ASSERT_EQ(eConfigFault::None, Load(Edited("8080", "\"8080abc\"")));
    EXPECT_EQ(8080, listenPort);
    ASSERT_EQ(eConfigFault::None, Load(Edited("8080", "70000")));
    EXPECT_EQ(70000, listenPort) << "the field keeps the value; only the server gets 16 bits";
    ASSERT_EQ(eConfigFault::None, Load(Edited("2500", "\" -12\"")));
    EXPECT_EQ(-12, serverPort);
    ASSERT_EQ(eConfigFault::None, Load(Edited("2500", "2500.9")));
    EXPECT_EQ(2500, serverPort);
}

TEST_F(ConfigurationTest, EachRequiredKeyFaultNamesTheKey) {
    struct strCase {
        const char* from;
        const char* to;
        const char* key;
    };
    const std::string longHost = "\"" + std::string(kServerTextLength + 1, 'h') + "\"";
    const strCase cases[] = {
        {"\"listen_port\": 8080", "\"port\": 8080", "api.listen_port"},
        {"8080", "\"http\"", "api.listen_port"},
        {"8080", "\"123456789012345678901\"", "api.listen_port"},  // 21 characters
        {"\"host\"", "\"hostname\"", "drovane_tesmo_server.host"},
        {"\"tesmo.plant\"", longHost.c_str(), "drovane_tesmo_server.host"},
        {"\"user\"", "\"User\"", "drovane_tesmo_server.user"},
        {", \"password\": \"s\\\"ecret\"", "", "drovane_tesmo_server.password"},
        {"2500", "\"tcp\"", "drovane_tesmo_server.port"},
        // A malformed member makes the whole object around it unreadable.
        {"2500", "", "drovane_tesmo_server.host"},
    };
    for (const strCase& c : cases) {
        EXPECT_EQ(eConfigFault::BadKey, Load(Edited(c.from, c.to))) << c.from << " -> " << c.to;
        EXPECT_EQ(c.key, failedKey) << c.from << " -> " << c.to;
    }
}

// The HTTP server would listen on a port of the system's choosing, which no
// client knows.
TEST_F(ConfigurationTest, ListenPortThatWorksOutToZeroIsRefused) {
    for (const char* port : {"0", "65536", "131072", "-65536", "\"0x50\""}) {
        EXPECT_EQ(eConfigFault::BadKey, Load(Edited("8080", port))) << port;
        EXPECT_EQ("api.listen_port", failedKey) << port;
    }
    for (const char* port : {"1", "65535", "65537"}) {
        EXPECT_EQ(eConfigFault::None, Load(Edited("8080", port))) << port;
    }
}

// A password with a quote or a backslash reaches the Tesmo server as the
// person meant it, not as JSON writes it.
TEST_F(ConfigurationTest, TextValuesHaveTheirEscapesDecoded) {
    struct strCase {
        const char* written;
        const char* read;
    };
    const strCase cases[] = {
        {"plain", "plain"},
        {"s\\\"ecret", "s\"ecret"},
        {"C:\\\\tesmo", "C:\\tesmo"},
        {"a\\/b", "a/b"},
        {"\\b\\f\\n\\r\\t", "\b\f\n\r\t"},
        {"Jos\\u00e9 \\u20AC", "Jos\xC3\xA9 \xE2\x82\xAC"},
        {"\\ud83d\\ude00!", "\xF0\x9F\x98\x80!"},
        {"M\xC3\xA1quina", "M\xC3\xA1quina"},
    };
    for (const strCase& c : cases) {
        const std::string value = std::string("\"") + c.written + "\"";
        ASSERT_EQ(eConfigFault::None, Load(Edited("\"s\\\"ecret\"", value))) << c.written;
        EXPECT_STREQ(c.read, serverPassword) << c.written;
        ASSERT_EQ(eConfigFault::None, Load(Edited("\"operador\"", value))) << c.written;
        EXPECT_STREQ(c.read, serverUser) << c.written;
        ASSERT_EQ(eConfigFault::None, Load(Edited("\"tesmo.plant\"", value))) << c.written;
        EXPECT_STREQ(c.read, serverHost) << c.written;
    }
    // The limit is on the text the escapes stand for.
    const std::string hundred = std::string(kServerTextLength - 1, 'u') + "\\\"";
    ASSERT_EQ(eConfigFault::None, Load(Edited("\"operador\"", "\"" + hundred + "\"")));
    EXPECT_EQ(std::string(kServerTextLength - 1, 'u') + "\"", serverUser);
}

// A file saved in the ANSI code page (Windows-1252) is read as such, and its
// texts reach the Tesmo server in that code page, as the file holds them.
TEST_F(ConfigurationTest, FileThatIsNotUtf8IsReadAsWindows1252) {
    const std::string ansi =
        Replace(Edited("\"operador\"", "\"Jos\xE9\""), "s\\\"ecret", "\x80uro\\u00e9\\u20ac");
    ASSERT_EQ(eConfigFault::None, Load(ansi));
    EXPECT_STREQ("Jos\xE9", serverUser);
    EXPECT_STREQ("\x80uro\xE9\x80", serverPassword) << "escapes in the same code page";
    EXPECT_EQ(2500, serverPort) << "keys after the text are read";
    EXPECT_EQ(ansi, configText) << "the file as it was read";

    const std::string outside = Replace(ansi, "\\u20ac", "\\u4e2d");
    EXPECT_EQ(eConfigFault::BadKey, Load(outside)) << "a character the code page lacks";
    EXPECT_EQ("drovane_tesmo_server.password", failedKey);

    const std::string longest = "\"" + std::string(kServerTextLength - 1, 'u') + "\x80\"";
    ASSERT_EQ(eConfigFault::None, Load(Edited("\"operador\"", longest)))
        << "one hundred bytes in the code page";
    EXPECT_EQ(kServerTextLength, strlen(serverUser));
}

TEST_F(ConfigurationTest, TextFieldsHoldOneHundredCharacters) {
    const std::string hundred(kServerTextLength, 'u');
    ASSERT_EQ(eConfigFault::None, Load(Edited("\"operador\"", "\"" + hundred + "\"")));
    EXPECT_EQ(hundred, serverUser);
}

TEST_F(ConfigurationTest, OptionalKeysTakeDefaultsOrPositiveIntegers) {
    const std::string withBoth =
        Replace(Edited("8080", "8080, \"idle_timeout\": 30"), "2500", "2500, \"timeout\": \"4\"");
    ASSERT_EQ(eConfigFault::None, Load(withBoth));
    EXPECT_EQ(30, apiIdleTimeout);
    EXPECT_EQ(4, serverTimeout);

    ASSERT_EQ(eConfigFault::None, Load(kValidConfig));
    EXPECT_EQ(kDefaultApiIdleTimeout, apiIdleTimeout) << "absent again: back to the default";
    EXPECT_EQ(kDefaultServerTimeout, serverTimeout);

    const char* badValues[] = {"0",          "-5",        "\"abc\"",
                               "1.5",        "\"10abc\"", "\" 7\"",
                               "2147483648", "\"\"",      "\"0000000000000000000001\""};
    for (const char* bad : badValues) {
        EXPECT_EQ(eConfigFault::BadKey,
                  Load(Edited("8080", std::string("8080, \"idle_timeout\": ") + bad)))
            << bad;
        EXPECT_EQ("api.idle_timeout", failedKey) << bad;
        EXPECT_EQ(eConfigFault::BadKey,
                  Load(Edited("2500", std::string("2500, \"timeout\": ") + bad)))
            << bad;
        EXPECT_EQ("drovane_tesmo_server.timeout", failedKey) << bad;
    }
}

TEST_F(ConfigurationTest, SessionKeysTakeDefaultsOrWholeNumbersInRange) {
    ASSERT_EQ(eConfigFault::None, Load(kValidConfig));
    EXPECT_EQ(kDefaultServerSessions, serverSessions);
    EXPECT_EQ(kDefaultSessionIdle, serverSessionIdle);

    const struct {
        const char* sessions;
        const char* idle;
        int expectSessions;
        int expectIdle;
    } good[] = {{"0", "1", 0, 1}, {"64", "\"3600\"", kMaxServerSessions, 3600}, {"8", "60", 8, 60}};
    for (const auto& c : good) {
        const std::string text = Edited("2500", std::string("2500, \"sessions\": ") + c.sessions +
                                                    ", \"session_idle\": " + c.idle);
        ASSERT_EQ(eConfigFault::None, Load(text)) << c.sessions << " " << c.idle;
        EXPECT_EQ(c.expectSessions, serverSessions);
        EXPECT_EQ(c.expectIdle, serverSessionIdle);
    }
    ASSERT_EQ(eConfigFault::None, Load(kValidConfig));
    EXPECT_EQ(kDefaultServerSessions, serverSessions) << "absent again: back to the default";

    const struct {
        const char* member;
        const char* value;
        const char* key;
    } bad[] = {
        {"sessions", "65", "drovane_tesmo_server.sessions"},
        {"sessions", "-1", "drovane_tesmo_server.sessions"},
        {"sessions", "\"4x\"", "drovane_tesmo_server.sessions"},
        {"sessions", "2.5", "drovane_tesmo_server.sessions"},
        {"sessions", "\"\"", "drovane_tesmo_server.sessions"},
        {"session_idle", "0", "drovane_tesmo_server.session_idle"},
        {"session_idle", "2147483648", "drovane_tesmo_server.session_idle"},
        {"session_idle", "\" 60\"", "drovane_tesmo_server.session_idle"},
    };
    for (const auto& c : bad) {
        const std::string text =
            Edited("2500", std::string("2500, \"") + c.member + "\": " + c.value);
        EXPECT_EQ(eConfigFault::BadKey, Load(text)) << c.member << " " << c.value;
        EXPECT_EQ(c.key, failedKey) << c.member << " " << c.value;
    }
}

TEST_F(ConfigurationTest, FileMustHoldFewerThanOneThousandBytes) {
    std::string text = kValidConfig;
    text.append(kConfigTextSize - 1 - text.size(), ' ');
    ASSERT_EQ(kConfigTextSize - 1, text.size());
    ASSERT_EQ(eConfigFault::None, Load(text));
    EXPECT_EQ(text, configText);

    text += ' ';
    EXPECT_EQ(eConfigFault::TooLong, Load(text));
    EXPECT_STREQ("", configText) << "no unterminated text is left behind";
}

// The file is counted and read as Windows' text mode reads it, on every
// platform: CR LF is one byte (LF), a lone CR stays, and Ctrl-Z ends the text.
// So a file that Windows accepts is accepted everywhere.
TEST_F(ConfigurationTest, FileIsReadAsTextModeReadsIt) {
    std::string unix = kValidConfig;
    unix.append(kConfigTextSize - 1 - unix.size(), ' ');  // the largest file accepted
    std::string windows;
    for (char c : unix) windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_GT(windows.size(), kConfigTextSize);
    ASSERT_EQ(eConfigFault::None, Load(windows)) << "CR LF counts as one byte";
    EXPECT_EQ(unix, configText) << "and reads as LF";
    EXPECT_EQ(eConfigFault::TooLong, Load(windows + " ")) << "1,000 bytes as text";

    std::string loneCr = unix;
    loneCr.replace(loneCr.size() - 2, 2, "\r ");
    ASSERT_EQ(eConfigFault::None, Load(loneCr));
    EXPECT_EQ(loneCr, configText) << "a CR without LF is a byte like any other";
    EXPECT_EQ(eConfigFault::TooLong, Load(loneCr + "\r")) << "a final CR counts too";

    const std::string endMark =
        std::string(kValidConfig) + "\x1A" + std::string(kConfigTextSize, 'x');
    ASSERT_EQ(eConfigFault::None, Load(endMark)) << "Ctrl-Z ends the text";
    EXPECT_STREQ(kValidConfig, configText);
}

TEST_F(ConfigurationTest, MissingFileCannotBeOpened) {
    strConfigFault fault{eConfigFault::None, nullptr};
    EXPECT_FALSE(LoadConfiguration((folder.Path() / "absent.json").string().c_str(), &fault));
    EXPECT_EQ(eConfigFault::CannotOpen, fault.fault);
}

TEST_F(ConfigurationTest, DescriptionsNameTheCause) {
    char text[256];
    DescribeConfigFault({eConfigFault::BadKey, "drovane_tesmo_server.password"}, text, sizeof text);
    EXPECT_NE(nullptr, strstr(text, "\"drovane_tesmo_server.password\"")) << text;
    DescribeConfigFault({eConfigFault::TooLong, nullptr}, text, sizeof text);
    EXPECT_NE(nullptr, strstr(text, "1000")) << text;
    DescribeConfigFault({eConfigFault::CannotOpen, nullptr}, text, sizeof text);
    EXPECT_NE(nullptr, strstr(text, "TesmoApi.json")) << text;
}

TEST_F(ConfigurationTest, MetricsKeysAreFalseWhenAbsentAndMustBeBooleans) {
    ASSERT_EQ(eConfigFault::None,
              Load(Edited("8080", "8080, \"metrics\": true, \"metrics_plant\": true")));
    EXPECT_TRUE(apiMetrics);
    EXPECT_TRUE(apiMetricsPlant);
    ASSERT_EQ(eConfigFault::None, Load(Edited("8080", "8080, \"metrics\": false")));
    EXPECT_FALSE(apiMetrics);
    EXPECT_FALSE(apiMetricsPlant) << "absent again: off";

    const char* badValues[] = {"1", "0", "\"yes\"", "null", "\"\""};
    for (const std::string key : {"metrics", "metrics_plant"}) {
        for (const char* bad : badValues) {
            EXPECT_EQ(eConfigFault::BadKey, Load(Edited("8080", "8080, \"" + key + "\": " + bad)))
                << key << bad;
            EXPECT_EQ("api." + key, failedKey) << bad;
        }
    }
}

}  // namespace
