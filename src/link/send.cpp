#include "link/send.h"

#include "base/text.h"
#include "core/log.h"
#include "core/notify.h"

namespace veltrane::cti {

namespace {
// Logs the packet and hands it to the open socket. Returns "" or the reason
// it failed; a failure starts a new connection attempt.
std::string Transmit(Link& link, const std::string& packet, const std::string& logged) {
    Library& lib = link.lib;
    bool sent = false;
    try {
        WriteLog(lib, Contains(packet, "|C|") ? "Connect Send" : "CTI SEND", logged);
        sent = lib.os.socket.send(packet + "\r\n");
    } catch (...) {
        sent = false;
    }
    if (sent) return {};
    ConnectCti(link);
    return "Except CTI SEND";
}
}  // namespace

std::string SendCtiPacket(Link& link, const std::string& packet, const std::string* loggedAs) {
    if (!IsConnected(link)) {
        ConnectCti(link);
        return "CTI disconnect";
    }
    return Transmit(link, packet, loggedAs != nullptr ? *loggedAs : packet);
}

bool SendRequest(Link& link, const Request& request) {
    if (!IsConnected(link)) {
        NotifyHost(link.lib, request.offline);
        return false;
    }
    const std::string packet = BuildPacket(request.kind, request.marker, request.body);
    std::string logged = packet;
    // The log file is readable by every user.
    if (const std::optional<std::string>& secret = request.secret)
        logged.replace(packet.size() - secret->size() - 1, secret->size(), "********");
    const std::string reason = Transmit(link, packet, logged);
    if (reason.empty()) return true;
    NotifyHost(link.lib, WithDetail(request.failed, reason));
    return false;
}

}  // namespace veltrane::cti
