#include "api/Dispatcher.h"
#include "api/LogWrite.h"
#include "service/Configuration.h"

#include <gtest/gtest.h>

#include "TestPlatform.h"

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr unsigned long kServiceResultsSize = 1000000;

struct strCall {
    eRequestResult result;
    std::string body;
    unsigned long length;
    std::string log;
};

// Calls the request callback as the HTTP library does (a buffer of garbage,
// a length of 0) and captures what it logs.
strCall Call(const char* resource, const char* parameters,
             unsigned long resultsSize = kServiceResultsSize) {
    std::vector<char> resourceText(resource, resource + std::strlen(resource) + 1);
    std::vector<char> parameterText(parameters, parameters + std::strlen(parameters) + 1);
    std::vector<char> results(resultsSize, 'Z');
    strCall call;
    call.length = 0;
    testing::internal::CaptureStdout();
    call.result = OnGetApi(resourceText.data(), parameterText.data(), results.data(), &call.length,
                           resultsSize);
    call.log = testing::internal::GetCapturedStdout();
    call.body.assign(results.data());
    return call;
}

const char* const kIdent =
    "{\"api\":\"TesmoApi\",\"version_api\":\"BETA 25/04/2022\",\"version_portavex\":\"1.5\","
    "\"size_results\":999999}";
const char* const kHelp =
    "{\"resources\":[\"ident\",\"help\",\"groups\",\"machines\",\"machine\",\"values\","
    "\"trend\",\"analysis_list\",\"analysis\"]}";
const char* const kNoSuchService = "{\"error\":\"Service doesn't exist\",\"code\":101}";

TEST(DispatcherTest, AnswersIdentAndHelp) {
    strCall ident = Call("ident", "");
    EXPECT_EQ(ident.result, Ok);
    EXPECT_EQ(ident.body, kIdent);
    EXPECT_EQ(ident.length, ident.body.size());

    strCall help = Call("help", "");
    EXPECT_EQ(help.result, Ok);
    EXPECT_EQ(help.body, kHelp);
    EXPECT_EQ(help.length, help.body.size());
}

// ident and help never ask the server: with sessions on they are answered
// straight away, with no shared round to look up or set up on the heap.
TEST(DispatcherTest, IdentAndHelpTakeNothingFromTheHeapWithSessions) {
    if (ThreadAllocations() < 0) GTEST_SKIP() << "the allocator does not count";
    const int sessionsBefore = serverSessions;
    serverSessions = 1;
    for (const char* name : {"ident", "help"}) {
        char resource[kResourceNameSize];
        std::snprintf(resource, sizeof resource, "%s", name);
        char parameters[] = "";
        std::vector<char> results(kServiceResultsSize);
        unsigned long length = 0;
        testing::internal::CaptureStdout();
        const long long before = ThreadAllocations();
        const eRequestResult result =
            OnGetApi(resource, parameters, results.data(), &length, kServiceResultsSize);
        const long long taken = ThreadAllocations() - before;
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, Ok) << name;
        EXPECT_EQ(taken, 0) << name;
    }
    serverSessions = sessionsBefore;
}

TEST(DispatcherTest, IdentAndHelpIgnoreParameters) {
    EXPECT_EQ(Call("ident", "{\"machine_id\":\"P101\",\"x\":1}").body, kIdent);
    EXPECT_EQ(Call("help", "{\"max_items\":true}").body, kHelp);
}

TEST(DispatcherTest, IdentReportsTheBufferItGot) {
    strCall ident = Call("ident", "", 4096);
    EXPECT_NE(ident.body.find("\"size_results\":4095}"), std::string::npos) << ident.body;
}

TEST(DispatcherTest, UnknownNamesAnswerNotImplemented) {
    for (const char* name : {"Machines", "", "identx", "iden", "HELP", "help/"}) {
        strCall call = Call(name, "");
        EXPECT_EQ(call.result, NotImplemented) << name;
        EXPECT_EQ(call.body, kNoSuchService) << name;
        EXPECT_EQ(call.length, 44u) << name;
    }
}

TEST(DispatcherTest, LengthIsThatOfTheErrorThatReplacedTheAnswer) {
    // help does not fit in 99 characters: the answer becomes the code 1 document.
    strCall call = Call("help", "", 100);
    EXPECT_EQ(call.result, Ok);
    EXPECT_EQ(call.body,
              "{\"error\":\"{\\\"error\\\":\\\"out of memory\\\",\\\"size_buffer\\\":99}\","
              "\"code\":1}");
    EXPECT_EQ(call.length, call.body.size());
}

TEST(DispatcherTest, TinyBufferStillGivesATerminatedText) {
    strCall call = Call("ident", "", 50);
    EXPECT_EQ(call.result, Ok);
    EXPECT_EQ(call.body, "");
    EXPECT_EQ(call.length, 0u);
}

TEST(DispatcherTest, LogsOneBlockPerRequest) {
    strCall call = Call("nothing", "{\"a\":1}");
    const std::regex block(
        "\\*{10} OnGetApi \\*{10}\n"
        "Time:\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}Z\n"
        "Result:NotImplemented\n"
        "ResourceName:nothing\n"
        "Parameters:\\{\"a\":1\\}\n"
        "Results:\\{\"error\":\"Service doesn't exist\",\"code\":101\\}\n\n");
    EXPECT_TRUE(std::regex_match(call.log, block)) << call.log;

    strCall ident = Call("ident", "");
    EXPECT_NE(ident.log.find("Result:Ok\nResourceName:ident\nParameters:\nResults:" +
                             std::string(kIdent) + "\n\n"),
              std::string::npos)
        << ident.log;
}

TEST(DispatcherTest, NamesEveryResult) {
    const char* const names[] = {"Ok",       "BadRequest",   "Unauthorized",
                                 "NotFound", "ServiceError", "NotImplemented"};
    for (int value = Ok; value <= NotImplemented; ++value) {
        EXPECT_STREQ(ResultName(static_cast<eRequestResult>(value)), names[value]);
    }
}

TEST(DispatcherTest, UsageErrorLogsBadRequest) {
    // values without its machine_id is a usage error, answered before any
    // connection to the monitoring server.
    strCall call = Call("values", "");
    EXPECT_EQ(call.result, BadRequest);
    EXPECT_EQ(call.body, "{\"error\":\"use: /api/values?machine_id=MMMM\",\"code\":1003}");
    EXPECT_NE(call.log.find("Result:BadRequest\n"), std::string::npos) << call.log;
}

TEST(DispatcherTest, LogWriteWritesExactlyThePiecesInOrder) {
    // A unit longer than a pipe takes whole, which goes under the lock.
    const std::string longPiece(70000, 'x');
    const strLogPiece pieces[] = {{"ab", 2}, {"", 0}, {"c7\n", 3}};
    testing::internal::CaptureStdout();
    LogWrite(pieces, 3);
    LogWrite(pieces, 0);
    const strLogPiece longUnit[] = {{"<", 1}, {longPiece.data(), longPiece.size()}, {">", 1}};
    LogWrite(longUnit, 3);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "abc7\n<" + longPiece + ">");
}

}  // namespace
