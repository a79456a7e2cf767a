// The Tesmo server's binary protocol: every command code, message and record
// layout, length bound and code table, in one place. Shared by the client and
// by anything that plays the server's part.
//
// On the wire: integers little-endian, floats IEEE single precision
// little-endian, fields packed without padding, times signed 32-bit UTC
// seconds, texts NUL-terminated inside fixed-width fields. Offsets below are
// relative to the start of the message, payload or record they belong to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tesmo {

// ---------------------------------------------------------------------------
// Command codes: the 32-bit first field of every message.
enum eCommand : std::uint32_t {
    LoginAccepted = 0x2AF52DEE,   // login reply from the server
    Login = 0x2AF52DF0,           // login message
    Catalogue = 0x2AF52DF1,       // catalogue request
    TrendMapped = 0x2AF52DF2,     // trend request, thinned to maxItems (the only one below 200)
    Analisis = 0x2AF52DF3,        // stored analysis request
    Values = 0x2AF52E01,          // current values request
    CatalogueStamp = 0x2AF52E04,  // catalogue stamp request (200 and above)
    SpecialKinds = 0x2AF52E06,    // diagnostic kinds request (200 and above)
    TrendUnmapped = 0x2AF52E07,   // trend request, raw samples (200 and above)
};

constexpr std::uint16_t kDefaultPort = 2500;

// Servers announcing a version below this speak the older protocol: no
// catalogue stamp, no DIGITAL variables, no diagnostic kinds, one trend command.
constexpr std::uint16_t kCurrentProtocolVersion = 200;

// ---------------------------------------------------------------------------
// Message header, 14 bytes, before every request and every reply after login:
//   0  u32 command   4  u16 machine position (Values, trend, Analisis; else 0)
//   6  u32 payload length that follows   10  u32 reserved, 0
constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kHeaderCommandOffset = 0;
constexpr std::size_t kHeaderMachineOffset = 4;
constexpr std::size_t kHeaderLengthOffset = 6;
constexpr std::size_t kHeaderReservedOffset = 10;

// Largest reply payload: the size of the client's reply buffer (256 KiB + 96).
constexpr std::uint32_t kMaxReplyPayload = 262240;

// Smallest accepted reply payload per request (the stamp reply is exactly 4).
constexpr std::uint32_t kMinCatalogueReply = 1;
constexpr std::uint32_t kMinValuesReply = 1;
constexpr std::uint32_t kMinSpecialKindsReply = 1;
constexpr std::uint32_t kStampReplySize = 4;

// ---------------------------------------------------------------------------
// Login message (no header): 0 u32 Login, 4 u8 user length U, 5 u8 password
// length P, 6 user name (U bytes), 6+U password (P bytes); no terminators.
constexpr std::size_t kLoginUserLengthOffset = 4;
constexpr std::size_t kLoginPasswordLengthOffset = 5;
constexpr std::size_t kLoginDataOffset = 6;
// User name and password together fit a 100-byte area with room for a NUL.
constexpr std::size_t kLoginMaxCredentials = 99;
constexpr std::size_t kLoginMaxSize = kLoginDataOffset + kLoginMaxCredentials;

// Login reply, exactly 8 bytes: 0 u32 LoginAccepted, 4 u16 unused, 6 u16 version.
constexpr std::size_t kLoginReplySize = 8;
constexpr std::size_t kLoginReplyVersionOffset = 6;

// ---------------------------------------------------------------------------
// Catalogue reply: 0 i16 groups G, 2 i16 machines N, then G group records,
// then N machine blocks. A machine block is the machine record, then its
// DIGITAL, ANALOG and RPM records, point blocks, analysis records,
// SPECIALICED records and trailing records, as many as the machine record says.
constexpr std::size_t kCatalogueGroupCountOffset = 0;
constexpr std::size_t kCatalogueMachineCountOffset = 2;
constexpr std::size_t kCatalogueCountsSize = 4;

