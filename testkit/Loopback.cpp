#include "Loopback.h"

#include <gtest/gtest.h>

#include "TestSocket.h"

LoopbackConnection::LoopbackConnection(unsigned short port) : socket(OpenTestSocket()) {
    if (socket != kNoTestSocket && !ConnectLoopback(socket, port)) Close();
}

LoopbackConnection::~LoopbackConnection() {
    Close();
}

bool LoopbackConnection::Connected() const {
    return socket != kNoTestSocket;
}

bool LoopbackConnection::Send(const std::string& bytes) {
    if (socket == kNoTestSocket) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const long sent = SendSome(socket, bytes.data() + done, bytes.size() - done);
        if (sent <= 0) return false;
        done += static_cast<size_t>(sent);
    }
    return true;
}

eReceive LoopbackConnection::Receive(std::string* data, int timeoutMs) {
    if (socket == kNoTestSocket) return eReceive::Closed;
    if (!WaitReadable(socket, timeoutMs)) return eReceive::TimedOut;
    char buffer[16384];
    const long received = ReceiveSome(socket, buffer, sizeof buffer);
    if (received <= 0) return eReceive::Closed;
    data->append(buffer, static_cast<size_t>(received));
    return eReceive::Received;
}

void LoopbackConnection::Close() {
    if (socket == kNoTestSocket) return;
    CloseTestSocket(socket);
    socket = kNoTestSocket;
}

TcpListener::TcpListener(unsigned short wanted) : socket(OpenTestSocket()), bound(false), port(0) {
    unsigned short had = 0;
    bound = socket != kNoTestSocket && BindAndListen(socket, wanted, &had);
    if (bound) port = had;
}

TcpListener::~TcpListener() {
    if (socket != kNoTestSocket) CloseTestSocket(socket);
}

unsigned short FreePort() {
    TcpListener probe;
    EXPECT_TRUE(probe.Bound()) << "no free port";
    return probe.Port();
}
