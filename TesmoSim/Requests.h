// Reading what a client sends, and the rules it must follow, as strictly as
// the protocol has it: for each request its command, whether its header names
// a machine, its payload length, and the values its payload fields can take.
// The server ends any connection whose request breaks these rules, so that a
// client sending anything else is caught by the tests that run against it.
// Every field is read through a bounded view of the bytes received.
#pragma once

#include <cstdint>
#include <string>

#include "ByteView.h"
#include "Faults.h"

namespace tesmosim {

struct strRequestRule {
    std::uint32_t command;
    eExchange exchange;
    std::uint32_t length;  // the payload length, exactly
    bool addressed;        // the header's machine field is a machine position (else 0)
    bool currentOnly;      // spoken with servers of version 200 and above only
};

// The fields of a request header.
struct strRequestHeader {
    std::uint32_t command = 0;
    std::uint16_t machine = 0;
    std::uint32_t length = 0;  // of the payload that follows
    std::uint32_t reserved = 0;
};
strRequestHeader ReadRequestHeader(tesmo::ByteView header);

// A trend request's fields, as read from its payload.
struct strTrendRequest {
    std::uint8_t kind = 0;
    std::uint16_t index = 0;
    std::uint16_t subIndex = 0;
    std::int32_t from = 0;
    std::int32_t to = 0;
    std::int32_t maxItems = 0;
};
strTrendRequest ReadTrendRequest(tesmo::ByteView payload);

// An analysis request's fields, as read from its payload.
struct strAnalysisRequest {
    std::uint16_t position = 0;
    std::int32_t from = 0;
    std::int32_t to = 0;
    std::int32_t flag = 0;
};
strAnalysisRequest ReadAnalysisRequest(tesmo::ByteView payload);

// The rule of a command a client sends to a server of that protocol
// generation, or null.
const strRequestRule* FindRequestRule(std::uint32_t command, bool currentProtocol);

// The header fields after the command: false, with the reason in *why, when
// one is not what a client sends.
bool CheckRequestHeader(const strRequestRule& rule, const strRequestHeader& header,
                        std::string* why);

// The payload fields the protocol fixes: a trend request's variable kind
// (0 to 4) and sub-index (0 except for point variables), an analysis
// request's flag (0 or -1). False, with the reason in *why, when one is not
// what a client sends.
bool CheckRequestPayload(const strRequestRule& rule, tesmo::ByteView payload, std::string* why);

}  // namespace tesmosim
