// The text of a host event: subject, result ("success" or "fail"), then the
// details, every field ending in "|". An empty detail is an empty field, so
// "call|success|0212|0101|calling|S||" has seven fields, the last one empty.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace veltrane {

std::string HostEvent(std::string_view subject, std::string_view result,
                      std::initializer_list<std::string_view> details = {});

// The event with one more detail at its end.
std::string WithDetail(std::string event, std::string_view detail);

// The line both deliveries carry: "|SMSG|" + the trimmed event, in which a
// NUL, CR or LF (a server's text may hold them) becomes a blank, so that the
// host reads one whole line, the same through its callback (which stops at a
// NUL) and its window. Empty when the event is blank.
std::string HostEventLine(std::string_view event);

}  // namespace veltrane
