#include "cti/reader.h"

#include <algorithm>
#include <utility>

#include "host/text.h"

namespace veltrane::cti {

namespace {
constexpr std::string_view kLink = "|LINK|";
// A packet of up to 1 MiB of body is completed across reads; more is dropped.
constexpr std::size_t kMaxHeldBack = (1u << 20) + 1024;

std::string_view TrimFront(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    return text;
}
}  // namespace

void CtiReader::read(std::string_view bytes, PacketSink& sink) {
    waiting_.append(bytes);
    if (handling_) return;  // the read being handled picks these bytes up
    handling_ = true;
    try {
        while (!waiting_.empty()) handle(std::exchange(waiting_, {}), sink);
    } catch (...) {
        handling_ = false;
        throw;
    }
    handling_ = false;
}

void CtiReader::reset() {
    heldBack_.clear();
    waiting_.clear();
}

void CtiReader::handle(std::string data, PacketSink& sink) {
    const std::string raw = heldBack_.empty() ? std::move(data) : heldBack_ + data;
    heldBack_.clear();

    std::string_view buffer = TrimView(raw);
    if (buffer.empty() || buffer.find(kLink) == std::string_view::npos) return;
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

        // TCP may cut a packet anywhere: keep a tail that is still arriving
        // and complete it with the next read.
        const bool bodyArriving = size && *size >= 0 && rest.size() < static_cast<std::size_t>(*size) &&
                                  rest.find(kLink) == std::string_view::npos;
        const std::string_view tail = std::string_view(raw).substr(buffer.data() - raw.data());
        const bool headerArriving = sizeText.empty() && fields.rest().empty() && !laterPacket &&
                                    tail.find('\n') == std::string_view::npos;
        if (bodyArriving || headerArriving) {
            if (tail.size() <= kMaxHeldBack) {
                heldBack_ = std::string(tail);
            } else {
                sink.log("PACKET", "held-back packet of " + std::to_string(tail.size()) + " bytes dropped");
            }
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
}

}  // namespace veltrane::cti
