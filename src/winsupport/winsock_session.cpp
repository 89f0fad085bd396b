#include "winsupport/winsock_session.h"

#include <winsock2.h>

namespace veltrane::winsupport {

WinsockSession::WinsockSession() {
    WSADATA data;
    ready_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockSession::~WinsockSession() {
    if (ready_) ::WSACleanup();
}

}  // namespace veltrane::winsupport
