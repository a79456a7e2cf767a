// The JSON writer: pieces are formatted into a small local text, then copied
// once to the tracked end of the answer.
#include "api/JsonOutput.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

const char* const kMessageOutOfMemory = "{\"error\":\"out of memory\",\"size_buffer\":%u}";
const char* const kMessageValueOfProperty = "{\"error\":\"value of property\":%s}";
const char* const kMessageNoSuchService = "Service doesn't exist";
const char* const kMessageUseMachine = "use: /api/machine?machine_id=MMMM";
const char* const kMessageUseValues = "use: /api/values?machine_id=MMMM";
const char* const kMessageUseTrend =
    "use: /api/trend?machine_id=MMMM&variable_id=VVVV&from=YYYY-MM-DDTHH:MM:SSZ&to=YYYY-MM-"
    "DDTHH:MM:SSZ(options:max_items=NNNN,compress=false)";
const char* const kMessageUseAnalysisList =
    "use: /api/analysis_list?machine_id=MMMM&analysis_id=AAAA&from=YYYY-MM-DDTHH:MM:SSZ&to=YYYY-"
    "MM-DDTHH:MM:SSZ((options:max_items=NNNN)";
const char* const kMessageUseAnalysis =
    "use: /api/analysis?machine_id=MMMM&analysis_id=AAAA&time=YYYY-MM-DDTHH:MM:SSZ";
const char* const kMessageServerNotWorking = "Tesmo Server is not working";

namespace {

// Member names are the service's own short literals; they are cut like String
// values so that a piece always fits its local text.
constexpr uint32_t kNameCut = kJsonStringCut;
constexpr uint32_t kEscapedNameSize = JsonEscapedSize(kNameCut);
// "name":"value" with both escaped, or "name":{ and the like.
constexpr uint32_t kPieceSize = kEscapedNameSize + JsonEscapedSize(kJsonStringCut) + 8;
// Texts of the two composed error messages.
constexpr uint32_t kMessageSize = 64 + JsonUtf8Size(kNameCut);
// Significant digits of a formatted float, as "%g" writes it.
constexpr int kFloatDigits = 6;

const char* const kErrorPrefix = "{\"error\":\"";
const char* const kErrorSuffix = "\",\"code\":%u}";
const char* const kNullName = "(null)";

// One piece of output under construction. Put and PutText stop at the end of
// the text, which kPieceSize makes unreachable for the pieces written here.
// Only the written part of the text is ever touched.
struct strPiece {
    char text[kPieceSize];
    uint32_t length = 0;
};

void PutRaw(strPiece* piece, const char* raw) {
    for (; *raw != 0 && piece->length + 1 < kPieceSize; ++raw) piece->text[piece->length++] = *raw;
    piece->text[piece->length] = 0;
}

void PutText(strPiece* piece, const char* text, uint32_t maxCharacters, bool escape) {
    piece->length += JsonConvertText(text, maxCharacters, escape, piece->text + piece->length,
                                     kPieceSize - piece->length);
}

// "name": with the name read, cut and escaped.
void PutName(strPiece* piece, const char* name) {
    PutRaw(piece, "\"");
    PutText(piece, name, kNameCut, true);
    PutRaw(piece, "\":");
}

void AppendBytes(strJsonOutput* output, const char* text, uint32_t length) {
    if (output->error) return;
    if (length > output->remaining) {
        char message[kMessageSize];
        std::snprintf(message, sizeof message, kMessageOutOfMemory, output->capacity);
        JsonSetError(output, message, kErrorOutOfMemory);
        return;
    }
    char* end = output->buffer + (output->capacity - output->remaining);
    std::memcpy(end, text, length);
    end[length] = 0;
    output->remaining -= length;
}

void AppendPiece(strJsonOutput* output, const strPiece& piece) {
    AppendBytes(output, piece.text, piece.length);
}

void FailBadBoolean(strJsonOutput* output, const char* name) {
    char readName[JsonUtf8Size(kNameCut)];
    JsonReadText(name == nullptr ? kNullName : name, kNameCut, readName, sizeof readName);
    char message[kMessageSize];
    std::snprintf(message, sizeof message, kMessageValueOfProperty, readName);
    JsonSetError(output, message, kErrorValueOfProperty);
}

void PutValue(strPiece* piece, const char* value, eJsonType type) {
    switch (type) {
        case eJsonType::String:
            PutRaw(piece, "\"");
            PutText(piece, value == nullptr ? kNullName : value, kJsonStringCut, true);
            PutRaw(piece, "\"");
            return;
        case eJsonType::Number:
            if (value == nullptr) {
                PutRaw(piece, "null");
                return;
            }
            PutText(piece, value, kJsonNumberCut, false);
            return;
        case eJsonType::Boolean:
            PutRaw(piece, value);
            return;
    }
}

bool IsBooleanText(const char* value) {
    return value != nullptr &&
           (std::strcmp(value, "true") == 0 || std::strcmp(value, "false") == 0);
}

void OpenContainer(strJsonOutput* output, const char* name, bool first, const char* opener) {
    if (!first) JsonAppend(output, ",");
    if (output->error) return;
    strPiece piece;
    if (name != nullptr) PutName(&piece, name);
    PutRaw(&piece, opener);
    AppendPiece(output, piece);
}

}  // namespace

