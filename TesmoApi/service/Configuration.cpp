#include "service/Configuration.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "service/JsonReader.h"
#include "text/IntegerText.h"
#include "text/JsonText.h"

const char* const kConfigurationFileName = "TesmoApi.json";

int listenPort;
char serverHost[kServerTextLength + 1];
char serverUser[kServerTextLength + 1];
char serverPassword[kServerTextLength + 1];
int serverPort;
char configText[kConfigTextSize];
int apiIdleTimeout = kDefaultApiIdleTimeout;
int serverTimeout = kDefaultServerTimeout;
bool apiMetrics = false;
bool apiMetricsPlant = false;
int serverSessions = kDefaultServerSessions;
int serverSessionIdle = kDefaultSessionIdle;

namespace {

// Longest text read for a number key.
constexpr uint32_t kNumberTextLength = 20;

enum class eKeyKind {
    Number,    // required, converted with "%d"
    Port,      // a Number whose low 16 bits are not 0
    Text,      // required, at most kServerTextLength characters
    Optional,  // an integer in [lowest, highest], or absent for the default
    Flag,      // true or false, or absent for false
};

struct strConfigKey {
    const char* path;
    eKeyKind kind;
    char* text;
    int* number;
    int defaultValue;
    bool* flag = nullptr;
    int lowest = 1;  // Optional: positive by default
    int highest = INT_MAX;
};

// Read in this order; the first fault stops the load.
const strConfigKey kKeys[] = {
    {"api.listen_port", eKeyKind::Port, nullptr, &listenPort, 0},
    {"drovane_tesmo_server.host", eKeyKind::Text, serverHost, nullptr, 0},
    {"drovane_tesmo_server.user", eKeyKind::Text, serverUser, nullptr, 0},
    {"drovane_tesmo_server.password", eKeyKind::Text, serverPassword, nullptr, 0},
    {"drovane_tesmo_server.port", eKeyKind::Number, nullptr, &serverPort, 0},
    {"api.idle_timeout", eKeyKind::Optional, nullptr, &apiIdleTimeout, kDefaultApiIdleTimeout},
    {"drovane_tesmo_server.timeout", eKeyKind::Optional, nullptr, &serverTimeout,
     kDefaultServerTimeout},
    {"api.metrics", eKeyKind::Flag, nullptr, nullptr, 0, &apiMetrics},
    {"api.metrics_plant", eKeyKind::Flag, nullptr, nullptr, 0, &apiMetricsPlant},
    {"drovane_tesmo_server.sessions", eKeyKind::Optional, nullptr, &serverSessions,
     kDefaultServerSessions, nullptr, 0, kMaxServerSessions},
    {"drovane_tesmo_server.session_idle", eKeyKind::Optional, nullptr, &serverSessionIdle,
     kDefaultSessionIdle},
};

// A Windows-1252 byte takes at most three bytes in UTF-8 (0x80 is U+20AC).
constexpr size_t kWindows1252Utf8Bytes = 3;

// The text the lookups read: configText itself when it is UTF-8; else a file
// saved in the ANSI code page, configText read as Windows-1252 and written
// as UTF-8 here, so that the reader, which takes UTF-8 only, reads it.
char utf8Text[kConfigTextSize * kWindows1252Utf8Bytes];
const char* document = configText;

// Optional keys with a range of their own, read after kKeys: absent keeps
// the default; present must be digits only, within the range.
#ifdef _WIN32
// The C library's text mode already turns CR LF into LF and ends at Ctrl-Z.
constexpr bool kTextModeTranslates = true;
#else
constexpr bool kTextModeTranslates = false;
#endif
constexpr int kEndOfTextMark = 0x1A;  // Ctrl-Z

// The next byte as Windows' text mode reads it: CR LF as LF, a lone CR as it
// is, and Ctrl-Z as the end. Where "rt" reads bytes as they are, the same is
// done here, so that a file counts the same on every platform.
int ReadTextByte(FILE* file) {
    const int c = fgetc(file);
    if (kTextModeTranslates) return c;
    if (c == kEndOfTextMark) return EOF;
    if (c != '\r') return c;
    const int next = fgetc(file);
    if (next == '\n') return next;
    if (next != EOF) ungetc(next, file);
    return c;
}

// Reads the file a byte at a time; the 1,000th byte makes it too long.
// configText is always left terminated (empty after a fault).
eConfigFault ReadConfigText(const char* fileName) {
    memset(configText, 0, sizeof configText);
    FILE* file = fopen(fileName, "rt");
    if (file == nullptr) return eConfigFault::CannotOpen;
    size_t count = 0;
    int c;
    while ((c = ReadTextByte(file)) != EOF) {
        configText[count++] = static_cast<char>(c);
        if (count == kConfigTextSize) {
            fclose(file);
            memset(configText, 0, sizeof configText);
            return eConfigFault::TooLong;
        }
    }
    fclose(file);
    return eConfigFault::None;
}

// Read as "%d" reads (leading blanks, a sign, text after the digits ignored),
// but defined for numbers beyond 32 bits, which are clamped.
bool ReadNumber(const char* path, int* number) {
    char text[kNumberTextLength + 1];
    int32_t value;
    if (!JsonGetValue(document, path, text, kNumberTextLength)) return false;
    if (!ScanInteger(text, &value)) return false;
    *number = value;
    return true;
}

// Digits only (no sign, blanks or trailing text), within [lowest, highest].
bool ParseWholeNumber(const char* text, int lowest, int highest, int* number) {
    if (*text == '\0') return false;
    long long value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
        if (value > highest) return false;
    }
    if (value < lowest) return false;
    *number = static_cast<int>(value);
    return true;
}

