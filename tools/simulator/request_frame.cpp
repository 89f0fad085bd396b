#include "simulator/request_frame.h"

#include <optional>

namespace veltrane::tools {

namespace {

constexpr std::string_view kLink = "|LINK|";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kLengthAt = 19;  // first digit of the length field
// Beyond this a length field is not trusted to frame the line.
constexpr std::size_t kLargestFramedBody = 1 << 16;

struct Header {
    std::size_t size = 0;       // bytes up to and including the "|" after the length
    std::size_t bodyLength = 0;  // as the length field says
};

// The fixed header "|LINK|" + 10 + "|" + 1 + "|" + digits + "|"; nullopt when
// `text` does not (yet) start with one.
std::optional<Header> ReadHeader(std::string_view text) {
    if (text.size() <= kLengthAt || text.substr(0, kLink.size()) != kLink || text[16] != '|' || text[18] != '|')
        return std::nullopt;
    std::size_t at = kLengthAt;
    std::size_t length = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - kLengthAt < 9)
        length = length * 10 + static_cast<std::size_t>(text[at++] - '0');
    if (at == kLengthAt || at >= text.size() || text[at] != '|') return std::nullopt;
    return Header{at + 1, length};
}

}  // namespace

std::vector<std::string> SplitBody(std::string_view body) {
    std::vector<std::string> fields;
    for (auto end = body.find('|'); end != std::string_view::npos; end = body.find('|')) {
        fields.emplace_back(body.substr(0, end));
        body.remove_prefix(end + 1);
    }
    return fields;
}

std::vector<ReceivedLine> LineCutter::add(std::string_view bytes) {
    buffer_.append(bytes);
    std::vector<ReceivedLine> lines;
    while (true) {
        const std::string_view text = buffer_;
        auto header = ReadHeader(text);
        if (header && header->bodyLength > kLargestFramedBody) header.reset();
        const std::size_t framedEnd = header ? header->size + header->bodyLength : 0;
        std::size_t lineEnd = std::string_view::npos;
        std::size_t endLength = kLineEnd.size();
        std::string problem;
        if (header && text.size() >= framedEnd + kLink.size() && text.substr(framedEnd, kLink.size()) == kLink) {
            // The next packet follows without a line end.
            lineEnd = framedEnd;
            endLength = 0;
            problem = "no CR LF after the packet";
        } else if (header && text.size() >= framedEnd + kLineEnd.size()) {
            lineEnd = text.substr(framedEnd, kLineEnd.size()) == kLineEnd ? framedEnd : text.find(kLineEnd, header->size);
        } else if (!header) {
            lineEnd = text.find(kLineEnd);
        }
        // A framed packet still arriving waits for its length, line ends or not.
        if (lineEnd == std::string_view::npos) break;
        ReceivedLine line{std::string(text.substr(0, lineEnd)), {}};
        buffer_.erase(0, lineEnd + endLength);
        if (line.text.empty()) continue;
        line.problem = problem.empty() ? CheckRequestFrame(line.text) : problem;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string LineCutter::flush() {
    std::string rest;
    rest.swap(buffer_);
    return rest;
}

std::string_view PacketBody(std::string_view line) {
    const auto header = ReadHeader(line);
    return header ? line.substr(header->size) : std::string_view();
}

std::string CheckRequestFrame(std::string_view line) {
    if (line.substr(0, kLink.size()) != kLink) return "does not start with |LINK|";
    const auto header = ReadHeader(line);
    if (!header) return "header is not |LINK| + kind of 10 + | + marker + | + length + |";
    const std::string_view kind = line.substr(6, 10);
    if (kind.front() == ' ' || kind.find('|') != std::string_view::npos) return "kind is not left-aligned in 10 bytes";
    if (header->size - 1 - kLengthAt < 4) return "length field has fewer than four digits";
    const std::size_t bodyBytes = line.size() - header->size;
    if (bodyBytes != header->bodyLength)
        return "length field says " + std::to_string(header->bodyLength) + " but the body has " +
               std::to_string(bodyBytes) + " bytes";
    if (bodyBytes == 0 || line.back() != '|') return "body does not end with |";
    return {};
}

}  // namespace veltrane::tools
