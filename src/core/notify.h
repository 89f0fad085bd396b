// Host events and desktop alerts. Both are queued in the library's outbox
// while the owner thread handles something, and delivered by
// DeliverHostEvents when the handling is complete.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/host_event.h"
#include "core/library.h"

namespace veltrane {

// One host event: HostEventLine(text), logged now, then to the callback and
// as WM_COPYDATA; an event whose second field is "fail" also raises an
// alert. A blank text does nothing at all.
void NotifyHost(Library& lib, std::string_view text);
// The event HostEvent(subject, result, details).
void NotifyHost(Library& lib, std::string_view subject, std::string_view result,
                std::initializer_list<std::string_view> details);
// A text for the callback alone, without envelope, window message or log line.
void NotifyCallbackOnly(Library& lib, std::string text);

// The desktop alert for (durationFigure + POPUP_SHOW_TIME) tenths of a
// second, unless IS_POPUP_SHOW is "N": logged now, shown in its turn
// among the host events.
void ShowAlert(Library& lib, const std::string& header, const std::string& message,
               std::int32_t durationFigure);

// Hands everything the outbox holds to the host, oldest first: each event
// to the callback, then to the window, then the alert that follows it. The
// host may call exports from its callback; their events join the queue and
// go out before those exports return. A callback or window that throws is
// logged once per kind of failure, and delivery goes on.
void DeliverHostEvents(Library& lib);

}  // namespace veltrane
