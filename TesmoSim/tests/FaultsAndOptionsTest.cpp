// Fault specs, their counting, and the program's command line.
#include <gtest/gtest.h>

#include <vector>

#include "CommandLine.h"
#include "Faults.h"

namespace tesmosim {

namespace {

TEST(FaultSpec, ParsesEveryExchangeAndKind) {
    strFaultSpec spec;
    ASSERT_TRUE(ParseFault("login:stall", &spec));
    EXPECT_EQ(spec.exchange, eExchange::Login);
    EXPECT_EQ(spec.kind, eFaultKind::Stall);
    EXPECT_EQ(spec.every, 1);
    ASSERT_TRUE(ParseFault("analysis:slow=250:4", &spec));
    EXPECT_EQ(spec.exchange, eExchange::Analysis);
    EXPECT_EQ(spec.kind, eFaultKind::Slow);
    EXPECT_EQ(spec.delayMs, 250);
    EXPECT_EQ(spec.every, 4);
    ASSERT_TRUE(ParseFault("catalogue:trickle=20", &spec));
    EXPECT_EQ(spec.kind, eFaultKind::Trickle);
    EXPECT_EQ(spec.delayMs, 20);
    const char* const valid[] = {"stamp:close", "catalogue:short", "kinds:badlength",
                                 "values:close:2", "trend:short:10"};
    for (const char* text : valid) EXPECT_TRUE(ParseFault(text, &spec)) << text;
}

TEST(FaultSpec, RefusesMalformedTextsAndLeavesTheSpecAlone) {
    const char* const invalid[] = {"",
                                   "values",
                                   "values:",
                                   ":close",
                                   "value:close",
                                   "values:crash",
                                   "values:close:0",
                                   "values:close:x",
                                   "values:slow",
                                   "values:slow=",
                                   "values:slow=-5",
                                   "values:trickle",
                                   "values:trickle=0",
                                   "values:close:2:3",
                                   "Values:close"};
    for (const char* text : invalid) {
        strFaultSpec spec;
        spec.every = 77;
        EXPECT_FALSE(ParseFault(text, &spec)) << text;
        EXPECT_EQ(spec.every, 77) << text;
    }
    EXPECT_FALSE(ParseFault(nullptr, nullptr));
}

TEST(FaultSet, HitsEveryNthExchangeOfItsKindOnly) {
    FaultSet faults;
    strFaultSpec spec;
    ASSERT_TRUE(ParseFault("values:close:3", &spec));
    faults.Add(spec);
    std::vector<bool> hits;
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(faults.Next(eExchange::Trend).kind, eFaultKind::None);
        hits.push_back(faults.Next(eExchange::Values).kind == eFaultKind::Close);
    }
    EXPECT_EQ(hits, (std::vector<bool>{false, false, true, false, false, true, false}));
    faults.Clear();
    EXPECT_EQ(faults.Next(eExchange::Values).kind, eFaultKind::None);
}

TEST(FaultSet, SlowFaultCarriesItsDelay) {
    FaultSet faults;
    strFaultSpec spec;
    ASSERT_TRUE(ParseFault("trend:slow=40", &spec));
    faults.Add(spec);
    strFaultAction action = faults.Next(eExchange::Trend);
    EXPECT_EQ(action.kind, eFaultKind::Slow);
    EXPECT_EQ(action.delayMs, 40);
}

eCommandLine Parse(std::vector<const char*> arguments, strTesmoSimOptions* options,
                   std::string* error) {
    arguments.insert(arguments.begin(), "tesmo-sim");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data(), options, error);
}

TEST(CommandLine, DefaultsListenOnPort2500OfLoopback) {
    strTesmoSimOptions options;
    std::string error;
    ASSERT_EQ(Parse({}, &options, &error), eCommandLine::Run);
    EXPECT_EQ(options.port, kProgramDefaultPort);
    EXPECT_EQ(options.bind, "127.0.0.1");
    EXPECT_EQ(options.version, 200);
    EXPECT_EQ(options.plant, eSimPlant::Demo);
    EXPECT_FALSE(options.verbose);
    EXPECT_FALSE(options.noise);
}

TEST(CommandLine, ReadsEveryOptionInBothForms) {
    strTesmoSimOptions options;
    std::string error;
    ASSERT_EQ(Parse({"--port",
                     "0",
                     "--bind=0.0.0.0",
                     "--version",
                     "150",
                     "--user",
                     "ana",
                     "--password=x y",
                     "--plant",
                     "large",
                     "--seed=42",
                     "--fault",
                     "values:close",
                     "--fault=trend:slow=5:2",
                     "--trend-period",
                     "60",
                     "--now",
                     "1700000000",
                     "--latency=20",
                     "--max-connections",
                     "4",
                     "--verbose",
                     "--noise"},
                    &options, &error),
              eCommandLine::Run)
        << error;
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.bind, "0.0.0.0");
    EXPECT_EQ(options.version, 150);
    EXPECT_EQ(options.user, "ana");
    EXPECT_EQ(options.password, "x y");
    EXPECT_EQ(options.plant, eSimPlant::Large);
    EXPECT_EQ(options.seed, 42u);
    EXPECT_EQ(options.faults, (std::vector<std::string>{"values:close", "trend:slow=5:2"}));
    EXPECT_EQ(options.trendPeriod, 60);
    EXPECT_EQ(options.now, 1700000000);
    EXPECT_EQ(options.latencyMs, 20);
    EXPECT_EQ(options.maxConnections, 4);
    EXPECT_TRUE(options.verbose);
    EXPECT_TRUE(options.noise);
}

TEST(CommandLine, HelpAndErrors) {
    strTesmoSimOptions options;
    std::string error;
    EXPECT_EQ(Parse({"--port", "1", "--help"}, &options, &error), eCommandLine::Help);
    const std::vector<std::vector<const char*>> wrong = {{"--port", "65536"},
                                                         {"--port", "12x"},
                                                         {"--port"},
                                                         {"--plant", "huge"},
                                                         {"--fault", "values:explode"},
                                                         {"--version", "0"},
                                                         {"--seed", "-1"},
                                                         {"--bogus"},
                                                         {"--trend-period", "0"},
                                                         {"--bind="},
                                                         {"--latency", "-1"},
                                                         {"--latency", "60001"},
                                                         {"--max-connections", "x"}};
    for (const auto& arguments : wrong) {
        error.clear();
        EXPECT_EQ(Parse(arguments, &options, &error), eCommandLine::Error) << arguments[0];
        EXPECT_FALSE(error.empty());
    }
    std::string longUser(60, 'u'), longPassword(40, 'p');
    EXPECT_EQ(
        Parse({"--user", longUser.c_str(), "--password", longPassword.c_str()}, &options, &error),
        eCommandLine::Error);
}

TEST(CommandLine, HelpDocumentsEveryOption) {
    std::string usage = UsageText();
    for (const char* option : {"--port",         "--bind",  "--version", "--user",
                               "--password",     "--plant", "--seed",    "--fault",
                               "--trend-period", "--now",   "--noise",   "--verbose",
                               "--help",         "stall",   "--latency", "--max-connections",
                               "close",          "short",   "badlength", "slow=MS",
                               "trickle=MS",     "EVERY"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

}  // namespace

}  // namespace tesmosim
