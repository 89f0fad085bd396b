// WSAStartup for as long as the owner lives.
#pragma once

namespace veltrane::winsupport {

class WinsockSession {
public:
    WinsockSession();
    ~WinsockSession();
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    bool ready() const { return ready_; }

private:
    bool ready_ = false;
};

}  // namespace veltrane::winsupport
