// The library's state, owned by the thread that called DLL_START. Every
// operation takes it; nothing here is locked, because only that thread ever
// touches it. The layers above keep their own state beside it (the CTI
// link's cti::Link, the web pages' web::Web).
#pragma once

#include <string>
#include <vector>

#include "core/config_info.h"
#include "core/outbox.h"
#include "platform/platform.h"

namespace veltrane {

struct Library {
    explicit Library(Platform& platform) : os(platform) {}
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    Platform& os;
    TCONFIG_INFO config;
    UserSession user;
    std::string CurrentMac;
    bool Started = false;
    Outbox outbox;
    // config_user.ini: a save asked for in this turn, and what was written last.
    bool userSettingsDue = false;
    std::vector<std::string> userSettingsWritten;
    // Log lines held by a LogBatch, and the file they go to.
    struct PendingLog {
        bool open = false;
        std::string path;
        std::string lines;
    } pendingLog;
};

}  // namespace veltrane
