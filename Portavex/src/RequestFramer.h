// Cuts the byte stream of a connection into requests: a request ends with
// the empty line after its header block, however many receives it took;
// bytes after it belong to the next request. Every byte is looked at once.
#pragma once

#include <cstddef>

#include "Limits.h"

namespace portavex {

enum eFrameResult {
    FrameNeedMore,      // all input used; the request is not complete yet
    FrameComplete,      // view() holds the request; unused input is kept
    FrameLineTooLong,   // the request line does not fit in the view
    FrameBlockTooLarge  // the header block exceeds kHeaderBlockLimit
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
    // Starts the next request after FrameComplete.
    void BeginRequest();

  private:
    eFrameResult Take(char c);

    char input[kReceiveBufferSize];
    size_t inputStart = 0;
    size_t inputEnd = 0;
    char view[kRequestViewSize + 1];
    size_t viewLength;   // bytes copied into view
    size_t viewEnd;      // end of the last whole line inside view
    size_t blockLength;  // bytes of the header block so far
    size_t lineLength;   // characters of the current line, CR not counted
    bool haveRequestLine;
};

}  // namespace portavex
