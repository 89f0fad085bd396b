// Cuts the bytes received on the CTI link into packets.
#pragma once

#include <cstdint>
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
    // Forgets held-back and waiting bytes; called when the link closes.
    void reset();

private:
    void handle(std::string data, PacketSink& sink);

    std::string heldBack_;   // a packet whose body has not fully arrived
    std::string waiting_;    // reads that arrived during handling
    bool handling_ = false;
};

}  // namespace veltrane::cti
