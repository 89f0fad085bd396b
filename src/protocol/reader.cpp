#include "protocol/reader.h"

#include <algorithm>
#include <optional>

#include "base/text.h"

namespace veltrane::cti {

namespace {
constexpr std::string_view kLink = "|LINK|";
// Past this a length is only ever counted down; the figure itself no longer matters.
constexpr std::uint64_t kHugeLength = std::uint64_t(1) << 62;

std::string_view DropLeadingBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    return text;
}

// Decimal digits with blanks around them; anything else is no length.
std::optional<std::uint64_t> ParseLength(std::string_view text) {
    text = TrimView(text);
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value >= kHugeLength / 10 ? kHugeLength : value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}
}  // namespace

void CtiReader::read(std::string_view bytes, PacketSink& sink) {
    buffer_.append(bytes);
    int packets = 0;
    for (;;) {
        const Step step = next(sink, packets);
        if (step == Step::Stop) return;  // reset inside a dispatch: nothing is left to keep
        if (step == Step::Wait) break;
    }
    buffer_.erase(0, at_);
    at_ = 0;
    if (buffer_.empty() && buffer_.capacity() > (64u << 10)) buffer_.shrink_to_fit();
}

void CtiReader::reset() {
    buffer_.clear();
    buffer_.shrink_to_fit();
    at_ = 0;
    skipping_ = 0;
    ++resets_;
}

CtiReader::Step CtiReader::next(PacketSink& sink, int& packets) {
    std::string_view rest = std::string_view(buffer_).substr(at_);
    if (skipping_ > 0) {
        const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(skipping_, rest.size()));
        at_ += taken;
        skipping_ -= taken;
        if (skipping_ > 0) return Step::Wait;
        if (++packets == 1) sink.linkAlive();
        return Step::Handled;
    }

    const std::size_t marker = rest.find(kLink);
    if (marker == std::string_view::npos) {
        // Skipped, except the last bytes: they may be the start of a marker.
        at_ += rest.size() - std::min(rest.size(), kLink.size() - 1);
        return Step::Wait;
    }
    at_ += marker;
    rest.remove_prefix(marker);

    const std::string_view header = rest.substr(kLink.size(), kMaxHeader);
    std::size_t ends[3] = {};
    int found = 0;
    for (std::size_t from = 0; found < 3; ++found) {
        const std::size_t end = header.find('|', from);
        if (end == std::string_view::npos) break;
        ends[found] = end;
        from = end + 1;
    }
    if (found < 3) {
        if (rest.size() < kLink.size() + kMaxHeader) return Step::Wait;
        sink.log("PACKET", std::string(rest.substr(0, kLink.size() + kMaxHeader)) +
                               " dropped: no kind, result and length within " + std::to_string(kMaxHeader) +
                               " bytes");
        at_ += kLink.size();
        return Step::Handled;
    }

    const auto field = [&](std::size_t from, std::size_t end) {
        return DropLeadingBlanks(header.substr(from, end - from));
    };
    const std::string_view kind = field(0, ends[0]);
    const std::string_view result = field(ends[0] + 1, ends[1]);
    const std::string_view sizeText = field(ends[1] + 1, ends[2]);
    const std::size_t bodyStart = kLink.size() + ends[2] + 1;
    const std::string_view head = rest.substr(0, bodyStart);

    const std::optional<std::uint64_t> size = ParseLength(sizeText);
    if (!size) {
        sink.log("PACKET", std::string(head) + " dropped: the length is not a number of bytes");
        at_ += kLink.size();  // the bytes after the marker are searched again
        return Step::Handled;
    }
    if (*size > kMaxBody) {
        sink.log("PACKET", std::string(head) + " skipped: a body of " + std::string(TrimView(sizeText)) +
                               " bytes is over " + std::to_string(kMaxBody));
        at_ += bodyStart;
        skipping_ = *size;
        return Step::Handled;
    }
    const std::size_t length = static_cast<std::size_t>(*size);
    if (rest.size() - bodyStart < length) return Step::Wait;

    if (++packets == 1) sink.linkAlive();
    const std::string_view text = TrimView(rest.substr(0, bodyStart + length));
    sink.log("REAL DATA[" + std::to_string(packets) + "]", text);
    // Copies: a dispatch may reset the reader, and with it the buffer.
    const std::string kindText(kind);
    const std::string resultText(result);
    const std::string body = Trim(rest.substr(bodyStart, length));
    sink.log("PACKET", LogText({text, "MsgPacket:LINK", "MsgKind:" + kindText, "MsgResult:" + resultText,
                                "MsgSize:" + std::string(sizeText), "MsgBody:" + body},
                               "\r"));
    at_ += bodyStart + length;

    if (Trim(kindText) == "CONNCT") return Step::Handled;  // a link check answer only renews the link
    const std::uint64_t resets = resets_;
    sink.dispatch(kindText, resultText, body);
    return resets_ == resets ? Step::Handled : Step::Stop;
}

}  // namespace veltrane::cti
