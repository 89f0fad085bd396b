// A plain HTTP client for the tests of the local command server: it sends
// raw bytes over loopback and returns whatever comes back.
#pragma once

#include <chrono>
#include <string>

#include "harness/test_host.h"

namespace veltrane::wine {

struct ClientOptions {
    const char* address = "127.0.0.1";  // or "::1"
    std::chrono::milliseconds timeout = std::chrono::seconds(10);
    bool halfClose = false;  // ends its sending side after the bytes
};

// Connects, sends, and reads until the server closes the connection or the
// time is up. "" when nothing came back; "<connect failed>" when it could
// not connect. Blocks the calling thread.
std::string ExchangeBlocking(int port, const std::string& bytes, const ClientOptions& options = {});

// The same on a thread of its own while the host's message loop runs, as
// the library's owner thread must for requests to be handled.
std::string Exchange(TestHost& host, int port, const std::string& bytes, const ClientOptions& options = {});

// The exact bytes of the server's usual answer.
inline const std::string kOkAnswer =
    "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";

}  // namespace veltrane::wine
