// Sending over the CTI link: one packet, and one request of a feature with
// the host event that tells of its failure.
#pragma once

#include <optional>
#include <string>

#include "link/link.h"
#include "protocol/packet.h"

namespace veltrane::cti {

// Sends one packet. Fails with "CTI disconnect" when no connection was open,
// with "Except CTI SEND" when handing it over failed; either failure starts a
// new connection attempt. The log shows `loggedAs` when given (a packet that
// carries a password), else the packet.
Outcome SendCtiPacket(Link& link, const std::string& packet, const std::string* loggedAs = nullptr);

inline bool IsConnected(const Link& link) { return link.lib.os.socket.state() == SocketState::Connected; }

// A request of a feature, and the host events that tell when it cannot go out.
struct Request {
    const char* kind;    // "CALL"; padded when framed
    const char* marker;  // "R", or "S" for an acknowledgement
    std::string body;
    // Told when the link is down: nothing is sent, no attempt is started.
    std::string offline;
    // Told when sending failed, with the reason ("Except CTI SEND") as one
    // more detail (WithDetail). Built before sending: a failed send
    // reconnects, and the host may act on the disconnect event, and change
    // what this event is built from, before it is told.
    std::string failed;
    // The body's last field, shown in the log as "********".
    std::optional<std::string> secret = std::nullopt;
};

// Checks the link, frames the request, sends it. When it did not go out, the
// host has been told `offline` or `failed` before this fails.
Outcome SendRequest(Link& link, const Request& request);

}  // namespace veltrane::cti