// Texts of catalogue records.
constexpr std::size_t kNameFieldSize = 50;
constexpr std::size_t kUnitsFieldSize = 10;

// Group record: 0 name[50], 50 unused.
constexpr std::size_t kGroupRecordSize = 54;
constexpr std::size_t kGroupNameOffset = 0;

// Machine record: 0 name[50], 180 i16 group position, then u16 counts.
constexpr std::size_t kMachineRecordSize = 204;
constexpr std::size_t kMachineNameOffset = 0;
constexpr std::size_t kMachineGroupOffset = 180;
constexpr std::size_t kMachinePointCountOffset = 190;
constexpr std::size_t kMachineRpmCountOffset = 192;
constexpr std::size_t kMachineAnalogCountOffset = 194;
constexpr std::size_t kMachineDigitalCountOffset = 196;
constexpr std::size_t kMachineAnalisisCountOffset = 198;
constexpr std::size_t kMachineSpecialCountOffset = 200;
constexpr std::size_t kMachineTrailingCountOffset = 202;

// Level flags byte, followed by four floats: high-high, high, low, low-low.
constexpr std::uint8_t kLevelHighBit = 0x01;
constexpr std::uint8_t kLevelHighHighBit = 0x02;
constexpr std::uint8_t kLevelLowBit = 0x04;
constexpr std::uint8_t kLevelLowLowBit = 0x08;
constexpr std::uint8_t kLevelFlagsUnread = 0xF0;  // bits 4 to 7 mean nothing to a client
constexpr std::size_t kLevelsSize = 1 + 4 * 4;

// DIGITAL record: 0 i32 variable number, 4 name[50].
constexpr std::size_t kDigitalRecordSize = 166;
constexpr std::size_t kVariableNumberOffset = 0;
constexpr std::size_t kVariableNameOffset = 4;

// ANALOG record: 0 i32 number, 4 name[50], 54 units[10], 76 level flags + levels.
constexpr std::size_t kAnalogRecordSize = 101;
constexpr std::size_t kAnalogUnitsOffset = 54;
constexpr std::size_t kAnalogLevelsOffset = 76;

// RPM record: 0 i32 number, 4 name[50], 66 level flags + levels.
constexpr std::size_t kRpmRecordSize = 91;
constexpr std::size_t kRpmLevelsOffset = 66;

// Point block: the header, M skipped records, V point variable records.
// Header: 0 i16 point number, 2 char letter, 3 name[50], 65 i16 V, 67 i16 M.
constexpr std::size_t kPointHeaderSize = 81;
constexpr std::size_t kPointNumberOffset = 0;
constexpr std::size_t kPointLetterOffset = 2;
constexpr std::size_t kPointNameOffset = 3;
constexpr std::size_t kPointVariableCountOffset = 65;
constexpr std::size_t kPointSkippedCountOffset = 67;
constexpr std::size_t kPointSkippedRecordSize = 55;

// Point variable record: 0 i32 number, 4 measurement name[50], 54 units[10],
// 66 level flags + levels.
constexpr std::size_t kPointVariableRecordSize = 91;
constexpr std::size_t kPointVariableUnitsOffset = 54;
constexpr std::size_t kPointVariableLevelsOffset = 66;

// Analysis record: 0 char 'E'/'F', 1 i16 point position, 3 i16 variable
// position within the point, 7 f32 fmax, 11 u16 lines, 13 u16 averages,
// 15 u16 samples, 17 f32 fs.
constexpr std::size_t kAnalisisRecordSize = 21;
constexpr std::size_t kAnalisisKindOffset = 0;
constexpr std::size_t kAnalisisPointOffset = 1;
constexpr std::size_t kAnalisisVariableOffset = 3;
constexpr std::size_t kAnalisisFmaxOffset = 7;
constexpr std::size_t kAnalisisLinesOffset = 11;
constexpr std::size_t kAnalisisAveragesOffset = 13;
constexpr std::size_t kAnalisisSamplesOffset = 15;
constexpr std::size_t kAnalisisFsOffset = 17;
constexpr char kWireSpectrum = 'E';
constexpr char kWireWaveform = 'F';
constexpr char kSpectrumLetter = 'S';  // letter of a spectrum definition in the model
constexpr char kWaveformLetter = 'W';  // letter of a waveform definition in the model

