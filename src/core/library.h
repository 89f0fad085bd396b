// The library's state, owned by the thread that called DLL_START. Every
// operation takes it; nothing here is locked, because only that thread ever
// touches it. The layers above keep their own state beside it (the CTI
// link's cti::Link, the web pages' web::Web).
#pragma once

#include <cstdint>
#include <string>

#include "core/config_info.h"
#include "platform/platform.h"

namespace veltrane {

struct Library {
    explicit Library(Platform& platform) : os(platform) {}
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    Platform& os;
    TCONFIG_INFO config;
    std::string CurrentMac;
    bool Started = false;
    bool Finished = false;
    // Failed connection attempts in a row since the link last stayed up, the
    // host last acted, or the library last gave up (see cti::ConnectCti).
    std::int32_t ReconnectCount = 0;
    // The server accepted this user's LOGIN and no logout has followed: every
    // new connection signs in again.
    bool SignedIn = false;
};

}  // namespace veltrane
