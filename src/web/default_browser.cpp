#include "web/default_browser.h"

#include "core/log.h"
#include "base/text.h"
#include "base/form_text.h"

namespace veltrane::web {

namespace {
constexpr char kLogName[] = "POPUP_DEFAULT_BROWSER";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

// The page runs a script in the user's browser; it may only ever send the
// form to a web server, never run an address such as "javascript:".
bool IsWebAddress(std::string_view url) {
    return StartsWithIgnoringCase(url, "http://") || StartsWithIgnoringCase(url, "https://");
}

Outcome Fail(Library& lib, const std::string& reason) {
    WriteLog(lib, kLogName, "Except:" + reason);
    return Outcome::Failure(reason);
}
}  // namespace

BrowserWay ParseBrowserWay(std::string_view setting) {
    const std::string_view way = TrimView(setting);
    if (EqualsIgnoringCase(way, "DEFAULT_BROWSER")) return BrowserWay::DefaultBrowserOnly;
    if (EqualsIgnoringCase(way, "IE_ONLY")) return BrowserWay::IeOnly;
    return BrowserWay::IeFirst;
}

Outcome OpenInDefaultBrowser(Web& web, const std::string& url, const PopupFields& fields) {
    Library& lib = web.lib;
    if (!IsWebAddress(url)) return Fail(lib, "not a web address");
    DefaultBrowser& browser = lib.os.defaultBrowser;
    const std::string name = PageFileName(browser.uniqueNumber());
    if (const Outcome written = browser.writePage(name, FormPage(url, fields, browser.ansiCodePage())); !written)
        return Fail(lib, name + " not written: " + written.reason());
    if (const Outcome opened = browser.openPage(name); !opened) {
        browser.removePage(name);
        return Fail(lib, name + " not opened: " + opened.reason());
    }
    web.pendingPages.push_back({name, kPageCleanupTicks});
    if (!lib.os.pageCleanup.active()) lib.os.pageCleanup.start(kPageCleanupIntervalMs);
    WriteLog(lib, kLogName, "END:" + name);
    return {};
}

void PageCleanupTimer(Web& web) {
    Library& lib = web.lib;
    auto& pages = web.pendingPages;
    for (auto page = pages.begin(); page != pages.end();) {
        if (--page->ticksLeft > 0) {
            ++page;
            continue;
        }
        lib.os.defaultBrowser.removePage(page->name);
        page = pages.erase(page);
    }
    if (pages.empty()) lib.os.pageCleanup.stop();
}

void RemovePageFiles(Web& web) {
    Library& lib = web.lib;
    lib.os.pageCleanup.stop();
    for (const PendingPage& page : web.pendingPages) lib.os.defaultBrowser.removePage(page.name);
    web.pendingPages.clear();
    constexpr std::int32_t kLongestLifeSeconds = kPageCleanupIntervalMs / 1000 * kPageCleanupTicks;
    lib.os.defaultBrowser.removePages(kPageFilePattern, kLongestLifeSeconds);
}

}  // namespace veltrane::web
