#include "RequestParser.h"

#include <cstring>

#include "AcceptEncoding.h"
#include "TextCodec.h"

namespace portavex {

namespace {

const char kGetPrefix[] = "GET /";
const char kProtocolMark[] = " HTTP";
const char kLineBreaks[] = "\r\n";
const char kBlanks[] = " \t";
// What follows kProtocolMark on the request line of an HTTP/1.0 request.
const char kVersion10[] = "/1.0";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// text without the blanks around it; the trailing ones are cut in place.
char* TrimBlanks(char* text) {
    text += std::strspn(text, kBlanks);
    size_t length = std::strlen(text);
    while (length > 0 && IsBlank(text[length - 1])) length--;
    text[length] = '\0';
    return text;
}

bool EqualIgnoringCase(const char* text, const char* word) {
    return IsToken(text, std::strlen(text), word);
}

// The header lines the server looks at, each with the function that takes
// its value (blanks trimmed) into the request.
void TakeConnection(char* value, strRequest* request) {
    const char* cursor = value;
    size_t length;
    for (const char* token; (token = NextListElement(&cursor, &length)) != nullptr;) {
        if (IsToken(token, length, "close")) request->askedClose = true;
        if (IsToken(token, length, "keep-alive")) request->askedKeepAlive = true;
    }
}

void TakeIfNoneMatch(char* value, strRequest* request) {
    request->ifNoneMatch = value;
}

void TakeIfModifiedSince(char* value, strRequest* request) {
    request->ifModifiedSince = value;
}

void TakeAcceptEncoding(char* value, strRequest* request) {
    ReadAcceptEncoding(value, std::strlen(value), &request->codings);
}

struct strHeaderRule {
    const char* name;  // lower case
    void (*take)(char* value, strRequest* request);
};

const strHeaderRule kHeaderRules[] = {
    {"connection", TakeConnection},
    {"accept-encoding", TakeAcceptEncoding},
    {"if-none-match", TakeIfNoneMatch},
    {"if-modified-since", TakeIfModifiedSince},
};

// Hands the value of a header line to the rule for its name, if any.
void TakeHeaderLine(char* line, strRequest* request) {
    char* colon = std::strchr(line, ':');
    if (colon == nullptr) return;
    *colon = '\0';
    for (const strHeaderRule& rule : kHeaderRules) {
        if (EqualIgnoringCase(line, rule.name)) return rule.take(TrimBlanks(colon + 1), request);
    }
}

// lines: the header lines, terminated; a line ends at a CR or LF.
void ParseHeaderLines(char* lines, strRequest* request) {
    lines += std::strspn(lines, kLineBreaks);
    while (*lines != '\0') {
        char* next = lines + std::strcspn(lines, kLineBreaks);
        if (*next != '\0') *next++ = '\0';
        TakeHeaderLine(lines, request);
        lines = next + std::strspn(next, kLineBreaks);
    }
}

}  // namespace

const char* NextListElement(const char** cursor, size_t* length) {
    const char* text = *cursor;
    for (;;) {
        text += std::strspn(text, kBlanks);
        if (*text == '\0') return nullptr;
        if (*text != ',') break;
        text++;
    }
    size_t span = std::strcspn(text, ",");
    *cursor = text + span;
    while (span > 0 && IsBlank(text[span - 1])) span--;
    *length = span;
    return text;
}

bool IsToken(const char* text, size_t length, const char* word) {
    for (size_t i = 0; i < length; i++) {
        if (word[i] == '\0' || AsciiLower(text[i]) != word[i]) return false;
    }
    return word[length] == '\0';
}

eConnectionFate FateOf(const strRequest& request) {
    if (request.askedClose) return FateClose;
    if (!request.http10) return FateKeep;
    return request.askedKeepAlive ? FateKeepAnnounced : FateClose;
}

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
    request->http10 = false;
    request->askedClose = false;
    request->askedKeepAlive = false;
    request->ifNoneMatch = nullptr;
    request->ifModifiedSince = nullptr;
    request->codings = strCodingWeights();

    // Line breaks before the request line are empty lines; it ends at the
    // next one, and the header lines follow.
    view += std::strspn(view, kLineBreaks);
    char* lineEnd = view + std::strcspn(view, kLineBreaks);
    if (*lineEnd != '\0') {
        *lineEnd = '\0';
        ParseHeaderLines(lineEnd + 1, request);
    }
    char* protocol = std::strstr(view, kProtocolMark);
    if (protocol == nullptr) return;
    request->http10 = std::strcmp(protocol + sizeof(kProtocolMark) - 1, kVersion10) == 0;
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