void JsonInit(strJsonOutput* output, char* buffer, uint32_t size) {
    output->buffer = buffer;
    output->capacity = size == 0 ? 0 : size - 1;
    output->remaining = output->capacity;
    output->error = output->capacity < kJsonMinimumCapacity;
    if (size != 0) buffer[0] = 0;
}

void JsonAppend(strJsonOutput* output, const char* text) {
    AppendBytes(output, text, static_cast<uint32_t>(std::strlen(text)));
}

void JsonAddValue(strJsonOutput* output, const char* name, const char* value, eJsonType type,
                  bool first) {
    if (!first) JsonAppend(output, ",");
    if (type == eJsonType::Boolean && !IsBooleanText(value)) {
        FailBadBoolean(output, name);
        return;
    }
    // A failed answer ignores its pieces: they are not even built.
    if (output->error) return;
    strPiece piece;
    if (name != nullptr) PutName(&piece, name);
    PutValue(&piece, value, type);
    AppendPiece(output, piece);
}

uint32_t JsonFormatFloat(float value, char* text) {
    if (!std::isfinite(value)) {
        std::memcpy(text, "null", 5);
        return 4;
    }
    // The shortest-general form with six significant digits is the text
    // "%g" gives, made without the C library's locale and stream machinery.
    const std::to_chars_result result =
        std::to_chars(text, text + kJsonFloatTextSize - 1, static_cast<double>(value),
                      std::chars_format::general, kFloatDigits);
    *result.ptr = 0;
    return static_cast<uint32_t>(result.ptr - text);
}

void JsonAddFloat(strJsonOutput* output, const char* name, float value, bool first) {
    char text[kJsonFloatTextSize];
    JsonFormatFloat(value, text);
    JsonAddValue(output, name, text, eJsonType::Number, first);
}

void JsonOpenObject(strJsonOutput* output, const char* name, bool first) {
    OpenContainer(output, name, first, "{");
}

void JsonOpenArray(strJsonOutput* output, const char* name, bool first) {
    OpenContainer(output, name, first, "[");
}

void JsonCloseObject(strJsonOutput* output) {
    JsonAppend(output, "}");
}

void JsonCloseArray(strJsonOutput* output) {
    JsonAppend(output, "]");
}

void JsonSetError(strJsonOutput* output, const char* message, unsigned code) {
    output->error = true;
    if (message == nullptr) message = "";
    if (std::strlen(message) + kJsonErrorMargin >= output->capacity) return;
    char suffix[32];
    const uint32_t suffixLength =
        static_cast<uint32_t>(std::snprintf(suffix, sizeof suffix, kErrorSuffix, code));
    const uint32_t prefixLength = static_cast<uint32_t>(std::strlen(kErrorPrefix));
    const uint32_t messageLength = JsonConvertText(message, kJsonNoCut, true, nullptr, 0);
    // The escaped message may be longer than the one measured above; a
    // document that does not fit is not written at all.
    if (static_cast<uint64_t>(prefixLength) + messageLength + suffixLength > output->capacity) {
        return;
    }
    char* out = output->buffer;
    std::memcpy(out, kErrorPrefix, prefixLength);
    out += prefixLength;
    out += JsonConvertText(message, kJsonNoCut, true, out, messageLength + 1);
    std::memcpy(out, suffix, suffixLength + 1);
}
