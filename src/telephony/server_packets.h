// The server's reports of calls, SMS and recordings.
#pragma once

#include "link/link.h"
#include "link/server_message.h"

namespace veltrane::telephony {

// CALL, SMS, BOOKED and RECORD.
class ServerPackets final : public cti::ServerPacketHandler {
public:
    explicit ServerPackets(cti::Link& link) : link_(link) {}
    Handled handle(const std::string& kind, cti::ServerMessage& message) override;

private:
    cti::Link& link_;
};

}  // namespace veltrane::telephony
