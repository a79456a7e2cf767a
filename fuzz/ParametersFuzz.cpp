// A query string through the parameter document the HTTP library builds and
// the service's reading of it. Checks that every parameter of the document
// (named once, addressable as a path) is found by the service, with the text
// of a String parameter as the document holds it; that a String parameter has
// at most the library's cut of 50 characters, however many bytes they take;
// and that the service reads it whole within its limit of as many characters. Also checks that the
// HTTP library writes a parameter name exactly as the service's JSON writer escapes the same text:
// both read it as UTF-8 or else as Windows-1252.
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "Limits.h"
#include "ParameterDocument.h"
#include "api/Parameters.h"
#include "service/JsonReader.h"
#include "text/JsonText.h"

namespace {

constexpr uint32_t kValueCapacity = 4096;

// Keys the path grammar can address as one segment.
bool IsAddressable(const std::string& key) {
    return !key.empty() && key.find_first_of(".[") == std::string::npos &&
           key.find('\0') == std::string::npos;
}

// The text as the only parameter name, every byte percent-encoded.
void CheckNameConversion(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string query;
    for (unsigned char c : text) query += {'%', kHex[c >> 4], kHex[c & 0xF]};
    query += "=1";
    std::vector<char> document(portavex::kParameterDocumentCapacity + 1);
    FUZZ_CHECK(portavex::BuildParameterDocument(document.data(), &query[0]));
    std::vector<char> escaped(portavex::kParameterDocumentCapacity + 1);
    uint32_t length = JsonConvertText(text.c_str(), kJsonNoCut, true, escaped.data(),
                                      static_cast<uint32_t>(escaped.size()));
    if (length + std::strlen("{\"\":1}") > portavex::kParameterDocumentCapacity) return;
    FUZZ_CHECK("{\"" + std::string(escaped.data()) + "\":1}" == document.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::string query(reinterpret_cast<const char*>(data), size);
    query = query.c_str();
    if (!query.empty()) CheckNameConversion(query);
    std::vector<char> document(portavex::kParameterDocumentCapacity + 1);
    if (!portavex::BuildParameterDocument(document.data(), &query[0])) return 0;
    // Keys are compared as written, so escaped keys are left out.
    if (std::strchr(document.data(), '\\') != nullptr) return 0;

    std::map<std::string, int> uses;
    auto countKeys = [&uses](int depth, nlohmann::json::parse_event_t event,
                             nlohmann::json& parsed) {
        if (depth == 1 && event == nlohmann::json::parse_event_t::key)
            uses[parsed.get<std::string>()]++;
        return true;
    };
    auto json = nlohmann::json::parse(document.data(), countKeys, false);
    FUZZ_CHECK(json.is_object());
    std::vector<char> value(kValueCapacity + 1);
    for (const auto& member : json.items()) {
        if (uses[member.key()] != 1 || !IsAddressable(member.key())) continue;
        FUZZ_CHECK(
            JsonGetValue(document.data(), member.key().c_str(), value.data(), kValueCapacity));
        if (!member.value().is_string()) continue;
        const std::string text = member.value().get<std::string>();
        FUZZ_CHECK(text == value.data());
        FUZZ_CHECK(JsonCountCharacters(text.c_str()) <= portavex::kStringValueCut);
        std::vector<char> read(ParameterSize(portavex::kStringValueCut));
        FUZZ_CHECK(GetParameter(document.data(), member.key().c_str(), read.data(),
                                portavex::kStringValueCut));
        FUZZ_CHECK(text == read.data());
    }
    return 0;
}