// SPECIALICED record: 0 i32 number, 4 name[50], 54 i16 point position,
// 58 i16 analysis position (whose units it takes), 60 char '0' = "degrees",
// 74 level flags + levels.
constexpr std::size_t kSpecialRecordSize = 99;
constexpr std::size_t kSpecialPointOffset = 54;
constexpr std::size_t kSpecialAnalisisOffset = 58;
constexpr std::size_t kSpecialDegreesOffset = 60;
constexpr char kSpecialDegreesMark = '0';
constexpr std::size_t kSpecialLevelsOffset = 74;

constexpr std::size_t kTrailingRecordSize = 14;

// ---------------------------------------------------------------------------
// Diagnostic kinds reply: for every machine in catalogue order an i16 count K
// and K entries of 21 bytes; byte 0 of an entry is the signed kind code of the
// machine's next SPECIALICED variable.
constexpr std::size_t kSpecialKindsCountSize = 2;
constexpr std::size_t kSpecialKindEntrySize = 21;
constexpr std::size_t kSpecialKindCodeOffset = 0;

// ---------------------------------------------------------------------------
// Variable kinds: how a trend request addresses a variable.
constexpr std::uint8_t kKindPoint = 0;
constexpr std::uint8_t kKindRpm = 1;
constexpr std::uint8_t kKindAnalog = 2;
constexpr std::uint8_t kKindDigital = 3;
constexpr std::uint8_t kKindSpecial = 4;

// Type texts and fixed units of the model.
constexpr const char* kTypeDigital = "DIGITAL";
constexpr const char* kTypeAnalog = "ANALOG";
constexpr const char* kTypeRpm = "RPM";
constexpr const char* kTypeVibration = "VIBRATION";
constexpr const char* kTypeSpecial = "SPECIALICED";
constexpr const char* kUnitsDigital = "---";
constexpr const char* kUnitsRpm = "RPM";
constexpr const char* kUnitsDegrees = "degrees";

// Status codes of the model: a larger code is worse.
constexpr std::int32_t kStatusUndefined = -1;
constexpr std::int32_t kStatusNormal = 0;
constexpr std::int32_t kStatusAlarm = 1;
constexpr std::int32_t kStatusTrip = 2;

// ---------------------------------------------------------------------------
// Values reply: the machine status byte, then 5-byte entries for the DIGITAL,
// ANALOG, RPM and point variables (in the order of the machine's variables),
// one byte per analysis definition, then 5-byte entries for the SPECIALICED
// variables. DIGITAL entries are present even for servers below 200.
constexpr std::size_t kMachineStatusSize = 1;
constexpr std::size_t kValueEntrySize = 5;  // 0 f32 value (DIGITAL: byte 0 only), 4 status byte
constexpr std::size_t kValueStatusOffset = 4;
constexpr std::size_t kAnalisisStatusSize = 1;

// Machine status byte: bits 0-1 status (0 normal, 1 alarm, 2 trip, 3 undefined),
// bit 2 auxFlag, bits 3-4 auxState (1 -> 1, 2 -> 0, 0 or 3 -> -1).
constexpr std::uint8_t kMachineStatusMask = 0x03;
constexpr std::uint8_t kMachineStatusUndefined = 3;
constexpr std::uint8_t kMachineAuxFlagBit = 0x04;
constexpr unsigned kMachineAuxStateShift = 3;
constexpr std::uint8_t kMachineAuxStateMask = 0x03;
constexpr std::uint8_t kAuxStateOn = 1;
constexpr std::uint8_t kAuxStateOff = 2;
constexpr std::uint8_t kMachineStatusUnread = 0xE0;  // bits 5 to 7 mean nothing to a client

