// The bytes of a connection as a client sends them, through the request
// framer, the request parser and the parameter document. Checks that framing
// and the Origin flag do not depend on how the bytes were cut into receives,
// that an Origin line the view holds is seen, that a request is refused at
// the first byte that its request line cannot hold and at no other, that the decoded
// path equals an independent decoding and is refused when it would hold a NUL,
// and that every parameter document is a JSON object that fits its buffer.
#include <cctype>
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
    bool origin;
    size_t end;  // offset of the last byte of the receive that ended it
};

bool StartsWithOrigin(const std::string& piece) {
    const char origin[] = "origin";
    if (piece.size() < sizeof(origin) - 1) return false;
    for (size_t i = 0; i + 1 < sizeof(origin); i++) {
        if (std::tolower(static_cast<unsigned char>(piece[i])) != origin[i]) return false;
    }
    return true;
}

// Whether a line after the request line (the first that is not empty),
// split at runs of CR and LF, begins with Origin.
bool ViewHasOrigin(const std::string& view) {
    size_t start = view.find_first_of("\r\n", view.find_first_not_of("\r\n"));
    while (start != std::string::npos) {
        start = view.find_first_not_of("\r\n", start);
        if (start == std::string::npos) return false;
        size_t end = view.find_first_of("\r\n", start);
        if (StartsWithOrigin(view.substr(start, end - start))) return true;
        start = end;
    }
    return false;
}

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
                framed.push_back({result, "", framer->HasOrigin(), at - 1});
                return framed;
            }
            FUZZ_CHECK(framer->ViewLength() <= kRequestViewSize);
            FUZZ_CHECK(framer->View()[framer->ViewLength()] == '\0');
            std::string view(framer->View(), framer->ViewLength());
            // The framer sees every header line, the view only those that fit.
            if (ViewHasOrigin(view)) FUZZ_CHECK(framer->HasOrigin());
            framed.push_back({result, view, framer->HasOrigin(), at - 1});
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

struct strPiece {
    std::string name;
    std::string value;
};

// The parameters of a query as the document must list them, decoded.
std::vector<strPiece> SplitQuery(const std::string& query) {
    std::vector<strPiece> pieces;
    size_t start = 0;
    for (;;) {
        size_t end = query.find('&', start);
        std::string segment = query.substr(start, end - start);
        segment.erase(0, segment.find_first_not_of('='));
        if (!segment.empty()) {
            size_t equals = segment.find('=');
            std::string value = equals == std::string::npos ? "" : segment.substr(equals + 1);
            pieces.push_back({Decode(segment.substr(0, equals)), Decode(value)});
        }
        if (end == std::string::npos) return pieces;
        start = end + 1;
    }
}

bool HasNul(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

bool IsAscii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

void CheckParameters(char* query) {
    std::vector<strPiece> pieces = SplitQuery(query);
    bool refused = false;
    for (const strPiece& piece : pieces)
        refused = refused || HasNul(piece.name) || HasNul(piece.value);

    std::vector<char> document(kParameterDocumentCapacity + 1);
    FUZZ_CHECK(BuildParameterDocument(document.data(), query) == !refused);
    if (refused) return;
    size_t length = std::strlen(document.data());
    FUZZ_CHECK(length <= kParameterDocumentCapacity);
    std::vector<std::string> names;
    auto collect = [&names](int depth, nlohmann::json::parse_event_t event,
                            nlohmann::json& parsed) {
        if (depth == 1 && event == nlohmann::json::parse_event_t::key)
            names.push_back(parsed.get<std::string>());
        return true;
    };
    auto json = nlohmann::json::parse(document.data(), document.data() + length, collect, false);
    FUZZ_CHECK(!json.is_discarded());
    FUZZ_CHECK(json.is_object());
    if (json.contains("error")) return;  // the document that says it overflowed
    // Names that are plain ASCII come through as they were sent, in order.
    FUZZ_CHECK(names.size() == pieces.size());
    for (size_t i = 0; i < names.size(); i++)
        if (IsAscii(pieces[i].name)) FUZZ_CHECK(names[i] == pieces[i].name);
}

void CheckRequest(char* view) {
    // What the parser must find, worked out from a copy of the request line.
    std::string line(view);
    line.erase(0, line.find_first_not_of("\r\n"));
    line = line.substr(0, line.find_first_of("\r\n"));
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

// The offset of the first byte from start on that no request line holds
// where it stands, worked out apart from the framer: after any line breaks
// a method of letters, digits and !#$%&'*+-.^_`|~ up to the first blank, then
// no control character but CR and LF, which end the line. end when there is
// none before it.
size_t FirstImpossibleByte(const unsigned char* stream, size_t start, size_t end) {
    const std::string methodSigns = "!#$%&'*+-.^_`|~";
    size_t at = start;
    while (at < end && (stream[at] == '\r' || stream[at] == '\n')) at++;
    const size_t first = at;
    bool inMethod = true;
    for (; at < end && stream[at] != '\r' && stream[at] != '\n'; at++) {
        const unsigned char c = stream[at];
        if (inMethod && c == ' ' && at > first) {
            inMethod = false;
            continue;
        }
        const bool sign = c != 0 && methodSigns.find(static_cast<char>(c)) != std::string::npos;
        const bool methodCharacter = (c < 0x80 && std::isalnum(c)) || sign;
        const bool control = c < 0x20 || c == 0x7f;
        if (inMethod ? !methodCharacter : control) return at;
    }
    return end;
}

// With receives of one byte each, every result ends at the byte that
// decided it: a refusal at the first impossible byte of its request, any
// other result before one.
void CheckRefusals(const unsigned char* stream, const std::vector<strFramed>& single) {
    size_t start = 0;
    for (const strFramed& framed : single) {
        const size_t impossible = FirstImpossibleByte(stream, start, framed.end + 1);
        FUZZ_CHECK((framed.result == FrameNotARequest) == (impossible == framed.end));
        if (framed.result != FrameNotARequest) FUZZ_CHECK(impossible == framed.end + 1);
        start = framed.end + 1;
    }
}

void CheckSameFraming(const std::vector<strFramed>& a, const std::vector<strFramed>& b) {
    FUZZ_CHECK(a.size() == b.size());
    for (size_t i = 0; i < a.size(); i++) {
        FUZZ_CHECK(a[i].result == b[i].result);
        FUZZ_CHECK(a[i].view == b[i].view);
        FUZZ_CHECK(a[i].origin == b[i].origin);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size < 1) return 0;
    // The first byte sets the size of the receives; the rest is the stream.
    size_t chunk = 1 + data[0] % 64;
    std::vector<strFramed> small = Frame(data + 1, size - 1, chunk, CheckRequest);
    std::vector<strFramed> whole = Frame(data + 1, size - 1, size, nullptr);
    std::vector<strFramed> single = Frame(data + 1, size - 1, 1, nullptr);
    CheckSameFraming(small, whole);
    CheckSameFraming(single, whole);
    CheckRefusals(data + 1, single);
    return 0;
}
