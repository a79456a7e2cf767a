// What the gateway does with a request before any Tesmo exchange: framing
// and parsing the received bytes, building the parameter document, and the
// resource reading its parameters out of that document with JsonGetValue.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "ParameterDocument.h"
#include "RequestFramer.h"
#include "RequestParser.h"
#include "api/resources/Trend.h"
#include "service/JsonReader.h"

namespace {

// A trend request as a browser sends it to the explorer's gateway.
const char kTrendRequest[] =
    "GET /api/trend?machine_id=P-101&variable_id=1&from=2026-12-07T15:33:23Z"
    "&to=2026-12-08T15:33:23Z&max_items=720&mapped=true HTTP/1.1\r\n"
    "Host: 127.0.0.1:8080\r\n"
    "User-Agent: Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/120.0.0.0 Safari/537.36\r\n"
    "Accept: */*\r\n"
    "Referer: http://127.0.0.1:8080/\r\n"
    "Accept-Encoding: gzip, deflate, br\r\n"
    "Accept-Language: es-ES,es;q=0.9\r\n"
    "Connection: keep-alive\r\n"
    "\r\n";

// The document the library builds from that request's query.
const char kTrendParameters[] =
    "{\"machine_id\":\"P-101\",\"variable_id\":1,\"from\":\"2026-12-07T15:33:23Z\","
    "\"to\":\"2026-12-08T15:33:23Z\",\"max_items\":720,\"mapped\":true}";

// A parameter document filled to the library's capacity: members p0, p1, ...
// with text values, the wanted one last, so a lookup walks all of it.
std::string FullParameterDocument() {
    std::string document = "{";
    for (int i = 0;; ++i) {
        std::string member = "\"p" + std::to_string(i) + "\":\"value number " + std::to_string(i) +
                             " of the document\",";
        if (document.size() + member.size() + 40 > portavex::kParameterDocumentCapacity) break;
        document += member;
    }
    document += "\"machine_id\":\"P-101\"}";
    return document;
}

void BM_RequestParse(benchmark::State& state) {
    portavex::RequestFramer framer;
    char parameters[portavex::kParameterDocumentCapacity + 1];
    const size_t length = sizeof kTrendRequest - 1;
    for (auto _ : state) {
        framer.BeginRequest();
        std::memcpy(framer.ReceiveArea(), kTrendRequest, length);
        framer.Received(length);
        if (framer.Scan() != portavex::FrameComplete) state.SkipWithError("not framed");
        portavex::strRequest request;
        portavex::ParseRequest(framer.View(), &request);
        if (!portavex::BuildParameterDocument(parameters, request.query)) {
            state.SkipWithError("no document");
        }
        benchmark::DoNotOptimize(parameters);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * length));
}
BENCHMARK(BM_RequestParse);

// The trend resource reading its six parameters (two of them times).
void BM_TrendParameters(benchmark::State& state) {
    strTrendRequest request;
    for (auto _ : state) {
        if (!ReadTrendRequest(kTrendParameters, &request)) state.SkipWithError("not read");
        benchmark::DoNotOptimize(request);
    }
    state.SetBytesProcessed(
        static_cast<int64_t>(state.iterations() * (sizeof kTrendParameters - 1)));
}
BENCHMARK(BM_TrendParameters);

void BM_JsonGetValueFullDocument(benchmark::State& state) {
    const std::string document = FullParameterDocument();
    char value[64];
    for (auto _ : state) {
        if (!JsonGetValue(document.c_str(), "machine_id", value, sizeof value - 1)) {
            state.SkipWithError("not found");
        }
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * document.size()));
    state.counters["document_bytes"] = static_cast<double>(document.size());
}
BENCHMARK(BM_JsonGetValueFullDocument);

}  // namespace