// Value status byte: bits 0-3 a code (0 normal; 1, 3 alarm; 2, 4 trip; 5-15
// undefined), bits 4 to 7 kept as they are.
constexpr std::uint8_t kValueCodeMask = 0x0F;
constexpr std::uint8_t kValueCodeNormal = 0;
constexpr std::uint8_t kValueCodeAlarm = 1;
constexpr std::uint8_t kValueCodeTrip = 2;
constexpr std::uint8_t kValueCodeAlarmToo = 3;
constexpr std::uint8_t kValueCodeTripToo = 4;
constexpr std::uint8_t kValueCodeUndefined = 5;  // the first of the undefined codes
constexpr std::uint8_t kValueBit4 = 0x10;
constexpr std::uint8_t kValueBit5 = 0x20;
constexpr std::uint8_t kValueBit6 = 0x40;
constexpr std::uint8_t kValueBit7 = 0x80;

// The status a value code stands for.
inline std::int32_t StatusOfValueCode(std::uint8_t code) {
    switch (code) {
        case kValueCodeNormal:
            return kStatusNormal;
        case kValueCodeAlarm:
        case kValueCodeAlarmToo:
            return kStatusAlarm;
        case kValueCodeTrip:
        case kValueCodeTripToo:
            return kStatusTrip;
        default:
            return kStatusUndefined;
    }
}

// Analysis status byte: 0 normal, 1 alarm, 2 trip, anything else undefined.
constexpr std::uint8_t kAnalisisStatusUndefined = 3;  // the first of the undefined bytes

// ---------------------------------------------------------------------------
// Trend request payload, 17 bytes: 0 u8 kind, 1 u16 index, 3 u16 subIndex,
// 5 i32 from, 9 i32 to, 13 i32 maxItems.
constexpr std::size_t kTrendRequestSize = 17;
constexpr std::size_t kTrendKindOffset = 0;
constexpr std::size_t kTrendIndexOffset = 1;
constexpr std::size_t kTrendSubIndexOffset = 3;
constexpr std::size_t kTrendFromOffset = 5;
constexpr std::size_t kTrendToOffset = 9;
constexpr std::size_t kTrendMaxItemsOffset = 13;

// Trend reply payload: 13 unread bytes, 13 i32 sample count n, 17 n samples
// of 8 bytes (i32 time, f32 value). Its length is exactly 17 + 8 n.
constexpr std::size_t kTrendCountOffset = 13;
constexpr std::size_t kTrendSamplesOffset = 17;
constexpr std::size_t kTrendSampleSize = 8;
constexpr std::uint32_t kMinTrendReply = 17;

// Analysis request payload, 14 bytes: 0 u16 position of the definition among
// the machine's analyses, 2 i32 from, 6 i32 to, 10 i32 flag (-1 true, 0 false).
constexpr std::size_t kAnalisisRequestSize = 14;
constexpr std::size_t kAnalisisPositionOffset = 0;
constexpr std::size_t kAnalisisFromOffset = 2;
constexpr std::size_t kAnalisisToOffset = 6;
constexpr std::size_t kAnalisisFlagOffset = 10;
constexpr std::int32_t kAnalisisFlagTrue = -1;

