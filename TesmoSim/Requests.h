// What a client sends, as strictly as the protocol has it: for each request
// its command, whether its header names a machine, its payload length, and
// the values its payload fields can take. The server ends any connection
// whose request breaks these rules, so that a client sending anything else
// is caught by the tests that run against it.
#pragma once

#include <cstdint>
#include <string>

#include "Faults.h"

namespace tesmosim {

struct strRequestRule {
    std::uint32_t command;
    eExchange exchange;
    std::uint32_t length;  // the payload length, exactly
    bool addressed;        // the header's machine field is a machine position (else 0)
    bool currentOnly;      // spoken with servers of version 200 and above only
};

// The rule of a command a client sends to a server of that protocol
// generation, or null.
const strRequestRule* FindRequestRule(std::uint32_t command, bool currentProtocol);

// The header fields after the command: false, with the reason in *why, when
// one is not what a client sends.
bool CheckRequestHeader(const strRequestRule& rule, std::uint16_t machine, std::uint32_t length,
                        std::uint32_t reserved, std::string* why);

// The payload fields the protocol fixes: a trend request's variable kind
// (0 to 4) and sub-index (0 except for point variables), an analysis
// request's flag (0 or -1). False, with the reason in *why, when one is not
// what a client sends.
bool CheckRequestPayload(const strRequestRule& rule, const unsigned char* payload,
                         std::string* why);

}  // namespace tesmosim
