// Sending one packet over the CTI link.
#pragma once

#include <string>

#include "link/link.h"
#include "protocol/packet.h"

namespace veltrane::cti {

// Sends one packet. Returns "" when the socket took it, "CTI disconnect" when
// no connection was open, "Except CTI SEND" when handing it over failed; the
// last two also start a new connection attempt. The log shows `loggedAs`
// when given (a packet that carries a password), else the packet.
std::string SendCtiPacket(Link& link, const std::string& packet, const std::string* loggedAs = nullptr);

inline bool IsConnected(const Link& link) { return link.lib.os.socket.state() == SocketState::Connected; }

}  // namespace veltrane::cti
