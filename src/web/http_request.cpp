#include "web/http_request.h"

#include <algorithm>
#include <iterator>

#include "base/text.h"

namespace veltrane::web {

namespace {
constexpr std::string_view kFormType = "application/x-www-form-urlencoded";

constexpr std::string_view kKnownMethods[] = {"GET", "HEAD", "POST", "OPTIONS"};

bool IsKnownMethod(std::string_view method) {
    return std::find(std::begin(kKnownMethods), std::end(kKnownMethods), method) != std::end(kKnownMethods);
}

// HTTP's blanks around a header's value.
std::string_view TrimBlanks(std::string_view text) { return TrimView(text, " \t"); }

// The next line of the head, without its LF or CR LF.
std::string_view NextLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool IsTokenChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 32 && u < 127 && c != ':' && c != '(' && c != ')' && c != '"' && c != '/' && c != '[' &&
           c != ']' && c != '{' && c != '}' && c != ',' && c != ';' && c != '<' && c != '>' && c != '=' &&
           c != '?' && c != '@' && c != '\\';
}

std::string_view TrimLeadingZeros(std::string_view digits) {
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    return digits;
}

// Where the head ends (the index after its blank line), or npos. The search
// starts at `from`, since what came before was searched already.
std::size_t HeadEnd(std::string_view buffer, std::size_t from) {
    for (std::size_t i = buffer.find('\n', from); i != std::string_view::npos; i = buffer.find('\n', i + 1)) {
        if (i + 1 < buffer.size() && buffer[i + 1] == '\n') return i + 2;
        if (i + 2 < buffer.size() && buffer[i + 1] == '\r' && buffer[i + 2] == '\n') return i + 3;
    }
    return std::string_view::npos;
}

bool IsAllowedHostName(std::string_view host) {
    if (host.empty()) return true;  // names nothing, like a missing Host
    const std::optional<HostAndRest> split = SplitHostPort(host);
    if (!split) return false;
    const auto [name, port] = *split;
    if (!port.empty() && (port.front() != ':' || !AllDigits(port.substr(1)) || port.size() > 6)) return false;
    return EqualsIgnoringCase(name, "localhost") || name == "127.0.0.1" || name == "[::1]";
}
}  // namespace

const std::string* HttpRequest::header(std::string_view name) const {
    for (const auto& [headerName, value] : headers)
        if (EqualsIgnoringCase(headerName, name)) return &value;
    return nullptr;
}

HttpRequestParser::Status HttpRequestParser::checkMethod() const {
    const std::string_view text = head_;
    const std::size_t space = text.find(' ');
    if (space != std::string_view::npos)
        return IsKnownMethod(text.substr(0, space)) ? Status::NeedMore : Status::UnknownMethod;
    // Refused as soon as the word begins no known method.
    for (std::string_view known : kKnownMethods)
        if (known.substr(0, text.size()) == text) return Status::NeedMore;
    return Status::UnknownMethod;
}

HttpRequestParser::Status HttpRequestParser::feed(std::string_view bytes) {
    if (status_ != Status::NeedMore) return status_;
    if (!inBody_) {
        // One byte beyond the limit is enough to tell that the head is too large.
        const std::size_t scannedBefore = head_.size();
        const std::size_t taken = std::min(bytes.size(), kMaxHeadBytes + 1 - head_.size());
        head_.append(bytes.substr(0, taken));
        bytes.remove_prefix(taken);
        if ((status_ = checkMethod()) != Status::NeedMore) return status_;
        const std::size_t end = HeadEnd(head_, scannedBefore > 2 ? scannedBefore - 2 : 0);
        if (end == std::string_view::npos) {
            if (head_.size() > kMaxHeadBytes) status_ = Status::HeadTooLarge;
            return status_;
        }
        if (end > kMaxHeadBytes) return status_ = Status::HeadTooLarge;
        const std::string bodyStart = head_.substr(end);
        head_.resize(end);
        if ((status_ = parseHead(head_)) != Status::NeedMore) return status_;
        head_.clear();
        inBody_ = true;
        request_.body = bodyStart.substr(0, bodyLength_);
    }
    const std::size_t missing = bodyLength_ - request_.body.size();
    request_.body.append(bytes.substr(0, std::min(missing, bytes.size())));
    if (request_.body.size() == bodyLength_) status_ = Status::Complete;
    return status_;
}

HttpRequestParser::Status HttpRequestParser::parseHead(std::string_view head) {
    const std::string_view requestLine = NextLine(head);
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t secondSpace = requestLine.find(' ', firstSpace + 1);
    if (firstSpace == std::string_view::npos || secondSpace == std::string_view::npos) return Status::Malformed;
    const std::string_view target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    const std::string_view version = requestLine.substr(secondSpace + 1);
    if (target.empty() || version.substr(0, 5) != "HTTP/" || version.find(' ') != std::string_view::npos)
        return Status::Malformed;
    request_.method = std::string(requestLine.substr(0, firstSpace));
    request_.target = std::string(target);

    while (!head.empty()) {
        const std::string_view line = NextLine(head);
        if (line.empty()) break;  // the blank line that ends the head
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return Status::Malformed;
        const std::string_view name = line.substr(0, colon);
        // Folded lines and blanks before the colon are refused, as they can
        // make two readers see two different requests.
        if (!std::all_of(name.begin(), name.end(), IsTokenChar)) return Status::Malformed;
        request_.headers.emplace_back(std::string(name), std::string(TrimBlanks(line.substr(colon + 1))));
    }

    bool lengthSeen = false;
    for (const auto& [name, value] : request_.headers) {
        if (EqualsIgnoringCase(name, "Transfer-Encoding")) return Status::Malformed;
        if (!EqualsIgnoringCase(name, "Content-Length")) continue;
        if (!AllDigits(value)) return Status::Malformed;
        const std::string_view digits = TrimLeadingZeros(value);
        const std::size_t length = digits.size() > 9 ? kMaxBodyBytes + 1 : std::stoul(std::string(digits));
        if (lengthSeen && length != bodyLength_) return Status::Malformed;
        lengthSeen = true;
        bodyLength_ = length;
    }
    if (bodyLength_ > kMaxBodyBytes) return Status::BodyTooLarge;
    return Status::NeedMore;
}

Parameters RequestParameters(const HttpRequest& request) {
    if (request.method == "POST") {
        const std::string* type = request.header("Content-Type");
        if (type != nullptr) {
            const std::string_view mediaType = TrimBlanks(std::string_view(*type).substr(0, type->find(';')));
            if (EqualsIgnoringCase(mediaType, kFormType)) return ParseFormText(request.body);
        }
    }
    const std::size_t question = request.target.find('?');
    if (question == std::string::npos) return {};
    std::string_view query = std::string_view(request.target).substr(question + 1);
    return ParseFormText(query.substr(0, query.find('#')));
}

std::optional<std::string> RefusedHost(const HttpRequest& request) {
    for (const auto& [name, value] : request.headers)
        if (EqualsIgnoringCase(name, "Host") && !IsAllowedHostName(value)) return value;
    return std::nullopt;
}

}  // namespace veltrane::web
