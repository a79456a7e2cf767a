// Cuts the byte stream of a connection into requests: a request ends with
// the empty line after its header block, however many receives it took;
// bytes after it belong to the next request. Every byte is looked at once,
// also to see whether a header line of the request begins with "Origin", and
// a byte that cannot stand where it is in the request line is refused as
// soon as it is seen.
#pragma once

#include <cstddef>

#include "Limits.h"

namespace portavex {

enum eFrameResult {
    FrameNeedMore,       // all input used; the request is not complete yet
    FrameComplete,       // view() holds the request; unused input is kept
    FrameLineTooLong,    // the request line does not fit in the view (known
                         // once the request has ended)
    FrameBlockTooLarge,  // the header block exceeds kHeaderBlockLimit
    FrameNotARequest     // the request line holds a byte that no request line
                         // holds: in the method one that is not a letter,
                         // digit or one of !#$%&'*+-.^_`|~, after it a control
                         // character other than CR and LF
};

class RequestFramer {
  public:
    RequestFramer() { BeginRequest(); }

    // Where the next receive writes; only valid when HasInput() is false.
    char* ReceiveArea() { return input; }
    size_t ReceiveAreaSize() const { return sizeof(input); }
    void Received(size_t count) {
        inputStart = 0;
        inputEnd = count;
    }
    bool HasInput() const { return inputStart < inputEnd; }

    // Reads the unread input until the current request is complete.
    eFrameResult Scan();
    // The request: its request line and the header lines that fit in
    // kRequestViewSize bytes, terminated. Valid after FrameComplete.
    char* View() { return view; }
    size_t ViewLength() const { return viewEnd; }
    // Whether a header line of the request so far begins with "Origin" in
    // any letter case. Header lines are split at every run of CR and LF
    // characters, so a bare CR ends one too; lines beyond the view and
    // those of a refused request count as well.
    bool HasOrigin() const { return hasOrigin; }
    // Starts the next request after FrameComplete.
    void BeginRequest();

  private:
    // Where the current byte stands in the request line.
    enum eLineState {
        StateBeforeRequest,  // line breaks before the request line
        StateMethod,         // from its first byte to the first blank
        StateTarget,         // after the first blank, to the end of the line
        StateHeaders         // the request line has ended (at a CR or LF)
    };

    eFrameResult Take(char c);
    bool CheckRequestLine(char c);
    void WatchOrigin(char c);

    char input[kReceiveBufferSize];
    size_t inputStart = 0;
    size_t inputEnd = 0;
    char view[kRequestViewSize + 1];
    size_t viewLength;   // bytes copied into view
    size_t viewEnd;      // end of the last whole line inside view
    size_t blockLength;  // bytes of the header block so far
    size_t lineLength;   // characters of the current line, CR not counted
    eLineState state;
    bool haveRequestLine;
    bool lineTooLong;  // the request line overflowed the view
    // Header lines as the Origin check splits them, at CR and LF alike.
    size_t pieceLength;    // characters since the last CR or LF
    size_t originMatched;  // leading characters of the piece that match
    bool pastRequestLine;  // a CR or LF has ended the request line
    bool hasOrigin;
};

}  // namespace portavex
