// Call control: dial, pick up, hang up, redial.
#pragma once

#include <string>

#include "link/link.h"

namespace veltrane::telephony {

void DIAL(cti::Link& link, const std::string& number);
void PICK_UP(cti::Link& link, const std::string& number);
void HANG_UP(cti::Link& link, const std::string& number);
void RE_DIAL(cti::Link& link);

// subCode "R" dial, "P" pick up, "H" hang up; the number is sent as given.
// False when it did not go out; the host has been told why.
bool SendCall(cti::Link& link, const std::string& subCode, const std::string& number);

}  // namespace veltrane::telephony
