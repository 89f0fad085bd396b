#include "link/send.h"

#include "link/link.h"
#include "core/log.h"
#include "base/text.h"

namespace veltrane::cti {

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
