// Host events and desktop alerts.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/host_event.h"
#include "core/library.h"

namespace veltrane {

// Delivers one host event: HostEventLine(text), logged, to the callback,
// then as WM_COPYDATA; an event whose second field is "fail" also raises an
// alert. A blank text does nothing at all.
void NotifyHost(Library& lib, std::string_view text);
// The event HostEvent(subject, result, details).
void NotifyHost(Library& lib, std::string_view subject, std::string_view result,
                std::initializer_list<std::string_view> details);

// Shows the desktop alert for (durationFigure + POPUP_SHOW_TIME) tenths of a
// second, unless IS_POPUP_SHOW is "N". Returns at once: no other event runs
// inside it.
void ShowAlert(Library& lib, const std::string& header, const std::string& message,
               std::int32_t durationFigure);

}  // namespace veltrane
