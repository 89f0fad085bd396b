// Cuts the bytes received on the CTI link into packets.
//
// The reader sees the link as one byte stream: whatever the cuts between
// reads (one byte at a time included), the same stream gives the same
// packets and log lines.
//   - Bytes before a "|LINK|" are skipped without a trace.
//   - After "|LINK|" come three header fields, each ended by "|": kind,
//     result code and body length; blanks in front of a field are dropped.
//     The three must end within 64 bytes of the marker.
//   - A length of 0 to 1 MiB in decimal digits (blanks around them allowed)
//     decides where the body ends: a "|LINK|" inside a message text is text.
//     The packet is handed on once its whole body has arrived.
//   - A longer length: the body is counted down as it arrives, never kept,
//     and one log line says so; the next packet is read as usual.
//   - Any other length (letters, a sign, nothing), or a header that does not
//     end in time: the packet is dropped with one log line, and reading
//     resumes right after its "|LINK|", so a packet that follows is found.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/log_text.h"

namespace veltrane::cti {

// What the reader hands on. Implemented by the link for the DLL, and by
// tests, benchmarks and the simulator.
class PacketSink {
public:
    virtual ~PacketSink() = default;
    // A read in which at least one packet ended renews the link's silence
    // moment, once, before that packet is handed on.
    virtual void linkAlive() = 0;
    virtual void log(std::string_view name, const LogText& text) = 0;
    // One packet: kind as received (padded), result code, trimmed body.
    virtual void dispatch(const std::string& kind, const std::string& result, const std::string& body) = 0;
};

class CtiReader {
public:
    static constexpr std::uint64_t kMaxBody = 1 << 20;
    static constexpr std::size_t kMaxHeader = 64;  // after "|LINK|"

    // Handles one read event's bytes.
    void read(std::string_view bytes, PacketSink& sink);
    // The link closed: forgets everything not yet handed on. Called from
    // inside a dispatch (the host reconnected from its callback), it also
    // ends the read in progress: the rest belongs to the closed link.
    void reset();

private:
    enum class Step { Handled, Wait, Stop };
    Step next(PacketSink& sink, int& packets);

    std::string buffer_;       // bytes not yet taken; at most a packet and one read
    std::size_t at_ = 0;       // where in buffer_ the next step starts
    std::uint64_t skipping_ = 0;  // body bytes of an oversized packet still to come
    std::uint64_t resets_ = 0;
};

}  // namespace veltrane::cti
