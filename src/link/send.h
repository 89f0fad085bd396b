// Sending one request of a feature over the CTI link, with the host event
// that tells when it cannot go out.
#pragma once

#include <optional>
#include <string>

#include "link/link.h"
#include "protocol/packet.h"

namespace veltrane::cti {

struct Request {
    const char* kind;    // "CALL"; padded when framed
    const char* marker;  // "R", or "S" for an acknowledgement
    std::string body;
    // Told when the link is down: nothing is sent, no attempt is started.
    std::string offline;
    // Told when sending failed, with the reason ("Except CTI SEND") as one
    // more detail (WithDetail).
    std::string failed;
    // The body's last field, shown in the log as "********".
    std::optional<std::string> secret = std::nullopt;
};

// Checks the link, frames the request, sends it. False when it did not go
// out: the host has been told `offline` or `failed`, and a failed send has
// the connection made again (SendFailed).
bool SendRequest(Link& link, const Request& request);

}  // namespace veltrane::cti
