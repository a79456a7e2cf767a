// The operating system services the server uses: sockets, files, path
// combination, the content-type registry, and the start event and ids of
// threads. Each has one implementation file per platform (_posix.cpp,
// _win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace portavex {

using Socket = std::uintptr_t;
constexpr Socket kInvalidSocket = ~static_cast<Socket>(0);

// Socket layer start and end (Winsock 2.2 on Windows; nothing elsewhere).
bool NetStartup();
void NetCleanup();

// A socket listening on every local IPv4 address at port; *boundPort is the
// port actually bound (port 0 picks one). Its queue of connections not yet
// accepted is the longest the system allows, so that a burst is not dropped.
// kInvalidSocket on failure.
Socket ListenTcp(unsigned short port, unsigned short* boundPort);
// Makes a thread blocked in Accept on the listener return; ReleaseListener
// frees it once that thread has ended.
void StopAccepting(Socket listener);
void ReleaseListener(Socket listener);
// kInvalidSocket when accept failed.
Socket Accept(Socket listener);

// Settings of an accepted connection: no Nagle delay, sends that give up
// after sendTimeoutSeconds.
void PrepareConnection(Socket s, int sendTimeoutSeconds);

// What waiting threads can all be woken by at once: once WakerRaise has been
// called, every WaitReadable given the waker returns at once, then and
// later. An eventfd on Linux; on Windows a UDP socket on loopback that a
// datagram to itself makes readable. kInvalidSocket when none can be made.
using Waker = Socket;
Waker WakerCreate();
void WakerRaise(Waker waker);
void WakerClose(Waker waker);

enum eWaitResult { WaitReady, WaitTimedOut, WaitWoken, WaitFailed };
// Waits until s is readable, waker is raised or the time passes, whichever
// comes first.
eWaitResult WaitReadable(Socket s, Waker waker, int milliseconds);
// Bytes received (> 0), 0 when the peer closed, < 0 on error.
long Receive(Socket s, char* buffer, size_t size);
// Sends every byte of head and then of body (either may be empty) in as
// few system calls as the socket allows, one when it takes them whole, so
// that a header leaves in the same segment as the start of its body. False
// when the connection failed on the way. moreFollows says the caller sends
// more at once: where the platform can, a segment left part-filled waits
// for it.
bool SendGathered(Socket s, const char* head, size_t headLength, const char* body,
                  size_t bodyLength, bool moreFollows);
// Sends every byte; false when the connection failed on the way.
inline bool SendAll(Socket s, const char* data, size_t length) {
    return SendGathered(s, data, length, nullptr, 0, false);
}
// Ends both directions, so that threads blocked on the socket return.
void ShutdownSocket(Socket s);
// Ends the sending direction: the peer reads the end of the stream.
void ShutdownSending(Socket s);
void CloseSocket(Socket s);

// Which file a name leads to: the same for every spelling of it.
struct strFileIdentity {
    uint64_t volume;
    uint64_t index;
};

inline bool SameFile(const strFileIdentity& a, const strFileIdentity& b) {
    return a.volume == b.volume && a.index == b.index;
}

// When a file was last written: seconds since 1970-01-01 UTC and the
// finer part the platform keeps, in its own unit (nanoseconds on Linux,
// 100-nanosecond steps on Windows), so that two writes within one second
// still differ.
struct strFileTime {
    int64_t seconds;
    uint32_t fraction;
};

// One state of one file: which file and what its size and modification
// time were when it was read.
struct strFileVersion {
    strFileIdentity identity;
    uint64_t size;
    strFileTime modified;
};

using FileHandle = std::intptr_t;
// Opens an existing regular file for reading; false for directories,
// missing or locked files.
bool FileOpen(const char* path, FileHandle* file);
// The open file's identity, size and modification time, in one call.
bool FileVersion(FileHandle file, strFileVersion* version);
bool FileIdentity(FileHandle file, strFileIdentity* identity);
// The identity of the file that path names now, without opening it for
// reading and without keeping anyone from replacing or deleting it. False
// when nothing is there.
bool PathIdentity(const char* path, strFileIdentity* identity);
// The path under which the file system keeps the open file, written into
// path (size bytes): long names where the file was opened through an 8.3
// short name, the target where it was opened through a link. False when
// the platform cannot tell.
bool FileStoredPath(FileHandle file, char* path, size_t size);
// Moves the file's position back to its first byte.
bool FileRewind(FileHandle file);
// Bytes read (may be fewer than asked at the end), < 0 on error.
long FileRead(FileHandle file, char* buffer, size_t size);
// Sends header (headerLength bytes) and then the next size bytes of file on
// s, the way the platform does it best: the kernel copies the file on
// Linux; elsewhere it passes through chunk (chunkSize bytes) and the header
// goes with its first piece. False when the file ends early or the send
// fails; a peer that went away raises no signal.
bool FileSend(FileHandle file, uint64_t size, Socket s, const char* header, size_t headerLength,
              char* chunk, size_t chunkSize);
void FileClose(FileHandle file);

// Joins root and name with a separator and resolves "." and ".." segments
// lexically. False when the result does not fit in size.
bool CombinePath(char* out, size_t size, const char* root, const char* name);

// The content type registered for extension (".html", dot included), copied
// into type (kContentTypeSize bytes). False when none is registered or it
// does not fit.
bool FindContentType(const char* extension, char* type);

// An auto-reset event, created not signalled: EventWait returns once the
// event is set and clears it again, so each EventSet releases one wait.
// A HANDLE on Windows.
using EventHandle = void*;
// nullptr when the event cannot be created.
EventHandle EventCreate();
void EventSet(EventHandle event);
// Waits without time limit.
void EventWait(EventHandle event);
void EventClose(EventHandle event);

// The operating system's id of the calling thread.
uint32_t CurrentThreadId();

}  // namespace portavex
