// Answers the library's requests the way a CTI server does, for tests that
// run whole sessions against the fake server.
#pragma once

#include <string>

namespace veltrane::wine {

// Web address the LOGIN answer carries.
inline constexpr const char* kWebAddress = "http://127.0.0.1:8080/crm";

// The bytes a CTI server writes back for one request line (CR LF removed):
// NUMBER gets code 1 then code 2, CERTIFY, LOGIN, LOGOUT, RECORD, SMS and
// BOOKED a success, a dial the progress 1 and 2, a pick-up 2, a hang-up 3.
// An SMS acknowledgement gets nothing.
std::string AnswerLikeACtiServer(const std::string& request);

}  // namespace veltrane::wine
