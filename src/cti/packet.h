// CTI packets: "|LINK|" + kind padded to 10 + "|" + marker + "|" + body
// length in bytes (at least four digits) + "|" + body, then CR LF on the wire.
#pragma once

#include <string>
#include <string_view>

#include "host/library.h"

namespace veltrane::cti {

// The packet text without its line end.
std::string BuildPacket(std::string_view kind, std::string_view marker, std::string_view body);

// Sends one packet. Returns "" when the socket took it, "CTI disconnect" when
// no connection was open, "Except CTI SEND" when handing it over failed; the
// last two also start a new connection attempt. The log shows `loggedAs`
// when given (a packet that carries a password), else the packet.
std::string SendCtiPacket(Library& lib, const std::string& packet, const std::string* loggedAs = nullptr);

inline bool IsConnected(const Library& lib) { return lib.os.socket.state() == SocketState::Connected; }

}  // namespace veltrane::cti
