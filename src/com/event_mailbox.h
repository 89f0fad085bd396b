// One object's share of the host events, filled on the library's owner
// thread and emptied on the object's own thread: the events its sinks are
// still to hear (fired from that thread's message loop, once the library is
// done with the event), and, from the first WaitEvent on, the events
// WaitEvent has yet to take. Each holds at most kCapacity events; when full,
// the oldest is dropped.
#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "com/event_hub.h"
#include "com/wake_window.h"
#include "winsupport/unique_handle.h"

namespace veltrane::com {

class EventMailbox final : public EventReceiver {
public:
    static constexpr std::size_t kCapacity = 1024;

    // On the object's thread; `owner` is woken there when events are to be
    // fired. Hears events from now on.
    explicit EventMailbox(WakeTarget& owner);
    EventMailbox(const EventMailbox&) = delete;
    EventMailbox& operator=(const EventMailbox&) = delete;
    ~EventMailbox() override;

    // False when the window or the wake-up event could not be made.
    bool ready() const { return window_.created() && static_cast<bool>(signal_); }
    std::optional<std::wstring> nextToFire();

    // WaitEvent: the next event not yet taken, running the thread's messages
    // while none is there; nothing when `timeoutMs` (negative: no limit) ran
    // out or the thread's loop was told to quit.
    std::optional<std::wstring> wait(long timeoutMs);

    void receive(const std::wstring& text) noexcept override;

private:
    std::optional<std::wstring> take();

    std::atomic<bool> waitedFor_{false};
    std::mutex mutex_;
    std::deque<std::wstring> toFire_;
    std::deque<std::wstring> toTake_;
    winsupport::UniqueKernelHandle signal_;  // set when toTake_ gains an event
    WakeWindow window_;
};

}  // namespace veltrane::com
