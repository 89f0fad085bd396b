// The library as a whole: the core's state, the CTI link and the web pages,
// wired to the features. The composition root (the DLL's data module, the
// tests) owns one and hands it its platform.
#pragma once

#include <array>
#include <string>

#include "account/server_packets.h"
#include "core/lifecycle.h"
#include "link/link.h"
#include "telephony/server_packets.h"
#include "web/web.h"

namespace veltrane::session {

class Session final : private StartSteps, private cti::LinkEvents, private web::CallRequests {
public:
    explicit Session(Platform& os);
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Library lib;
    cti::Link link;
    web::Web web;

    // DLL_START with the steps the layers above the core take.
    void start(const std::string& basePath, const std::string& windowTitle);
    // One server packet, as the link hands it up; see DispatchCtiMessage.
    bool dispatch(const std::string& kind, const std::string& result, const std::string& body);

private:
    void hostActed() override;
    void removeLeftoverPages() override;
    void connect() override;
    void connected() override;
    void packet(const std::string& kind, const std::string& result, const std::string& body) override;
    Outcome requestCall(const std::string& number) override;

    account::ServerPackets accountPackets_;
    telephony::ServerPackets telephonyPackets_;
    std::array<cti::ServerPacketHandler*, 2> packetHandlers_;
};

}  // namespace veltrane::session
