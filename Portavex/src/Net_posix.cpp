// BSD sockets.
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>

#include "Platform.h"

namespace portavex {

namespace {

constexpr int kGatheredPieces = 2;

int Fd(Socket s) {
    return static_cast<int>(s);
}

// Drops the first sent bytes from the pieces at *next (*left of them), and
// the pieces that are then empty.
void Consume(iovec** next, int* left, size_t sent) {
    while (*left > 0 && sent >= (*next)->iov_len) {
        sent -= (*next)->iov_len;
        ++*next;
        --*left;
    }
    if (*left == 0) return;
    (*next)->iov_base = static_cast<char*>((*next)->iov_base) + sent;
    (*next)->iov_len -= sent;
}

}  // namespace

bool NetStartup() {
    return true;
}

void NetCleanup() {}

Socket ListenTcp(unsigned short port, unsigned short* boundPort) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return kInvalidSocket;
    // Lets a restarted server bind while connections of its previous run
    // linger in TIME_WAIT; a port that another socket listens on stays taken.
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    socklen_t length = sizeof(address);
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(fd, SOMAXCONN) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        return kInvalidSocket;
    }
    *boundPort = ntohs(address.sin_port);
    return static_cast<Socket>(fd);
}

// Closing a descriptor does not wake a thread blocked in accept on Linux;
// shutting the listener down does.
void StopAccepting(Socket listener) {
    shutdown(Fd(listener), SHUT_RDWR);
}

void ReleaseListener(Socket listener) {
    close(Fd(listener));
}

Socket Accept(Socket listener) {
    int fd = accept4(Fd(listener), nullptr, nullptr, SOCK_CLOEXEC);
    return fd < 0 ? kInvalidSocket : static_cast<Socket>(fd);
}

void PrepareConnection(Socket s, int sendTimeoutSeconds) {
    int on = 1;
    setsockopt(Fd(s), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    timeval timeout = {};
    timeout.tv_sec = sendTimeoutSeconds;
    setsockopt(Fd(s), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
}

Waker WakerCreate() {
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return fd < 0 ? kInvalidSocket : static_cast<Waker>(fd);
}

// The count stays above zero, so the descriptor stays readable.
void WakerRaise(Waker waker) {
    const uint64_t one = 1;
    while (write(Fd(waker), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WakerClose(Waker waker) {
    close(Fd(waker));
}

eWaitResult WaitReadable(Socket s, Waker waker, int milliseconds) {
    pollfd entries[] = {{Fd(s), POLLIN, 0}, {Fd(waker), POLLIN, 0}};
    int ready = poll(entries, 2, milliseconds);
    if (ready > 0) return entries[1].revents != 0 ? WaitWoken : WaitReady;
    if (ready == 0 || errno == EINTR) return WaitTimedOut;
    return WaitFailed;
}

long Receive(Socket s, char* buffer, size_t size) {
    for (;;) {
        ssize_t received = recv(Fd(s), buffer, size, 0);
        if (received >= 0 || errno != EINTR) return static_cast<long>(received);
    }
}

bool SendGathered(Socket s, const char* head, size_t headLength, const char* body,
                  size_t bodyLength, bool moreFollows) {
    iovec pieces[kGatheredPieces] = {{const_cast<char*>(head), headLength},
                                     {const_cast<char*>(body), bodyLength}};
    iovec* next = pieces;
    int left = kGatheredPieces;
    Consume(&next, &left, 0);
    // MSG_NOSIGNAL: a peer that went away fails the send instead of raising
    // SIGPIPE in the application.
    const int flags = MSG_NOSIGNAL | (moreFollows ? MSG_MORE : 0);
    while (left > 0) {
        msghdr message = {};
        message.msg_iov = next;
        message.msg_iovlen = static_cast<size_t>(left);
        ssize_t sent = sendmsg(Fd(s), &message, flags);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        Consume(&next, &left, static_cast<size_t>(sent));
    }
    return true;
}

void ShutdownSocket(Socket s) {
    shutdown(Fd(s), SHUT_RDWR);
}

void ShutdownSending(Socket s) {
    shutdown(Fd(s), SHUT_WR);
}

void CloseSocket(Socket s) {
    close(Fd(s));
}

}  // namespace portavex
