#include "RequestParser.h"

#include <cstring>

namespace portavex {

namespace {

const char kGetPrefix[] = "GET /";
const char kProtocolMark[] = " HTTP";
const char kOriginHeader[] = "origin";

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(const char* text, const char* lowerPrefix) {
    for (; *lowerPrefix != '\0'; text++, lowerPrefix++) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *lowerPrefix) return false;
    }
    return true;
}

bool HasOriginHeader(const char* headers) {
    const char* line = headers;
    while (*line != '\0') {
        if (StartsWithNoCase(line, kOriginHeader)) return true;
        const char* end = std::strchr(line, '\n');
        if (end == nullptr) break;
        line = end + 1;
    }
    return false;
}

}  // namespace

bool PercentDecode(char* text) {
    char* out = text;
    for (const char* in = text; *in != '\0'; in++) {
        int high = in[0] == '%' ? HexValue(in[1]) : -1;
        int low = high >= 0 ? HexValue(in[2]) : -1;
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
    request->hasOrigin = false;
    request->badEncoding = false;

    char* headers = std::strchr(view, '\n');
    if (headers != nullptr)
        *headers++ = '\0';
    else
        headers = view + std::strlen(view);

    char* protocol = std::strstr(view, kProtocolMark);
    if (protocol == nullptr) return;
    *protocol = '\0';
    request->hasOrigin = HasOriginHeader(headers);

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
