// What the CTI link remembers between events.
#pragma once

#include <cstdint>
#include <string>

#include "cti/reader.h"

namespace veltrane::cti {

struct LinkState {
    CtiReader reader;
    // Set while ConnectCti closes the old socket, so that the disconnect
    // event this causes does not start a second attempt.
    bool replacingSocket = false;
    // A connection attempt waiting out its pause (see ConnectCti).
    bool attemptPending = false;
    std::string pendingHost;
    std::int32_t pendingPort = 0;
    // Attempts in a row that ended without a connection.
    int failedAttempts = 0;
    // Whether the socket now open or just closed had connected.
    bool connectedSinceOpen = false;
};

}  // namespace veltrane::cti
