#include "api/resources/ValueWriting.h"

#include <charconv>
#include <cstring>

#include "TesmoProtocol.h"
#include "api/Times.h"

// Enough for any long in decimal with its sign.
constexpr size_t kIntegerTextSize = 24;

bool IsDigital(const strVariable* variable) {
    return std::strcmp(variable->type, tesmo::kTypeDigital) == 0;
}

void AddInteger(strJsonOutput* output, const char* name, long value) {
    char text[kIntegerTextSize];
    *std::to_chars(text, text + sizeof text - 1, value).ptr = 0;
    JsonAddValue(output, name, text, eJsonType::Number, false);
}

void AddBoolean(strJsonOutput* output, const char* name, bool value) {
    JsonAddValue(output, name, value ? "true" : "false", eJsonType::Boolean, false);
}

void AddTime(strJsonOutput* output, const char* name, int32_t time, bool first) {
    char text[kTimeTextSize];
    FormatTime(time, text);
    JsonAddValue(output, name, text, eJsonType::String, first);
}

void AddValue(strJsonOutput* output, float value, bool digital) {
    if (digital) {
        AddBoolean(output, "value", value > 0.0f);
    } else {
        JsonAddFloat(output, "value", value, false);
    }
}

void AddStoredAnalysisType(strJsonOutput* output, const strAnalisisData& header) {
    if (header.type == tesmo::kWireSpectrum) {
        JsonAddValue(output, "type", "spectrum", eJsonType::String, false);
        AddInteger(output, "lines", header.count);
        JsonAddFloat(output, "fmin", header.fmin, false);
        JsonAddFloat(output, "fmax", header.fmax, false);
        JsonAddFloat(output, "rpm", header.rpm, false);
        JsonAddFloat(output, "kw", header.kw, false);
    } else if (header.type == tesmo::kWireWaveform) {
        JsonAddValue(output, "type", "waveform", eJsonType::String, false);
        AddInteger(output, "samples", header.count);
        JsonAddFloat(output, "fs", header.fs, false);
        JsonAddFloat(output, "rpm", header.rpm, false);
    }
}
