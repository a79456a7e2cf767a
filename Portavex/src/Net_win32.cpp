// Winsock 2.2.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

#include "Platform.h"

namespace portavex {

namespace {

constexpr WORD kWinsockVersion = MAKEWORD(2, 2);
// Winsock takes lengths as int; larger sends go in pieces of this size.
constexpr size_t kLargestSend = 1 << 30;

constexpr int kGatheredPieces = 2;

SOCKET Handle(Socket s) {
    return static_cast<SOCKET>(s);
}

// Bytes still to send.
struct strPiece {
    const char* data;
    size_t length;
};

// Drops the first sent bytes from the pieces at *next (*left of them), and
// the pieces that are then empty.
void Consume(strPiece** next, int* left, size_t sent) {
    while (*left > 0 && sent >= (*next)->length) {
        sent -= (*next)->length;
        ++*next;
        --*left;
    }
    if (*left == 0) return;
    (*next)->data += sent;
    (*next)->length -= sent;
}

}  // namespace

bool NetStartup() {
    WSADATA data;
    if (WSAStartup(kWinsockVersion, &data) != 0) return false;
    if (data.wVersion == kWinsockVersion) return true;
    WSACleanup();
    return false;
}

void NetCleanup() {
    WSACleanup();
}

Socket ListenTcp(unsigned short port, unsigned short* boundPort) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    int length = sizeof(address);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(s, SOMAXCONN) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        closesocket(s);
        return kInvalidSocket;
    }
    *boundPort = ntohs(address.sin_port);
    return static_cast<Socket>(s);
}

// Closing the socket makes a pending accept fail; nothing is left to free.
void StopAccepting(Socket listener) {
    closesocket(Handle(listener));
}

void ReleaseListener(Socket) {}

Socket Accept(Socket listener) {
    SOCKET s = accept(Handle(listener), nullptr, nullptr);
    return s == INVALID_SOCKET ? kInvalidSocket : static_cast<Socket>(s);
}

void PrepareConnection(Socket s, int sendTimeoutSeconds) {
    BOOL on = TRUE;
    setsockopt(Handle(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
    DWORD timeout = static_cast<DWORD>(sendTimeoutSeconds) * 1000;
    setsockopt(Handle(s), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof(timeout));
}

// Bound to a port of its own on loopback and connected to itself: the
// datagram WakerRaise sends stays unread, so the socket stays readable.
Waker WakerCreate() {
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return kInvalidSocket;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        closesocket(s);
        return kInvalidSocket;
    }
    return static_cast<Waker>(s);
}

void WakerRaise(Waker waker) {
    const char datagram = 0;
    send(Handle(waker), &datagram, 1, 0);
}

void WakerClose(Waker waker) {
    closesocket(Handle(waker));
}

eWaitResult WaitReadable(Socket s, Waker waker, int milliseconds) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(Handle(s), &readable);
    FD_SET(Handle(waker), &readable);
    timeval timeout = {milliseconds / 1000, (milliseconds % 1000) * 1000};
    int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready > 0) return FD_ISSET(Handle(waker), &readable) ? WaitWoken : WaitReady;
    return ready == 0 ? WaitTimedOut : WaitFailed;
}

long Receive(Socket s, char* buffer, size_t size) {
    int wanted = size < kLargestSend ? static_cast<int>(size) : static_cast<int>(kLargestSend);
    return recv(Handle(s), buffer, wanted, 0);
}

bool SendGathered(Socket s, const char* head, size_t headLength, const char* body,
                  size_t bodyLength, bool) {
    strPiece pieces[kGatheredPieces] = {{head, headLength}, {body, bodyLength}};
    strPiece* next = pieces;
    int left = kGatheredPieces;
    Consume(&next, &left, 0);
    while (left > 0) {
        WSABUF buffers[kGatheredPieces];
        for (int i = 0; i < left; ++i) {
            buffers[i].buf = const_cast<char*>(next[i].data);
            buffers[i].len = static_cast<ULONG>(std::min(next[i].length, kLargestSend));
        }
        DWORD sent = 0;
        if (WSASend(Handle(s), buffers, static_cast<DWORD>(left), &sent, 0, nullptr, nullptr) !=
                0 ||
            sent == 0) {
            return false;
        }
        Consume(&next, &left, sent);
    }
    return true;
}

void ShutdownSocket(Socket s) {
    shutdown(Handle(s), SD_BOTH);
}

void ShutdownSending(Socket s) {
    shutdown(Handle(s), SD_SEND);
}

void CloseSocket(Socket s) {
    closesocket(Handle(s));
}

}  // namespace portavex
