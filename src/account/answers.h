// The server's answers to registration, certification, login and logout.
#pragma once

#include "link/link.h"
#include "protocol/server_packets.h"

namespace veltrane::account {

void OnNumber(cti::Link& link, const cti::Answer& answer);
void OnCertify(cti::Link& link, const cti::Answer& answer);
void OnLogin(cti::Link& link, const cti::LoginAnswer& answer);
void OnLogout(cti::Link& link, const cti::Answer& answer);

}  // namespace veltrane::account
