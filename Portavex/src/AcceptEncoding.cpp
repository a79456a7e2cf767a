#include "AcceptEncoding.h"

#include "RequestParser.h"

namespace portavex {

namespace {

// Weights are kept in thousandths, the finest a weight can state.
constexpr int kFullWeight = 1000;
constexpr int kWeightDigits = 3;

// A piece of a header value: [begin, end).
struct strSpan {
    const char* begin;
    const char* end;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

strSpan Trim(strSpan span) {
    while (span.begin < span.end && IsBlank(span.begin[0])) span.begin++;
    while (span.end > span.begin && IsBlank(span.end[-1])) span.end--;
    return span;
}

// Whether span is lowerName (in lower case) in any letter case.
bool SpanIs(strSpan span, const char* lowerName) {
    return IsToken(span.begin, static_cast<size_t>(span.end - span.begin), lowerName);
}

// The piece of span before the first separator, and span moved past it.
strSpan TakeUntil(strSpan* span, char separator) {
    const char* stop = span->begin;
    while (stop < span->end && *stop != separator) stop++;
    strSpan piece = {span->begin, stop};
    span->begin = stop < span->end ? stop + 1 : stop;
    return piece;
}

// A weight: "0" or "1", optionally a dot and up to three digits, at most 1.
// In thousandths; kCodingNotNamed when malformed.
int ParseWeight(strSpan text) {
    if (text.begin == text.end || (text.begin[0] != '0' && text.begin[0] != '1')) {
        return kCodingNotNamed;
    }
    int weight = (text.begin[0] - '0') * kFullWeight;
    const char* p = text.begin + 1;
    if (p == text.end) return weight;
    if (*p++ != '.' || text.end - p > kWeightDigits) return kCodingNotNamed;
    int scale = kFullWeight;
    for (; p < text.end; p++) {
        if (*p < '0' || *p > '9') return kCodingNotNamed;
        scale /= 10;
        weight += (*p - '0') * scale;
    }
    return weight <= kFullWeight ? weight : kCodingNotNamed;
}

// The weight of a list element after its coding: the value of its "q"
// parameter, or full weight without one.
int ElementWeight(strSpan parameters) {
    int weight = kFullWeight;
    while (parameters.begin < parameters.end) {
        strSpan parameter = TakeUntil(&parameters, ';');
        strSpan name = Trim(TakeUntil(&parameter, '='));
        if (SpanIs(name, "q")) weight = ParseWeight(Trim(parameter));
    }
    return weight;
}

}  // namespace

void ReadAcceptEncoding(const char* value, size_t length, strCodingWeights* weights) {
    strSpan list = {value, value + length};
    while (list.begin < list.end) {
        strSpan element = TakeUntil(&list, ',');
        strSpan coding = Trim(TakeUntil(&element, ';'));
        int weight = ElementWeight(element);
        if (SpanIs(coding, "gzip") || SpanIs(coding, "x-gzip")) {
            if (weight > weights->gzip) weights->gzip = weight;
        } else if (SpanIs(coding, "*")) {
            if (weight > weights->any) weights->any = weight;
        }
    }
}

bool AllowsGzip(const strCodingWeights& weights) {
    if (weights.gzip != kCodingNotNamed) return weights.gzip > 0;
    return weights.any > 0;
}

}  // namespace portavex
