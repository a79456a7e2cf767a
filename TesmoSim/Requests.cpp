// Reading the requests a client sends, and their rules.
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

bool CheckTrend(ByteView payload, std::string* why) {
    strTrendRequest request = ReadTrendRequest(payload);
    if (request.kind > kKindSpecial)
        return Refuse(why, "variable kind " + Number(request.kind) + ", which no variable has");
    if (request.kind != kKindPoint && request.subIndex != 0)
        return Refuse(why, "variable kind " + Number(request.kind) + " with sub-index " +
                               Number(request.subIndex) + ", not 0");
    return true;
}

bool CheckAnalysis(ByteView payload, std::string* why) {
    std::int32_t flag = ReadAnalysisRequest(payload).flag;
    if (flag != 0 && flag != kAnalisisFlagTrue)
        return Refuse(why, "flag " + Number(flag) + ", neither 0 nor -1");
    return true;
}

}  // namespace

strRequestHeader ReadRequestHeader(ByteView header) {
    strRequestHeader fields;
    fields.command = header.U32(kHeaderCommandOffset);
    fields.machine = header.U16(kHeaderMachineOffset);
    fields.length = header.U32(kHeaderLengthOffset);
    fields.reserved = header.U32(kHeaderReservedOffset);
    return fields;
}

strTrendRequest ReadTrendRequest(ByteView payload) {
    strTrendRequest request;
    request.kind = payload.U8(kTrendKindOffset);
    request.index = payload.U16(kTrendIndexOffset);
    request.subIndex = payload.U16(kTrendSubIndexOffset);
    request.from = payload.I32(kTrendFromOffset);
    request.to = payload.I32(kTrendToOffset);
    request.maxItems = payload.I32(kTrendMaxItemsOffset);
    return request;
}

strAnalysisRequest ReadAnalysisRequest(ByteView payload) {
    strAnalysisRequest request;
    request.position = payload.U16(kAnalisisPositionOffset);
    request.from = payload.I32(kAnalisisFromOffset);
    request.to = payload.I32(kAnalisisToOffset);
    request.flag = payload.I32(kAnalisisFlagOffset);
    return request;
}

const strRequestRule* FindRequestRule(std::uint32_t command, bool currentProtocol) {
    for (const strRequestRule& rule : kRules)
        if (rule.command == command && (currentProtocol || !rule.currentOnly)) return &rule;
    return nullptr;
}

bool CheckRequestHeader(const strRequestRule& rule, const strRequestHeader& header,
                        std::string* why) {
    if (header.length != rule.length)
        return Refuse(why,
                      "payload of " + Number(header.length) + " bytes, not " + Number(rule.length));
    if (!rule.addressed && header.machine != 0)
        return Refuse(why,
                      "machine field " + Number(header.machine) + " on a request that names none");
    if (header.reserved != 0)
        return Refuse(why, "reserved field " + Number(header.reserved) + ", not 0");
    return true;
}

bool CheckRequestPayload(const strRequestRule& rule, ByteView payload, std::string* why) {
    if (rule.exchange == eExchange::Trend) return CheckTrend(payload, why);
    if (rule.exchange == eExchange::Analysis) return CheckAnalysis(payload, why);
    return true;
}

}  // namespace tesmosim
