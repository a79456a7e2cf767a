// Texts as the monitoring server may send them through the writer's text
// reading and escaping, and through a whole answer. Input: a byte for the cut,
// a byte for the output size, then the text. Checks that the result is always
// valid UTF-8 within its size and cut, that valid UTF-8 is kept as it is, that
// an escaped text is a JSON string, and that an answer is well-formed JSON.
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "api/JsonOutput.h"
#include "text/JsonText.h"

namespace {

constexpr uint32_t kNoCutByte = 0xFF;
constexpr uint32_t kAnswerSizeStep = 16;

size_t Characters(const std::string& utf8) {
    size_t count = 0;
    for (unsigned char c : utf8) count += (c & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

void CheckRead(const std::string& text, uint32_t cut, uint32_t outSize) {
    std::vector<char> out(outSize);
    uint32_t length = JsonReadText(text.c_str(), cut, out.data(), outSize);
    FUZZ_CHECK(length < outSize && out[length] == '\0' && std::strlen(out.data()) == length);
    FUZZ_CHECK(JsonIsUtf8(out.data()));
    FUZZ_CHECK(cut == kJsonNoCut || Characters(out.data()) <= cut);
    if (cut == kJsonNoCut && JsonIsUtf8(text.c_str()) && text.size() < outSize)
        FUZZ_CHECK(text == out.data());
}

void CheckEscape(const std::string& text, uint32_t outSize) {
    std::vector<char> out(outSize);
    uint32_t length = JsonConvertText(text.c_str(), kJsonNoCut, true, out.data(), outSize);
    FUZZ_CHECK(length < outSize && out[length] == '\0' && std::strlen(out.data()) == length);
    auto json = nlohmann::json::parse("\"" + std::string(out.data()) + "\"", nullptr, false);
    FUZZ_CHECK(json.is_string());
    uint32_t full = JsonConvertText(text.c_str(), kJsonNoCut, true, nullptr, 0);
    if (full >= outSize) return;
    FUZZ_CHECK(length == full);
    std::vector<char> read(text.size() * 4 + 1);
    JsonReadText(text.c_str(), kJsonNoCut, read.data(), static_cast<uint32_t>(read.size()));
    FUZZ_CHECK(json.get<std::string>() == read.data());
}

// An answer with the text as a member name, a String value and an array
// element, and the number (any bit pattern) as a float.
void CheckAnswer(const std::string& text, float number, uint32_t size) {
    std::vector<char> buffer(size);
    strJsonOutput output;
    JsonInit(&output, buffer.data(), size);
    JsonOpenObject(&output, nullptr, true);
    JsonAddValue(&output, "name", text.c_str(), eJsonType::String, true);
    JsonAddValue(&output, text.c_str(), "true", eJsonType::Boolean, false);
    JsonOpenArray(&output, "list", false);
    JsonAddValue(&output, nullptr, text.c_str(), eJsonType::String, true);
    JsonAddFloat(&output, nullptr, number, false);
    JsonCloseArray(&output);
    JsonCloseObject(&output);
    FUZZ_CHECK(std::memchr(buffer.data(), 0, size) != nullptr);
    if (output.error && buffer[0] == '\0') return;
    // Either the answer or, when it failed, its error document.
    if (output.error && std::strncmp(buffer.data(), "{\"error\":", 9) != 0) return;
    auto json = nlohmann::json::parse(buffer.data(), nullptr, false);
    FUZZ_CHECK(json.is_object());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    if (size < 2) return 0;
    const uint32_t cut = data[0] == kNoCutByte ? kJsonNoCut : data[0];
    const uint32_t outSize = 1 + data[1];
    std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    text = text.c_str();  // a received text ends at its first NUL
    CheckRead(text, cut, outSize);
    CheckEscape(text, outSize);
    float number = 0;
    if (size >= 2 + sizeof number) std::memcpy(&number, data + 2, sizeof number);
    CheckAnswer(text, number, kJsonMinimumCapacity + data[1] * kAnswerSizeStep);
    return 0;
}
