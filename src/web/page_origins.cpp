#include "web/page_origins.h"

#include "core/log.h"

namespace veltrane::web {

PageOrigins PageOriginsOf(Library& lib) {
    return AllowedOrigins(lib.user.WebPopupUrl, lib.config.WEB_ORIGINS,
                          [&lib](std::string_view text) { return lib.os.system.ansiToUtf8(text); });
}

void LogUnusableOrigins(Library& lib) {
    const PageOrigins origins = PageOriginsOf(lib);
    if (origins.unusable.empty()) return;
    // Entries hold no blanks: they are separated by them.
    std::string names;
    for (const std::string& entry : origins.unusable) names += " " + entry;
    WriteLog(lib, "GET_INI_INFO", "WEB_ORIGINS unusable:" + names);
}

}  // namespace veltrane::web
