// The bytes of a connection as a client sends them, through the request
// framer, the request parser and the parameter document. Checks that framing
// does not depend on how the bytes were cut into receives, that the decoded
// path equals an independent decoding and is refused when it would hold a NUL,
// and that every parameter document is a JSON object that fits its buffer.
#include <cstring>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "ParameterDocument.h"
#include "RequestFramer.h"
#include "RequestParser.h"

using namespace portavex;

namespace {

struct strFramed {
    eFrameResult result;
    std::string view;
};

// Frames stream in receives of at most chunk bytes, parsing each request.
std::vector<strFramed> Frame(const unsigned char* stream, size_t size, size_t chunk,
                             void (*onRequest)(char* view)) {
    std::vector<strFramed> framed;
    auto framer = std::make_unique<RequestFramer>();
    size_t at = 0;
    while (at < size) {
        size_t count = std::min({chunk, size - at, framer->ReceiveAreaSize()});
        std::memcpy(framer->ReceiveArea(), stream + at, count);
        framer->Received(count);
        at += count;
        while (framer->HasInput()) {
            eFrameResult result = framer->Scan();
            if (result == FrameNeedMore) break;
            if (result != FrameComplete) {
                framed.push_back({result, ""});
                return framed;
            }
            FUZZ_CHECK(framer->ViewLength() <= kRequestViewSize);
            FUZZ_CHECK(framer->View()[framer->ViewLength()] == '\0');
            framed.push_back({result, std::string(framer->View(), framer->ViewLength())});
            if (onRequest != nullptr) onRequest(framer->View());
            framer->BeginRequest();
        }
    }
    return framed;
}

int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string Decode(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '%' && i + 2 < text.size() && Hex(text[i + 1]) >= 0 &&
            Hex(text[i + 2]) >= 0) {
            out += static_cast<char>(Hex(text[i + 1]) * 16 + Hex(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

void CheckParameters(char* query) {
    std::vector<char> document(kParameterCapacity + 1);
    if (!BuildParameterDocument(document.data(), query)) return;
    size_t length = std::strlen(document.data());
    FUZZ_CHECK(length <= kParameterCapacity);
    auto json = nlohmann::json::parse(document.data(), document.data() + length, nullptr, false);
    FUZZ_CHECK(!json.is_discarded());
    FUZZ_CHECK(json.is_object());
}

void CheckRequest(char* view) {
    // What the parser must find, worked out from a copy of the request line.
    std::string line(view);
    line = line.substr(0, line.find('\n'));
    size_t protocol = line.find(" HTTP");
    std::string head = line.substr(0, protocol);
    bool get = protocol != std::string::npos && head.compare(0, 5, "GET /") == 0;
    std::string target = get ? head.substr(5) : "";
    std::string expected = Decode(target.substr(0, target.find('?')));

    strRequest request;
    ParseRequest(view, &request);
    FUZZ_CHECK((request.method == MethodGet) == get);
    if (!get) return;
    FUZZ_CHECK(request.badEncoding == (expected.find('\0') != std::string::npos));
    if (request.badEncoding) return;
    FUZZ_CHECK(expected == request.resource);
    FUZZ_CHECK((request.query != nullptr) == (target.find('?') != std::string::npos));
    if (request.query != nullptr) CheckParameters(request.query);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size < 1) return 0;
    // The first byte sets the size of the receives; the rest is the stream.
    size_t chunk = 1 + data[0] % 64;
    std::vector<strFramed> small = Frame(data + 1, size - 1, chunk, CheckRequest);
    std::vector<strFramed> whole = Frame(data + 1, size - 1, size, nullptr);
    FUZZ_CHECK(small.size() == whole.size());
    for (size_t i = 0; i < small.size(); i++) {
        FUZZ_CHECK(small[i].result == whole[i].result);
        FUZZ_CHECK(small[i].view == whole[i].view);
    }
    return 0;
}
