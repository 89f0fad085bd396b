// What the CTI link remembers between events.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "protocol/reader.h"

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
    // Failed attempts in a row (no connection, or one that ended within
    // seconds): they set the pause before the next attempt.
    int failedAttempts = 0;
    // Set when the reconnection budget ran out; the host acting again lifts it.
    bool gaveUp = false;
    // Clock::elapsedMs of the connection now open; empty while there is none.
    std::optional<std::int64_t> connectedAt;
    // Of the last packet received, or of the connection.
    std::int64_t lastPacketAt = 0;
    // Of the link check that has had no answer yet.
    std::optional<std::int64_t> checkSentAt;
};

}  // namespace veltrane::cti
