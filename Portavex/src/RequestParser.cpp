#include "RequestParser.h"

#include <cstring>

#include "AcceptEncoding.h"
#include "TextCodec.h"

namespace portavex {

namespace {

const char kGetPrefix[] = "GET /";
const char kProtocolMark[] = " HTTP";
const char kLineBreaks[] = "\r\n";

}  // namespace

bool PercentDecode(char* text) {
    char* out = text;
    for (const char* in = text; *in != '\0'; in++) {
        int high = in[0] == '%' ? HexDigitValue(in[1]) : -1;
        int low = high >= 0 ? HexDigitValue(in[2]) : -1;
        if (low < 0) {
            *out++ = *in;
            continue;
        }
        char byte = static_cast<char>(high * 16 + low);
        if (byte == '\0') return false;
        *out++ = byte;
        in += 2;
    }
    *out = '\0';
    return true;
}

void ParseRequest(char* view, strRequest* request) {
    request->method = MethodUnknown;
    request->resource = nullptr;
    request->query = nullptr;
    request->badEncoding = false;

    // Line breaks before the request line are empty lines; it ends at the
    // next one.
    view += std::strspn(view, kLineBreaks);
    request->acceptsGzip = RequestAcceptsGzip(view);
    view[std::strcspn(view, kLineBreaks)] = '\0';
    char* protocol = std::strstr(view, kProtocolMark);
    if (protocol == nullptr) return;
    *protocol = '\0';

    if (std::strncmp(view, kGetPrefix, sizeof(kGetPrefix) - 1) != 0) return;
    request->method = MethodGet;
    request->resource = view + sizeof(kGetPrefix) - 1;
    char* question = std::strchr(request->resource, '?');
    if (question != nullptr) {
        *question = '\0';
        request->query = question + 1;
    }
    request->badEncoding = !PercentDecode(request->resource);
}

}  // namespace portavex
