#include "RequestFramer.h"

#include "TextCodec.h"

namespace portavex {

namespace {

const char kOriginHeader[] = "origin";
constexpr size_t kOriginLength = sizeof(kOriginHeader) - 1;

// What a byte may be in a request line.
enum eByteClass : unsigned char {
    T,  // a character of a method name (and of the rest of the line)
    S,  // the blank that ends the method
    B,  // CR or LF, which end the line
    O,  // other text: allowed after the method
    C   // a control character: never in a request line
};

// The class of each ASCII byte, 16 a row, the row's bytes named above it.
// Bytes from 0x80 on are text (O).
// clang-format off
const eByteClass kAsciiClass[128] = {
    // NUL SOH STX ETX EOT ENQ ACK BEL BS  HT  LF  VT  FF  CR  SO  SI
    C,  C,  C,  C,  C,  C,  C,  C,  C,  C,  B,  C,  C,  B,  C,  C,
    // DLE DC1 DC2 DC3 DC4 NAK SYN ETB CAN EM  SUB ESC FS  GS  RS  US
    C,  C,  C,  C,  C,  C,  C,  C,  C,  C,  C,  C,  C,  C,  C,  C,
    // SP  !   "   #   $   %   &   '   (   )   *   +   ,   -   .   /
    S,  T,  O,  T,  T,  T,  T,  T,  O,  O,  T,  T,  O,  T,  T,  O,
    // 0   1   2   3   4   5   6   7   8   9   :   ;   <   =   >   ?
    T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  O,  O,  O,  O,  O,  O,
    // @   A   B   C   D   E   F   G   H   I   J   K   L   M   N   O
    O,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,
    // P   Q   R   S   T   U   V   W   X   Y   Z   [   \   ]   ^   _
    T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  O,  O,  O,  T,  T,
    // `   a   b   c   d   e   f   g   h   i   j   k   l   m   n   o
    T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,
    // p   q   r   s   t   u   v   w   x   y   z   {   |   }   ~   DEL
    T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  T,  O,  T,  O,  T,  C,
};
// clang-format on

eByteClass ClassOf(char c) {
    unsigned char byte = static_cast<unsigned char>(c);
    return byte < sizeof(kAsciiClass) ? kAsciiClass[byte] : O;
}

}  // namespace

void RequestFramer::BeginRequest() {
    viewLength = 0;
    viewEnd = 0;
    blockLength = 0;
    lineLength = 0;
    state = StateBeforeRequest;
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
        AsciiLower(c) == kOriginHeader[pieceLength]) {
        if (++originMatched == kOriginLength) hasOrigin = true;
    }
    pieceLength++;
}

// Moves the request line's state on by one byte; false when the byte cannot
// stand there. The line ends at its first CR or LF.
bool RequestFramer::CheckRequestLine(char c) {
    eByteClass byte = ClassOf(c);
    switch (state) {
        case StateBeforeRequest:
            if (byte == B) return true;
            state = StateMethod;
            return byte == T;
        case StateMethod:
            if (byte == S) state = StateTarget;
            if (byte == B) state = StateHeaders;
            return byte == T || byte == S || byte == B;
        case StateTarget:
            if (byte == B) state = StateHeaders;
            return byte != C;
        case StateHeaders:
            return true;
    }
    return true;
}

eFrameResult RequestFramer::Take(char c) {
    if (!CheckRequestLine(c)) return FrameNotARequest;
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
