// Cuts the bytes received on the CTI link into packets.
//
// The reader sees the link as one byte stream: whatever the cuts between
// reads (one byte at a time included), the same stream gives the same calls
// of the sink.
//   - Bytes before a "|LINK|" are skipped without a trace.
//   - After "|LINK|" come three header fields, each ended by "|": kind,
//     result code and body length; blanks in front of a field are dropped.
//     The three must end within 64 bytes of the marker.
//   - A length of 0 to 1 MiB in decimal digits (blanks around them allowed)
//     decides where the body ends: a "|LINK|" inside a message text is text.
//     The packet is handed on once its whole body has arrived.
//   - A longer length: the body is counted down as it arrives, never kept;
//     the next packet is read as usual.
//   - Any other length (letters, a sign, nothing), or a header that does not
//     end in time: the packet is passed over, and reading resumes right
//     after its "|LINK|", so a packet that follows is found.
// What a packet means is not the reader's business: it knows no kinds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>


namespace veltrane::cti {

// One packet as it arrived. The views are valid during the sink's call only.
struct Frame {
    std::string_view text;    // from "|LINK|" to the end of the body, without blanks around it
    std::string_view kind;    // as received, padding included
    std::string_view result;
    std::string_view length;  // the length field as received
    std::string_view body;    // without blanks around it
};

// What the reader passed over instead of handing on a packet.
struct PassedOver {
    enum class Why {
        NoHeader,          // kind, result and length did not end within kMaxHeader bytes
        LengthNotANumber,
        BodyTooLong,       // the body is counted down, never kept
    };
    Why why;
    std::string_view head;    // "|LINK|" and what followed it, up to the body or the header's limit
    std::string_view length;  // BodyTooLong: the length, without blanks around it
};

// What the reader hands on. Implemented by the link for the DLL, and by
// tests, benchmarks and the simulator. The sink must not reset the reader
// from inside its calls.
class PacketSink {
public:
    virtual ~PacketSink() = default;
    // A read in which at least one packet ended (an oversized one included)
    // calls this once, before that packet is handed on.
    virtual void linkAlive() = 0;
    virtual void packet(const Frame& frame) = 0;
    virtual void passedOver(const PassedOver& what) = 0;
};

class CtiReader {
public:
    static constexpr std::uint64_t kMaxBody = 1 << 20;
    static constexpr std::size_t kMaxHeader = 64;  // after "|LINK|"

    // Handles one read event's bytes.
    void read(std::string_view bytes, PacketSink& sink);
    // The link closed: forgets everything not yet handed on.
    void reset();

private:
    // Hands on or passes over what starts at at_; false when it needs more bytes.
    bool next(PacketSink& sink, bool& alive);

    std::string buffer_;       // bytes not yet taken; at most a packet and one read
    std::size_t at_ = 0;       // where in buffer_ the next step starts
    std::uint64_t skipping_ = 0;  // body bytes of an oversized packet still to come
};

}  // namespace veltrane::cti
