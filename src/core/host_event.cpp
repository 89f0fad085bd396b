#include "core/host_event.h"

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

}  // namespace veltrane
