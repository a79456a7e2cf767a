// The JSON writer: builds one answer of the API piece by piece straight into
// the results buffer handed over by the HTTP library. It never allocates and
// never overruns the buffer; the first failure turns the whole answer into an
// error document {"error":"...","code":N}.
//
// Every answer is well-formed JSON whatever bytes the monitoring server sends:
// texts that are not valid UTF-8 are read as Windows-1252, values are cut to a
// fixed number of characters (never in the middle of a character), and names
// and String values are escaped after the cut.
#pragma once

#include <cstdint>

#include "text/JsonText.h"

// Characters kept of a String value and of a Number value.
constexpr unsigned kJsonStringCut = 50;
constexpr unsigned kJsonNumberCut = 20;

// A capacity below this leaves the answer failed from the start.
constexpr uint32_t kJsonMinimumCapacity = 99;
// An error document is written only when its message plus this margin is
// below the capacity.
constexpr uint32_t kJsonErrorMargin = 50;

// Codes of the error documents.
constexpr unsigned kErrorOutOfMemory = 1;
constexpr unsigned kErrorValueOfProperty = 2;
constexpr unsigned kErrorNoSuchService = 101;
constexpr unsigned kErrorUseMachine = 1002;
constexpr unsigned kErrorUseValues = 1003;
constexpr unsigned kErrorUseTrend = 1004;
constexpr unsigned kErrorUseAnalysisList = 1005;
constexpr unsigned kErrorUseAnalysis = 1006;
constexpr unsigned kErrorServerNotWorking = 2001;

// Messages of the error documents (codes 1 and 2 are formats).
extern const char* const kMessageOutOfMemory;      // "%u" is the capacity
extern const char* const kMessageValueOfProperty;  // "%s" is the member name
extern const char* const kMessageNoSuchService;
extern const char* const kMessageUseMachine;
extern const char* const kMessageUseValues;
extern const char* const kMessageUseTrend;
extern const char* const kMessageUseAnalysisList;
extern const char* const kMessageUseAnalysis;
extern const char* const kMessageServerNotWorking;

// The answer under construction. The written text always runs from buffer[0]
// to buffer[capacity - remaining] and is terminated there, so appending costs
// only the length of the piece.
struct strJsonOutput {
    char* buffer;        // the results buffer (owned by the HTTP library)
    uint32_t capacity;   // characters that may be written: buffer size - 1
    uint32_t remaining;  // characters still free
    bool error;          // the answer has failed; appends are ignored
};

// How a value handed over as text is written.
enum class eJsonType {
    String = 0,   // in double quotes, cut to 50 characters, escaped
    Number = 1,   // bare, cut to 20 characters
    Boolean = 2,  // the text must be exactly true or false
};

// Sets the record up over a buffer of size bytes (size >= 1) and leaves an
// empty text in it.
void JsonInit(strJsonOutput* output, char* buffer, uint32_t size);

// Appends raw text (no conversion, no escaping).
void JsonAppend(strJsonOutput* output, const char* text);

// One member "name":value, or one array element when name is null. With
// first false a comma goes before the piece. A null value is written as the
// String "(null)" or, for a Number, as null.
void JsonAddValue(strJsonOutput* output, const char* name, const char* value, eJsonType type,
                  bool first);

// A float written with %g as a Number; NaN and infinities are written as null.
void JsonAddFloat(strJsonOutput* output, const char* name, float value, bool first);

// Room for the text of a formatted float with its terminator ("%g" needs at
// most 13 characters).
constexpr uint32_t kJsonFloatTextSize = 32;

// The text JsonAddFloat writes for value (the text of printf's "%g", or null
// for NaN and the infinities), terminated, at text (kJsonFloatTextSize bytes).
// Returns its length.
uint32_t JsonFormatFloat(float value, char* text);

// Opens a keyed (name given) or anonymous (name null) object or array.
void JsonOpenObject(strJsonOutput* output, const char* name, bool first);
void JsonOpenArray(strJsonOutput* output, const char* name, bool first);
void JsonCloseObject(strJsonOutput* output);
void JsonCloseArray(strJsonOutput* output);

// Fails the answer and, when it fits, replaces the whole buffer with the
// error document of message (escaped) and code. The last one written stands.
void JsonSetError(strJsonOutput* output, const char* message, unsigned code);
