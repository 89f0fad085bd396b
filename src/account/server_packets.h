// The server's answers to registration, certification, login and logout.
#pragma once

#include "link/link.h"
#include "link/server_message.h"

namespace veltrane::account {

// NUMBER, CERTIFY, LOGIN and LOGOUT.
class ServerPackets final : public cti::ServerPacketHandler {
public:
    explicit ServerPackets(cti::Link& link) : link_(link) {}
    Handled handle(const std::string& kind, cti::ServerMessage& message) override;

private:
    cti::Link& link_;
};

}  // namespace veltrane::account
