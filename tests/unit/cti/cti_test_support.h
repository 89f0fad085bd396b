// Helpers shared by the CTI tests.
#pragma once

#include <string>
#include <string_view>

#include "cti/packet.h"

namespace veltrane::testing {

// A packet as the server sends it: header, body, CR LF.
inline std::string ServerPacket(std::string_view kind, std::string_view result, std::string_view body) {
    return cti::BuildPacket(kind, result, body) + "\r\n";
}

}  // namespace veltrane::testing
