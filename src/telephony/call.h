// Call control: dial, pick up, hang up, redial.
#pragma once

#include <string>

#include "core/library.h"

namespace veltrane::telephony {

void DIAL(Library& lib, const std::string& number);
void PICK_UP(Library& lib, const std::string& number);
void HANG_UP(Library& lib, const std::string& number);
void RE_DIAL(Library& lib);

// subCode "R" dial, "P" pick up, "H" hang up; the number is sent as given.
// True when the request went out; a failure has been told to the host.
bool SendCall(Library& lib, const std::string& subCode, const std::string& number);

}  // namespace veltrane::telephony
