#include "ParameterDocument.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "Limits.h"
#include "RequestParser.h"
#include "TextCodec.h"

namespace portavex {

namespace {

const char kOverflowFormat[] = "{\"error\":\"out of memory\",\"size_buffer\":%u}";
constexpr size_t kNoCut = SIZE_MAX;

// Appends text as escaped UTF-8 of at most limit characters. Text that is
// not valid UTF-8 is read as Windows-1252, one character per byte.
void AppendText(JsonBuilder* json, const char* text, size_t limit) {
    size_t length = std::strlen(text);
    if (IsUtf8(text, length)) {
        size_t used = 0;
        for (size_t characters = 0; used < length && characters < limit; characters++)
            used += Utf8SequenceLength(text + used, length - used);
        json->AppendEscaped(text, used);
        return;
    }
    for (size_t i = 0; i < length && i < limit; i++) {
        char encoded[kMaxUtf8Bytes];
        unsigned step =
            EncodeUtf8(Windows1252CodePoint(static_cast<unsigned char>(text[i])), encoded);
        json->AppendEscaped(encoded, step);
    }
}

bool IsBoolean(const char* text, const char* lowerWord) {
    for (; *lowerWord != '\0'; text++, lowerWord++) {
        char c = *text;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *lowerWord) return false;
    }
    return *text == '\0';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void AppendValue(JsonBuilder* json, const char* value) {
    if (IsBoolean(value, "true")) return json->Append("true");
    if (IsBoolean(value, "false")) return json->Append("false");
    if (IsJsonNumber(value)) {
        size_t length = std::strlen(value);
        if (length > kNumberValueCut) length = kNumberValueCut;
        // A cut right after the point would leave "12.", which is no number.
        if (value[length - 1] == '.') length--;
        return json->Append(value, length);
    }
    json->Append("\"");
    AppendText(json, value, kStringValueCut);
    json->Append("\"");
}

}  // namespace

JsonBuilder::JsonBuilder(char* text, size_t size) : buffer(text), capacity(size) {
    buffer[0] = '\0';
}

void JsonBuilder::Overflow() {
    error = true;
    int written =
        std::snprintf(buffer, capacity + 1, kOverflowFormat, static_cast<unsigned>(capacity));
    length = written > 0 && static_cast<size_t>(written) <= capacity ? written : 0;
    buffer[length] = '\0';
}

void JsonBuilder::Append(const char* text, size_t count) {
    if (error) return;
    if (count > capacity - length) return Overflow();
    std::memcpy(buffer + length, text, count);
    length += count;
    buffer[length] = '\0';
}

void JsonBuilder::Append(const char* text) {
    Append(text, std::strlen(text));
}

void JsonBuilder::AppendEscaped(const char* text, size_t count) {
    size_t plainStart = 0;
    for (size_t i = 0; i < count; i++) {
        char escape[kMaxEscapeBytes];
        unsigned escapeLength = JsonEscapeByte(static_cast<unsigned char>(text[i]), escape);
        if (escapeLength == 0) continue;
        Append(text + plainStart, i - plainStart);
        Append(escape, escapeLength);
        plainStart = i + 1;
    }
    Append(text + plainStart, count - plainStart);
}

bool IsJsonNumber(const char* text) {
    const char* p = text;
    if (*p == '0') {
        p++;
    } else if (*p >= '1' && *p <= '9') {
        while (IsDigit(*p)) p++;
    } else {
        return false;
    }
    if (*p == '.') {
        p++;
        if (!IsDigit(*p)) return false;
        while (IsDigit(*p)) p++;
    }
    return *p == '\0';
}

bool BuildParameterDocument(char* document, char* query) {
    JsonBuilder json(document, kParameterDocumentCapacity);
    json.Append("{");
    bool first = true;
    char* segment = query;
    while (segment != nullptr) {
        char* next = std::strchr(segment, '&');
        if (next != nullptr) *next++ = '\0';
        while (*segment == '=') segment++;
        if (*segment != '\0') {
            char* value = std::strchr(segment, '=');
            if (value != nullptr)
                *value++ = '\0';
            else
                value = segment + std::strlen(segment);
            if (!PercentDecode(segment) || !PercentDecode(value)) return false;
            if (!first) json.Append(",");
            first = false;
            json.Append("\"");
            AppendText(&json, segment, kNoCut);
            json.Append("\":");
            AppendValue(&json, value);
        }
        segment = next;
    }
    json.Append("}");
    return true;
}

}  // namespace portavex
