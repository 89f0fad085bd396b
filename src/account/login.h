// Signing in and out.
#pragma once

#include <string>

#include "link/link.h"

namespace veltrane::account {

void PC_LOGIN(cti::Link& link, const std::string& phone, const std::string& loginId, const std::string& password);
void PC_LOGOUT(cti::Link& link);

// Also the automatic sign-in on every new connection while signed in.
void SendLogin(cti::Link& link, const std::string& loginId, const std::string& password);
void SendLogout(cti::Link& link);

}  // namespace veltrane::account
