// Turns a query string into the JSON object handed to the request callback:
// {"name":value,...} in query order. The document is always valid JSON that
// fits in kParameterDocumentCapacity characters.
#pragma once

#include <cstddef>

namespace portavex {

// Bounded JSON text over a caller's buffer of capacity characters plus a
// terminator. When a piece does not fit, the text is replaced by an overflow
// document that holds none of the pieces, and later appends are ignored.
class JsonBuilder {
  public:
    JsonBuilder(char* buffer, size_t capacity);
    void Append(const char* text, size_t length);
    void Append(const char* text);
    // Appends text as the inside of a JSON string: quotes, backslashes and
    // control characters escaped.
    void AppendEscaped(const char* text, size_t length);

  private:
    void Overflow();

    char* buffer;        // the caller's, capacity + 1 bytes
    size_t capacity;     // characters the text may have
    size_t length = 0;   // characters written; the terminator follows
    bool error = false;  // the overflow document stands; appends are ignored
};

// Builds the document for query into document (kParameterDocumentCapacity + 1
// bytes). query is split in place at '&' and '=' and each piece is then
// percent-decoded. False when a piece decodes to a NUL byte.
bool BuildParameterDocument(char* document, char* query);

// A valid unsigned JSON number without exponent: 0, 12, 1.5 (not 007, .5, 5.).
bool IsJsonNumber(const char* text);

}  // namespace portavex
