#include "protocol/reader.h"

#include <algorithm>
#include <optional>

#include "base/text.h"

namespace veltrane::cti {

namespace {
constexpr std::string_view kLink = "|LINK|";
// Past this a length is only ever counted down; the figure itself no longer matters.
constexpr std::uint64_t kHugeLength = std::uint64_t(1) << 62;

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

void PacketEnded(PacketSink& sink, bool& alive) {
    if (!alive) sink.linkAlive();
    alive = true;
}
}  // namespace

void CtiReader::read(std::string_view bytes, PacketSink& sink) {
    buffer_.append(bytes);
    bool alive = false;
    while (next(sink, alive)) {
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
}

bool CtiReader::next(PacketSink& sink, bool& alive) {
    std::string_view rest = std::string_view(buffer_).substr(at_);
    if (skipping_ > 0) {
        const std::size_t taken = static_cast<std::size_t>(std::min<std::uint64_t>(skipping_, rest.size()));
        at_ += taken;
        skipping_ -= taken;
        if (skipping_ > 0) return false;
        PacketEnded(sink, alive);
        return true;
    }

    const std::size_t marker = rest.find(kLink);
    if (marker == std::string_view::npos) {
        // Skipped, except the last bytes: they may be the start of a marker.
        at_ += rest.size() - std::min(rest.size(), kLink.size() - 1);
        return false;
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
        if (rest.size() < kLink.size() + kMaxHeader) return false;
        sink.passedOver({PassedOver::Why::NoHeader, rest.substr(0, kLink.size() + kMaxHeader), {}});
        at_ += kLink.size();
        return true;
    }

    const auto field = [&](std::size_t from, std::size_t end) {
        return TrimStartView(header.substr(from, end - from));
    };
    Frame frame;
    frame.kind = field(0, ends[0]);
    frame.result = field(ends[0] + 1, ends[1]);
    frame.length = field(ends[1] + 1, ends[2]);
    const std::size_t bodyStart = kLink.size() + ends[2] + 1;
    const std::string_view head = rest.substr(0, bodyStart);

    const std::optional<std::uint64_t> size = ParseLength(frame.length);
    if (!size) {
        sink.passedOver({PassedOver::Why::LengthNotANumber, head, {}});
        at_ += kLink.size();  // the bytes after the marker are searched again
        return true;
    }
    if (*size > kMaxBody) {
        sink.passedOver({PassedOver::Why::BodyTooLong, head, TrimView(frame.length)});
        at_ += bodyStart;
        skipping_ = *size;
        return true;
    }
    const std::size_t length = static_cast<std::size_t>(*size);
    if (rest.size() - bodyStart < length) return false;

    PacketEnded(sink, alive);
    frame.text = TrimView(rest.substr(0, bodyStart + length));
    frame.body = TrimView(rest.substr(bodyStart, length));
    at_ += bodyStart + length;
    sink.packet(frame);
    return true;
}

}  // namespace veltrane::cti
