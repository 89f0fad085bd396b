// What the web pages and the local command server keep beside the library's
// state, and the way a click-to-call reaches the telephony.
#pragma once

#include <string>
#include <vector>

#include "core/library.h"

namespace veltrane::web {

// How a click-to-call places the call; the session implements it.
class CallRequests {
public:
    virtual ~CallRequests() = default;
    // Sends the request to dial `number`. False when it could not go out;
    // the host has heard why.
    virtual bool requestCall(const std::string& number) = 0;
};

// A page file handed to the default browser, deleted when its ticks of the
// page cleanup timer have run out.
struct PendingPage {
    std::string name;
    int ticksLeft = 0;
};

struct Web {
    Web(Library& library, CallRequests& callRequests) : lib(library), calls(callRequests) {}
    Web(const Web&) = delete;
    Web& operator=(const Web&) = delete;

    Library& lib;
    CallRequests& calls;
    std::vector<PendingPage> pendingPages;
};

}  // namespace veltrane::web