// Analysis reply payload: exactly 14 bytes when there is no result; otherwise
// 14 unread bytes, 14 char 'E'/'F', 15 i32 time, 19 i32 count n, 23 f32 rpm,
// 27 f32 fs, 31 f32 fmin, 35 f32 fmax, 39 f32 kw, 43 n f32 values; its length
// is exactly 43 + 4 n.
constexpr std::uint32_t kAnalisisEmptyReply = 14;
constexpr std::uint32_t kMinAnalisisReply = kAnalisisEmptyReply;
constexpr std::size_t kAnalisisTypeOffset = 14;
constexpr std::size_t kAnalisisTimeOffset = 15;
constexpr std::size_t kAnalisisCountOffset = 19;
constexpr std::size_t kAnalisisRpmOffset = 23;
constexpr std::size_t kAnalisisResultFsOffset = 27;
constexpr std::size_t kAnalisisFminOffset = 31;
constexpr std::size_t kAnalisisResultFmaxOffset = 35;
constexpr std::size_t kAnalisisKwOffset = 39;
constexpr std::size_t kAnalisisValuesOffset = 43;
constexpr std::size_t kAnalisisValueSize = 4;

// ---------------------------------------------------------------------------
// Measurement names of point variables: the server's text (compared whole,
// ignoring the case of ASCII letters, in this order), the name given to the
// variable and its type. Any other text is kept as the name, type VIBRATION.
struct strMeasurementName {
    const char* received;
    const char* name;
    const char* type;
};
inline constexpr strMeasurementName kMeasurementNames[] = {
    {"Temperatura", "Temperature", kTypeAnalog},
    {"Aceleracion", "Aceleration", kTypeVibration},
    {"Velocidad", "Velocity", kTypeVibration},
    {"Desplazamiento", "Displacement", kTypeVibration},
    {"Envolvente", "Envelope", kTypeVibration},
    {"Desplazamiento 1X", "Displacement 1X", kTypeVibration},
    {"Fase 1X", "Phase 1X", kTypeVibration},
    {"Posicion", "Position", kTypeVibration},
};

// Diagnostic kind codes of SPECIALICED variables and their texts; any other
// code leaves the type "SPECIALICED".
struct strSpecialKind {
    std::int8_t code;
    const char* text;
};
inline constexpr strSpecialKind kSpecialKinds[] = {
    {0, "TRUE PEAK"},  {1, "TRUE PEAK TO PEAK"}, {2, "BAND"},       {3, "COMPONENT"},
    {7, "HARMONICS"},  {8, "SIDEBANDS"},         {40, "UNBALANCE"}, {41, "MISALIGMENT"},
    {42, "LOOSENESS"}, {43, "FRICTION"},         {44, "GEAR"},      {45, "BEARING"},
    {46, "IMPACTS"},   {47, "AMPLITUDE"},        {48, "PHASE"},
};

// ---------------------------------------------------------------------------
// Little-endian field access. The caller guarantees that the bytes lie inside
// its buffer; the client's own reads of received bytes go through a bounded
// reader on top of these.
inline std::uint16_t LoadU16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t LoadU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int16_t LoadI16(const unsigned char* p) {
    return static_cast<std::int16_t>(LoadU16(p));
}
inline std::int32_t LoadI32(const unsigned char* p) {
    return static_cast<std::int32_t>(LoadU32(p));
}
inline float LoadF32(const unsigned char* p) {
    std::uint32_t bits = LoadU32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

inline void StoreU16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void StoreU32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}
inline void StoreI16(unsigned char* p, std::int16_t v) {
    StoreU16(p, static_cast<std::uint16_t>(v));
}
inline void StoreI32(unsigned char* p, std::int32_t v) {
    StoreU32(p, static_cast<std::uint32_t>(v));
}
inline void StoreF32(unsigned char* p, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    StoreU32(p, bits);
}

// Writes a message header into the first kHeaderSize bytes of p.
inline void StoreHeader(unsigned char* p, std::uint32_t command, std::uint16_t machine,
                        std::uint32_t length) {
    StoreU32(p + kHeaderCommandOffset, command);
    StoreU16(p + kHeaderMachineOffset, machine);
    StoreU32(p + kHeaderLengthOffset, length);
    StoreU32(p + kHeaderReservedOffset, 0);
}

}  // namespace tesmo
