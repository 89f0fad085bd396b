#include "web/origin_rule.h"

#include <algorithm>

#include "base/text.h"
#include "web/idn.h"

namespace veltrane::web {

namespace {
bool IsSchemeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
           c == '.';
}

std::string DefaultPort(const std::string& scheme) {
    if (scheme == "http") return "80";
    if (scheme == "https") return "443";
    return {};
}

struct OriginParts {
    std::string scheme;  // lower case
    std::string host;    // ASCII letters in lower case, other bytes as they are
    std::string port;    // filled in for http and https; may stay empty
};

std::optional<OriginParts> ParseOrigin(std::string_view url) {
    const std::size_t colon = url.find("://");
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    const std::string_view scheme = url.substr(0, colon);
    if (!std::all_of(scheme.begin(), scheme.end(), IsSchemeChar)) return std::nullopt;
    std::string_view authority = url.substr(colon + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);

    const std::optional<HostAndRest> split = SplitHostPort(authority);
    if (!split) return std::nullopt;
    const std::string_view host = split->host;
    std::string_view port = split->rest;
    if (!port.empty()) {
        if (port.front() != ':') return std::nullopt;  // "[::1]x"
        port.remove_prefix(1);
        if (!port.empty() && !AllDigits(port)) return std::nullopt;
        while (port.size() > 1 && port.front() == '0') port.remove_prefix(1);
    }
    if (host.empty() || host.find_first_of(" \t\r\n") != std::string_view::npos) return std::nullopt;

    OriginParts parts{AsciiLower(scheme), AsciiLower(host), std::string(port)};
    if (parts.port.empty()) parts.port = DefaultPort(parts.scheme);
    return parts;
}

std::string Assembled(const OriginParts& parts) {
    std::string origin = parts.scheme + "://" + parts.host;
    if (!parts.port.empty()) origin += ":" + parts.port;
    return origin;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The origin a listed text names, its host in ASCII; nothing when none.
std::optional<std::string> ListedOrigin(std::string_view text, const AnsiToUtf8& toUtf8) {
    std::optional<std::string> url = std::string(text);
    if (!IsAscii(text)) url = toUtf8(text);
    if (!url) return std::nullopt;
    std::optional<OriginParts> parts = ParseOrigin(*url);
    if (!parts || parts->port.size() > 5 || (!parts->port.empty() && std::stoul(parts->port) > 65535))
        return std::nullopt;
    std::optional<std::string> host = AsciiHostName(parts->host);
    if (!host) return std::nullopt;
    parts->host = std::move(*host);
    return Assembled(*parts);
}
}  // namespace

std::string OriginOf(std::string_view url) {
    const std::optional<OriginParts> parts = ParseOrigin(url);
    return parts ? Assembled(*parts) : std::string();
}

PageOrigins AllowedOrigins(std::string_view webAddress, std::string_view listed, const AnsiToUtf8& toUtf8) {
    PageOrigins origins;
    if (std::optional<std::string> origin = ListedOrigin(webAddress, toUtf8)) origins.allowed.push_back(std::move(*origin));
    constexpr std::string_view kSeparators = ", \t";
    while (!listed.empty()) {
        const std::size_t start = listed.find_first_not_of(kSeparators);
        if (start == std::string_view::npos) break;
        listed.remove_prefix(start);
        const std::size_t end = listed.find_first_of(kSeparators);
        const std::string_view text = listed.substr(0, end);
        if (std::optional<std::string> origin = ListedOrigin(text, toUtf8))
            origins.allowed.push_back(std::move(*origin));
        else
            origins.unusable.emplace_back(text);
        listed.remove_prefix(end == std::string_view::npos ? listed.size() : end);
    }
    return origins;
}

OriginVerdict JudgeOrigin(const RequestSource& source, const std::vector<std::string>& allowed) {
    const auto isAllowed = [&](std::string_view url) {
        const std::string origin = OriginOf(url);
        return !origin.empty() && std::find(allowed.begin(), allowed.end(), origin) != allowed.end();
    };
    OriginVerdict verdict;
    if (source.origin) {
        if (isAllowed(*source.origin)) {
            verdict.allowOrigin = *source.origin;
        } else {
            verdict.allowed = false;
            verdict.refusal = "Origin:" + *source.origin;
        }
    } else if (source.referer) {
        if (!isAllowed(*source.referer)) {
            verdict.allowed = false;
            verdict.refusal = "Referer:" + *source.referer;
        }
    } else if (source.fetchSite && *source.fetchSite != "same-origin") {
        verdict.allowed = false;
        verdict.refusal = "Sec-Fetch-Site:" + *source.fetchSite;
    }
    return verdict;
}

}  // namespace veltrane::web
