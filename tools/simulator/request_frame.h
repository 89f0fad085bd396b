// The simulator's view of what the library sends: packet lines cut from the
// byte stream for the log, each checked against the packet layout, and the
// body's fields.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace veltrane::tools {

// Fields of a body, each ended by "|"; text after the last "|" is no field.
// Unlike the library's field reader, empty fields are kept in place.
std::vector<std::string> SplitBody(std::string_view body);

struct ReceivedLine {
    std::string text;     // without CR LF
    std::string problem;  // empty when the line is a well-formed packet
};

// Cuts the bytes of one connection into lines. A packet whose header gives
// its body length is cut by that length, so a line end inside a message does
// not split it; a length field that does not match is reported, and the
// line then ends at the next CR LF.
class LineCutter {
public:
    std::vector<ReceivedLine> add(std::string_view bytes);
    // What is left when the connection closes.
    std::string flush();

private:
    std::string buffer_;
};

// What follows the header of a packet line; empty without a readable header.
std::string_view PacketBody(std::string_view line);

// What is wrong with one received line: "" for a well-formed packet, "|LINK|",
// kind padded to 10, one-letter marker, length of at least four digits that
// counts the body's bytes, body ending with "|".
std::string CheckRequestFrame(std::string_view line);

}  // namespace veltrane::tools
