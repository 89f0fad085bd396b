#include "link/send.h"

#include "link/link.h"
#include "core/log.h"
#include "base/text.h"

namespace veltrane::cti {

std::string SendCtiPacket(Link& link, const std::string& packet, const std::string* loggedAs) {
    Library& lib = link.lib;
    if (!IsConnected(link)) {
        ConnectCti(link);
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
        ConnectCti(link);
        return "Except CTI SEND";
    }
    return {};
}

}  // namespace veltrane::cti
