#include "cti/reader.h"

#include <algorithm>
#include <utility>

#include "host/text.h"

namespace veltrane::cti {

namespace {
constexpr std::string_view kLink = "|LINK|";
// A body of up to 1 MiB is completed across reads; a larger declared size is
// taken as a broken header, and its packet handed on with what arrived.
constexpr std::int64_t kMaxBody = 1 << 20;
// Room for the header in front of such a body; more held-back bytes are dropped.
constexpr std::size_t kMaxHeldBack = kMaxBody + 1024;
// "|LINK|" + kind + "|" + result + "|" + size + "|"
constexpr std::size_t kHeaderDelimiters = 5;

std::string_view TrimFront(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    return text;
}

std::size_t DistanceToEnd(std::string_view whole, std::string_view part) {
    return whole.size() - static_cast<std::size_t>(part.data() - whole.data());
}
}  // namespace

void CtiReader::read(std::string_view bytes, PacketSink& sink) {
    waiting_.push_back({std::string(bytes), link_});
    if (handling_) return;  // the read being handled picks these bytes up
    handling_ = true;
    struct Done {
        bool& handling;
        ~Done() { handling = false; }
    } done{handling_};
    while (!waiting_.empty()) {
        const Received next = std::move(waiting_.front());
        waiting_.pop_front();
        handle(next, sink);
    }
}

void CtiReader::reset() {
    heldBack_.clear();
    partialMarker_.clear();
    ++link_;
}

void CtiReader::handle(const Received& received, PacketSink& sink) {
    std::string raw = std::exchange(heldBack_, {});
    raw += received.bytes;
    if (!partialMarker_.empty()) {
        // The marker is only completed by exactly what it lacks.
        std::string joined = std::exchange(partialMarker_, {}) + raw;
        if (joined.starts_with(kLink)) {
            raw = std::move(joined);
        } else if (kLink.starts_with(joined)) {
            partialMarker_ = std::move(joined);  // still short of a whole marker
            return;
        }
    }

    std::string_view buffer = TrimView(raw);
    if (buffer.find(kLink) == std::string_view::npos) {
        keepPartialMarker(raw, received);
        return;
    }
    sink.linkAlive();

    for (int count = 1; buffer.find(kLink) != std::string_view::npos; ++count) {
        FieldReader fields(buffer);
        const std::string packet = fields.next();
        const std::string kind = fields.next();
        const std::string result = fields.next();
        const std::string sizeText = fields.next();
        const std::string_view rest = buffer.substr(buffer.size() - fields.rest().size());
        const std::optional<std::int32_t> size = ParseInt(sizeText);
        const bool laterPacket = buffer.find(kLink, 1) != std::string_view::npos;

        // TCP may cut a packet anywhere: keep a packet that is still arriving
        // and complete it with the next read. Trailing blanks count as arrived.
        const std::string_view tail = std::string_view(raw).substr(buffer.data() - raw.data());
        const bool bodyArriving = size && *size >= 0 && *size <= kMaxBody &&
                                  DistanceToEnd(raw, rest) < static_cast<std::size_t>(*size) &&
                                  rest.find(kLink) == std::string_view::npos;
        const bool headerArriving =
            sizeText.empty() && fields.rest().empty() && !laterPacket &&
            static_cast<std::size_t>(std::count(tail.begin(), tail.end(), '|')) < kHeaderDelimiters &&
            tail.find('\n') == std::string_view::npos;
        if (bodyArriving || headerArriving) {
            holdBack(tail, received, sink);
            return;
        }

        sink.log("REAL DATA[" + std::to_string(count) + "]", buffer);
        if (!size) return;  // the rest of this read is dropped

        const std::size_t bodyLength = *size > 0 ? std::min<std::size_t>(*size, rest.size()) : 0;
        const std::string body = Trim(rest.substr(0, bodyLength));
        std::string logText(buffer);
        logText += "\rMsgPacket:" + packet + "\rMsgKind:" + kind + "\rMsgResult:" + result +
                   "\rMsgSize:" + sizeText + "\rMsgBody:" + body;
        sink.log("PACKET", logText);

        // Resume at byte size + 19, at least past the header just read, then
        // resynchronise on the next "|LINK|".
        const std::size_t consumed = buffer.size() - rest.size();
        const long long cut = std::max<long long>(static_cast<long long>(*size) + 18, static_cast<long long>(consumed));
        buffer = TrimFront(buffer.substr(std::min<std::size_t>(static_cast<std::size_t>(cut), buffer.size())));
        if (const auto next = buffer.find(kLink); next != std::string_view::npos) buffer = buffer.substr(next);

        if (*size < 0) continue;  // a negative size has no body to hand on
        if (Trim(kind) == "CONNCT") continue;  // a link check answer only renews the link
        if (!sink.dispatch(kind, result, body)) return;
    }
    keepPartialMarker(raw, received);
}

void CtiReader::holdBack(std::string_view tail, const Received& received, PacketSink& sink) {
    if (received.link != link_) return;  // the link these bytes came on has closed
    if (tail.size() > kMaxHeldBack) {
        sink.log("PACKET", "held-back packet of " + std::to_string(tail.size()) + " bytes dropped");
        return;
    }
    heldBack_ = tail;
}

// A read that ends in the first bytes of "|LINK|" may be cut inside the
// next packet's marker.
void CtiReader::keepPartialMarker(std::string_view tail, const Received& received) {
    if (received.link != link_) return;
    for (std::size_t length = kLink.size() - 1; length > 0; --length) {
        if (tail.ends_with(kLink.substr(0, length))) {
            partialMarker_ = kLink.substr(0, length);
            return;
        }
    }
}

}  // namespace veltrane::cti
