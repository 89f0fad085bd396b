// The service's web pages, opened in a browser window by a form post.
#pragma once

#include <string>

#include "web/form_page.h"
#include "web/web.h"

namespace veltrane::web {

// The log label of a page code ("CL", "SL", "AL", "MA", "CS", "SS", "SI");
// empty for others, which are posted all the same.
std::string PageLabel(const std::string& code);

// "KIND=...&PHONE_NO=...&GUEST_PHONE=...&SMS_MSG=..." with the values as
// given, except that "%", "&" and "+" are escaped so that they arrive as sent.
std::string PopupFormBody(const PopupFields& fields);

void WEB_REQUEST(Web& web, const std::string& code, const std::string& phoneNo, const std::string& guestPhone,
                 const std::string& message);

// Posts the form to `url` in a browser: Internet Explorer's automation, or
// the user's default browser, or the one after the other, as WEB_BROWSER
// says. Failures are only logged.
void PostPopupForm(Web& web, const std::string& url, const PopupFields& fields);

}  // namespace veltrane::web
