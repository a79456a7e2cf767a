// A document and a path through JsonGetValue. Input: a byte giving the
// capacity, then the document, a NUL and the path. Checks that the value never
// exceeds its capacity, that a failed look-up leaves the value untouched, and
// that in a document nlohmann-json accepts as an object every member and
// element is found at its path, with the same value.
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "service/JsonReader.h"

namespace {

const char kUntouched = '\x5a';
constexpr uint32_t kLargeCapacity = 4096;
// Paths tried per document, so that wide documents stay quick.
constexpr int kMostPaths = 200;

// Keys the path grammar can address as one segment.
bool IsAddressable(const std::string& key) {
    return !key.empty() && key.find_first_of(".[") == std::string::npos;
}

// Parses document with nlohmann-json; discarded when it is no JSON or an
// object names a key twice (the reader takes the first, nlohmann-json the last).
nlohmann::json ParseUnique(const std::string& document) {
    std::vector<std::vector<std::string>> open;
    bool twice = false;
    auto watch = [&open, &twice](int, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        using eEvent = nlohmann::json::parse_event_t;
        if (event == eEvent::object_start) open.emplace_back();
        if (event == eEvent::object_end) open.pop_back();
        if (event == eEvent::key) {
            std::vector<std::string>& keys = open.back();
            std::string key = parsed.get<std::string>();
            for (const std::string& seen : keys) twice = twice || seen == key;
            keys.push_back(key);
        }
        return true;
    };
    nlohmann::json json = nlohmann::json::parse(document, watch, false);
    return twice ? nlohmann::json(nlohmann::json::value_t::discarded) : json;
}

// Every value below node is found at its path, with its text: a String as
// written, anything else as JSON text equal to the value.
void CheckBelow(const std::string& document, const nlohmann::json& node, const std::string& path,
                int* budget) {
    std::vector<char> value(kLargeCapacity + 1);
    for (const auto& member : node.items()) {
        if (--*budget < 0) return;
        std::string below;
        if (node.is_array()) {
            below = path + "[" + member.key() + "]";
        } else {
            if (!IsAddressable(member.key())) continue;
            below = path.empty() ? member.key() : path + "." + member.key();
        }
        FUZZ_CHECK(JsonGetValue(document.c_str(), below.c_str(), value.data(), kLargeCapacity));
        if (member.value().is_string()) {
            FUZZ_CHECK(member.value().get<std::string>() == value.data());
        } else {
            FUZZ_CHECK(nlohmann::json::parse(value.data(), nullptr, false) == member.value());
        }
        if (member.value().is_structured()) CheckBelow(document, member.value(), below, budget);
    }
}

// Look-ups that must succeed: every addressable path of a document that
// nlohmann-json accepts as an object, has no escapes (keys are compared as
// written) and fits the value.
void CheckFound(const std::string& document) {
    if (document.find('\\') != std::string::npos || document.size() >= kLargeCapacity) return;
    nlohmann::json json = ParseUnique(document);
    if (json.is_discarded() || !json.is_object()) return;
    int budget = kMostPaths;
    CheckBelow(document, json, "", &budget);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size < 1) return 0;
    const uint32_t capacity = data[0];
    std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t split = input.find('\0');
    std::string document = input.substr(0, split);
    std::string path = split == std::string::npos ? "" : input.substr(split + 1).c_str();

    // Exactly capacity + 1 bytes, so that one byte more is an overflow.
    std::vector<char> value(capacity + 1, kUntouched);
    if (JsonGetValue(document.c_str(), path.c_str(), value.data(), capacity)) {
        FUZZ_CHECK(std::memchr(value.data(), 0, value.size()) != nullptr);
    } else {
        for (char c : value) FUZZ_CHECK(c == kUntouched);
    }
    CheckFound(document);
    return 0;
}
