// Instant and booked SMS, and the acknowledgement of a received one.
#pragma once

#include <string>

#include "core/library.h"

namespace veltrane::telephony {

void SMS_INSTANT(Library& lib, const std::string& calledNo, const std::string& message);
void SMS_BOOKED(Library& lib, const std::string& calledNo, const std::string& message, const std::string& sendTime);

// An empty send time makes an instant "SMS", any other a "BOOKED" request.
void SendSms(Library& lib, const std::string& calledNo, const std::string& message, const std::string& sendTime);
void SendSmsAck(Library& lib, const std::string& sender);

}  // namespace veltrane::telephony
