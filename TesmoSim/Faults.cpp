// Fault specs and their counting.
#include "Faults.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace tesmosim {

namespace {

struct strName {
    const char* text;
    eExchange exchange;
};
const strName kExchangeNames[] = {
    {"login", eExchange::Login},         {"stamp", eExchange::Stamp},
    {"catalogue", eExchange::Catalogue}, {"kinds", eExchange::Kinds},
    {"values", eExchange::Values},       {"trend", eExchange::Trend},
    {"analysis", eExchange::Analysis},
};

// A positive decimal number, the whole text.
bool ParsePositive(const std::string& text, int* out) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    *out = std::atoi(text.c_str());
    return *out > 0;
}

// The kinds that take a delay, written KIND=MS.
struct strDelayedKind {
    const char* prefix;
    eFaultKind kind;
};
const strDelayedKind kDelayedKinds[] = {{"slow=", eFaultKind::Slow},
                                        {"trickle=", eFaultKind::Trickle}};

bool ParseKind(const std::string& text, strFaultSpec* spec) {
    for (const strDelayedKind& delayed : kDelayedKinds) {
        std::size_t length = std::strlen(delayed.prefix);
        if (text.compare(0, length, delayed.prefix) != 0) continue;
        spec->kind = delayed.kind;
        return ParsePositive(text.substr(length), &spec->delayMs);
    }
    if (text == "stall") {
        spec->kind = eFaultKind::Stall;
    } else if (text == "close") {
        spec->kind = eFaultKind::Close;
    } else if (text == "short") {
        spec->kind = eFaultKind::Short;
    } else if (text == "badlength") {
        spec->kind = eFaultKind::BadLength;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool ParseFault(const char* text, strFaultSpec* spec) {
    if (text == nullptr) return false;
    std::string all = text;
    std::size_t first = all.find(':');
    if (first == std::string::npos) return false;
    std::size_t second = all.find(':', first + 1);
    std::string exchange = all.substr(0, first);
    std::string kind =
        all.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
    strFaultSpec parsed;
    bool named = false;
    for (const strName& name : kExchangeNames) {
        if (exchange == name.text) {
            parsed.exchange = name.exchange;
            named = true;
        }
    }
    if (!named || !ParseKind(kind, &parsed)) return false;
    if (second != std::string::npos && !ParsePositive(all.substr(second + 1), &parsed.every))
        return false;
    *spec = parsed;
    return true;
}

void FaultSet::Add(const strFaultSpec& spec) {
    std::lock_guard<std::mutex> guard(lock);
    entries.push_back({spec, 0});
}

void FaultSet::Clear() {
    std::lock_guard<std::mutex> guard(lock);
    entries.clear();
}

strFaultAction FaultSet::Next(eExchange exchange) {
    std::lock_guard<std::mutex> guard(lock);
    strFaultAction action;
    for (strEntry& entry : entries) {
        if (entry.spec.exchange != exchange) continue;
        ++entry.seen;
        bool hits = entry.seen % static_cast<std::uint64_t>(entry.spec.every) == 0;
        if (hits && action.kind == eFaultKind::None) {
            action.kind = entry.spec.kind;
            action.delayMs = entry.spec.delayMs;
        }
    }
    return action;
}

}  // namespace tesmosim
