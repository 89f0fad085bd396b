// Signing in and out.
#pragma once

#include <string>

#include "core/library.h"

namespace veltrane::account {

void PC_LOGIN(Library& lib, const std::string& phone, const std::string& loginId, const std::string& password);
void PC_LOGOUT(Library& lib);

// Also the automatic sign-in after a reconnection by the supervision timer.
void SendLogin(Library& lib, const std::string& loginId, const std::string& password);
void SendLogout(Library& lib);

}  // namespace veltrane::account
