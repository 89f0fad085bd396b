// One HTTP/1.1 request as the local command server reads it, taken apart by
// an incremental parser that is fed bytes as they arrive.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/form_text.h"

namespace veltrane::web {

inline constexpr std::size_t kMaxHeadBytes = 8 * 1024;
inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;

struct HttpRequest {
    std::string method;  // "GET", "HEAD", "POST" or "OPTIONS"
    std::string target;  // as sent: path and query
    std::vector<std::pair<std::string, std::string>> headers;  // values without surrounding blanks
    std::string body;    // exactly Content-Length bytes

    // The first header of that name (any case), or null.
    const std::string* header(std::string_view name) const;
};

class HttpRequestParser {
public:
    enum class Status {
        NeedMore,       // the head or the declared body is not complete yet
        Complete,       // request() holds the request; later bytes are ignored
        UnknownMethod,  // not GET, HEAD, POST or OPTIONS: closed without an answer
        HeadTooLarge,   // more than kMaxHeadBytes before the blank line
        BodyTooLarge,   // Content-Length above kMaxBodyBytes
        Malformed,      // not a request line, a bad header or Content-Length, or a transfer coding
    };

    // Takes the next bytes and returns the status after them. Once the status
    // is no longer NeedMore it stays as it is.
    Status feed(std::string_view bytes);
    Status status() const { return status_; }
    const HttpRequest& request() const { return request_; }

private:
    Status checkMethod() const;
    Status parseHead(std::string_view head);

    Status status_ = Status::NeedMore;
    bool inBody_ = false;
    std::string head_;
    std::size_t bodyLength_ = 0;
    HttpRequest request_;
};

// The request's parameters: from a POST body sent as
// application/x-www-form-urlencoded (media type compared without case,
// parameters such as a charset ignored), otherwise from the query string.
Parameters RequestParameters(const HttpRequest& request);

// The first Host header that names anything but this machine (localhost,
// 127.0.0.1 or [::1], with or without a port); nothing when all do or there
// is none. Refusing other names keeps out pages of other sites whose names
// were made to point here (DNS rebinding).
std::optional<std::string> RefusedHost(const HttpRequest& request);

}  // namespace veltrane::web
