#include "net/http.h"

#include <charconv>

#include "base/form_text.h"
#include "base/text.h"

namespace veltrane::tools::net {

namespace {

std::string_view TrimBlanks(std::string_view text) { return veltrane::TrimView(text, " \t\r"); }

// Splits off one line ended by LF (an optional CR before it is dropped).
bool NextLine(std::string_view& text, std::string_view& line) {
    const auto end = text.find('\n');
    if (end == std::string_view::npos) return false;
    line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    text.remove_prefix(end + 1);
    return true;
}

}  // namespace

std::string HttpRequest::header(std::string_view name) const {
    for (const auto& [key, value] : headers)
        if (veltrane::EqualsIgnoringCase(key, name)) return value;
    return {};
}

HttpParse ParseHttpRequest(std::string_view data, HttpRequest& request) {
    request = {};
    std::string_view rest = data;
    std::string_view line;
    if (!NextLine(rest, line)) return HttpParse::Incomplete;
    const auto firstSpace = line.find(' ');
    const auto secondSpace = line.find(' ', firstSpace == std::string_view::npos ? 0 : firstSpace + 1);
    if (firstSpace == std::string_view::npos || secondSpace == std::string_view::npos) return HttpParse::Malformed;
    request.method = std::string(line.substr(0, firstSpace));
    request.target = std::string(line.substr(firstSpace + 1, secondSpace - firstSpace - 1));

    while (true) {
        if (!NextLine(rest, line)) return HttpParse::Incomplete;
        if (line.empty()) break;
        const auto colon = line.find(':');
        if (colon == std::string_view::npos) return HttpParse::Malformed;
        request.headers.emplace_back(std::string(TrimBlanks(line.substr(0, colon))),
                                     std::string(TrimBlanks(line.substr(colon + 1))));
    }

    const std::string lengthText = request.header("Content-Length");
    std::size_t length = 0;
    if (!lengthText.empty()) {
        const auto [end, error] = std::from_chars(lengthText.data(), lengthText.data() + lengthText.size(), length);
        if (error != std::errc() || end != lengthText.data() + lengthText.size()) return HttpParse::Malformed;
    }
    if (rest.size() < length) return HttpParse::Incomplete;
    request.body = std::string(rest.substr(0, length));
    return HttpParse::Complete;
}

std::string FormatHttpRequest(std::string_view method, std::string_view target, std::string_view host,
                              std::string_view body) {
    std::string text;
    text.append(method).append(" ").append(target.empty() ? "/" : target).append(" HTTP/1.1\r\n");
    text.append("Host: ").append(host).append("\r\n");
    text += "Connection: close\r\n";
    if (!body.empty() || method == "POST") {
        text += "Content-Type: application/x-www-form-urlencoded\r\n";
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    text += "\r\n";
    text.append(body);
    return text;
}

std::string StatusLine(std::string_view response) {
    std::string_view line;
    if (!NextLine(response, line)) line = response;
    if (line.substr(0, 5) != "HTTP/") return {};
    return std::string(line);
}

}  // namespace veltrane::tools::net
