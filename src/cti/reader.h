// Cuts the bytes received on the CTI link into packets.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace veltrane::cti {

// What the reader hands on. Implemented by the link for the DLL, and by
// tests and benchmarks.
class PacketSink {
public:
    virtual ~PacketSink() = default;
    // A read that holds "|LINK|" renews the link's silence moment, once.
    virtual void linkAlive() = 0;
    virtual void log(std::string_view name, std::string_view text) = 0;
    // One packet; false stops the handling of the rest of this read.
    virtual bool dispatch(const std::string& kind, const std::string& result, const std::string& body) = 0;
};

class CtiReader {
public:
    // Handles one read event's bytes. A read that arrives while an earlier
    // one is still being handled (a handler let the message loop run) waits
    // until that one is done, so packets are handed on in arrival order.
    void read(std::string_view bytes, PacketSink& sink);
    // The link closed: forgets held-back bytes. Reads received before the
    // close are still handled, but nothing of them is kept for the next link.
    void reset();

private:
    struct Received {
        std::string bytes;
        std::uint64_t link;  // the connection they arrived on
    };

    void handle(const Received& received, PacketSink& sink);
    void holdBack(std::string_view tail, const Received& received, PacketSink& sink);
    void keepPartialMarker(std::string_view tail, const Received& received);

    std::string heldBack_;       // a packet whose header or body has not fully arrived
    std::string partialMarker_;  // a read ended inside "|LINK|"
    std::deque<Received> waiting_;
    std::uint64_t link_ = 0;     // counts resets
    bool handling_ = false;
};

}  // namespace veltrane::cti
