#include "ScriptedCallback.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

strCallbackLog callbackLog;

namespace {

unsigned long Reply(char* results, unsigned long size, const std::string& text) {
    unsigned long length = static_cast<unsigned long>(std::min<size_t>(text.size(), size));
    std::memcpy(results, text.data(), length);
    return length;
}

void CountIn() {
    int now = ++callbackLog.inFlight;
    int most = callbackLog.mostInFlight;
    while (now > most && !callbackLog.mostInFlight.compare_exchange_weak(most, now)) {
    }
}

}  // namespace

eRequestResult ScriptedCallback(char* resource, char* parameters, char* results,
                                unsigned long* resultsLength, unsigned long resultsSize) {
    callbackLog.calls++;
    std::string name = resource;
    if (name.size() == 2 && name[0] == 'r') {
        *resultsLength = Reply(results, resultsSize, "{\"r\":" + name.substr(1) + "}");
        return static_cast<eRequestResult>(name[1] - '0');
    }
    if (name.size() == 5 && name.compare(0, 4, "turn") == 0) {
        const int turn = callbackLog.turnsTaken++;
        if (turn < strCallbackLog::kTurnCapacity) callbackLog.turnOf[turn] = name[4] - '0';
        *resultsLength = Reply(results, resultsSize, "turn");
        return Ok;
    }
    if (name == "empty") return Ok;
    if (name == "big") {
        for (unsigned long i = 0; i < resultsSize; i++)
            results[i] = static_cast<char>('a' + i % 26);
        *resultsLength = resultsSize;
        return Ok;
    }
    if (name.compare(0, 4, "text") == 0) {
        const size_t length = std::stoul(name.substr(4));
        std::string text;
        for (int i = 0; text.size() < length; i++) {
            text += "{\"n\":" + std::to_string(i) + ",\"v\":" + std::to_string(i * 37 % 101) + "},";
        }
        text.resize(length);
        *resultsLength = Reply(results, resultsSize, text);
        return Ok;
    }
    if (name == "overlong") {
        *resultsLength = resultsSize + 1;
        return Ok;
    }
    if (name == "slow" || name == "block") {
        CountIn();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (name == "block" && !callbackLog.release) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        callbackLog.inFlight--;
        if (name == "block") callbackLog.finished = true;
    }
    *resultsLength = Reply(results, resultsSize, name + "|" + parameters);
    return Ok;
}

std::string WithoutValidators(const std::string& answer) {
    const std::string last = "Cache-Control: no-cache\r\n";
    const size_t headerEnd = answer.find("\r\n\r\n");
    const size_t from = answer.find("\r\nLast-Modified: ");
    const size_t to = answer.find(last);
    if (from > headerEnd || to > headerEnd) return answer;
    return answer.substr(0, from + 2) + answer.substr(to + last.size());
}

std::string HeaderValue(const std::string& answer, const std::string& name) {
    const size_t headerEnd = answer.find("\r\n\r\n");
    const size_t at = answer.find("\r\n" + name + ": ");
    if (at == std::string::npos || at > headerEnd) return "";
    const size_t from = at + name.size() + 4;
    return answer.substr(from, answer.find("\r\n", from) - from);
}
