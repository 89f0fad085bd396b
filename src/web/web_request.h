// The service's web pages, opened in a browser window by a form post.
#pragma once

#include <string>

#include "host/library.h"

namespace veltrane::web {

// The log label of a page code ("CL", "SL", "AL", "MA", "CS", "SS", "SI");
// empty for others, which are posted all the same.
std::string PageLabel(const std::string& code);

// "KIND=...&PHONE_NO=...&GUEST_PHONE=...&SMS_MSG=..." with the values as
// given, except that "%", "&" and "+" are escaped so that they arrive as sent.
std::string PopupFormBody(const std::string& code, const std::string& phoneNo, const std::string& guestPhone,
                          const std::string& message);

void WEB_REQUEST(Library& lib, const std::string& code, const std::string& phoneNo, const std::string& guestPhone,
                 const std::string& message);

// Opens a browser window that posts `body` to `url`. Failures are only logged.
void PostPopupForm(Library& lib, const std::string& url, const std::string& body);

}  // namespace veltrane::web
