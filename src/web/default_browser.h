// The second way WEB_REQUEST opens a page: the user's default browser, given
// a page file that posts the form, for PCs where Internet Explorer's
// automation is missing or broken.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "web/form_page.h"
#include "web/web.h"

namespace veltrane::web {

// config.ini [Connect] WEB_BROWSER: "IE_FIRST" (also when empty or unknown),
// "DEFAULT_BROWSER" or "IE_ONLY"; blanks around it and letter case do not
// matter.
enum class BrowserWay { IeFirst, DefaultBrowserOnly, IeOnly };
BrowserWay ParseBrowserWay(std::string_view setting);

// A page file is deleted on the tick of the page cleanup timer that comes
// kPageCleanupTicks ticks after it was opened: 60 to 75 seconds later,
// time enough for the browser to load it.
inline constexpr std::int32_t kPageCleanupIntervalMs = 15000;
inline constexpr int kPageCleanupTicks = 5;

// Writes the page that posts `fields` to `url`, hands it to the shell and
// keeps it for the cleanup timer; logs "POPUP_DEFAULT_BROWSER" with how it
// ended. Only http and https addresses are opened this way. Succeeds when
// the shell took the page.
Outcome OpenInDefaultBrowser(Web& web, const std::string& url, const PopupFields& fields);

// The page cleanup timer's tick.
void PageCleanupTimer(Web& web);

// Removes this process's page files, and those that other processes left
// behind (older than any page lives: their process is gone); DLL_START
// calls it. Pages of other processes still running are theirs to delete.
void RemovePageFiles(Web& web);

}  // namespace veltrane::web
