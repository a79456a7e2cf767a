#include "HttpClient.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;

const char kHeaderEnd[] = "\r\n\r\n";
constexpr size_t kHeaderEndLength = sizeof kHeaderEnd - 1;
const char kLengthHeader[] = "\r\ncontent-length:";

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

Clock::time_point DeadlineIn(int timeoutMs) {
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

}  // namespace

std::string TestClient::ReadHeader(int timeoutMs) {
    const Clock::time_point deadline = DeadlineIn(timeoutMs);
    size_t end;
    while ((end = pending.find(kHeaderEnd)) == std::string::npos) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0 || connection.Receive(&pending, left) != eReceive::Received) return "";
    }
    std::string header = pending.substr(0, end + kHeaderEndLength);
    pending.erase(0, end + kHeaderEndLength);
    return header;
}

bool TestClient::ReadBody(size_t length, std::string* body, int timeoutMs) {
    const Clock::time_point deadline = DeadlineIn(timeoutMs);
    bool whole = true;
    while (pending.size() < length) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0 || connection.Receive(&pending, left) != eReceive::Received) {
            whole = false;
            break;
        }
    }
    const size_t taken = pending.size() < length ? pending.size() : length;
    *body = pending.substr(0, taken);
    pending.erase(0, taken);
    return whole;
}

std::string TestClient::ReadAnswer(int timeoutMs) {
    const Clock::time_point deadline = DeadlineIn(timeoutMs);
    std::string header = ReadHeader(timeoutMs);
    if (header.empty()) return "";
    const long long length = ContentLength(header);
    std::string body;
    if (!ReadBody(length > 0 ? static_cast<size_t>(length) : 0, &body,
                  MillisecondsLeft(deadline))) {
        return "";
    }
    return header + body;
}

std::string TestClient::ReadUntilClosed(int timeoutMs) {
    const Clock::time_point deadline = DeadlineIn(timeoutMs);
    for (;;) {
        const int left = MillisecondsLeft(deadline);
        if (left == 0) return pending + "<timeout>";
        if (connection.Receive(&pending, left) == eReceive::Closed) break;
    }
    std::string all = pending;
    pending.clear();
    return all;
}

std::string GetRequest(const std::string& target, const std::string& headers) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
}

long long ContentLength(const std::string& header) {
    std::string lower = header;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = lower.find(kLengthHeader);
    if (at == std::string::npos) return -1;
    return std::strtoll(header.c_str() + at + sizeof kLengthHeader - 1, nullptr, 10);
}

strHttpAnswer HttpGet(unsigned short port, const std::string& target, int timeoutMs) {
    strHttpAnswer answer;
    TestClient client(port);
    if (!client.Send(GetRequest(target))) return answer;
    const std::string whole = client.ReadAnswer(timeoutMs);
    int status = 0;
    if (std::sscanf(whole.c_str(), "HTTP/1.1 %d", &status) != 1) return answer;
    const size_t bodyStart = whole.find(kHeaderEnd) + kHeaderEndLength;
    answer.status = status;
    answer.header = whole.substr(0, bodyStart);
    answer.body = whole.substr(bodyStart);
    return answer;
}

std::string Query(const std::vector<std::pair<std::string, std::string>>& pairs) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string query;
    for (const auto& pair : pairs) {
        query += query.empty() ? "?" : "&";
        query += pair.first + "=";
        for (unsigned char c : pair.second) {
            if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
                query += static_cast<char>(c);
            } else {
                query += '%';
                query += kHex[c >> 4];
                query += kHex[c & 0xF];
            }
        }
    }
    return query;
}
