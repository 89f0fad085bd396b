// The server's reports of calls, SMS and recordings.
#pragma once

#include "link/link.h"
#include "protocol/server_packets.h"

namespace veltrane::telephony {

void OnCall(cti::Link& link, const cti::CallReport& report);
void OnSms(cti::Link& link, const cti::SmsReport& report);
void OnBooked(cti::Link& link, const cti::SmsReport& report);
void OnRecord(cti::Link& link, const cti::Answer& answer);

}  // namespace veltrane::telephony
