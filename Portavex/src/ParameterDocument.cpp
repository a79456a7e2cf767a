#include "ParameterDocument.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "Limits.h"
#include "RequestParser.h"

namespace portavex {

namespace {

const char kOverflowFormat[] = "{\"error\":\"out of memory\",\"size_buffer\":%u}";
constexpr size_t kNoCut = SIZE_MAX;

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F; the bytes
// Windows leaves undefined map to the C1 control of the same value.
const uint16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the UTF-8 sequence starting at text[0] if it is well formed
// within length bytes, else 0.
size_t Utf8SequenceLength(const unsigned char* text, size_t length) {
    unsigned char lead = text[0];
    if (lead < 0x80) return 1;
    size_t count;
    uint32_t code;
    uint32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        count = 2, code = lead & 0x1Fu, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        count = 3, code = lead & 0x0Fu, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        count = 4, code = lead & 0x07u, minimum = 0x10000;
    } else {
        return 0;
    }
    if (count > length) return 0;
    for (size_t i = 1; i < count; i++) {
        if ((text[i] & 0xC0) != 0x80) return 0;
        code = (code << 6) | (text[i] & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return count;
}

bool IsValidUtf8(const char* text, size_t length) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    for (size_t i = 0; i < length;) {
        size_t step = Utf8SequenceLength(bytes + i, length - i);
        if (step == 0) return false;
        i += step;
    }
    return true;
}

size_t EncodeUtf8(uint32_t code, char* out) {
    if (code < 0x80) {
        out[0] = static_cast<char>(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = static_cast<char>(0xC0 | (code >> 6));
        out[1] = static_cast<char>(0x80 | (code & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (code >> 12));
    out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
}

uint32_t Windows1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return kWindows1252High[byte - 0x80];
    return byte;
}

// Appends text as escaped UTF-8 of at most limit characters. Text that is
// not valid UTF-8 is read as Windows-1252, one character per byte.
void AppendText(JsonText& json, const char* text, size_t limit) {
    size_t length = std::strlen(text);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    if (IsValidUtf8(text, length)) {
        size_t used = 0;
        for (size_t characters = 0; used < length && characters < limit; characters++)
            used += Utf8SequenceLength(bytes + used, length - used);
        json.AppendEscaped(text, used);
        return;
    }
    for (size_t i = 0; i < length && i < limit; i++) {
        char encoded[4];
        size_t step = EncodeUtf8(Windows1252ToUnicode(bytes[i]), encoded);
        json.AppendEscaped(encoded, step);
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

void AppendValue(JsonText& json, const char* value) {
    if (IsBoolean(value, "true")) return json.Append("true");
    if (IsBoolean(value, "false")) return json.Append("false");
    if (IsJsonNumber(value)) {
        size_t length = std::strlen(value);
        if (length > kNumberValueCut) length = kNumberValueCut;
        // A cut right after the point would leave "12.", which is no number.
        if (value[length - 1] == '.') length--;
        return json.Append(value, length);
    }
    json.Append("\"");
    AppendText(json, value, kStringValueCut);
    json.Append("\"");
}

}  // namespace

JsonText::JsonText(char* text, size_t size) : buffer(text), capacity(size) {
    buffer[0] = '\0';
}

void JsonText::Overflow() {
    error = true;
    int written =
        std::snprintf(buffer, capacity + 1, kOverflowFormat, static_cast<unsigned>(capacity));
    length = written > 0 && static_cast<size_t>(written) <= capacity ? written : 0;
    buffer[length] = '\0';
}

void JsonText::Append(const char* text, size_t count) {
    if (error) return;
    if (count > capacity - length) return Overflow();
    std::memcpy(buffer + length, text, count);
    length += count;
    buffer[length] = '\0';
}

void JsonText::Append(const char* text) {
    Append(text, std::strlen(text));
}

void JsonText::AppendEscaped(const char* text, size_t count) {
    static const char kHex[] = "0123456789abcdef";
    size_t plainStart = 0;
    for (size_t i = 0; i < count; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') continue;
        Append(text + plainStart, i - plainStart);
        plainStart = i + 1;
        char escape[6] = {'\\', static_cast<char>(c), 0, 0, 0, 0};
        size_t escapeLength = 2;
        switch (c) {
            case '"':
            case '\\':
                break;
            case '\b':
                escape[1] = 'b';
                break;
            case '\f':
                escape[1] = 'f';
                break;
            case '\n':
                escape[1] = 'n';
                break;
            case '\r':
                escape[1] = 'r';
                break;
            case '\t':
                escape[1] = 't';
                break;
            default:
                std::memcpy(escape + 1, "u00", 3);
                escape[4] = kHex[c >> 4];
                escape[5] = kHex[c & 0xF];
                escapeLength = 6;
        }
        Append(escape, escapeLength);
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
    JsonText json(document, kParameterCapacity);
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
            AppendText(json, segment, kNoCut);
            json.Append("\":");
            AppendValue(json, value);
        }
        segment = next;
    }
    json.Append("}");
    return true;
}

}  // namespace portavex
