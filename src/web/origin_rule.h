// Which web pages may use the local command server: the service's own pages
// (the origin of the web address the login answer gave, and those listed in
// config.ini) and programs on this PC, which send no browser headers.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "web/ansi_text.h"

namespace veltrane::web {

// The origin of a URL as "scheme://host:port": scheme and host in lower
// case, the port filled in for http (80) and https (443). Empty when the
// text is no absolute URL with a host ("null" included).
std::string OriginOf(std::string_view url);

struct PageOrigins {
    std::vector<std::string> allowed;   // origins, host names in ASCII
    std::vector<std::string> unusable;  // listed texts that name no origin, as written
};

// The origin of the login's web address, then those of `listed`: origins or
// URLs separated by commas or blanks. A host name in Unicode counts in its
// ASCII form, as browsers send it (see idn.h). A listed text counts when it
// is an absolute URL whose host is a name of letters, digits, "-", "_" and
// dots, or an IP address; the others are unusable.
PageOrigins AllowedOrigins(std::string_view webAddress, std::string_view listed, const AnsiToUtf8& toUtf8);

// The headers a browser adds that tell where a request comes from; each is
// absent when the request did not carry it.
struct RequestSource {
    std::optional<std::string> origin;
    std::optional<std::string> referer;
    std::optional<std::string> fetchSite;  // Sec-Fetch-Site
};

struct OriginVerdict {
    bool allowed = true;
    std::string refusal;      // when refused: the header that decided, as "Name:value"
    std::string allowOrigin;  // when allowed by its Origin: that Origin, for the CORS headers
};

// The first of Origin, Referer and Sec-Fetch-Site that the request carries
// decides: an Origin or a Referer must have an allowed origin, a
// Sec-Fetch-Site must be "same-origin" ("none", a link opened from outside
// the browser, a bookmark or a typed address, names no page to judge). A
// request with none of them comes from a program, not a page, and is allowed.
OriginVerdict JudgeOrigin(const RequestSource& source, const std::vector<std::string>& allowed);

}  // namespace veltrane::web
