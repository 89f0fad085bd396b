#include "protocol/packet.h"

#include "base/text.h"

namespace veltrane::cti {

std::string BuildPacket(std::string_view kind, std::string_view marker, std::string_view body) {
    std::string packet = "|LINK|";
    packet += kind;
    if (kind.size() < 10) packet.append(10 - kind.size(), ' ');
    packet += '|';
    packet += marker;
    packet += '|';
    packet += ZeroPadded(static_cast<long long>(body.size()), 4);
    packet += '|';
    packet += body;
    return packet;
}

}  // namespace veltrane::cti
