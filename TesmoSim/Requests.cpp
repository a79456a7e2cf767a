// The rules of the requests a client sends.
#include "Requests.h"

#include "TesmoProtocol.h"

namespace tesmosim {

namespace {

using namespace tesmo;

const strRequestRule kRules[] = {
    {CatalogueStamp, eExchange::Stamp, 0, false, true},
    {Catalogue, eExchange::Catalogue, 0, false, false},
    {SpecialKinds, eExchange::Kinds, 0, false, true},
    {Values, eExchange::Values, 0, true, false},
    {TrendMapped, eExchange::Trend, kTrendRequestSize, true, false},
    {TrendUnmapped, eExchange::Trend, kTrendRequestSize, true, true},
    {Analisis, eExchange::Analysis, kAnalisisRequestSize, true, false},
};

bool Refuse(std::string* why, const std::string& reason) {
    *why = reason;
    return false;
}

std::string Number(long long value) {
    return std::to_string(value);
}

bool CheckTrend(const unsigned char* payload, std::string* why) {
    std::uint8_t kind = payload[kTrendKindOffset];
    std::uint16_t subIndex = LoadU16(payload + kTrendSubIndexOffset);
    if (kind > kKindSpecial)
        return Refuse(why, "variable kind " + Number(kind) + ", which no variable has");
    if (kind != kKindPoint && subIndex != 0)
        return Refuse(why, "variable kind " + Number(kind) + " with sub-index " + Number(subIndex) +
                               ", not 0");
    return true;
}

bool CheckAnalysis(const unsigned char* payload, std::string* why) {
    std::int32_t flag = LoadI32(payload + kAnalisisFlagOffset);
    if (flag != 0 && flag != kAnalisisFlagTrue)
        return Refuse(why, "flag " + Number(flag) + ", neither 0 nor -1");
    return true;
}

}  // namespace

const strRequestRule* FindRequestRule(std::uint32_t command, bool currentProtocol) {
    for (const strRequestRule& rule : kRules)
        if (rule.command == command && (currentProtocol || !rule.currentOnly)) return &rule;
    return nullptr;
}

bool CheckRequestHeader(const strRequestRule& rule, std::uint16_t machine, std::uint32_t length,
                        std::uint32_t reserved, std::string* why) {
    if (length != rule.length)
        return Refuse(why, "payload of " + Number(length) + " bytes, not " + Number(rule.length));
    if (!rule.addressed && machine != 0)
        return Refuse(why, "machine field " + Number(machine) + " on a request that names none");
    if (reserved != 0) return Refuse(why, "reserved field " + Number(reserved) + ", not 0");
    return true;
}

bool CheckRequestPayload(const strRequestRule& rule, const unsigned char* payload,
                         std::string* why) {
    if (rule.exchange == eExchange::Trend) return CheckTrend(payload, why);
    if (rule.exchange == eExchange::Analysis) return CheckAnalysis(payload, why);
    return true;
}

}  // namespace tesmosim
