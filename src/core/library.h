// The library's whole state, owned by the thread that called DLL_START.
// Every operation of the core takes it; nothing here is locked, because
// only that thread ever touches it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/link_state.h"
#include "core/config_info.h"
#include "platform/platform.h"

namespace veltrane {

// A page file handed to the default browser, deleted when its ticks of the
// page cleanup timer have run out.
struct PendingPage {
    std::string name;
    int ticksLeft = 0;
};

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
    cti::LinkState link;
    std::vector<PendingPage> PendingPages;
};

}  // namespace veltrane
