// A blocking HTTP client over a real socket to 127.0.0.1, for tests.
#pragma once

#include <cstdint>
#include <string>

class TestClient {
  public:
    explicit TestClient(unsigned short port);
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool Connected() const;
    bool Send(const std::string& bytes);
    // One answer: the header through its empty line and, when the header
    // has a Content-Length, that many bytes of body. Empty when the
    // connection closed or nothing complete came within timeoutMs.
    std::string ReadAnswer(int timeoutMs = 5000);
    // Everything until the server closes the connection; "<timeout>" is
    // appended when it did not close within timeoutMs.
    std::string ReadUntilClosed(int timeoutMs = 5000);
    // Only the bytes up to the end of the next header.
    std::string ReadHeader(int timeoutMs = 5000);
    void Close();

  private:
    // Appends what one receive brings; false when closed or timed out.
    bool ReceiveMore(int timeoutMs);

    std::uintptr_t socket;
    std::string pending;
};

// "GET <target> HTTP/1.1" with a Host line and the given extra header lines.
std::string GetRequest(const std::string& target, const std::string& headers = "");

// The value of the Content-Length header of an answer, or -1.
long long ContentLength(const std::string& header);
