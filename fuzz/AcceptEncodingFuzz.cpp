// Accept-Encoding values through the gzip decision. Checks it against an
// independent reading of the list (std::regex for the codings and weights),
// and checks that a gzip-coded body of the input decodes to it.
#include <regex>
#include <string>
#include <vector>

#include <zlib.h>

#include "AcceptEncoding.h"
#include "Compression.h"
#include "FuzzCheck.h"
#include "RequestParser.h"

using namespace portavex;

namespace {

// One element: a coding, then parameters; blanks around every piece.
const std::regex kElement("^[ \\t]*([^; \\t]*)[ \\t]*((;[^;]*)*)$");
const std::regex kWeight("^[ \\t]*[qQ][ \\t]*=[ \\t]*(0(\\.[0-9]{0,3})?|1(\\.0{0,3})?)[ \\t]*$");
const std::regex kQuality("^[ \\t]*[qQ][ \\t]*(=.*)?$");

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end - start));
        if (end == std::string::npos) return pieces;
        start = end + 1;
    }
}

std::string LowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The element's weight in thousandths; -1 when a q parameter is malformed
// (the last q parameter counts).
int WeightOf(const std::string& parameters) {
    int weight = 1000;
    std::vector<std::string> pieces = Split(parameters, ';');
    for (size_t i = 1; i < pieces.size(); i++) {
        if (!std::regex_match(pieces[i], kQuality)) continue;
        std::smatch match;
        if (!std::regex_match(pieces[i], match, kWeight)) {
            weight = -1;
            continue;
        }
        weight = static_cast<int>(std::stod(match[1].str()) * 1000 + 0.5);
    }
    return weight;
}

bool Allows(const std::string& value) {
    int gzip = -1;
    int any = -1;
    for (const std::string& element : Split(value, ',')) {
        std::smatch match;
        if (!std::regex_match(element, match, kElement)) continue;
        const std::string coding = LowerCase(match[1].str());
        const int weight = WeightOf(match[2].str());
        if (coding == "gzip" || coding == "x-gzip") gzip = std::max(gzip, weight);
        if (coding == "*") any = std::max(any, weight);
    }
    return gzip >= 0 ? gzip > 0 : any > 0;
}

void CheckRoundTrip(const std::string& body) {
    static GzipEncoder encoder;
    if (!encoder.Compress(body.data(), body.size(), body.size() + 64)) return;
    std::string decoded(body.size() + 1, '\0');
    uLongf length = static_cast<uLongf>(decoded.size());
    z_stream stream = {};
    FUZZ_CHECK(inflateInit2(&stream, 15 + 16) == Z_OK);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(encoder.Data()));
    stream.avail_in = static_cast<uInt>(encoder.Length());
    stream.next_out = reinterpret_cast<Bytef*>(&decoded[0]);
    stream.avail_out = static_cast<uInt>(length);
    FUZZ_CHECK(inflate(&stream, Z_FINISH) == Z_STREAM_END);
    decoded.resize(stream.total_out);
    inflateEnd(&stream);
    FUZZ_CHECK(decoded == body);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const std::string value(reinterpret_cast<const char*>(data), size);
    // Header values hold no line breaks or NUL bytes.
    if (value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos) {
        strCodingWeights weights;
        ReadAcceptEncoding(value.data(), value.size(), &weights);
        FUZZ_CHECK(AllowsGzip(weights) == Allows(value));
        std::string view = "GET / HTTP/1.1\r\nAccept-Encoding:" + value + "\r\n";
        strRequest request;
        ParseRequest(&view[0], &request);
        FUZZ_CHECK(AllowsGzip(request.codings) == Allows(value));
    }
    CheckRoundTrip(value);
    return 0;
}
