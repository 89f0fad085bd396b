#include "link/send.h"

#include "base/text.h"
#include "core/log.h"
#include "core/notify.h"

namespace veltrane::cti {

bool SendRequest(Link& link, const Request& request) {
    Library& lib = link.lib;
    if (!IsConnected(link)) {
        NotifyHost(lib, request.offline);
        return false;
    }
    const std::string packet = BuildPacket(request.kind, request.marker, request.body);
    std::string logged = packet;
    // The log file is readable by every user.
    if (const std::optional<std::string>& secret = request.secret)
        logged.replace(packet.size() - secret->size() - 1, secret->size(), "********");
    WriteLog(lib, Contains(packet, "|C|") ? "Connect Send" : "CTI SEND", logged);
    if (lib.os.socket.send(packet + "\r\n")) return true;
    NotifyHost(lib, WithDetail(request.failed, "Except CTI SEND"));
    SendFailed(link);
    return false;
}

}  // namespace veltrane::cti
