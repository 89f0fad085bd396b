// Server packets for the tests of the layers that read them.
#pragma once

#include <string>
#include <string_view>

#include "protocol/packet.h"

namespace veltrane::testing {

// A packet as the server sends it: header, body, CR LF.
inline std::string ServerPacket(std::string_view kind, std::string_view result, std::string_view body) {
    return cti::BuildPacket(kind, result, body) + "\r\n";
}

}  // namespace veltrane::testing
