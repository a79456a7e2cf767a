#include "api/IdentHelp.h"

#include <cstdio>

#include "api/Dispatcher.h"

const char* const kApiName = "TesmoApi";
const char* const kApiVersion = "BETA 25/04/2022";

namespace {
// Bytes handed to the HTTP library for its version text.
constexpr unsigned long kVersionSize = 20;
// Room for an unsigned 32-bit number in decimal.
constexpr unsigned kNumberTextSize = 12;

}  // namespace

eRequestResult OnGetIdent(const char* /*parameters*/, strJsonOutput* output) {
    char version[kVersionSize] = "";
    Portavex::GetVersion(version, kVersionSize);
    char size[kNumberTextSize];
    std::snprintf(size, sizeof size, "%u", static_cast<unsigned>(output->capacity));
    JsonAppend(output, "{");
    JsonAddValue(output, "api", kApiName, eJsonType::String, true);
    JsonAddValue(output, "version_api", kApiVersion, eJsonType::String, false);
    JsonAddValue(output, "version_portavex", version, eJsonType::String, false);
    JsonAddValue(output, "size_results", size, eJsonType::Number, false);
    JsonCloseObject(output);
    return Ok;
}

eRequestResult OnGetHelp(const char* /*parameters*/, strJsonOutput* output) {
    JsonAppend(output, "{");
    JsonOpenArray(output, "resources", true);
    for (unsigned row = 0; row < ResourceCount; ++row) {
        JsonAddValue(output, nullptr, ResourceTable[row].name, eJsonType::String, row == 0);
    }
    JsonCloseArray(output);
    JsonCloseObject(output);
    return Ok;
}
