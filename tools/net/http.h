// Just enough HTTP/1.1 for the tools: the simulator receives the library's
// form posts, the console sends requests to the library's command server.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltrane::tools::net {

struct HttpRequest {
    std::string method;
    std::string target;  // path and query as sent
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;

    // First header of that name, compared without regard to case; "" if none.
    std::string header(std::string_view name) const;
};

enum class HttpParse { Complete, Incomplete, Malformed };

// Reads one request from the start of `data`: its head up to the blank line,
// then Content-Length bytes of body.
HttpParse ParseHttpRequest(std::string_view data, HttpRequest& request);

// A request with Host and "Connection: close"; a body goes with
// Content-Type application/x-www-form-urlencoded and its length.
std::string FormatHttpRequest(std::string_view method, std::string_view target, std::string_view host,
                              std::string_view body);

// The status line of a response ("HTTP/1.1 200 OK"), empty when there is none.
std::string StatusLine(std::string_view response);

}  // namespace veltrane::tools::net
