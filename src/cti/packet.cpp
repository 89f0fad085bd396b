#include "cti/packet.h"

#include "cti/link.h"
#include "host/log.h"
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

std::string SendCtiPacket(Library& lib, const std::string& packet, const std::string* loggedAs) {
    if (!IsConnected(lib)) {
        ConnectCti(lib);
        return "CTI disconnect";
    }
    bool sent = false;
    try {
        const std::string& logged = loggedAs != nullptr ? *loggedAs : packet;
        WriteLog(lib, Contains(packet, "|C|") ? "Connect Send" : "CTI SEND", logged);
        sent = lib.os.socket.send(packet + "\r\n");
    } catch (...) {
        sent = false;
    }
    if (!sent) {
        ConnectCti(lib);
        return "Except CTI SEND";
    }
    return {};
}

}  // namespace veltrane::cti
