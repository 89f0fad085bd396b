// The user's default browser: page files in the user's temporary folder,
// opened through the shell.
#pragma once

#include <string>

#include "platform/platform.h"

namespace veltrane::win32 {

class ShellDefaultBrowser final : public DefaultBrowser {
public:
    ShellDefaultBrowser();
    unsigned ansiCodePage() override;
    std::uint64_t uniqueNumber() override;
    // The file gets a protected DACL that lets the current user alone in:
    // it holds phone numbers and message text.
    Outcome writePage(const std::string& name, std::string_view bytes) override;
    // ShellExecuteW with the "open" verb: the browser the user chose for
    // HTML files.
    Outcome openPage(const std::string& name) override;
    void removePage(const std::string& name) override;
    void removePages(const std::string& pattern, std::int32_t minimumAgeSeconds) override;

private:
    std::uint32_t next_;
};

}  // namespace veltrane::win32
