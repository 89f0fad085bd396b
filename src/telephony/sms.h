// Instant and booked SMS, and the acknowledgement of a received one.
#pragma once

#include <string>

#include "link/link.h"

namespace veltrane::telephony {

void SMS_INSTANT(cti::Link& link, const std::string& calledNo, const std::string& message);
void SMS_BOOKED(cti::Link& link, const std::string& calledNo, const std::string& message, const std::string& sendTime);

// An empty send time makes an instant "SMS", any other a "BOOKED" request.
void SendSms(cti::Link& link, const std::string& calledNo, const std::string& message, const std::string& sendTime);
void SendSmsAck(cti::Link& link, const std::string& sender);

}  // namespace veltrane::telephony
