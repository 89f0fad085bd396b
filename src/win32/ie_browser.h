// The system browser window of the service's pages, driven through the
// InternetExplorer automation object.
#pragma once

#include <string>

#include "platform/platform.h"

namespace veltrane::win32 {

class IeBrowser : public Browser {
public:
    // Takes a running browser, else starts one; hides its bars, sizes it to
    // 830 x 730, posts `body` to `url` as a form and shows it. Needs COM on
    // the calling thread. A browser started here whose setup fails is closed
    // again, so that no invisible browser process stays behind.
    bool post(const std::string& url, const std::string& body) override;
};

}  // namespace veltrane::win32
