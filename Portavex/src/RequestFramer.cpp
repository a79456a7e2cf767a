#include "RequestFramer.h"

namespace portavex {

namespace {

const char kOriginHeader[] = "origin";
constexpr size_t kOriginLength = sizeof(kOriginHeader) - 1;

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

void RequestFramer::BeginRequest() {
    viewLength = 0;
    viewEnd = 0;
    blockLength = 0;
    lineLength = 0;
    haveRequestLine = false;
    lineTooLong = false;
    pieceLength = 0;
    originMatched = 0;
    pastRequestLine = false;
    hasOrigin = false;
    view[0] = '\0';
}

eFrameResult RequestFramer::Scan() {
    while (inputStart < inputEnd) {
        eFrameResult result = Take(input[inputStart++]);
        if (result != FrameNeedMore) return result;
    }
    return FrameNeedMore;
}

void RequestFramer::WatchOrigin(char c) {
    if (c == '\r' || c == '\n') {
        if (pieceLength > 0) pastRequestLine = true;
        pieceLength = 0;
        originMatched = 0;
        return;
    }
    if (pastRequestLine && originMatched == pieceLength && pieceLength < kOriginLength &&
        Lower(c) == kOriginHeader[pieceLength]) {
        if (++originMatched == kOriginLength) hasOrigin = true;
    }
    pieceLength++;
}

eFrameResult RequestFramer::Take(char c) {
    if (++blockLength > kHeaderBlockLimit) return FrameBlockTooLarge;
    WatchOrigin(c);
    if (viewLength < kRequestViewSize) {
        view[viewLength++] = c;
    } else if (!haveRequestLine) {
        // Read on to the end of the request, which may still say Origin.
        lineTooLong = true;
    }
    if (c == '\r') return FrameNeedMore;
    if (c != '\n') {
        lineLength++;
        return FrameNeedMore;
    }
    if (lineLength > 0) {
        // A whole line: the view ends here if the line fitted in it.
        if (blockLength <= kRequestViewSize) viewEnd = blockLength;
        haveRequestLine = true;
        lineLength = 0;
        return FrameNeedMore;
    }
    if (!haveRequestLine) {
        // Empty lines before a request line are skipped.
        BeginRequest();
        return FrameNeedMore;
    }
    if (lineTooLong) return FrameLineTooLong;
    view[viewEnd] = '\0';
    return FrameComplete;
}

}  // namespace portavex
