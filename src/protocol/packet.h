// CTI packets: "|LINK|" + kind padded to 10 + "|" + marker + "|" + body
// length in bytes (at least four digits) + "|" + body, then CR LF on the wire.
#pragma once

#include <string>
#include <string_view>

namespace veltrane::cti {

// The packet text without its line end.
std::string BuildPacket(std::string_view kind, std::string_view marker, std::string_view body);

}  // namespace veltrane::cti