// An optional key: absent keeps the default; present must be well-formed.
// The lookup allows the whole file so that an over-long value counts as
// present (and bad), not as absent.
bool ReadOptional(const strConfigKey& key) {
    char text[kConfigTextSize];
    *key.number = key.defaultValue;
    if (!JsonGetValue(document, key.path, text, kConfigTextSize - 1)) return true;
    if (strlen(text) > kNumberTextLength) return false;
    return ParseWholeNumber(text, key.lowest, key.highest, key.number);
}

// A listen port of 0 would have the system choose one, which no client
// knows.
bool ReadPort(const strConfigKey& key) {
    return ReadNumber(key.path, key.number) && PortNumber(*key.number) != 0;
}

// The Windows-1252 byte of a code point; false for one the code page lacks.
bool Windows1252Byte(uint32_t code, char* byte) {
    for (unsigned b = 1; b <= UCHAR_MAX; ++b) {
        if (Windows1252CodePoint(static_cast<unsigned char>(b)) == code) {
            *byte = static_cast<char>(b);
            return true;
        }
    }
    return false;
}

// The UTF-8 text, valid as the reader passed it, in Windows-1252, in place
// (never longer). False when it holds a character the code page lacks.
bool Utf8ToWindows1252(char* text) {
    const char* in = text;
    const char* end = text + strlen(text);
    char* out = text;
    while (in < end) {
        uint32_t code;
        const unsigned length = Utf8Decode(in, static_cast<size_t>(end - in), &code);
        if (length == 0 || !Windows1252Byte(code, out++)) return false;
        in += length;
    }
    *out = '\0';
    return true;
}

// A text value with its escapes decoded, at most kServerTextLength bytes.
// The client sends the user and password bytes as they are, so they go in
// the file's own encoding: UTF-8 from a UTF-8 file, as they always went, and
// Windows-1252 from a file saved in the ANSI code page, the code page in
// which the Tesmo server, a Windows program, keeps its texts (the catalogue
// texts it sends are read as Windows-1252 for the same reason).
bool ReadText(const strConfigKey& key) {
    char text[sizeof utf8Text];
    if (!JsonGetValue(document, key.path, text, sizeof text - 1)) return false;
    JsonDecodeEscapes(text);
    if (document == utf8Text && !Utf8ToWindows1252(text)) return false;
    const size_t length = strlen(text);
    if (length > kServerTextLength) return false;
    memcpy(key.text, text, length + 1);
    return true;
}

// An optional Boolean: absent is false; present must be true or false.
bool ReadFlag(const strConfigKey& key) {
    char text[kConfigTextSize];
    *key.flag = false;
    if (!JsonGetValue(document, key.path, text, kConfigTextSize - 1)) return true;
    *key.flag = strcmp(text, "true") == 0;
    return *key.flag || strcmp(text, "false") == 0;
}

bool ReadKey(const strConfigKey& key) {
    switch (key.kind) {
        case eKeyKind::Number:
            return ReadNumber(key.path, key.number);
        case eKeyKind::Port:
            return ReadPort(key);
        case eKeyKind::Text:
            return ReadText(key);
        case eKeyKind::Optional:
            return ReadOptional(key);
        case eKeyKind::Flag:
            return ReadFlag(key);
    }
    return false;
}

bool Fail(strConfigFault* fault, eConfigFault kind, const char* key) {
    *fault = {kind, key};
    return false;
}

}  // namespace

bool LoadConfiguration(const char* fileName, strConfigFault* fault) {
    const eConfigFault read = ReadConfigText(fileName);
    if (read != eConfigFault::None) return Fail(fault, read, nullptr);
    document = configText;
    if (!JsonIsUtf8(configText)) {
        JsonReadText(configText, kJsonNoCut, utf8Text, sizeof utf8Text);
        document = utf8Text;
    }
    for (const strConfigKey& key : kKeys) {
        if (!ReadKey(key)) return Fail(fault, eConfigFault::BadKey, key.path);
    }
    *fault = {eConfigFault::None, nullptr};
    return true;
}

void DescribeConfigFault(const strConfigFault& fault, char* text, size_t size) {
    switch (fault.fault) {
        case eConfigFault::None:
            snprintf(text, size, "configuración leída de %s", kConfigurationFileName);
            return;
        case eConfigFault::CannotOpen:
            snprintf(text, size, "no se pudo abrir el archivo de configuración %s",
                     kConfigurationFileName);
            return;
        case eConfigFault::TooLong:
            snprintf(text, size, "el archivo de configuración %s tiene %u bytes o más",
                     kConfigurationFileName, static_cast<unsigned>(kConfigTextSize));
            return;
        case eConfigFault::BadKey:
            snprintf(text, size, "falta la clave \"%s\" en %s o su valor no es válido", fault.key,
                     kConfigurationFileName);
            return;
    }
}
