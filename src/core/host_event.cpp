#include "core/host_event.h"

#include "base/text.h"

namespace veltrane {

std::string HostEvent(std::string_view subject, std::string_view result,
                      std::initializer_list<std::string_view> details) {
    std::string event;
    event.reserve(64);
    for (std::string_view field : {subject, result}) {
        event += field;
        event += '|';
    }
    for (std::string_view detail : details) event = WithDetail(std::move(event), detail);
    return event;
}

std::string WithDetail(std::string event, std::string_view detail) {
    event += detail;
    event += '|';
    return event;
}

std::string HostEventLine(std::string_view event) {
    std::string line(TrimView(event));
    if (line.empty()) return line;
    for (char& c : line)
        if (c == '\0' || c == '\r' || c == '\n') c = ' ';
    return "|SMSG|" + line;
}

}  // namespace veltrane
