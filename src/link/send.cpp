#include "link/send.h"

#include "base/text.h"
#include "core/log.h"
#include "core/notify.h"

namespace veltrane::cti {

namespace {
// Logs the packet and hands it to the open socket; a failure starts a new
// connection attempt.
Outcome Transmit(Link& link, const std::string& packet, const std::string& logged) {
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
    return Outcome::Failure("Except CTI SEND");
}
}  // namespace

Outcome SendCtiPacket(Link& link, const std::string& packet, const std::string* loggedAs) {
    if (!IsConnected(link)) {
        ConnectCti(link);
        return Outcome::Failure("CTI disconnect");
    }
    return Transmit(link, packet, loggedAs != nullptr ? *loggedAs : packet);
}

Outcome SendRequest(Link& link, const Request& request) {
    if (!IsConnected(link)) {
        NotifyHost(link.lib, request.offline);
        return Outcome::Failure("CTI disconnect");
    }
    const std::string packet = BuildPacket(request.kind, request.marker, request.body);
    std::string logged = packet;
    // The log file is readable by every user.
    if (const std::optional<std::string>& secret = request.secret)
        logged.replace(packet.size() - secret->size() - 1, secret->size(), "********");
    Outcome sent = Transmit(link, packet, logged);
    if (!sent) NotifyHost(link.lib, WithDetail(request.failed, sent.reason()));
    return sent;
}

}  // namespace veltrane::cti
