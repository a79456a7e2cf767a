#include "RequestFramer.h"

namespace portavex {

void RequestFramer::BeginRequest() {
    viewLength = 0;
    viewEnd = 0;
    blockLength = 0;
    lineLength = 0;
    haveRequestLine = false;
    view[0] = '\0';
}

eFrameResult RequestFramer::Scan() {
    while (inputStart < inputEnd) {
        eFrameResult result = Take(input[inputStart++]);
        if (result != FrameNeedMore) return result;
    }
    return FrameNeedMore;
}

eFrameResult RequestFramer::Take(char c) {
    if (++blockLength > kHeaderBlockLimit) return FrameBlockTooLarge;
    if (viewLength < kRequestViewSize) {
        view[viewLength++] = c;
    } else if (!haveRequestLine) {
        return FrameLineTooLong;
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
    view[viewEnd] = '\0';
    return FrameComplete;
}

}  // namespace portavex
