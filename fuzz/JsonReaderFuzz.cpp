// A document and a path through JsonGetValue. Input: a byte giving the
// capacity, then the document, a NUL and the path. Checks that the value never
// exceeds its capacity, that a failed look-up leaves the value untouched, and
// that a plain key of a document nlohmann-json accepts as an object is found,
// and so is every element of an array it holds.
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

bool IsPlainKey(const std::string& path) {
    if (path.empty()) return false;
    for (char c : path) {
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!letter && c != '_') return false;
    }
    return true;
}

// A look-up that must succeed: a key named once in the top-level object of a
// document without escapes (keys are compared as written).
void CheckFound(const std::string& document, const std::string& path) {
    if (!IsPlainKey(path) || document.find('\\') != std::string::npos) return;
    int uses = 0;
    auto countPath = [&uses, &path](int depth, nlohmann::json::parse_event_t event,
                                    nlohmann::json& parsed) {
        if (depth == 1 && event == nlohmann::json::parse_event_t::key && parsed == path) uses++;
        return true;
    };
    auto json = nlohmann::json::parse(document, countPath, false);
    // Of a key named twice the reader takes the first, nlohmann-json the last.
    if (json.is_discarded() || !json.is_object() || uses != 1) return;
    std::vector<char> value(kLargeCapacity + 1);
    if (document.size() >= kLargeCapacity) return;
    FUZZ_CHECK(JsonGetValue(document.c_str(), path.c_str(), value.data(), kLargeCapacity));
    const auto& member = json[path];
    if (member.is_string()) FUZZ_CHECK(member.get<std::string>() == value.data());
    if (!member.is_array()) return;
    for (size_t i = 0; i < member.size(); i++) {
        std::string element = path + "[" + std::to_string(i) + "]";
        FUZZ_CHECK(JsonGetValue(document.c_str(), element.c_str(), value.data(), kLargeCapacity));
    }
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
    CheckFound(document, path);
    return 0;
}
